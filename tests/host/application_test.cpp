#include "host/application.h"
#include "host/automation_start.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "host/m_lca_plugin.h"
#include "host/run_state.h"
#include "lns/lns_dispatch.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/registry/file_registry.h"
#include "support/host_run.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using testing::HasSubstr;
using testing_support::ThrowsError;

namespace {

// A run served through the Application object, with the shipped PortaB.ini and PortaB.xif
// and the demo network.
class ApplicationTest : public testing::Test {
 protected:
  ApplicationTest() : ApplicationTest({true, true, false, ""}) {}
  explicit ApplicationTest(const testing_support::HostSetup& setup)
      : run_(setup), records_(run_.records), factory_(run_.factory) {
    app_ = host::CreateApplication();
  }
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
  testing_support::Records& records_;
  testing_support::TestFactory& factory_;
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
  const std::pair<const char*, const char*> members[] = {{"LcaVersion", "3.24"},
                                                         {"ManufacturerId", "0009C"},
                                                         {"ManufacturerName", "velta"},
                                                         {"Name", "veltaPortaB"},
                                                         {"Version", "1.0"}};
  for (const auto& [name, value] : members) {
    EXPECT_EQ(app_->Get(name).ToString(), value);
    try {
      app_->Put(name, "x");
      ADD_FAILURE() << name;
    } catch (const base::Error& e) {
      EXPECT_EQ(e.Number(), -2147201502) << name;
      EXPECT_EQ(e.Source(), "veltaPortaB.Application");
      EXPECT_EQ(e.Description(), "Write not supported. This property is read-only.");
    }
  }
  EXPECT_THAT([&] { app_->Get("ProgramIdsToRegister"); }, ThrowsError(438));  // write-only
  EXPECT_THAT([&] { app_->Get("Nothing"); }, ThrowsError(438));
}

TEST_F(ApplicationTest, PlainPropertiesAndTheWindow) {
  app_->Put("Remote", true);
  app_->Put("NetworkInterfaceName", "Internet");
  EXPECT_TRUE(app_->Get("remote").ToBool());
  EXPECT_EQ(app_->Get("NetworkInterfaceName").ToString(), "Internet");
  app_->Put("NetworkName", "X");
  EXPECT_EQ(app_->Get("NetworkName").ToString(), "");
  app_->Put("Visible", true);
  EXPECT_FALSE(app_->Get("Visible").ToBool());
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
  EXPECT_EQ(app_->Get("Height").ToInt32(), 0);
  EXPECT_FALSE(app_->Get("Minimized").ToBool());
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
  EXPECT_TRUE(records_.messages.empty());
  EXPECT_FALSE(records_.statusShown);  // a result object: no status window
  EXPECT_TRUE(host::RunState().Ended);
  // Both enabled commands are in the network, for the record's device template.
  auto server = factory_.CreateObjectServer();
  server->Open(0);
  const auto registrations = server->Networks()->ItemByName("Demo")->PlugInRegistrations();
  ASSERT_EQ(registrations.size(), 2u);
  EXPECT_EQ(registrations[0].commandId, 13);
  EXPECT_EQ(registrations[1].commandId, 22);
  EXPECT_EQ(registrations[0].programId, "veltaPortaB.Application");
  EXPECT_EQ(registrations[0].manufacturerId, "0009C");
  EXPECT_EQ(registrations[0].deviceTemplate, "PortaB");
  EXPECT_EQ(registrations[0].fileName, "PortaB.xif");
  // EndApp wrote the local registration again.
  platform::registry::FileRegistry registry = run_.Registry();
  EXPECT_EQ(registry.ReadValue(services::registry::Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", ""),
            "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}");
}

TEST_F(ApplicationTest, CommandFiftyOnANetworkThatCannotBeOpenedAnswersMinusOne) {
  EXPECT_EQ(Register("9F", "Nowhere/System.Floor 1/Switch 1/Omnal 1"), -1);
  EXPECT_TRUE(records_.messages.empty());
}

TEST_F(ApplicationTest, ProgramIdsThatMatchNoEntryRegisterNothing) {
  EXPECT_EQ(Register("80:00:0C", kObject), -1);  // no record was reached
}

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
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((run_.Home() / "lns" / "Demo.db").c_str(), &db), SQLITE_OK);
  const int rc = sqlite3_exec(db,
                              "CREATE TRIGGER refuse BEFORE INSERT ON plugin_registration "
                              "WHEN NEW.device_template = 'Refused' BEGIN SELECT RAISE(ABORT, 'refused'); END",
                              nullptr, nullptr, nullptr);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK);
  EXPECT_EQ(Register("9F:FF:FF:08:1C:0A:04:01 9F:FF:FF:08:1C:0A:04:02", kObject), -1);
  // Both commands of the entry's next record and of the next entry were registered.
  auto server = factory_.CreateObjectServer();
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
  ASSERT_EQ(records_.messages.size(), 1u);
  Send(13, 28, "x");
  EXPECT_EQ(records_.messages.size(), 1u);
  EXPECT_EQ(host::RunState().CommandId, 14);
  EXPECT_EQ(host::RunState().CurrentCommand, 0);
  EXPECT_FALSE(app_->Get("Visible").ToBool());
}

// After a run has ended, a further command on the same server is refused with an error, and
// nothing of the ended run is used.
TEST_F(ApplicationTest, ACommandAfterTheRunEndedIsRefused) {
  Send(50, 28, kObject);
  host::M_LcaPlugIn::EndApp();
  EXPECT_THAT([&] { Send(13, 28, kObject); }, ThrowsError(5));
}

}  // namespace
