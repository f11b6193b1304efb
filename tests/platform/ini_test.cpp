#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "platform/ini/ini_document.h"
#include "platform/ini/profile_ini_file.h"
#include "support/temp_dir.h"

using platform::ini::ProfileIniFile;

namespace {

class IniTest : public testing::Test {
 protected:
  ProfileIniFile FileWith(const std::string& contents) {
    testing_support::WriteFile(dir_ / "test.ini", contents);
    return ProfileIniFile((dir_ / "test.ini").string());
  }
  testing_support::TempDir dir_;
};

struct ReadCase { const char* section; const char* key; const char* expected; };

TEST_F(IniTest, ClassicProfileSemantics) {
  auto ini = FileWith(
      "; comment line\r\norphan=before any section\r\n  [General]  \r\n\tName = \t spaced value \t\r\n"
      "Quoted=\"  in quotes  \"\r\nSingle='x'\r\nMismatched=\"x'\r\nComment=value ; stays\r\n"
      "Hash=#not a comment\r\nEquals=a=b=c\r\nDup=first\r\nDUP=second\r\n;Hidden=1\r\n   ; note=1\r\nEmpty=\r\n"
      "[ velta Porta CPs 1.0]\r\nParamVersion = 1\r\n[]\r\nAfterEmpty=still here\r\n[Odd]Name]\r\nKey=odd\r\n"
      "[general]\r\nLate=only in the duplicate section\r\nName=from the duplicate");  // no line break at the end
  const ReadCase cases[] = {
      {"General", "Name", "spaced value"},     {"GENERAL", "name", "spaced value"},
      {"General", "Quoted", "  in quotes  "},  {"General", "Single", "x"},
      {"General", "Mismatched", "\"x'"},       {"General", "Comment", "value ; stays"},
      {"General", "Hash", "#not a comment"},   {"General", "Equals", "a=b=c"},
      {"General", "Dup", "first"},             {"General", "Hidden", ""},
      {"General", "Empty", ""},
      {"General", "Late", ""},  // only the first of duplicate sections is searched
      {"General", "orphan", ""},
      {"", "orphan", "before any section"},  // lines before the first header: section ""
      {"velta Porta CPs 1.0 ", "ParamVersion", "1"},
      {"velta Porta CPs 1.0", " ParamVersion ", "1"},  // names compare with blanks trimmed
      {"velta Porta CPs 1.0", "AfterEmpty", ""},  // "[]" starts a section of its own
      {"", "AfterEmpty", ""},                      // ... which a read of "" does not reach
      {"General", "; note", "1"},                   // an indented ";" line is a key line
      {"Odd]Name", "Key", "odd"},                   // the header runs to the last "]"
      {"Missing", "Name", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ini.ReadString(c.key, c.section), c.expected) << "[" << c.section << "] " << c.key;
  EXPECT_EQ(ini.ReadString("orphan", ""), "before any section");  // the first line
  EXPECT_EQ(ini.RawValue("Quoted", "General"), "\"  in quotes  \"");
  // Neither the lines before the first header nor "[]" give a name to the list.
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"General", "velta Porta CPs 1.0", "Odd]Name", "general"}));
  // A whole-section read takes the name as given; the listings leave the ";" line out.
  EXPECT_EQ(ini.SectionLines("velta Porta CPs 1.0"), (std::vector<std::string>{"ParamVersion=1"}));
  EXPECT_TRUE(ini.SectionLines("velta Porta CPs 1.0 ").empty());
  EXPECT_EQ(ini.SectionLines("General").size(), 10U);
  EXPECT_EQ(ini.SectionLines("GENERAL").back(), "Empty=");
  EXPECT_EQ(ini.SectionLines(""), (std::vector<std::string>{"orphan=before any section"}));
  EXPECT_EQ(ini.SectionLine("velta porta cps 1.0"), 16);
  EXPECT_EQ(ini.KeyLine("afterempty", "velta Porta CPs 1.0"), 0);
  EXPECT_EQ(ini.FirstJunkLine(), 0);
  ini.SetVerbatim(true);
  EXPECT_EQ(ini.ReadString("Quoted", "General"), "\"  in quotes  \"");
  // A byte-order mark, a comment, then "[]" as the first header: its keys are read by no name.
  auto bomFirst = FileWith("\xEF\xBB\xBF;c\r\n[]\r\nk=1\r\n[S]\r\nk=2\r\n");
  EXPECT_EQ(std::tuple(bomFirst.ReadString("k", ""), bomFirst.ReadString("k", "S"), bomFirst.SectionNames()),
            std::tuple(std::string(), std::string("2"), std::vector<std::string>{"S"}));
  // One line that is the first and the last, without a line break.
  auto oneLine = FileWith("only=line");
  EXPECT_EQ(oneLine.ReadString("ONLY", ""), "line");
  EXPECT_EQ(oneLine.SectionLines(""), (std::vector<std::string>{"only=line"}));
  EXPECT_TRUE(oneLine.SectionNames().empty());
}

TEST_F(IniTest, NumbersFieldsAndDeviceTemplates) {
  auto ini = FileWith("[CPs ]\nA=3\nB=3,2\nC= 4 , 1 ,7\nD=abc\nE=99999\n[CPs PortaB]\nA=5\n");
  std::shared_ptr<lns::DeviceTemplate> none;  // E lies outside 16 bits: it places nothing
  EXPECT_EQ(std::tuple(ini.ReadCpPosition("A", "CPs ", none), ini.ReadCpPosition("B", "CPs ", none),
                       ini.ReadCpPosition("Missing", "CPs ", none), ini.ReadCpPosition("D", "CPs ", none),
                       ini.ReadCpPosition("E", "CPs ", none)),
            std::tuple(3, 3, -1, 0, 0));
  EXPECT_EQ(std::tuple(ini.ReadField("B", "CPs ", none, 2), ini.ReadField("B", "CPs ", none, 3),
                       ini.ReadField("C", "CPs ", none, 3), ini.ReadField("Missing", "CPs ", none, 1)),
            std::tuple(2, 0, 7, 0));

  struct FakeTemplate : lns::DeviceTemplate {
    lns::ObjectPtr Parent() const override { return nullptr; }
    std::string Name() const override { return "PortaB"; }
    std::string ProgramId() const override { return "9F"; }
  };
  std::shared_ptr<lns::DeviceTemplate> templ = std::make_shared<FakeTemplate>();
  EXPECT_EQ(ini.ReadCpPosition("A", "CPs ", templ), 5);  // the template's own section first
  EXPECT_EQ(ini.ReadCpPosition("B", "CPs ", templ), 3);  // then the plain section
  EXPECT_EQ(ini.ReadStringForTemplate("C", "CPs ", templ), "4 , 1 ,7");
}

TEST_F(IniTest, ShippedPlugInIniFileLayouts) {
  ProfileIniFile ini(std::string(PORTAB_DATA_DIR) + "/PortaB.ini");
  EXPECT_EQ(ini.AcceptedProgramIds("9F:FF:FF:08:1C:0A:04:01"), std::vector<std::string>{"9F:FF:FF:08:1C:0A:04:00"});
  EXPECT_TRUE(ini.AcceptedProgramIds("unknown").empty());
  const auto entry = ini.ProgramEntryAt(1);
  EXPECT_EQ(std::tuple(entry.end, entry.keyText, entry.fileName), std::tuple(false, "9F:FF:FF:08:1C:0A:04:01", "PortaB.xif"));
  EXPECT_TRUE(ini.ProgramEntryAt(2).end);
  EXPECT_EQ(ini.ProgramRecordAt(1, 1).values, (std::vector<std::string>{"PortaB", "0"}));
  EXPECT_TRUE(ini.ProgramRecordAt(1, 2).end);
}

TEST_F(IniTest, EncodingsMissingFilesAndNotes) {
  EXPECT_EQ(FileWith("\xEF\xBB\xBF[S]\nK=Gr\xC3\xB6\xC3\x9F" "e\n").ReadString("K", "S"), "Größe");
  EXPECT_EQ(FileWith("[S]\nK=Gr\xF6\xDF" "e \x80\n").ReadString("K", "s"), "Größe €");
  ProfileIniFile missing((dir_ / "nothing.ini").string());
  EXPECT_EQ(std::tuple(missing.FileExists(), missing.ReadString("K", "S"), missing.SectionNames().empty()),
            std::tuple(false, "", true));
  EXPECT_EQ(ProfileIniFile().ReadString("K", "S"), "");

  // A stray Windows-1252 line is read alone (the other lines stay UTF-8), and what is odd is noted.
  auto ini = FileWith(
      "[S]\nA=Gr\xC3\xB6\xC3\x9F" "e\nB=Zus\xE4tzlich\nno equals\na=again\n[s]\nC=1\n[T\n");
  EXPECT_EQ(std::tuple(ini.ReadString("A", "S"), ini.ReadString("B", "S")), std::tuple("Größe", "Zusätzlich"));
  std::vector<std::string> notes;
  for (const auto& note : ini.Notes()) notes.push_back(std::to_string(note.line) + ": " + note.text);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "3: not UTF-8 like the rest of the file: read as Windows-1252", "4: no \"=\" in this line",
                       "5: key \"a\" again in [S] (first in line 2): only the first is read",
                       "6: section [s] again (first in line 1): only the first is read", "8: no \"=\" in this line"}));
}

TEST_F(IniTest, LongKeysAndValues) {
  const std::string longKey(300, 'k');
  const std::string longValue(70000, 'v');
  auto ini = FileWith("[S]\n" + longKey + "=short\nLong=" + longValue + "\nGap=" + std::string(300, ' ') + "x\nShort=s\n");
  EXPECT_EQ(std::tuple(ini.ReadString(longKey, "S"), ini.ReadString("long", "S"), ini.ReadString("Gap", "S"),
                       ini.ReadString("Short", "S"), ini.KeyLine("LONG", "S")),
            std::tuple("short", longValue, "x", "s", 3));
}

TEST_F(IniTest, ReReadsOnlyWhenTheFileChanges) {
  auto ini = FileWith("[S]\nK=old\n");
  const auto first = platform::ini::IniCache::Get(ini.GetFile());
  EXPECT_EQ(platform::ini::IniCache::Get(ini.GetFile()), first);  // parsed once
  EXPECT_EQ(ini.ReadString("K", "S"), "old");
  testing_support::WriteFile(ini.GetFile(), "[S]\nK=new value\n");
  // The file object asks again once the coarse clock has moved on.
  timespec before{}, now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &before);
  do {
    std::this_thread::yield();
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  } while (now.tv_sec == before.tv_sec && now.tv_nsec == before.tv_nsec);
  EXPECT_EQ(ini.ReadString("K", "S"), "new value");
  std::filesystem::remove(ini.GetFile());
  ini.Refresh();
  EXPECT_EQ(ini.ReadString("K", "S"), "");
  testing_support::WriteFile(ini.GetFile(), "[S]\nK=\x01\x02\n");
  ini.Refresh();
  EXPECT_EQ(ini.FirstJunkLine(), 2);
  EXPECT_THAT(ini.Damage(), ::testing::HasSubstr("line 2 holds binary data"));
  // A form feed or an old editor's end-of-file mark is no damage.
  testing_support::WriteFile(ini.GetFile(), "[S]\nK=v\f\n\x1A");
  ini.Refresh();
  EXPECT_EQ(ini.Damage(), "");
  EXPECT_EQ(ini.ReadString("K", "S"), "v\f");
}

// A change of the modification time (to the nanosecond), the size or the inode alone makes the cache read again.
TEST_F(IniTest, ARewriteIsSeenWhenOnlyOneOfTimeSizeAndInodeChanged) {
  struct Rewrite { const char* what; const char* text; long nanoseconds; bool replaced /* renamed over the old one */; };
  const Rewrite rewrites[] = {{"same size, same second", "[S]\nK=bbb\n", 200, false},
                              {"same time, other size", "[S]\nK=cccc\n", 200, false},
                              {"same time and size, other inode", "[S]\nK=dddd\n", 200, true}};
  const auto file = dir_ / "test.ini";
  auto setTime = [&](long nanoseconds) {
    const timespec times[2] = {{1700000000, nanoseconds}, {1700000000, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  };
  auto ini = FileWith("[S]\nK=aaa\n");
  setTime(100);
  EXPECT_EQ(ini.ReadString("K", "S"), "aaa");
  for (const auto& rewrite : rewrites) {
    if (rewrite.replaced) {
      testing_support::WriteFile(dir_ / "new.ini", rewrite.text);
      std::filesystem::rename(dir_ / "new.ini", file);
    } else {
      testing_support::WriteFile(file, rewrite.text);
    }
    setTime(rewrite.nanoseconds);
    ini.Refresh();
    EXPECT_EQ("[S]\nK=" + ini.ReadString("K", "S") + "\n", rewrite.text) << rewrite.what;
  }
}

}  // namespace
