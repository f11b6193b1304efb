#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry/file_registry.h"
#include "platform/registry/reg_document.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using platform::registry::FileRegistry;
using platform::registry::Hive;
using platform::registry::RegDocument;
using testing::HasSubstr;
using testing_support::ThrowsError;

namespace {

constexpr const char* kKey = "SOFTWARE\\velta\\veltaPortaB";

TEST(RegistryStoreTest, RoundTripThroughTheFile) {
  testing_support::TempDir dir;
  {
    FileRegistry reg(dir / "registry.reg");
    reg.WriteValue(Hive::LocalMachine, std::string(kKey) + "\\Options", "Language", "1000");
    reg.WriteValue(Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", "", "{1234}");
    reg.WriteValue(Hive::LocalMachine, kKey, "Quote", "say \"hi\" C:\\path\\");
  }
  FileRegistry again(dir / "registry.reg");  // a new process reading the file
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, "software\\VELTA\\veltaportab\\options", "LANGUAGE"), "1000");
  EXPECT_EQ(again.ReadValue(Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", ""), "{1234}");
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, kKey, "Quote"), "say \"hi\" C:\\path\\");
  EXPECT_EQ(again.ReadValue(Hive::ClassesRoot, std::string(kKey) + "\\Options", "Language"), std::nullopt);
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, kKey, "Missing"), std::nullopt);

  const std::string text = testing_support::ReadFile(dir / "registry.reg");
  EXPECT_THAT(text, HasSubstr("Windows Registry Editor Version 5.00\r\n"));
  EXPECT_THAT(text, HasSubstr("[HKEY_LOCAL_MACHINE\\SOFTWARE\\velta\\veltaPortaB\\Options]\r\n\"Language\"=\"1000\""));
  EXPECT_THAT(text, HasSubstr("[HKEY_CLASSES_ROOT\\veltaPortaB.Application\\Clsid]\r\n@=\"{1234}\""));
  EXPECT_THAT(text, HasSubstr("\"Quote\"=\"say \\\"hi\\\" C:\\\\path\\\\\""));
  EXPECT_THAT(text, HasSubstr("[HKEY_LOCAL_MACHINE\\SOFTWARE\\velta]\r\n"));  // parents are listed
}

TEST(RegistryStoreTest, DeleteValueAndKeyTree) {
  testing_support::TempDir dir;
  FileRegistry reg(dir / "registry.reg");
  reg.WriteValue(Hive::LocalMachine, std::string(kKey) + "\\Options", "Language", "0");
  reg.WriteValue(Hive::LocalMachine, std::string(kKey) + "\\Settings", "Top", "10");
  reg.WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaBOther", "Keep", "1");
  reg.DeleteValue(Hive::LocalMachine, std::string(kKey) + "\\Settings", "top");
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, std::string(kKey) + "\\Settings", "Top"), std::nullopt);
  EXPECT_TRUE(reg.KeyExists(Hive::LocalMachine, std::string(kKey) + "\\Settings"));
  EXPECT_THAT(reg.SubKeyNames(Hive::LocalMachine, kKey), testing::ElementsAre("Options", "Settings"));

  reg.DeleteKeyTree(Hive::LocalMachine, "software\\velta\\VELTAPORTAB");
  EXPECT_FALSE(reg.KeyExists(Hive::LocalMachine, kKey));
  EXPECT_FALSE(reg.KeyExists(Hive::LocalMachine, std::string(kKey) + "\\Options"));
  // A key whose name only starts with the deleted one stays.
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaBOther", "Keep"), "1");
  reg.DeleteKeyTree(Hive::LocalMachine, "SOFTWARE\\nothing");  // missing keys are no error
  reg.DeleteValue(Hive::LocalMachine, "SOFTWARE\\nothing", "x");
}

TEST(RegistryStoreTest, MissingFileReadsEmptyAndIsCreatedOnWrite) {
  testing_support::TempDir dir;
  FileRegistry reg(dir / "sub" / "registry.reg");
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, kKey, "x"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir / "sub"));
  reg.WriteValue(Hive::LocalMachine, kKey, "x", "1");
  EXPECT_TRUE(std::filesystem::exists(dir / "sub" / "registry.reg"));
}

TEST(RegistryStoreTest, DamagedFileNamesFileAndLineAndIsNeverOverwritten) {
  struct Case {
    std::string contents;
    const char* where;
  };
  const Case cases[] = {
      {"not a registry\r\n", "line 1: not a registry file"},
      {"REGEDIT4\r\n\r\n\"x\"=\"1\"\r\n", "line 3: value outside of a key"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"open\r\n", "line 3: quoted string without closing quote"},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n", "line 2: unsupported hive"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n", "line 2: key line without closing"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:12\r\n", "line 3: dword value needs 8"},
      {std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"a") + '\0' + "b\"\r\n", "line 3: a NUL character"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"a\rb\"\r\n", "line 3: a NUL character or a carriage return"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=hex:01,\\\r\n[HKEY_LOCAL_MACHINE\\B]\r\n", "line 3: value continued"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=hex:01,\\\r\n", "line 3: value continued"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=-\r\n", "line 3: value deletions"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\" \"1\"\r\n", "line 3: expected \"=\""},
  };
  for (const auto& c : cases) {
    testing_support::TempDir dir;
    const auto file = dir / "registry.reg";
    testing_support::WriteFile(file, c.contents);
    FileRegistry reg(file);
    try {
      reg.WriteValue(Hive::LocalMachine, kKey, "x", "1");
      ADD_FAILURE() << "no error for " << c.contents;
    } catch (const base::Error& e) {
      EXPECT_EQ(e.Number(), base::err::kInvalidFileFormat);
      EXPECT_THAT(e.Description(), HasSubstr(file.string() + ", " + c.where));
    }
    EXPECT_THAT([&] { reg.ReadValue(Hive::LocalMachine, kKey, "x"); }, ThrowsError(321));
    EXPECT_EQ(testing_support::ReadFile(file), c.contents);
  }
}

TEST(RegistryStoreTest, ReadsExportsOfOtherToolsAndKeepsWhatItCannotRead) {
  testing_support::TempDir dir;
  const auto file = dir / "registry.reg";
  // UTF-16LE with byte-order mark, as a registry editor exports.
  std::string utf16 = "\xFF\xFE";
  for (unsigned char ch : std::string("Windows Registry Editor Version 5.00\r\n\r\n; comment\r\n"
                                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"Count\"=dword:0000001f\r\n"
                                      "\"Bin\"=hex:01,02,\\\r\n  03,04\r\n\"Name\"=\"\xC4\"\r\n")) {
    utf16 += static_cast<char>(ch);
    utf16 += '\0';
  }
  testing_support::WriteFile(file, utf16);
  FileRegistry reg(file);
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\A", "Count"), "31");
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\A", "Name"), "Ä");
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\A", "Bin"), std::nullopt);
  reg.WriteValue(Hive::LocalMachine, "SOFTWARE\\A", "New", "v");
  const std::string written = testing_support::ReadFile(file);
  EXPECT_THAT(written, HasSubstr("\"Count\"=dword:0000001f"));
  EXPECT_THAT(written, HasSubstr("\"Bin\"=hex:01,02,03,04"));
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\A", "Count"), "31");
}

TEST(RegistryStoreTest, RefusesTextsTheFormatCannotHold) {
  testing_support::TempDir dir;
  FileRegistry reg(dir / "registry.reg");
  EXPECT_THAT([&] { reg.WriteValue(Hive::LocalMachine, kKey, "x", "two\nlines"); }, ThrowsError(5));
  EXPECT_THAT([&] { reg.WriteValue(Hive::LocalMachine, "A\\\\B", "x", "1"); }, ThrowsError(5));
  EXPECT_THAT([&] { reg.WriteValue(Hive::LocalMachine, "", "x", "1"); }, ThrowsError(5));
  EXPECT_THAT([&] { reg.DeleteKeyTree(Hive::LocalMachine, ""); }, ThrowsError(5));
  EXPECT_FALSE(std::filesystem::exists(dir / "registry.reg"));
}

TEST(RegistryStoreTest, SeesChangesMadeByAnotherWriter) {
  testing_support::TempDir dir;
  FileRegistry first(dir / "registry.reg");
  FileRegistry second(dir / "registry.reg");
  first.WriteValue(Hive::LocalMachine, kKey, "A", "1");
  EXPECT_EQ(second.ReadValue(Hive::LocalMachine, kKey, "A"), "1");
  second.WriteValue(Hive::LocalMachine, kKey, "A", "22");
  EXPECT_EQ(first.ReadValue(Hive::LocalMachine, kKey, "A"), "22");
}

TEST(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  testing_support::TempDir dir;
  const auto file = dir / "registry.reg";
  constexpr int kValues = 40;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "child" : "parent";
  {
    FileRegistry reg(file);
    for (int i = 0; i < kValues; ++i) reg.WriteValue(Hive::LocalMachine, kKey, who + std::to_string(i), "v");
  }
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  FileRegistry reg(file);
  for (int i = 0; i < kValues; ++i) {
    EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, kKey, "child" + std::to_string(i)), "v") << i;
    EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, kKey, "parent" + std::to_string(i)), "v") << i;
  }
}

}  // namespace
