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

using services::dialogs::Icon;
using services::registry::Hive;
using testing::HasSubstr;
using testing::Not;
using testing_support::ThrowsError;

namespace {

// The message boxes shown, as text and icon.
using Boxes = std::vector<std::pair<std::string, Icon>>;
Boxes Shown(const testing_support::Records& records) {
  Boxes shown;
  for (const auto& box : records.messages) shown.emplace_back(box.text, box.icon);
  return shown;
}

// A program folder whose PortaB.ini holds only the help entry, or that has no PortaB.ini.
testing_support::HostSetup HelpOnly(bool withIniFile = true) {
  return {withIniFile, false, false, withIniFile ? "[velta Porta Help 1.0]\nHelpFilePath=help\\PortaB.html\n" : ""};
}

const std::string kObject = "Demo/System.Floor 1/Switch 1/Omnal 1";

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
    testing_support::HostRun run(HelpOnly());
    run.Main(c.commandLine);
    const auto& s = host::RunState();
    EXPECT_EQ(std::tuple(s.CurrentCommand, s.ObjectName, s.StartFailed),
              std::tuple(c.currentCommand, c.objectName, c.refusedClassId >= 0 || c.currentCommand != 0));
    if (c.refusedClassId >= 0) {
      const std::string refusal = "The transmitted CommandId (" + std::to_string(s.CommandId) +
                                  ") is not\r\nsupported for  ClassId " + std::to_string(c.refusedClassId) + " !";
      EXPECT_EQ(Shown(run.records), (Boxes{{refusal, Icon::Exclamation}}));
      EXPECT_EQ(run.records.messages.at(0).title, "veltaPortaB");
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

// Command lines that never validate a command: the language setting (stored, and the run ends before
// later pieces are read), the window without a connection (100), and ids out of range (error 6).
TEST(MainTest, CommandLinesThatValidateNoCommand) {
  struct Case { const char* commandLine; int currentCommand; bool statusShown; const char *language, *logged; };
  const Case cases[] = {
      {"/REG:1000", 0, false, "1000", ""}, {"/REG:abc", 0, false, "0", ""},
      {"/reg: 1000/OBJECTNAME:x/CLASSID:28/COMMANDID:13", 0, false, "1000", ""},
      {"/S", 100, true, nullptr, "[frmMain] Public Sub Display()"},
      {"/DEVL2093/OBJECTNAME:x", 100, false, nullptr, "[frmMain] Public Sub Display()"},
      {"/CLASSID:32768/COMMANDID:13/OBJECTNAME:x", 0, false, nullptr, "Error 6 in M_PlugIn.Main: Overflow"},
      {"/CLASSID:28/COMMANDID:2147483648/OBJECTNAME:x", 0, false, nullptr, "Error 6 in M_PlugIn.Main: Overflow"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandLine);
    testing_support::HostRun run(HelpOnly());
    run.Main(c.commandLine);
    EXPECT_EQ(std::pair(host::RunState().CurrentCommand, run.records.statusShown), std::pair(c.currentCommand, c.statusShown));
    EXPECT_TRUE(run.records.messages.empty());
    EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr(c.logged), Not(HasSubstr("ValidateCommand"))));
    if (c.language) {
      EXPECT_TRUE(host::RunState().Ended);
      EXPECT_EQ(run.Registry().ReadValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB\\Options", "Language"), c.language);
    }
  }
}

TEST(MainTest, UnregisterRemovesTheOwnKeyAndDoesNotRegisterAgain) {
  testing_support::HostRun run(HelpOnly());
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB\\Settings", "Top", "5");
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register\\Options", "Language", "0");
  run.Main("/UNREG");
  EXPECT_FALSE(run.Registry().KeyExists(Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB"));
  EXPECT_TRUE(run.Registry().KeyExists(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register"));
  EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr("[M_PlugIn] Public Sub Unregister()"), Not(HasSubstr("[M_PlugIn] Public Sub Register()"))));
}

// Without program ids the registration component shows the commands; with them, a network that cannot be
// opened and no result object give message 1435.
TEST(MainTest, CommandFiftyTakesTheRegistrationBranchForAnyClass) {
  const std::tuple<const char*, int16_t, const char*, Boxes> rows[] = {
      {"", 123, "x", {{"13 / 28: configure omnal object\r\n22 / 28: control switch sensor", Icon::Information}}},
      {"9F:FF", 0, "Nowhere/System.Floor 1/Switch 1/Omnal 1",
       {{"Errors occured while registering the plug-in.", Icon::Critical}}}};
  for (const auto& [programIds, classId, object, boxes] : rows) {
    SCOPED_TRACE(programIds);
    testing_support::HostRun run(HelpOnly());
    host::M_LcaPlugIn::InitApp();
    host::RunState().ProgramIdsToRegister = programIds;
    host::M_PlugIn::ValidateCommand(50, classId, object);
    EXPECT_EQ(Shown(run.records), boxes);
    const bool registering = *programIds != '\0';
    EXPECT_EQ(std::pair(run.records.statusShown, run.Log().find("RegisterInNetworks") != std::string::npos),
              std::pair(registering, registering));
    if (registering) {
      EXPECT_EQ(run.records.statusTexts.front(), "Registering plug-in ...");
    } else {
      EXPECT_FALSE(host::RunState().StartFailed);
    }
  }
}

// A missing or unreadable PortaB.ini ends the run before any command, with the file named in the message and the log.
TEST(MainTest, AMissingOrUnreadableIniFileEndsTheRunBeforeAnyCommand) {
  const std::string unreadable = "The INI file can not be read :\r\n\r\n%1\r\n";
  const std::pair<std::optional<std::string>, std::string> rows[] = {  // the contents ("": a folder in its place)
      {std::nullopt, "The INI file does not exist :\r\n\r\n%1"},
      {"[velta Porta CPs 1.0 ]\nConfig=PortaB.cfg\n" + std::string("\x01\x02\x00\x7f", 4),
       unreadable + "line 3 holds binary data (NUL or other control characters): it is not a text file"},
      {"", unreadable + "it is a folder, not a file"},
  };
  for (const auto& [contents, expected] : rows) {
    SCOPED_TRACE(expected);
    testing_support::HostRun run(HelpOnly(false));
    const std::string file = (run.ProgramFolder() / "PortaB.ini").string();
    if (contents && contents->empty()) std::filesystem::create_directory(file);
    if (contents && !contents->empty()) testing_support::WriteFile(file, *contents);
    run.Main("/CLASSID:28/COMMANDID:13/OBJECTNAME:x");
    EXPECT_EQ(Shown(run.records), (Boxes{{base::ReplaceAll(expected, "%1", file), Icon::Critical}}));
    EXPECT_TRUE(host::RunState().StartFailed);
    EXPECT_THAT(run.Log(), testing::AllOf(HasSubstr(file), Not(HasSubstr("[M_PlugIn] Public Sub Main()"))));
    if (contents && !contents->empty()) { EXPECT_EQ(testing_support::ReadFile(file), *contents); }  // nothing written into it
  }
}

TEST(MainTest, SharedLanguageSettingSelectsGermanTexts) {
  testing_support::HostRun run(HelpOnly());
  run.Registry().WriteValue(Hive::LocalMachine, "SOFTWARE\\velta\\tessel Register\\Options", "Language", "1000");
  host::M_LcaPlugIn::InitApp();
  const auto& s = host::RunState();
  EXPECT_EQ(std::pair(s.CommandTable[1].Name, s.CommandTable[2].Enabled),
            std::pair(std::string("Omnal-Objekt konfigurieren"), false));
  EXPECT_EQ(s.HelpFilePath, (run.ProgramFolder() / "help" / "PortaB.html").string());
  host::M_LcaPlugIn::EndApp();
}

// The interface name is compared case-sensitively.
TEST(MainTest, AccessModeFollowsRemoteAndInterfaceName) {
  EXPECT_EQ(std::tuple(host::M_PlugIn::AccessMode(false, "Internet"), host::M_PlugIn::AccessMode(true, "internet"),
                       host::M_PlugIn::AccessMode(true, "Internet")),
            std::tuple(0, 1, 2));
}

// A run of the host on the demo network with the knowledge base, and recording components.
class StartEndTest : public testing::Test {
 protected:
  StartEndTest() : run_({true, true, true, ""}), records_(run_.records) {}

  void Connect() {
    host::M_LcaPlugIn::InitApp();
    host::RunState().CurrentCommand = 1;
    host::M_LcaPlugIn::OpenLnsAndFindObject(kObject, 0);
  }

  testing_support::HostRun run_;
  testing_support::Records& records_;
};

TEST_F(StartEndTest, AServerThatDoesNotAnswerGivesMessage1508) {
  records_.deadObjectServer = true;
  Connect();
  EXPECT_EQ(Shown(records_), (Boxes{{"The LNS server can not be opened ! veltaPortaB is being closed.", Icon::Exclamation}}));
  EXPECT_EQ(records_.messages.at(0).title, "Switch 1 / Omnal 1");
  EXPECT_EQ(std::pair(host::RunState().StartFailed, host::RunState().Ended), std::pair(true, true));
  host::M_LcaPlugIn::EndApp();  // again, after the failure: nothing happens
}

TEST_F(StartEndTest, StatusTextsOfTheConnectionAndTheDisplayOfCommand1) {
  records_.objectMaker = [](const std::string&) { return nullptr; };  // no profile plug-in can be created
  Connect();
  EXPECT_THAT(records_.statusTexts,
              testing::IsSupersetOf<std::vector<std::string>>({"Analyzing objectname...", "Opening network \"Demo\" ...",
                                                             "Searching for device \"Switch 1\"' ...", "Reading configuration ..."}));
  EXPECT_EQ(records_.createdObjects, std::vector<std::string>{"veltaDemoProfile.Application"});
  EXPECT_EQ(Shown(records_), (Boxes{{"Die Konfiguration von \"Omnal 1\" ist ungültig.", Icon::Exclamation}}));  // not created
  EXPECT_TRUE(host::RunState().StartFailed);
}

TEST_F(StartEndTest, TheProfilePlugInGetsThisRunsCommandAndSettings) {
  std::vector<std::string> calls;
  class Recorder final : public base::DispatchTable {
   public:
    explicit Recorder(std::vector<std::string>& calls) : base::DispatchTable("Recorder") {
      for (const char* name : {"NetworkInterfaceName", "Remote", "NetworkName", "Visible"})
        AddProperty(name, nullptr, [&calls, name](const base::Variant& v) { calls.push_back(std::string(name) + "=" + v.ToString()); });
      AddMethod("SendCommand", [&calls](std::vector<base::Variant>& a) {
        calls.push_back("SendCommand " + a[0].ToString() + " " + a[1].ToString() + " " + a[2].ToString());
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
  EXPECT_EQ(std::pair(s.StartFailed, records_.messages.empty()), std::pair(false, true));
}

TEST_F(StartEndTest, DeviceCheckIsCachedForTenSecondsUnlessForcedAndParentsAreFoundByClass) {
  host::M_LcaPlugIn::InitApp();
  auto server = run_.factory.CreateObjectServer();
  server->Open(0);
  auto device = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1);
  auto database = std::dynamic_pointer_cast<platform::lns_embedded::EmbeddedObjectServer>(server)->Database("Demo");
  EXPECT_TRUE(host::M_LcaPlugIn::DeviceIsAccessible(device, true));
  database->SetDeviceReachable(platform::lns_embedded::RowIdOf(*device), false);
  EXPECT_TRUE(host::M_LcaPlugIn::DeviceIsAccessible(device, false));  // the first answer, within ten seconds
  EXPECT_FALSE(host::M_LcaPlugIn::DeviceIsAccessible(device, true));
  auto object = device->Interface()->LonMarkObjects()->Item(1);
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 7)->Name(), "Switch 1");
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 1)->Name(), "Demo");
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 99), nullptr);
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(nullptr, 7), nullptr);
  host::RunState().TabStrips = std::make_unique<ui::cTabStrips>();
  host::M_LcaPlugIn::EndApp();
  EXPECT_EQ(host::RunState().TabStrips, nullptr);  // the end of the run releases the tab models
}

// A tool's object that takes the result of command 50.
class ResultObject final : public base::DispatchTable {
 public:
  ResultObject() : base::DispatchTable("Tool") {
    AddProperty("RegResult", [this] { return value; }, [this](const base::Variant& v) { value = v; });
  }
  base::Variant value;
};

// A run served through the Application object, with the shipped PortaB.ini and the demo network.
class ApplicationTest : public testing::Test {
 protected:
  ApplicationTest() : ApplicationTest({true, true, false, ""}) {}
  explicit ApplicationTest(const testing_support::HostSetup& setup) : run_(setup), app_(host::CreateApplication()) {}
  ~ApplicationTest() override {
    app_.reset();
    host::M_LcaPlugIn::EndApp();
  }
  void Send(int32_t command, int16_t classId, const std::string& objectName) {
    std::vector<base::Variant> args{command, classId, objectName};
    app_->Invoke("SendCommand", args);
  }
  // Command 50 for `programIds`, answered through a result object.
  int32_t Register(const std::string& programIds, const std::string& objectName) {
    auto result = std::make_shared<ResultObject>();
    app_->Put("ProgramIdsToRegister", programIds);
    app_->Put("RegResult", base::DispatchPtr(result));
    Send(50, 0, objectName);
    return result->value.ToInt32();
  }
  // The demo network's plug-in registrations as "<manufacturer> <template> <file> <command>", sorted.
  std::vector<std::string> Registrations() {
    auto server = run_.factory.CreateObjectServer();
    server->Open(0);
    std::vector<std::string> found;
    for (const auto& r : server->Networks()->ItemByName("Demo")->PlugInRegistrations())
      found.push_back(r.manufacturerId + " " + r.deviceTemplate + " " + r.fileName + " " + std::to_string(r.commandId));
    std::sort(found.begin(), found.end());
    return found;
  }

  testing_support::HostRun run_;
  base::DispatchPtr app_;
};

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
  EXPECT_EQ(std::pair(host::RunState().MainWindow->height, app_->Get("Width").ToInt32()), std::pair(480.0, 641));  // rounded
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
  app_->Put("LnsObjectByTool", base::DispatchPtr(std::make_shared<ResultObject>()));  // no ClassId: no error to the tool
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
}

TEST_F(ApplicationTest, CommandFiftyRegistersInTheNetworkAndAnswersThroughRegResult) {
  EXPECT_EQ(Register("9f:ff:ff:08:1c:0a:04:01", kObject), 0);
  // A result object: no message and no status window.
  EXPECT_EQ(std::tuple(run_.records.messages.size(), run_.records.statusShown, host::RunState().Ended),
            std::tuple(0u, false, true));
  // Both enabled commands are in the network, for the record's device template.
  EXPECT_EQ(Registrations(), (std::vector<std::string>{"0009C PortaB PortaB.xif 13", "0009C PortaB PortaB.xif 22"}));
  // EndApp wrote the local registration again.
  EXPECT_EQ(run_.Registry().ReadValue(Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", ""),
            "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}");
  // The run has ended: a further command on the same server is refused with an error.
  EXPECT_THAT([&] { Send(13, 28, kObject); }, ThrowsError(5));
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
  EXPECT_EQ(Registrations(), (std::vector<std::string>{"0009C Other PortaB.xif 13", "0009C Other PortaB.xif 22",
                                                       "0009C PortaB PortaB.xif 13", "0009C PortaB PortaB.xif 22"}));
}

TEST_F(ApplicationTest, SendCommandAfterARefusalIsIgnored) {
  Send(14, 28, "x");
  EXPECT_TRUE(host::RunState().StartFailed);
  Send(13, 28, "x");
  EXPECT_EQ(std::tuple(run_.records.messages.size(), host::RunState().CommandId, host::RunState().CurrentCommand),
            std::tuple(1u, 14, 0));
}

}  // namespace
