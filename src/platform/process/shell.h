#pragma once
// Starting other programs: the program's own executable for self-registration and the
// desktop's opener for help files.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "services/shell.h"

namespace platform::process {

using services::process::Shell;

// Starts programs with posix_spawn. A started program is reaped when it ends, so none is
// left behind as a zombie; the object waits at most `reapTimeoutSeconds` for it at its end.
class PosixShell final : public Shell {
 public:
  explicit PosixShell(int reapTimeoutSeconds = 10) : reapTimeoutSeconds_(reapTimeoutSeconds) {}
  ~PosixShell() override;
  PosixShell(const PosixShell&) = delete;
  PosixShell& operator=(const PosixShell&) = delete;

  bool Start(const std::filesystem::path& program, const std::vector<std::string>& args) override;
  std::optional<std::filesystem::path> FindProgram(const std::string& name) const override;

 private:
  int reapTimeoutSeconds_;
  std::vector<int> children_;
};

// The running program's executable.
std::filesystem::path CurrentExecutable();

}  // namespace platform::process
