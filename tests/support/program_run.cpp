#include "support/program_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "support/temp_dir.h"

namespace testing_support {

void Exec(const std::filesystem::path& program, const std::vector<std::string>& args) {
  std::vector<std::string> copies{program.string()};
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

namespace {

[[noreturn]] void ExecChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                            const Environment& env, const std::filesystem::path& outFile,
                            const std::filesystem::path& errFile) {
  ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
  ::dup2(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
  ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
  for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
  Exec(program, args);
}

int WaitWithDeadline(pid_t pid, std::chrono::seconds timeout, const std::filesystem::path& program) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << program.filename() << " did not end within " << timeout.count() << " s";
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const Environment& env, std::chrono::seconds timeout) {
  const TempDir capture;
  const auto outFile = capture / "out.txt";
  const auto errFile = capture / "err.txt";
  const pid_t pid = ::fork();
  if (pid == 0) ExecChild(program, args, env, outFile, errFile);
  ProgramResult result;
  result.status = pid < 0 ? -1 : WaitWithDeadline(pid, timeout, program);
  result.out = ReadFile(outFile);
  result.err = ReadFile(errFile);
  return result;
}

}  // namespace testing_support
