#pragma once
// Starting other programs: the program's own executable for self-registration and the
// desktop's opener for help files.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace services::process {

// Starts other programs; the arguments are handed over as they are, not through a command
// shell.
class Shell {
 public:
  virtual ~Shell() = default;
  // Starts `program` with `args` and does not wait for it to finish its work; returns false
  // when it cannot be started.
  virtual bool Start(const std::filesystem::path& program, const std::vector<std::string>& args) = 0;
  // The full path of a program found on PATH.
  virtual std::optional<std::filesystem::path> FindProgram(const std::string& name) const = 0;
};

}  // namespace services::process
