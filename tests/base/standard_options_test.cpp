#include "base/standard_options.h"

#include <gtest/gtest.h>

namespace {

using base::StandardOption;

// Only a whole command line of one of the options counts: anything with it is the program's own.
TEST(StandardOptionsTest, OnlyAWholeCommandLineCounts) {
  const struct {
    const char* commandLine;
    StandardOption expected;
  } cases[] = {
      {"--help", StandardOption::Help},         {"-h", StandardOption::Help},
      {" --version ", StandardOption::Version}, {"--version", StandardOption::Version},
      {"--help /REG:1000", StandardOption::None}, {"/OBJECTNAME:--help", StandardOption::None},
      {"--HELP", StandardOption::None},         {"-help", StandardOption::None},
      {"/h", StandardOption::None},             {"-V", StandardOption::None},
      {"", StandardOption::None},
  };
  for (const auto& c : cases) EXPECT_EQ(base::StandardOptionOf(c.commandLine), c.expected) << c.commandLine;
}

}  // namespace
