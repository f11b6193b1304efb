#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "base/text.h"
#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "platform/registry/file_registry.h"
#include "support/host_run.h"
#include "ui/res_strings.h"

using services::registry::Hive;
using testing::HasSubstr;
using testing::Not;

namespace {

// The program folder holds a PortaB.ini with only the help entry.
class HostRun : public testing_support::HostRun {
 public:
  explicit HostRun(bool withIniFile = true)
      : testing_support::HostRun({withIniFile, false, false,
                                  withIniFile ? "[velta Porta Help 1.0]\nHelpFilePath=help\\PortaB.html\n" : ""}) {}
};

std::string Refusal(int commandId, int classId) {
  return "The transmitted CommandId (" + std::to_string(commandId) + ") is not\r\nsupported for  ClassId " +
         std::to_string(classId) + " !";
}

TEST(MainTest, CommandLinesReachTheRightHandler) {
  // currentCommand: 1 or 4 when the connect handler started; refusedClassId -1: no refusal;
  // about: the About box and self-registration.
  struct Case { const char* commandLine; int currentCommand, refusedClassId; bool about; const char* objectName; };
  const Case cases[] = {
      {"/CLASSID:28/COMMANDID:13/OBJECTNAME:x", 1, -1, false, "x"},
      {"/COMMANDID:13/CLASSID:28/OBJECTNAME:x", 1, -1, false, "x"},
      {"portab.exe /classid:28/commandid:22/objectname:Net\\Sys.Sub\\Dev\\Obj", 4, -1, false, "Net\\Sys.Sub\\Dev\\Obj"},
      {"/ COMMANDID :13/CLASSID:28/OBJECTNAME:x", 1, -1, false, "x"},  // keywords are trimmed
      {"CLASSID:28/COMMANDID:13/OBJECTNAME:x", 0, 0, false, "x"},      // text before the first "/" is skipped
      {"/CLASSID:27/COMMANDID:13/OBJECTNAME:x", 0, 27, false, "x"},
      {"/CLASSID:28/COMMANDID:14/OBJECTNAME:x", 0, 28, false, "x"},
      {"/OBJECTNAME:a:b", 0, 0, false, "a"},
      {"/OBJECTNAME: x /CLASSID:28/COMMANDID:13/NOSUCH:1", 1, -1, false, " x "},  // values are not trimmed
      {"/CLASSID:28//OBJECTNAME:x", 0, -1, true, ""},  // the walk ends at the empty piece
      {"", 0, -1, true, ""},
      {"/CLASSID:28/COMMANDID:13", 0, -1, true, ""},
      {"/CLASSID:28.5/COMMANDID:13abc/OBJECTNAME:x", 1, -1, false, "x"},  // numeric value, rounded
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandLine);
    HostRun run;
    run.Main(c.commandLine);
    const auto& s = host::RunState();
    EXPECT_EQ(s.CurrentCommand, c.currentCommand);
    EXPECT_EQ(s.ObjectName, c.objectName);
    EXPECT_EQ(s.StartFailed, c.refusedClassId >= 0 || c.currentCommand != 0);
    if (c.refusedClassId >= 0) {
      ASSERT_EQ(run.records.messages.size(), 1u);
      EXPECT_EQ(run.records.messages[0].text, Refusal(s.CommandId, c.refusedClassId));
      EXPECT_EQ(run.records.messages[0].title, "veltaPortaB");
      EXPECT_EQ(run.records.messages[0].icon, services::dialogs::Icon::Exclamation);
    } else if (c.currentCommand != 0) {
      // Accepted: the connection starts; this home has no network, so the project cannot be opened.
      ASSERT_EQ(run.records.messages.size(), 1u);
      EXPECT_EQ(run.records.messages[0].text.rfind("The project can not be opened !", 0), 0u);
    } else {
      EXPECT_TRUE(run.records.messages.empty());
    }
    EXPECT_EQ(run.records.abouts.size(), c.about ? 1u : 0u);
    if (c.about) {
      ASSERT_EQ(run.records.started.size(), 1u);
      EXPECT_EQ(run.records.started[0],
                (std::vector<std::string>{(run.ProgramFolder() / "portab").string(), "/regserver"}));
    } else {
      EXPECT_TRUE(run.records.started.empty());
    }
    if (c.currentCommand != 0) {
      EXPECT_EQ(run.records.statusTexts.front(), "Connecting to LNS server ...");
      EXPECT_THAT(run.Log(), HasSubstr("[M_LcaPlugIn] Public Sub OpenLnsAndFindObject()"));
    }
  }
}

TEST(MainTest, LanguageKeywordStoresTheSettingAndEndsTheRun) {
  const std::pair<const char*, const char*> cases[] = {
      {"/REG:1000", "1000"}, {"/REG:abc", "0"}, {"/reg: 1000/OBJECTNAME:x/CLASSID:28/COMMANDID:13", "1000"}};
  for (const auto& [commandLine, stored] : cases) {
    SCOPED_TRACE(commandLine);
    HostRun run;
    run.Main(commandLine);
    EXPECT_EQ(run.Registry().ReadValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB\\Options", "Language"),
              stored);
    EXPECT_TRUE(run.records.messages.empty());  // later pieces are not read
    EXPECT_EQ(host::RunState().CurrentCommand, 0);
    EXPECT_TRUE(host::RunState().Ended);
  }
}

TEST(MainTest, UnregisterRemovesTheOwnKeyAndDoesNotRegisterAgain) {
  HostRun run;
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB\\Settings", "Top", "5");
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register\\Options", "Language", "0");
  run.Main("/UNREG");
  EXPECT_TRUE(host::RunState().Unregistering);
  EXPECT_FALSE(run.Registry().KeyExists(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB"));
  EXPECT_TRUE(run.Registry().KeyExists(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register"));
  EXPECT_THAT(run.Log(), HasSubstr("[M_PlugIn] Public Sub Unregister()"));
  EXPECT_THAT(run.Log(), Not(HasSubstr("[M_PlugIn] Public Sub Register()")));
}

TEST(MainTest, RunWithoutLnsConnection) {
  for (const char* commandLine : {"/S", "/DEVL2093/OBJECTNAME:x"}) {
    SCOPED_TRACE(commandLine);
    HostRun run;
    run.Main(commandLine);
    EXPECT_EQ(host::RunState().CurrentCommand, 100);
    EXPECT_EQ(run.records.statusShown, std::string(commandLine) == "/S");
    EXPECT_THAT(run.Log(), HasSubstr("[frmMain] Public Sub Display()"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("ValidateCommand")));
  }
}

TEST(MainTest, CommandFiftyTakesTheRegistrationBranchForAnyClass) {
  {
    HostRun run;  // without program ids: the registration component shows the commands
    host::M_LcaPlugIn::InitApp();
    host::M_PlugIn::ValidateCommand(50, 123, "x");
    EXPECT_FALSE(host::RunState().StartFailed);
    EXPECT_TRUE(host::RunState().Ended);
    ASSERT_EQ(run.records.messages.size(), 1u);
    EXPECT_EQ(run.records.messages[0].text, "13 / 28: configure omnal object\r\n22 / 28: control switch sensor");
    EXPECT_EQ(run.records.messages[0].icon, services::dialogs::Icon::Information);
    EXPECT_THAT(run.Log(), Not(HasSubstr("RegisterInNetworks")));
  }
  {
    HostRun run;  // a network that cannot be opened and no result object: message 1435
    host::M_LcaPlugIn::InitApp();
    host::RunState().ProgramIdsToRegister = "9F:FF";
    host::M_PlugIn::ValidateCommand(50, 0, "Nowhere/System.Floor 1/Switch 1/Omnal 1");
    EXPECT_EQ(run.records.statusTexts.front(), "Registering plug-in ...");
    EXPECT_TRUE(run.records.statusShown);
    ASSERT_EQ(run.records.messages.size(), 1u);
    EXPECT_EQ(run.records.messages[0].text, "Errors occured while registering the plug-in.");
    EXPECT_EQ(run.records.messages[0].icon, services::dialogs::Icon::Critical);
  }
}

TEST(MainTest, OutOfRangeIdsGoToTheErrorOperation) {
  for (const char* commandLine : {"/CLASSID:32768/COMMANDID:13/OBJECTNAME:x",
                                  "/CLASSID:28/COMMANDID:2147483648/OBJECTNAME:x"}) {
    SCOPED_TRACE(commandLine);
    HostRun run;
    run.Main(commandLine);
    EXPECT_TRUE(run.records.messages.empty());
    EXPECT_THAT(run.Log(), HasSubstr("Error 6 in M_PlugIn.Main: Overflow"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("ValidateCommand")));
  }
}

// A missing PortaB.ini, or one that is no INI file, ends the run before any command; the
// message names the file (and what is wrong with it) and the log has the same line.
TEST(MainTest, AMissingOrDamagedIniFileEndsTheRunBeforeAnyCommand) {
  const std::pair<std::optional<std::string>, std::string> rows[] = {
      {std::nullopt, "The INI file does not exist :\r\n\r\n%1"},
      {"[velta Porta CPs 1.0 ]\nConfig=PortaB.cfg\n" + std::string("\x01\x02\x00\x7f", 4),
       "The INI file can not be read :\r\n\r\n%1\r\nline 3 holds binary data (NUL or other control characters): it "
       "is not a text file"},
  };
  for (const auto& [contents, expected] : rows) {
    HostRun run(false);
    const std::string file = (run.ProgramFolder() / "PortaB.ini").string();
    if (contents) testing_support::WriteFile(file, *contents);
    run.Main("/CLASSID:28/COMMANDID:13/OBJECTNAME:x");
    ASSERT_EQ(run.records.messages.size(), 1u);
    EXPECT_EQ(run.records.messages[0].text, base::ReplaceAll(expected, "%1", file));
    EXPECT_EQ(run.records.messages[0].icon, services::dialogs::Icon::Critical);
    EXPECT_TRUE(host::RunState().StartFailed);
    EXPECT_THAT(run.Log(), HasSubstr(file));
    EXPECT_THAT(run.Log(), Not(HasSubstr("[M_PlugIn] Public Sub Main()")));
    if (contents) {
      EXPECT_EQ(testing_support::ReadFile(file), *contents);  // nothing written into it
    }
  }
}

TEST(MainTest, SharedLanguageSettingSelectsGermanTexts) {
  HostRun run;
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register\\Options", "Language", "1000");
  host::M_LcaPlugIn::InitApp();
  const auto& s = host::RunState();
  EXPECT_EQ(host::LanguageOffset(), 1000);
  EXPECT_EQ(s.CommandTable[1].Name, "Omnal-Objekt konfigurieren");
  EXPECT_FALSE(s.CommandTable[2].Enabled);
  EXPECT_EQ(s.HelpFilePath, (run.ProgramFolder() / "help" / "PortaB.html").string());
  host::M_LcaPlugIn::EndApp();
}

TEST(MainTest, AccessModeFollowsRemoteAndInterfaceName) {
  EXPECT_EQ(host::M_PlugIn::AccessMode(false, "Internet"), 0);
  EXPECT_EQ(host::M_PlugIn::AccessMode(true, "LON1"), 1);
  EXPECT_EQ(host::M_PlugIn::AccessMode(true, "internet"), 1);  // case-sensitive
  EXPECT_EQ(host::M_PlugIn::AccessMode(true, "Internet"), 2);
}

TEST(MainTest, EndAppTwiceIsHarmless) {
  HostRun run;
  host::M_LcaPlugIn::InitApp();
  host::M_LcaPlugIn::EndApp();
  host::M_LcaPlugIn::EndApp();
  EXPECT_TRUE(host::RunState().Ended);
  EXPECT_EQ(host::RunState().Logger, nullptr);
}

}  // namespace
