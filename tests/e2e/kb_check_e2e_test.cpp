// "portab-lns kb check" on copies of the shipped knowledge base: findings, notes and the summary
// on standard output, usage errors on standard error; exit 0 clean, 1 findings, 2 usage error.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ini/profile_ini_file.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

using Result = testing_support::ProgramResult;

class KbFolder {
 public:
  KbFolder() {
    fs::copy(std::string(PORTAB_DATA_DIR) + "/Config", Folder(), fs::copy_options::recursive);
    fs::copy_file(std::string(PORTAB_DATA_DIR) + "/PortaB.ini", dir_ / "PortaB.ini");
  }

  fs::path Folder() const { return dir_ / "Config"; }
  fs::path PlugInIni() const { return dir_ / "PortaB.ini"; }

  // The Modules file of the default version, as the Config file names it.
  std::string ModulesFile() const {
    const platform::ini::ProfileIniFile plugIn((dir_ / "PortaB.ini").string());
    std::string config = plugIn.ReadString("Config", "velta Porta CPs 1.0");
    if (config.empty()) config = "PortaB.cfg";
    const platform::ini::ProfileIniFile cfg((Folder() / config).string());
    return cfg.ReadString("Modules", "Version_" + cfg.ReadString("DefaultVersion", "General"));
  }

  Result Lns(const std::vector<std::string>& args) const {
    return testing_support::RunProgram(PORTAB_LNS_EXE, args, {{"PORTAB_HOME", (dir_ / "home").string()}});
  }

 private:
  testing_support::TempDir dir_;
};

TEST(KbCheckE2eTest, ShippedKnowledgeBaseChecksClean) {
  const KbFolder kb;
  const Result run = kb.Lns({"kb", "check", kb.Folder().string()});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, testing::MatchesRegex(".*: knowledge base version [0-9]+ is clean\n"));
  EXPECT_EQ(run.err, "");
}

// Without the plug-in INI file the object CP names cannot be checked: a note, not a finding.
TEST(KbCheckE2eTest, WithoutPlugInIniTheUncheckedCpNamesAreNoted) {
  const KbFolder kb;
  fs::remove(kb.PlugInIni());
  const Result run = kb.Lns({"kb", "check", kb.Folder().string()});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, testing::MatchesRegex(".*: note: no PortaB.ini beside the folder: .*CP names.* not checked\n"
                                             ".*: knowledge base version [0-9]+ is clean\n"));
}

TEST(KbCheckE2eTest, PlantedFaultIsPrintedWithFileAndLine) {
  const KbFolder kb;
  const fs::path modules = kb.Folder() / kb.ModulesFile();
  std::string text = testing_support::ReadFile(modules);
  if (!text.empty() && text.back() != '\n') text += "\n";
  text += "[MT_KBT]\nModuleName=KBT_NONE\n";
  testing_support::WriteFile(modules, text);
  const size_t line = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));

  const Result run = kb.Lns({"kb", "check", kb.Folder().string()});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  // The file as it can be opened from where the command ran.
  EXPECT_THAT(run.out, HasSubstr(kb.Folder().string() + "/" + kb.ModulesFile() + ":" + std::to_string(line) +
                                 ": ModuleName names resource \"KBT_NONE\", which is not in [String Resources]"));
  EXPECT_THAT(run.out, HasSubstr(kb.Folder().string() + ": knowledge base version "));
  EXPECT_THAT(run.out, HasSubstr(": 1 finding\n"));
}

TEST(KbCheckE2eTest, UsageErrorsExitTwoWithTheUsage) {
  const KbFolder kb;
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
    const Result run = kb.Lns(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_THAT(run.err, HasSubstr("usage: portab-lns kb check <Config folder> [<version>]"));
    EXPECT_EQ(run.out, "");
  }
  EXPECT_THAT(kb.Lns({"kb", "check", folder + "/no-such-folder"}).err, HasSubstr("no such folder: " + folder));
  for (const auto& args : std::vector<std::vector<std::string>>{{"kb", "--help"}, {"kb", "check", "--help"}}) {
    const Result help = kb.Lns(args);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("usage: portab-lns kb check"));
  }
  // The network tool's own usage lists the command too.
  EXPECT_THAT(kb.Lns({}).err, HasSubstr("portab-lns kb check <Config folder> [<version>]"));
}

}  // namespace
