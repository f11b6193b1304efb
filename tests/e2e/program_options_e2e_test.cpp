// --help, -h and --version of every program: the text on standard output, exit 0, and nothing
// else happening: no registry store, network folder or log file, nothing registered.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "base/product.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

using Result = testing_support::ProgramResult;

// The programs, copied into a program folder of their own (where portab writes its log), and
// a fresh, empty PORTAB_HOME.
class Programs {
 public:
  Programs() {
    fs::create_directories(Folder());
    fs::create_directories(Home());
    for (const char* exe : {PORTAB_EXE, PORTAB_LNS_EXE, PORTAB_DEMO_PROFILE_EXE}) {
      fs::copy_file(exe, Folder() / fs::path(exe).filename());
    }
    for (const char* file : {"PortaB.ini", "PortaB.xif"}) {
      fs::copy_file(std::string(PORTAB_DATA_DIR) + "/" + file, Folder() / file);
    }
  }

  fs::path Folder() const { return dir_ / "program"; }
  fs::path Home() const { return dir_ / "home"; }

  Result Run(const std::string& program, const std::vector<std::string>& args) const {
    return testing_support::RunProgram(Folder() / program, args, {{"PORTAB_HOME", Home().string()}});
  }

  static std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
  }

 private:
  testing_support::TempDir dir_;
};

TEST(ProgramOptionsE2eTest, HelpAndVersionOnlyPrint) {
  const Programs programs;
  const auto programFiles = Programs::Entries(programs.Folder());
  const struct {
    const char* program;
    const char* usage;  // the first line of the help
  } cases[] = {
      {"portab", "usage: portab /<keyword>:<value>"},
      {"portab-lns", "usage: portab-lns networks\n"},
      {"portab-demo-profile", "usage: portab-demo-profile /regserver | /unregserver | -Embedding\n"},
  };
  for (const auto& c : cases) {
    for (const char* option : {"--help", "-h", "--version"}) {
      SCOPED_TRACE(std::string(c.program) + " " + option);
      const Result run = programs.Run(c.program, {option});
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.err, "");
      if (std::string(option) == "--version") {
        EXPECT_EQ(run.out, std::string(c.program) + " " + base::kVersionText + "\n");
      } else {
        EXPECT_THAT(run.out, HasSubstr(c.usage));
        EXPECT_THAT(run.out, HasSubstr("--version"));
      }
      EXPECT_TRUE(fs::is_empty(programs.Home()));
      EXPECT_EQ(Programs::Entries(programs.Folder()), programFiles);
    }
  }
}

// With anything else on the line the options are pieces of portab's own command line.
TEST(ProgramOptionsE2eTest, OptionWithMoreOnTheLineKeepsThePortabMeaning) {
  const Programs programs;
  const Result run = programs.Run("portab", {"--help", "/REG:1000"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(testing_support::ReadFile(programs.Home() / "registry.reg"), HasSubstr("\"Language\"=\"1000\""));
}

}  // namespace
