#include "knowledge/mc16.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "knowledge/ini_fields.h"
#include "support/matchers.h"
#include "support/plugin_run.h"
#include "support/recording_log.h"

using testing_support::ThrowsError;

namespace {

TEST(Mc16Test, LoadsTheShippedKnowledgeBaseForVersion1) {
  testing_support::PlugInRun run;
  knowledge::cMC16 mc16(run.context);
  mc16.SetConfigFileName("PortaB.cfg");
  ASSERT_TRUE(mc16.Init1());
  EXPECT_EQ(mc16.KnowledgeFolder(), (run.ServerFolder() / "Config").string() + "/");
  mc16.SetVersion(1);
  EXPECT_TRUE(mc16.Init2());
  EXPECT_TRUE(run.records.messages.empty());
  EXPECT_EQ(std::tuple(mc16.File(knowledge::KbFile::Controls).Verbatim(), mc16.File(knowledge::KbFile::Resources).Verbatim(),
                       mc16.File(knowledge::KbFile::Enums).Verbatim()),
            std::tuple(true, true, false));
}

TEST(Mc16Test, MissingFilesAreReportedOneMessageEach) {
  testing_support::PlugInRun run;
  knowledge::cMC16 mc16(run.context);
  mc16.SetConfigFileName("Nothing.cfg");
  EXPECT_FALSE(mc16.Init1());
  ASSERT_EQ(run.records.messages.size(), 1u);
  const std::string folder = (run.ServerFolder() / "Config").string() + "/";
  EXPECT_EQ(std::tuple(run.records.messages[0].text, run.records.messages[0].icon),
            std::tuple("Config File does not exist.\r\n\r\n" + folder + "Nothing.cfg", services::dialogs::Icon::Critical));

  mc16.SetConfigFileName("PortaB.cfg");
  ASSERT_TRUE(mc16.Init1());
  mc16.SetVersion(7);  // no such section: every file name is empty
  EXPECT_FALSE(mc16.Init2());
  ASSERT_EQ(run.records.messages.size(), 9u);
  EXPECT_EQ(run.records.messages[1].text, "Modules File does not exist.\r\n\r\n" + folder);
  EXPECT_EQ(run.records.messages[8].text, "Command Table File does not exist.\r\n\r\n" + folder);

  std::filesystem::remove(run.ServerFolder() / "Config" / "Enums_V1.ini");
  mc16.SetVersion(1);
  EXPECT_FALSE(mc16.Init2());
  ASSERT_EQ(run.records.messages.size(), 10u);
  EXPECT_EQ(run.records.messages[9].text, "Enums File does not exist.\r\n\r\n" + folder + "Enums_V1.ini");
}

// A file that is no INI file is named with its path and fault, never as missing; lacking entries get red lines.
TEST(Mc16Test, ADamagedFileIsReportedAsDamagedNotMissing) {
  const std::string junk("\x7f" "ELF\x02\x01\x00\x00junk", 12);
  struct Row { std::string file, contents; bool init1; std::string message, why; };
  const Row rows[] = {
      {"PortaB.cfg", junk, false, "Config File can not be read.\r\n\r\n", "line 1 holds binary data"},
      {"Modules_V1.ini", "[Modules]\n" + junk, true, "Modules File can not be read.\r\n\r\n", "line 2 holds binary data"},
      {"PortaB.cfg", "[Version_1]\nModules=Modules_V1.ini\n", true, "Command Table File does not exist.", "key is missing"},
      {"PortaB.cfg", "[General]\nDefaultVersion=1\n", true, "Command Table File does not exist.", "section is missing"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    testing_support::PlugInRun run;
    testing_support::RecordingLog log;
    testing_support::WriteFile(run.ServerFolder() / "Config" / row.file, row.contents);
    knowledge::cMC16 mc16(run.context);
    mc16.SetConfigFileName("PortaB.cfg");
    ASSERT_EQ(mc16.Init1(), row.init1);
    if (row.init1) {
      mc16.SetVersion(1);
      EXPECT_FALSE(mc16.Init2());
    }
    ASSERT_FALSE(run.records.messages.empty());
    const std::string& shown = run.records.messages.back().text;
    EXPECT_EQ(shown.rfind(row.message, 0), 0u) << shown;
    ASSERT_FALSE(log.redLines.empty());
    EXPECT_THAT(log.redLines.front(), ::testing::HasSubstr(row.why));
    if (row.file != "PortaB.cfg" || !row.init1) {
      const std::string path = (run.ServerFolder() / "Config" / row.file).string();
      EXPECT_THAT(shown, ::testing::HasSubstr(path + "\r\n" + row.why));
    }
  }
}

TEST(Mc16Test, ServerDirectoryFromTheRegistration) {
  testing_support::PlugInRun run;
  const auto dir = [&] { return knowledge::M_Registry::GetServerDirectory(&run.registry, "/opt/dev/portab"); };
  run.RegisterServer("/usr/lib/portab/portab");
  EXPECT_EQ(dir(), "/usr/lib/portab/");
  run.RegisterServer("C:\\Programme\\velta\\PortaB.exe");
  EXPECT_EQ(dir(), "C:/Programme/velta/");
  run.RegisterServer("/usr/bin/GDB");  // the development environment, in any case
  EXPECT_EQ(dir(), "/opt/dev/");
  run.registry.DeleteKeyTree(services::registry::Hive::ClassesRoot, "veltaPortaB.Application");
  EXPECT_EQ(dir(), "");
  knowledge::cMC16 mc16(run.context);
  mc16.SetConfigFileName("PortaB.cfg");
  mc16.Init1();
  EXPECT_EQ(mc16.KnowledgeFolder(), "Config/");  // relative without a registration
}

TEST(Mc16Test, DefaultVersionValues) {
  const std::pair<const char*, int> rows[] = {{"12", 12}, {"12abc", 12}, {"300", 0}, {"-1", 0}, {"abc", 0},
                                              {"255", 255}, {"2.5", 2}, {"3 ; comment", 3}};
  for (const auto& [text, expected] : rows) {
    testing_support::PlugInRun run;
    testing_support::WriteFile(run.ServerFolder() / "Config" / "PortaB.cfg", std::string("[General]\nDefaultVersion=") + text + "\n");
    knowledge::cMC16 mc16(run.context);
    mc16.SetConfigFileName("PortaB.cfg");
    mc16.Init1();
    EXPECT_EQ(mc16.DefaultVersion(), expected) << text;
  }
}

TEST(Mc16Test, SharedFieldReaders) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "k.ini", "[S]\nK=3, 4 ;comment\nQ=\"a;b\"\n");
  platform::ini::ProfileIniFile ini((dir / "k.ini").string());
  // Fields keep their leading blank; quotes stay as written, whatever the quote option.
  EXPECT_EQ(std::tuple(knowledge::ReadIniField(ini, "S", "K", 2), knowledge::ReadIniField(ini, "S", "K", -1),
                       knowledge::ReadIniField(ini, "S", "K", 3), knowledge::ReadIniField(ini, "S", "Q", 0)),
            std::tuple(" 4", "3, 4", "", "\"a"));
  const auto fields = knowledge::SplitToCollection("1,2,,3", ",");
  EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.end()), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(std::tuple(knowledge::SplitToCollection("", ",").Count(), knowledge::CollectionContains(fields, "2"),
                       knowledge::CollectionContains(knowledge::SplitToCollection("a,B", ","), "b")),
            std::tuple(0, true, false));
  EXPECT_EQ(knowledge::ParseByteList("1,2.5,3.5,,9", ","), (std::vector<uint8_t>{1, 2, 4}));
  EXPECT_THAT([] { knowledge::ParseByteList("256", ","); }, ThrowsError(6));
}

}  // namespace
