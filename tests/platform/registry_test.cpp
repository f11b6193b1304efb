#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

#include "base/encoding.h"
#include "base/text.h"
#include "platform/registry/file_registry.h"
#include "platform/registry/reg_document.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using platform::registry::FileRegistry;
using services::registry::Hive;
using platform::registry::RegDocument;
using testing::HasSubstr;
using testing_support::ThrowsError;

namespace {

constexpr const char* kKey = "SOFTWARE\\velta\\veltaPortaB";

// Latin-1 text as UTF-16LE with byte-order mark, the way a registry editor exports.
std::string Utf16File(const std::string& latin1) {
  std::string out = "\xFF\xFE";
  for (char ch : latin1) {
    out += ch;
    out += '\0';
  }
  return out;
}

TEST(RegistryStoreTest, RoundTripThroughTheFile) {
  testing_support::TempDir dir;
  const auto file = dir / "sub" / "registry.reg";
  FileRegistry reg(file);
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, kKey, "x"), std::nullopt);  // a missing file reads empty
  EXPECT_FALSE(std::filesystem::exists(dir / "sub"));                       // and is made on the first write
  for (const auto& row : {std::pair{kKey, "two\nlines"}, {"A\\\\B", "1"}, {"", "1"}}) {  // what the format cannot hold
    EXPECT_THAT([&] { reg.WriteValue(Hive::LocalMachine, row.first, "x", row.second); }, ThrowsError(5)) << row.first;
  }
  EXPECT_THAT([&] { reg.DeleteKeyTree(Hive::LocalMachine, ""); }, ThrowsError(5));
  EXPECT_FALSE(std::filesystem::exists(file));
  reg.WriteValue(Hive::LocalMachine, std::string(kKey) + "\\Options", "Language", "1000");
  reg.WriteValue(Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", "", "{1234}");
  reg.WriteValue(Hive::LocalMachine, kKey, "Quote", "say \"hi\" C:\\path\\");
  FileRegistry again(file);  // another process reading the file
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, "software\\VELTA\\veltaportab\\options", "LANGUAGE"), "1000");
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, kKey, "Quote"), "say \"hi\" C:\\path\\");
  EXPECT_EQ(again.ReadValue(Hive::ClassesRoot, std::string(kKey) + "\\Options", "Language"), std::nullopt);
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, kKey, "Missing"), std::nullopt);

  EXPECT_THAT(testing_support::ReadFile(file),  // parents are listed
              testing::AllOf(HasSubstr("Windows Registry Editor Version 5.00\r\n"), HasSubstr("[HKEY_LOCAL_MACHINE\\SOFTWARE\\velta]\r\n"),
                             HasSubstr("[HKEY_LOCAL_MACHINE\\SOFTWARE\\velta\\veltaPortaB\\Options]\r\n\"Language\"=\"1000\""),
                             HasSubstr("[HKEY_CLASSES_ROOT\\veltaPortaB.Application\\Clsid]\r\n@=\"{1234}\""),
                             HasSubstr("\"Quote\"=\"say \\\"hi\\\" C:\\\\path\\\\\"")));
  // A reader that has the file cached sees a change another writer made since.
  reg.WriteValue(Hive::LocalMachine, kKey, "Quote", "22");
  EXPECT_EQ(again.ReadValue(Hive::LocalMachine, kKey, "Quote"), "22");
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
  EXPECT_FALSE(reg.KeyExists(Hive::LocalMachine, std::string(kKey) + "\\Options"));
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaBOther", "Keep"), "1");  // only a prefix: stays
  reg.DeleteKeyTree(Hive::LocalMachine, "SOFTWARE\\nothing");  // missing keys are no error
  reg.DeleteValue(Hive::LocalMachine, "SOFTWARE\\nothing", "x");
}

TEST(RegistryStoreTest, DamagedFileNamesFileAndLineAndIsNeverOverwritten) {
  struct Case { std::string contents; const char* where; };
  const Case cases[] = {
      {"not a registry\r\n", "line 1: not a registry file"},
      {"REGEDIT4\r\n\r\n\"x\"=\"1\"\r\n", "line 3: value outside of a key"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"open\r\n", "line 3: quoted string without closing quote"},
      {"REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n", "line 2: unknown hive \"HKEY_NOWHERE\""},
      {"REGEDIT4\r\n[SOFTWARE\\A]\r\n", "line 2: unknown hive \"SOFTWARE\""},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n", "line 2: key line without closing"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:12\r\n", "line 3: dword value needs 8"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:000000001\r\n", "line 3: dword value needs 8"},
      {std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"a") + '\0' + "b\"\r\n", "line 3: a NUL character"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"a\rb\"\r\n", "line 3: a NUL character or a carriage return"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=hex:00,\\\r\n  01\r\x1a", "line 4: a NUL character or a carriage return"},
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
    EXPECT_THAT([&] { reg.WriteValue(Hive::LocalMachine, kKey, "x", "1"); },
                testing_support::Raises(base::err::kInvalidFileFormat, HasSubstr(file.string() + ", " + c.where)));
    EXPECT_THAT([&] { reg.ReadValue(Hive::LocalMachine, kKey, "x"); }, ThrowsError(321));
    EXPECT_EQ(testing_support::ReadFile(file), c.contents);
  }
}

// Other tools' exports: values are read, hex values kept but not served, the file written back in its encoding.
TEST(RegistryStoreTest, ReadsOtherToolsExportsAndWritesBackInTheirEncoding) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
      "\"Name\"=\"\xC4\"\r\n\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n\"Count\"=dword:0000001f\r\n"
      "\"Bin\"=hex:01,02,\\\r\n  03,04\r\n";
  struct Case { const char* what; std::optional<std::string> contents; std::string writtenStart; };  // none: no file
  const Case cases[] = {
      {"UTF-16LE with byte-order mark", Utf16File(text), "\xFF\xFE"},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + base::Windows1252ToUtf8(text), "\xEF\xBB\xBF"},
      {"UTF-8", base::Windows1252ToUtf8(text), "Windows Registry"},
      {"a new file", std::nullopt, "Windows Registry"},
      {"REGEDIT4 (one byte per character in hex(2))", "REGEDIT4" + text.substr(text.find("\r\n")), "REGEDIT4\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::TempDir dir;
    const auto file = dir / "registry.reg";
    if (c.contents) testing_support::WriteFile(file, *c.contents);
    FileRegistry reg(file);
    const auto value = [&](const char* name) { return reg.ReadValue(Hive::LocalMachine, "SOFTWARE\\A", name).value_or("-"); };
    if (c.contents) { EXPECT_EQ(value("Name") + value("Count") + value("Bin"), "Ä31-"); }
    reg.WriteValue(Hive::LocalMachine, "SOFTWARE\\A", "New", "é😀");
    const std::string bytes = testing_support::ReadFile(file);
    EXPECT_EQ(bytes.substr(0, c.writtenStart.size()), c.writtenStart);
    const std::string decoded = base::DecodeTextFile(bytes);
    EXPECT_THAT(decoded, HasSubstr("\"New\"=\"é😀\"\r\n"));
    if (c.contents) {
      EXPECT_THAT(decoded, HasSubstr("\"Name\"=\"Ä\"\r\n\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                     "\"Count\"=dword:0000001f\r\n\"Bin\"=hex:01,02,03,04\r\n"));
    }
    EXPECT_EQ(FileRegistry(file).ReadValue(Hive::LocalMachine, "SOFTWARE\\A", "New"), "é😀");
  }
}

TEST(RegistryStoreTest, ExportIsUtf16ForARegistryEditorAndReadsBackTheSame) {
  testing_support::TempDir dir;
  const auto file = dir / "registry.reg";
  testing_support::WriteFile(file, "Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\B]\r\n\"Bin\"=hex:01,02\r\n");
  FileRegistry reg(file);
  reg.WriteValue(Hive::LocalMachine, kKey, "Name", "Ä😀 \"q\" \\");
  reg.WriteValue(Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", "", "{1234}");
  const std::string before = testing_support::ReadFile(file);

  reg.Export(dir / "out.reg");
  const std::string exported = testing_support::ReadFile(dir / "out.reg");
  ASSERT_EQ(exported.substr(0, 4), std::string("\xFF\xFEW\0", 4));
  EXPECT_THAT(base::DecodeTextFile(exported), testing::StartsWith("Windows Registry Editor Version 5.00\r\n"));
  EXPECT_EQ(RegDocument::Parse(exported, "out.reg").Keys(), RegDocument::Parse(before, "registry.reg").Keys());
  EXPECT_EQ(testing_support::ReadFile(file), before);
  // The store, its lock and the export: no temporary left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST(RegistryStoreTest, KeepsKeysOfOtherHivesWithoutServingThem) {
  testing_support::TempDir dir;
  const auto file = dir / "registry.reg";
  const std::string others =
      "[HKEY_CURRENT_USER\\SOFTWARE\\velta\\veltaPortaB]\r\n\"Language\"=\"9\"\r\n\"Bin\"=hex:01,02\r\n"
      "\"Count\"=dword:00000002\r\n@=\"d\"\r\n\r\n"
      "[HKEY_USERS\\.DEFAULT\\Software]\r\n\r\n"
      "[HKEY_CURRENT_CONFIG\\System\\X]\r\n\"Y\"=\"z\"\r\n\r\n";
  testing_support::WriteFile(file, "Windows Registry Editor Version 5.00\r\n\r\n" + others);
  FileRegistry reg(file);
  EXPECT_FALSE(reg.KeyExists(Hive::LocalMachine, "SOFTWARE"));
  EXPECT_THAT(reg.SubKeyNames(Hive::LocalMachine, ""), testing::IsEmpty());
  reg.WriteValue(Hive::LocalMachine, kKey, "Language", "1000");
  reg.WriteValue(Hive::LocalMachine, kKey, "Bin", "b");
  reg.DeleteValue(Hive::LocalMachine, kKey, "Bin");
  reg.WriteValue(Hive::LocalMachine, "System\\X", "Y", "w");
  reg.DeleteKeyTree(Hive::LocalMachine, "System");
  EXPECT_EQ(reg.ReadValue(Hive::LocalMachine, kKey, "Language"), "1000");
  // Our hives first, the others after them by name, each key as it was read.
  EXPECT_THAT(testing_support::ReadFile(file),
              testing::EndsWith("[HKEY_LOCAL_MACHINE\\SOFTWARE\\velta\\veltaPortaB]\r\n\"Language\"=\"1000\"\r\n\r\n" +
                                std::string("[HKEY_CURRENT_CONFIG\\System\\X]\r\n\"Y\"=\"z\"\r\n\r\n") +
                                "[HKEY_CURRENT_USER\\SOFTWARE\\velta\\veltaPortaB]\r\n\"Language\"=\"9\"\r\n"
                                "\"Bin\"=hex:01,02\r\n\"Count\"=dword:00000002\r\n@=\"d\"\r\n\r\n"
                                "[HKEY_USERS\\.DEFAULT\\Software]\r\n\r\n"));
}

TEST(RegistryStoreTest, ValueAndKeyNamesMatchTheFileInAnyCase) {
  // A value line in the file, the name written, and the name as it must appear once in the folded file.
  struct Case { const char* inFile, *written, *folded; };
  const Case cases[] = {{"\"language\"=\"1\"", "Language", "\"language\"="}, {"\"count\"=dword:00000001", "COUNT", "\"count\"="},
                        {"\"größe\"=\"1\"", "GRÖßE", "\"größe\"="}, {"@=\"1\"", "", "@="}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inFile);
    testing_support::TempDir dir;
    const auto file = dir / "registry.reg";
    testing_support::WriteFile(
        file, std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\VELTA]\r\n") + c.inFile + "\r\n");
    FileRegistry(file).WriteValue(Hive::LocalMachine, "SOFTWARE\\velta", c.written, "2");
    EXPECT_EQ(FileRegistry(file).ReadValue(Hive::LocalMachine, "Software\\Velta", c.written), "2");
    const std::string folded = base::FoldCase(testing_support::ReadFile(file));
    EXPECT_EQ(base::Split(folded, c.folded).size(), 2u);
    EXPECT_EQ(base::Split(folded, "[hkey_local_machine\\software\\velta]").size(), 2u);
  }
}

TEST(RegistryStoreTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  testing_support::TempDir dir;
  const auto file = dir / "registry.reg";
  FileRegistry(file).WriteValue(Hive::LocalMachine, kKey, "A", "1");
  const std::string before = testing_support::ReadFile(file);
  // A child process whose files cannot grow past 4 KiB, as on a full disk.
  const testing_support::TempDir elsewhere;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    std::string message = "no error";
    if (::setrlimit(RLIMIT_FSIZE, &limit) == 0) {
      try {
        FileRegistry(file).WriteValue(Hive::LocalMachine, kKey, "A", std::string(100000, 'x'));
      } catch (const base::Error& e) {
        message = std::to_string(e.Number()) + " " + e.Description();
      }
    }
    testing_support::WriteFile(elsewhere / "message", message);
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  EXPECT_THAT(testing_support::ReadFile(elsewhere / "message"),
              testing::AllOf(testing::StartsWith("75 "), HasSubstr("\"" + file.string() + "\""),
                             HasSubstr(std::strerror(EFBIG))));
  EXPECT_EQ(testing_support::ReadFile(file), before);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
  EXPECT_THAT(names, testing::UnorderedElementsAre("registry.reg", "registry.reg.lock"));
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
