// The host: command lines, connecting and starting the profile plug-in, and the Application object.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "base/text.h"
#include "host/application.h"
#include "host/automation_start.h"
#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "lns/lns_dispatch.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/sqlite_db.h"
#include "platform/registry/file_registry.h"
#include "support/host_run.h"
#include "support/matchers.h"
#include "support/temp_dir.h"
#include "ui/res_strings.h"

using services::registry::Hive;
using testing::HasSubstr;
using testing::Not;
using testing_support::ThrowsError;

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
  // currentCommand: 1 or 4 when connecting started; refusedClassId -1: no refusal; about: About box and self-registration.
  struct Case { const char* commandLine; int currentCommand, refusedClassId; bool about; const char* objectName; };
  const Case cases[] = {
      {"/CLASSID:28/COMMANDID:13/OBJECTNAME:x", 1, -1, false, "x"}, {"/COMMANDID:13/CLASSID:28/OBJECTNAME:x", 1, -1, false, "x"},
      {"portab.exe /classid:28/commandid:22/objectname:Net\\Sys.Sub\\Dev\\Obj", 4, -1, false, "Net\\Sys.Sub\\Dev\\Obj"},
      {"/ COMMANDID :13/CLASSID:28/OBJECTNAME:x", 1, -1, false, "x"},  // keywords are trimmed
      {"CLASSID:28/COMMANDID:13/OBJECTNAME:x", 0, 0, false, "x"},      // text before the first "/" is skipped
      {"/CLASSID:27/COMMANDID:13/OBJECTNAME:x", 0, 27, false, "x"}, {"/CLASSID:28/COMMANDID:14/OBJECTNAME:x", 0, 28, false, "x"},
      {"/OBJECTNAME:a:b", 0, 0, false, "a"}, {"", 0, -1, true, ""}, {"/CLASSID:28/COMMANDID:13", 0, -1, true, ""},
      {"/OBJECTNAME: x /CLASSID:28/COMMANDID:13/NOSUCH:1", 1, -1, false, " x "},  // values are not trimmed
      {"/CLASSID:28//OBJECTNAME:x", 0, -1, true, ""},  // the walk ends at the empty piece
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
    using Started = std::vector<std::vector<std::string>>;
    EXPECT_EQ(run.records.started, (c.about ? Started{{(run.ProgramFolder() / "portab").string(), "/regserver"}} : Started{}));
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
  EXPECT_FALSE(run.Registry().KeyExists(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB"));
  EXPECT_TRUE(run.Registry().KeyExists(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register"));
  EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr("[M_PlugIn] Public Sub Unregister()"), Not(HasSubstr("[M_PlugIn] Public Sub Register()"))));
}

TEST(MainTest, RunWithoutLnsConnection) {
  for (const char* commandLine : {"/S", "/DEVL2093/OBJECTNAME:x"}) {
    SCOPED_TRACE(commandLine);
    HostRun run;
    run.Main(commandLine);
    EXPECT_EQ(host::RunState().CurrentCommand, 100);
    EXPECT_EQ(run.records.statusShown, std::string(commandLine) == "/S");
    EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr("[frmMain] Public Sub Display()"), Not(HasSubstr("ValidateCommand"))));
  }
}

TEST(MainTest, CommandFiftyTakesTheRegistrationBranchForAnyClass) {
  {
    HostRun run;  // without program ids: the registration component shows the commands
    host::M_LcaPlugIn::InitApp();
    host::M_PlugIn::ValidateCommand(50, 123, "x");
    EXPECT_FALSE(host::RunState().StartFailed);
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
    EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr("Error 6 in M_PlugIn.Main: Overflow"), Not(HasSubstr("ValidateCommand"))));
  }
}

// A missing or damaged PortaB.ini ends the run before any command, with the file named in the message and the log.
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
    EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr(file), Not(HasSubstr("[M_PlugIn] Public Sub Main()"))));
    if (contents) { EXPECT_EQ(testing_support::ReadFile(file), *contents); }  // nothing written into it
  }
  HostRun folder(false);  // something that is not a file is there: unreadable, not missing
  std::filesystem::create_directory(folder.ProgramFolder() / "PortaB.ini");
  folder.Main("/CLASSID:28/COMMANDID:13/OBJECTNAME:x");
  ASSERT_EQ(folder.records.messages.size(), 1u);
  EXPECT_THAT(folder.records.messages[0].text, testing::EndsWith("PortaB.ini\r\nit is a folder, not a file"));
}

TEST(MainTest, SharedLanguageSettingSelectsGermanTexts) {
  HostRun run;
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register\\Options", "Language", "1000");
  host::M_LcaPlugIn::InitApp();
  const auto& s = host::RunState();
  EXPECT_EQ(s.CommandTable[1].Name, "Omnal-Objekt konfigurieren");
  EXPECT_FALSE(s.CommandTable[2].Enabled);
  EXPECT_EQ(s.HelpFilePath, (run.ProgramFolder() / "help" / "PortaB.html").string());
  host::M_LcaPlugIn::EndApp();
}

TEST(MainTest, AccessModeFollowsRemoteAndInterfaceName) {
  EXPECT_EQ(host::M_PlugIn::AccessMode(false, "Internet"), 0);
  EXPECT_EQ(host::M_PlugIn::AccessMode(true, "internet"), 1);  // case-sensitive
  EXPECT_EQ(host::M_PlugIn::AccessMode(true, "Internet"), 2);
}

// A run of the host on the demo network with the knowledge base, and recording components.
class StartEndTest : public testing::Test {
 protected:
  StartEndTest() : run_({true, true, true, ""}), records_(run_.records) {}

  void Connect(int32_t currentCommand, const std::string& object = "Demo/System.Floor 1/Switch 1/Omnal 1") {
    host::M_LcaPlugIn::InitApp();
    host::RunState().CurrentCommand = currentCommand;
    host::M_LcaPlugIn::OpenLnsAndFindObject(object, 0);
  }

  testing_support::HostRun run_;
  testing_support::Records& records_;
};

TEST_F(StartEndTest, AServerThatDoesNotAnswerGivesMessage1508) {
  records_.deadObjectServer = true;
  Connect(1);
  ASSERT_EQ(records_.messages.size(), 1u);
  EXPECT_EQ(records_.messages[0].text, "The LNS server can not be opened ! veltaPortaB is being closed.");
  EXPECT_EQ(records_.messages[0].icon, services::dialogs::Icon::Exclamation);
  EXPECT_EQ(records_.messages[0].title, "Switch 1 / Omnal 1");
  EXPECT_TRUE(host::RunState().StartFailed);
  EXPECT_TRUE(host::RunState().Ended);
  host::M_LcaPlugIn::EndApp();  // again, after the failure: nothing happens
}

TEST_F(StartEndTest, StatusTextsOfTheConnectionAndTheDisplayOfCommand1) {
  records_.objectMaker = [](const std::string&) { return nullptr; };  // no profile plug-in can be created
  Connect(1);
  EXPECT_THAT(records_.statusTexts,
              testing::IsSupersetOf<std::vector<std::string>>({"Analyzing objectname...", "Opening network \"Demo\" ...",
                                                             "Searching for device \"Switch 1\"' ...", "Reading configuration ..."}));
  EXPECT_EQ(records_.createdObjects, std::vector<std::string>{"veltaDemoProfile.Application"});
  ASSERT_EQ(records_.messages.size(), 1u);  // the plug-in could not be created
  EXPECT_EQ(records_.messages[0].text, "Die Konfiguration von \"Omnal 1\" ist ungültig.");
  EXPECT_TRUE(host::RunState().StartFailed);
}

TEST_F(StartEndTest, TheProfilePlugInGetsThisRunsCommandAndSettings) {
  std::vector<std::string> calls;
  class Recorder final : public base::DispatchTable {
   public:
    explicit Recorder(std::vector<std::string>& calls) : base::DispatchTable("Recorder") {
      for (const char* name : {"NetworkInterfaceName", "Remote", "NetworkName", "Visible"}) {
        AddProperty(name, nullptr, [&calls, name](const base::Variant& v) { calls.push_back(std::string(name) + "=" + v.ToString()); });
      }
      AddMethod("SendCommand", [&calls](std::vector<base::Variant>& args) {
        calls.push_back("SendCommand " + args[0].ToString() + " " + args[1].ToString() + " " + args[2].ToString());
        return base::Variant();
      });
    }
  };
  records_.objectMaker = [&](const std::string&) { return std::make_shared<Recorder>(calls); };
  host::M_LcaPlugIn::InitApp();
  auto& s = host::RunState();
  std::tie(s.CommandId, s.ClassId, s.ObjectName, s.CurrentCommand) = std::make_tuple(22, 28, "Demo\\System.Floor 1\\Switch 1\\Omnal 1", 4);
  host::M_LcaPlugIn::OpenLnsAndFindObject(s.ObjectName, 2);  // remote over the Internet
  EXPECT_EQ(calls, (std::vector<std::string>{"NetworkInterfaceName=Internet", "Remote=True", "NetworkName=Demo",
                                                  "SendCommand 22 28 Demo\\System.Floor 1\\Switch 1\\Omnal 1",
                                                  "Visible=True"}));
  EXPECT_FALSE(s.StartFailed);
  EXPECT_TRUE(records_.messages.empty());
}

TEST_F(StartEndTest, DeviceCheckIsCachedForTenSecondsUnlessForced) {
  host::M_LcaPlugIn::InitApp();
  auto server = run_.factory.CreateObjectServer();
  server->Open(0);
  auto device = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1);
  auto database = std::dynamic_pointer_cast<platform::lns_embedded::EmbeddedObjectServer>(server)->Database("Demo");
  EXPECT_TRUE(host::M_LcaPlugIn::DeviceIsAccessible(device, true));
  database->SetDeviceReachable(platform::lns_embedded::RowIdOf(*device), false);
  EXPECT_TRUE(host::M_LcaPlugIn::DeviceIsAccessible(device, false));  // the first answer, within ten seconds
  EXPECT_FALSE(host::M_LcaPlugIn::DeviceIsAccessible(device, true));
  host::RunState().TabStrips = std::make_unique<ui::cTabStrips>();
  host::M_LcaPlugIn::EndApp();
  EXPECT_EQ(host::RunState().TabStrips, nullptr);  // the end of the run releases the tab models
}

TEST_F(StartEndTest, FindParentByClassIdWalksUpOrGivesNothing) {
  auto server = run_.factory.CreateObjectServer();
  server->Open(0);
  auto object = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
                    ->Interface()->LonMarkObjects()->Item(1);
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 7)->Name(), "Switch 1");
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 1)->Name(), "Demo");
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 99), nullptr);
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(nullptr, 7), nullptr);
}

// A run served through the Application object, with the shipped PortaB.ini and the demo network.
class ApplicationTest : public testing::Test {
 protected:
  ApplicationTest() : ApplicationTest({true, true, false, ""}) {}
  explicit ApplicationTest(const testing_support::HostSetup& setup)
      : run_(setup), app_(host::CreateApplication()) {}
  ~ApplicationTest() override {
    app_.reset();
    host::M_LcaPlugIn::EndApp();
  }
  void Send(int32_t command, int16_t classId, const std::string& objectName) {
    std::vector<base::Variant> args{command, classId, objectName};
    app_->Invoke("SendCommand", args);
  }
  // Command 50 for `programIds`, answered through a result object.
  int32_t Register(const std::string& programIds, const std::string& objectName);

  testing_support::HostRun run_;
  base::DispatchPtr app_;
};

class ResultObject final : public base::DispatchTable {
 public:
  ResultObject() : base::DispatchTable("Tool") {
    AddProperty("RegResult", [this] { return value; }, [this](const base::Variant& v) { value = v; });
  }
  base::Variant value;
};

const std::string kObject = "Demo/System.Floor 1/Switch 1/Omnal 1";

int32_t ApplicationTest::Register(const std::string& programIds, const std::string& objectName) {
  auto result = std::make_shared<ResultObject>();
  app_->Put("ProgramIdsToRegister", programIds);
  app_->Put("RegResult", base::DispatchPtr(result));
  Send(50, 0, objectName);
  return result->value.ToInt32();
}

TEST_F(ApplicationTest, ReadOnlyMembersAnswerAndRefuseWrites) {
  EXPECT_TRUE(host::RunState().Initialized);  // creation ran InitApp
  const std::pair<const char*, const char*> members[] = {
      {"LcaVersion", "3.24"}, {"ManufacturerId", "0009C"}, {"ManufacturerName", "velta"}, {"Name", "veltaPortaB"},
      {"Version", "1.0"}};
  for (const auto& member : members) {
    EXPECT_EQ(app_->Get(member.first).ToString(), member.second);
    EXPECT_THAT([&] { app_->Put(member.first, "x"); },
                testing_support::ThrowsErrorFrom(-2147201502, "veltaPortaB.Application",
                                                 "Write not supported. This property is read-only."))
        << member.first;
  }
  EXPECT_THAT([&] { app_->Get("ProgramIdsToRegister"); }, ThrowsError(438));  // write-only
  EXPECT_THAT([&] { app_->Get("Nothing"); }, ThrowsError(438));
}

TEST_F(ApplicationTest, PlainPropertiesAndTheWindow) {
  app_->Put("NetworkName", "X");
  app_->Put("Visible", true);
  EXPECT_EQ(std::make_pair(app_->Get("NetworkName").ToString(), app_->Get("Visible").ToBool()), std::make_pair(std::string(), false));
  app_->Put("Height", 480);
  host::RunState().MainWindow->width = 640.6;
  EXPECT_EQ(app_->Get("Height").ToInt32(), 480);
  EXPECT_EQ(app_->Get("Width").ToInt32(), 641);  // rounded on read
  host::RunState().MainWindow->windowState = 2;  // maximised
  app_->Put("Minimized", true);
  app_->Put("Minimized", true);
  EXPECT_TRUE(app_->Get("Minimized").ToBool());
  app_->Put("Minimized", false);
  EXPECT_EQ(host::RunState().MainWindow->windowState, 2);  // the state before the first write
  host::RunState().StartFailed = true;
  EXPECT_EQ(std::make_pair(app_->Get("Height").ToInt32(), app_->Get("Minimized").ToBool()), std::make_pair(0, false));
  app_->Put("Top", 99);
  EXPECT_EQ(host::RunState().MainWindow->top, 0);
}

TEST_F(ApplicationTest, LnsObjectByToolTakesOnlyLonMarkObjects) {
  class NoClassId final : public base::DispatchTable {
   public:
    NoClassId() : base::DispatchTable("Tool") {}
  };
  app_->Put("LnsObjectByTool", base::DispatchPtr(std::make_shared<NoClassId>()));  // no error to the tool
  auto& s = host::RunState();
  auto server = s.Lns.objectServer;
  ASSERT_NE(server, nullptr);
  server->Open(0);
  auto device = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1);
  app_->Put("LnsObjectByTool", base::DispatchPtr(std::make_shared<lns::LnsObjectDispatch>(device)));
  EXPECT_FALSE(s.ToolObjectGiven);  // class 7
  auto object = device->Interface()->LonMarkObjects()->Item(1);
  app_->Put("LnsObjectByTool", base::DispatchPtr(std::make_shared<lns::LnsObjectDispatch>(object)));
  EXPECT_TRUE(s.ToolObjectGiven);
  EXPECT_EQ(app_->Get("LnsObjectByTool").ToObject()->Get("ObjectName").ToString(), kObject);
  Send(13, 28, "ignored");
  EXPECT_THAT(run_.Log(), HasSubstr("StartWithToolObject"));
}

TEST_F(ApplicationTest, CommandFiftyRegistersInTheNetworkAndAnswersThroughRegResult) {
  EXPECT_EQ(Register("9f:ff:ff:08:1c:0a:04:01", kObject), 0);
  EXPECT_TRUE(run_.records.messages.empty());
  EXPECT_FALSE(run_.records.statusShown);  // a result object: no status window
  EXPECT_TRUE(host::RunState().Ended);
  // Both enabled commands are in the network, for the record's device template.
  auto server = run_.factory.CreateObjectServer();
  server->Open(0);
  const auto registrations = server->Networks()->ItemByName("Demo")->PlugInRegistrations();
  ASSERT_EQ(registrations.size(), 2u);  // the commands and program id: AutomationE2eTest
  EXPECT_EQ(registrations[0].manufacturerId + " " + registrations[0].deviceTemplate + " " + registrations[0].fileName,
            "0009C PortaB PortaB.xif");
  // EndApp wrote the local registration again.
  platform::registry::FileRegistry registry = run_.Registry();
  EXPECT_EQ(registry.ReadValue(services::registry::Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", ""),
            "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}");
}

TEST_F(ApplicationTest, CommandFiftyOnANetworkThatCannotBeOpenedAnswersMinusOne) {
  EXPECT_EQ(Register("9F", "Nowhere/System.Floor 1/Switch 1/Omnal 1"), -1);
  EXPECT_TRUE(run_.records.messages.empty());
}

TEST_F(ApplicationTest, ProgramIdsThatMatchNoEntryRegisterNothing) { EXPECT_EQ(Register("80:00:0C", kObject), -1); }

// The shipped INI file with two program entries, the first with two records.
testing_support::HostSetup TwoProgramEntries() {
  std::string ini = testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/PortaB.ini");
  const std::string records = "Program1.Record1=PortaB,0\n";
  const size_t at = ini.find(records);
  if (at == std::string::npos) throw std::runtime_error("PortaB.ini has no Program1.Record1");
  ini.replace(at, records.size(),
              "Program1.Record1=Refused,0\nProgram1.Record2=PortaB,0\n"
              "Program2=9F:FF:FF:08:1C:0A:04:02,PortaB.xif\nProgram2.Record1=Other,0\n");
  return {true, true, false, ini};
}

class RefusedRegistrationTest : public ApplicationTest {
 protected:
  RefusedRegistrationTest() : ApplicationTest(TwoProgramEntries()) {}
};

TEST_F(RefusedRegistrationTest, ARefusedRegistrationFailsTheOutcomeButNotTheWalk) {
  std::filesystem::copy_file(std::string(PORTAB_DATA_DIR) + "/PortaB.xif", run_.ProgramFolder() / "PortaB.xif");
  // The network refuses every registration for the device template "Refused".
  platform::lns_embedded::SqliteDb(run_.Home() / "lns" / "Demo.db", false)
      .Exec("CREATE TRIGGER refuse BEFORE INSERT ON plugin_registration "
            "WHEN NEW.device_template = 'Refused' BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_EQ(Register("9F:FF:FF:08:1C:0A:04:01 9F:FF:FF:08:1C:0A:04:02", kObject), -1);
  // Both commands of the entry's next record and of the next entry were registered.
  auto server = run_.factory.CreateObjectServer();
  server->Open(0);
  std::vector<std::string> registered;
  for (const auto& r : server->Networks()->ItemByName("Demo")->PlugInRegistrations()) {
    registered.push_back(r.deviceTemplate + " " + std::to_string(r.commandId));
  }
  std::sort(registered.begin(), registered.end());
  EXPECT_EQ(registered, (std::vector<std::string>{"Other 13", "Other 22", "PortaB 13", "PortaB 22"}));
}

TEST_F(ApplicationTest, SendCommandAfterARefusalIsIgnored) {
  Send(14, 28, "x");
  EXPECT_TRUE(host::RunState().StartFailed);
  ASSERT_EQ(run_.records.messages.size(), 1u);
  Send(13, 28, "x");
  EXPECT_EQ(run_.records.messages.size(), 1u);
  EXPECT_EQ(host::RunState().CommandId, 14);
  EXPECT_EQ(host::RunState().CurrentCommand, 0);
}

// After a run has ended, a further command on the same server is refused with an error.
TEST_F(ApplicationTest, ACommandAfterTheRunEndedIsRefused) {
  Send(50, 28, kObject);
  host::M_LcaPlugIn::EndApp();
  EXPECT_THAT([&] { Send(13, 28, kObject); }, ThrowsError(5));
}

}  // namespace
