// "portab-lns kb check" on copies of the shipped knowledge base: findings, notes and the summary
// on standard output, usage errors on standard error; exit 0 clean, 1 findings, 2 usage error.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/kb_copy.h"
#include "support/program_run.h"

using testing::HasSubstr;

namespace {

using Result = testing_support::ProgramResult;

Result Lns(const testing_support::KbCopy& kb, const std::vector<std::string>& args) {
  return testing_support::RunProgram(PORTAB_LNS_EXE, args, {{"PORTAB_HOME", (kb.Dir() / "home").string()}});
}

// Without the plug-in INI file the object CP names cannot be checked: a note, not a finding.
TEST(KbCheckE2eTest, WithoutPlugInIniTheUncheckedCpNamesAreNoted) {
  const testing_support::KbCopy kb;
  std::filesystem::remove(kb.Dir() / "PortaB.ini");
  const Result run = Lns(kb, {"kb", "check", kb.Folder().string()});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, testing::MatchesRegex(".*: note: no PortaB.ini beside the folder: .*CP names.* not checked\n"
                                             ".*: knowledge base version [0-9]+ is clean\n"));
  EXPECT_EQ(run.err, "");
}

TEST(KbCheckE2eTest, PlantedFaultIsPrintedWithFileAndLine) {
  const testing_support::KbCopy kb;
  kb.Plant({"Modules", "MT_KBT", "ModuleName=KBT_NONE"});
  const Result run = Lns(kb, {"kb", "check", kb.Folder().string()});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  // The file as it can be opened from where the command ran.
  EXPECT_THAT(run.out, HasSubstr(kb.Folder().string() + "/" + kb.FileName("Modules") + ":" +
                                 std::to_string(kb.LineOf("Modules", "MT_KBT", "ModuleName")) +
                                 ": ModuleName names resource \"KBT_NONE\", which is not in [String Resources]"));
  EXPECT_THAT(run.out, HasSubstr(kb.Folder().string() + ": knowledge base version "));
  EXPECT_THAT(run.out, HasSubstr(": 1 finding\n"));
}

TEST(KbCheckE2eTest, UsageErrorsExitTwoWithTheUsage) {
  const testing_support::KbCopy kb;
  const std::string folder = kb.Folder().string();
  const std::vector<std::vector<std::string>> wrong{
      {"kb"},
      {"kb", "check"},
      {"kb", "verify", folder},
      {"kb", "check", folder, "256"},
      {"kb", "check", folder, "1", "2"},
      {"kb", "check", folder + "/no-such-folder"},
  };
  for (const auto& args : wrong) {
    const Result run = Lns(kb, args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_THAT(run.err, HasSubstr("usage: portab-lns kb check <Config folder> [<version>]"));
    EXPECT_EQ(run.out, "");
  }
  EXPECT_THAT(Lns(kb, {"kb", "check", folder + "/no-such-folder"}).err, HasSubstr("no such folder: " + folder));
  for (const auto& args : std::vector<std::vector<std::string>>{{"kb", "--help"}, {"kb", "check", "--help"}}) {
    const Result help = Lns(kb, args);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("usage: portab-lns kb check"));
  }
  // The network tool's own usage lists the command too.
  EXPECT_THAT(Lns(kb, {}).err, HasSubstr("portab-lns kb check <Config folder> [<version>]"));
}

}  // namespace
