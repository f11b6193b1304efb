#pragma once
// Runs one of the built programs as a user would: arguments as given, standard input empty,
// standard output and error captured, extra environment set, killed if it does not end.

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct ProgramResult {
  int status = -1;  // the exit status, -1 when the program did not exit normally
  std::string out, err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// In a forked child: becomes `program` with `args` (ends the child with 127 when it cannot).
[[noreturn]] void Exec(const std::filesystem::path& program, const std::vector<std::string>& args);

// Runs `program` with `args` and the variables of `env` set (an empty value sets the variable
// empty). A run that takes longer than `timeout` is killed and fails the test.
ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const Environment& env = {}, std::chrono::seconds timeout = std::chrono::seconds(120));

}  // namespace testing_support
