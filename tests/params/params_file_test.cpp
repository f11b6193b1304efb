// The parameter set file: layout, load checks and order, hand-edited values, and atomic writing.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "params/params.h"
#include "platform/ini/profile_ini_file.h"
#include "support/fake_cp.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using namespace params::cParamEnums;
using testing_support::NamedCp;
using testing_support::ReadFile;
using testing_support::ThrowsError;
using testing_support::WriteFile;

namespace {

constexpr const char* kProgramId = "9F:FF:FF:08:1C:0A:04:01";

class ParamsFileTest : public ::testing::Test {
 protected:
  ParamsFileTest() {
    WriteFile(dir / "PortaB.ini", "[velta Porta Accepted Program IDs 1.0]\n9F:FF:FF:08:1C:0A:04:01=9F:FF:FF:08:1C:0A:04:00\n");
    plugInIni.SetFile((dir / "PortaB.ini").string());
  }
  // A set with one parameter of each kind and their values.
  void Fill(params::cParams& set) {
    set.SetIniFileFactory([] { return std::make_unique<platform::ini::ProfileIniFile>(); });
    set.Add1ByteParameter("One", NamedCp("A"), "A")->SetValue(7);
    auto two = set.Add2ByteParameter("Delay", NamedCp("B"), "B");
    two->SetValue1(3);
    two->SetValue2(20);
    set.AddAsciiParameter("Label", NamedCp("C"), "C")->SetValue("Hall, east ");
    set.AddCheckBoxParameter("Check", std::make_shared<ui::window::CheckBox>("c"), NamedCp("D"), "D")->SetValue(1);
    set.AddComboBoxParameter("Combo", std::make_shared<ui::window::ComboBox>("c"), NamedCp("E"), "E")->SetValue(-2);
    set.AddOptionButtonParameter("Options", NamedCp("F"), "F")->SetValue("0\t50");
    auto text = set.AddTextBoxParameter("Hold", std::make_shared<ui::window::TextBox>("t"), NamedCp("G"), "G");
    text->SetFactor(10);
    text->SetResolution(RES_0_1);
    text->SetValue(215);  // shown as 21.5: the file keeps the integer
    set.AddTextBoxParameter("Missing", std::make_shared<ui::window::TextBox>("t"), nullptr, "M");
  }
  int32_t Load(params::cParams& set, const std::string& file, const std::string& programId = kProgramId) {
    return set.LoadFromFile((dir / file).string(), plugInIni, "veltaPortaB", programId, "1");
  }

  testing_support::TempDir dir;
  platform::ini::ProfileIniFile plugInIni;
};

TEST_F(ParamsFileTest, TheFileLayout) {
  params::cParams set;
  Fill(set);
  auto forced = set.AddTextBoxParameter("Forced", std::make_shared<ui::window::TextBox>("t"), nullptr, "X");
  forced->SetForceWriteToFile(true);
  set.Parameter1ByteByName("One")->SetDontWriteToFile(true);
  ASSERT_TRUE(set.WriteToFile((dir / "set.dat").string(), "veltaPortaB", kProgramId, "1"));
  EXPECT_EQ(ReadFile(dir / "set.dat"),
            "[General]\r\nPlugInName = veltaPortaB\r\nProgramId = 9F:FF:FF:08:1C:0A:04:01\r\nDataFileVersion = 1\r\n\r\n"
            "[Settings]\r\n"
            ";  *** Generic 1 Byte ***\r\n\r\n"
            ";  *** Generic 2 Byte ***\r\nDelay = 3,20\r\n\r\n"
            ";  *** Generic ASCII ***\r\nLabel = Hall, east ,\r\n\r\n"
            ";  *** CheckBox ***\r\nCheck = 1\r\n\r\n"
            ";  *** ComboBox ***\r\nCombo = -2\r\n\r\n"
            ";  *** OptionButton ***\r\nOptions = 0\t50\r\n\r\n"
            ";  *** TextBox ***\r\nHold = 215\r\nForced = 0\r\n\r\n");
  params::cParams empty;
  ASSERT_TRUE(empty.WriteToFile((dir / "empty.dat").string(), "veltaPortaB", "P", "1"));
  EXPECT_EQ(ReadFile(dir / "empty.dat"),
            "[General]\r\nPlugInName = veltaPortaB\r\nProgramId = P\r\nDataFileVersion = 1\r\n\r\n[Settings]\r\n"
            "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
}

// Saved under a German locale the file is as under the C locale, and loads back unchanged.
TEST_F(ParamsFileTest, RoundTripIntoAnotherSet) {
  params::cParams source;
  Fill(source);
  source.ParameterAsciiByName("Label")->SetValue("Gr\xC3\xB6\xC3\x9F" "e");  // Windows-1252 in the file
  ASSERT_TRUE(source.WriteToFile((dir / "c.dat").string(), "veltaPortaB", "9F:FF:FF:08:1C:0A:04:00", "1"));
  {
    testing_support::ScopedEnv german{{"LC_ALL", "de_DE.UTF-8"}};
    source.TextBoxParameterByName("Hold")->SetTextBox();
    ASSERT_TRUE(source.WriteToFile((dir / "set.dat").string(), "veltaPortaB", "9F:FF:FF:08:1C:0A:04:00", "1"));
  }
  EXPECT_EQ(ReadFile(dir / "set.dat"), ReadFile(dir / "c.dat"));
  EXPECT_THAT(ReadFile(dir / "set.dat"), ::testing::HasSubstr("Label = Gr\xF6\xDF" "e,\r\n"));
  params::cParams target;
  Fill(target);
  for (const auto& p : target.AllParameters()) p->SetChanged(false);
  target.Parameter1ByteByName("One")->SetValue(0);
  target.TextBoxParameterByName("Hold")->SetValue(0);
  target.ParameterAsciiByName("Label")->SetValue("");
  EXPECT_EQ(Load(target, "set.dat"), LE_NO_ERROR);  // an id the plug-in INI file accepts
  EXPECT_EQ(std::tuple(target.Parameter1ByteByName("One")->Value(), target.Parameter2ByteByName("Delay")->Value(),
                       target.ParameterAsciiByName("Label")->Value(), target.ComboBoxParameterByName("Combo")->Value(),
                       target.OptionButtonParameterByName("Options")->Value(),
                       target.TextBoxParameterByName("Hold")->Value(), target.TextBoxParameterByName("Hold")->Changed()),
            std::tuple(7, 3 * 256 + 20, "Gr\xC3\xB6\xC3\x9F" "e", -2, "0\t50", 215, true));
  // Windows-1252 bytes that would read back as UTF-8 (U+00D3 U+0178 are D3 9F, another character
  // in UTF-8): the file is UTF-8 with a byte-order mark, and the text comes back as it was.
  source.ParameterAsciiByName("Label")->SetValue("\xC3\x93\xC5\xB8");
  ASSERT_TRUE(source.WriteToFile((dir / "u.dat").string(), "veltaPortaB", "9F:FF:FF:08:1C:0A:04:00", "1"));
  EXPECT_EQ(ReadFile(dir / "u.dat").substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(Load(target, "u.dat"), LE_NO_ERROR);
  EXPECT_EQ(target.ParameterAsciiByName("Label")->Value(), "\xC3\x93\xC5\xB8");
}

TEST_F(ParamsFileTest, HeaderChecksAndTheirResults) {
  struct Row { std::string header; int32_t result; };
  const Row rows[] = {
      {"PlugInName =  veltaPortaB \nProgramId = 9F:FF:FF:08:1C:0A:04:01\nDataFileVersion = 1", LE_NO_ERROR},
      {"PlugInName = veltaportab\nProgramId = 9F:FF:FF:08:1C:0A:04:01\nDataFileVersion = 1", LE_WRONG_PLUGIN},
      {"PlugInName = veltaPortaB\nDataFileVersion = 1", LE_WRONG_DATAFILE_VERSION},  // no program id: 4, not 3
      {"PlugInName = veltaPortaB\nProgramId = 80:00:0C\nDataFileVersion = 1", LE_WRONG_DEVICE},
      {"PlugInName = veltaPortaB\nProgramId = 9F:FF:FF:08:1C:0A:04:00\nDataFileVersion = 1", LE_NO_ERROR},
      {"PlugInName = veltaPortaB\nProgramId = 9F:FF:FF:08:1C:0A:04:01\nDataFileVersion = 1.0", LE_WRONG_DATAFILE_VERSION},
      {"PlugInName = veltaPortaB\nProgramId = 9F:FF:FF:08:1C:0A:04:01\nDataFileVersion =  1 ", LE_NO_ERROR},
  };
  for (const auto& row : rows) {
    WriteFile(dir / "in.dat", "[General]\n" + row.header + "\n[Settings]\nOne = 99\nUnknown = 5\n");
    params::cParams set;
    Fill(set);
    set.Parameter1ByteByName("One")->SetChanged(false);
    EXPECT_EQ(Load(set, "in.dat"), row.result) << row.header;
    const bool loaded = row.result == LE_NO_ERROR;  // refused: nothing changes
    EXPECT_EQ(std::tuple(set.Parameter1ByteByName("One")->Value(), set.Parameter1ByteByName("One")->Changed()),
              std::tuple(loaded ? 99 : 7, loaded))
        << row.header;
  }
}

TEST_F(ParamsFileTest, ValuesEditedByHand) {
  WriteFile(dir / "in.dat",
            "[General]\r\nPlugInName = veltaPortaB\r\nProgramId = 9F:FF:FF:08:1C:0A:04:01\r\nDataFileVersion = 1\r\n"
            "One = 1\r\n[Settings]\r\n  Hold  =   99.5xyz  \r\nDelay = 1, 2\r\nCombo =\r\nLabel = no comma\r\n"
            "Check = 0\r\n");
  params::cParams set;
  Fill(set);
  set.ParameterAsciiByName("Label")->SetDontWriteToFile(true);
  EXPECT_EQ(Load(set, "in.dat"), LE_NO_ERROR);
  // Hold: leading number, ties to even; Combo empty: kept; One: outside [Settings]; Label: not loaded.
  EXPECT_EQ(std::tuple(set.TextBoxParameterByName("Hold")->Value(), set.Parameter2ByteByName("Delay")->Value(),
                       set.ComboBoxParameterByName("Combo")->Value(), set.Parameter1ByteByName("One")->Value(),
                       set.ParameterAsciiByName("Label")->Value(), set.CheckBoxParameterByName("Check")->Value()),
            std::tuple(100, 258, -2, 7, "Hall, east ", 0));
}

TEST_F(ParamsFileTest, ABadValueStopsTheLoadAfterWhatCameBefore) {
  WriteFile(dir / "in.dat",
            "[General]\nPlugInName = veltaPortaB\nProgramId = 9F:FF:FF:08:1C:0A:04:01\nDataFileVersion = 1\n"
            "[Settings]\nHold = 1\nCombo = 4\nCheck = yes\nDelay = 9,9\n");
  params::cParams set;
  Fill(set);
  EXPECT_THAT([&] { Load(set, "in.dat"); }, ThrowsError(13));
  // Text boxes and combo boxes load before check boxes, two-byte parameters after them.
  EXPECT_EQ(std::tuple(set.TextBoxParameterByName("Hold")->Value(), set.ComboBoxParameterByName("Combo")->Value(),
                       set.Parameter2ByteByName("Delay")->Value()),
            std::tuple(1, 4, 3 * 256 + 20));
  EXPECT_EQ(Load(set, "nothing.dat"), LE_WRONG_PLUGIN);  // read as a file without keys
}

TEST_F(ParamsFileTest, AWriteReplacesTheFileWhole) {
  params::cParams set;
  Fill(set);
  EXPECT_FALSE(set.WriteToFile((dir / "no" / "such" / "folder.dat").string(), "veltaPortaB", kProgramId, "1"));
  // The disk fills up in the middle of the write (a file size limit stands in for it): the old file stays.
  const auto full = dir / "full.dat";
  WriteFile(full, "the old file");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(set.WriteToFile(full.string(), "veltaPortaB", kProgramId, "1") ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);  // the write answered false
  EXPECT_EQ(ReadFile(full), "the old file");
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_THAT(entry.path().filename().string(), ::testing::Not(::testing::HasSubstr(".tmp")));
  }

  // A write that succeeds keeps the file's permissions and links.
  const auto target = dir / "target.dat";
  WriteFile(target, "old");
  ::chmod(target.c_str(), 0640);
  std::filesystem::create_symlink(target, dir / "link.dat");
  ASSERT_TRUE(set.WriteToFile((dir / "link.dat").string(), "veltaPortaB", kProgramId, "1"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.dat"));
  EXPECT_THAT(ReadFile(target), ::testing::StartsWith("[General]"));
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
