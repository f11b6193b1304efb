#include "platform/process/shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/text.h"

extern char** environ;

namespace platform::process {

PosixShell::~PosixShell() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(reapTimeoutSeconds_);
  for (int pid : children_) {
    while (::waitpid(pid, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

bool PosixShell::Start(const std::filesystem::path& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv{program.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, raw.data(), environ) != 0) return false;
  children_.push_back(pid);
  return true;
}

std::optional<std::filesystem::path> PosixShell::FindProgram(const std::string& name) const {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  for (const auto& dir : base::Split(path, ":")) {
    if (dir.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

std::filesystem::path CurrentExecutable() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path("portab") : exe;
}

}  // namespace platform::process
