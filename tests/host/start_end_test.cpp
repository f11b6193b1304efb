#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "platform/automation/class_registry.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/registry/file_registry.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "support/host_run.h"

using testing::HasSubstr;

namespace {

// A run of the host on the demo network with the knowledge base, and recording components.
class StartEndTest : public testing::Test {
 protected:
  StartEndTest() : run_({true, true, true, ""}), records_(run_.records), factory_(run_.factory) {}

  void Connect(int32_t currentCommand, const std::string& object = "Demo/System.Floor 1/Switch 1/Omnal 1") {
    host::M_LcaPlugIn::InitApp();
    host::RunState().CurrentCommand = currentCommand;
    host::M_LcaPlugIn::OpenLnsAndFindObject(object, 0);
  }

  testing_support::HostRun run_;
  testing_support::Records& records_;
  testing_support::TestFactory& factory_;
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
  EXPECT_THAT(records_.statusTexts, testing::IsSupersetOf({std::string("Analyzing objectname..."),
                                                          std::string("Opening network \"Demo\" ..."),
                                                          std::string("Searching for device \"Switch 1\"' ..."),
                                                          std::string("Reading configuration ...")}));
  EXPECT_EQ(records_.createdObjects, std::vector<std::string>{"veltaDemoProfile.Application"});
  ASSERT_EQ(records_.messages.size(), 1u);  // the plug-in could not be created
  EXPECT_EQ(records_.messages[0].text, "Die Konfiguration von \"Omnal 1\" ist ungültig.");
  EXPECT_TRUE(host::RunState().StartFailed);
}

TEST_F(StartEndTest, TheProfilePlugInGetsThisRunsCommandAndSettings) {
  struct Seen {
    std::vector<std::string> calls;
  } seen;
  class Recorder final : public base::DispatchTable {
   public:
    explicit Recorder(Seen& seen) : base::DispatchTable("Recorder") {
      for (const char* name : {"NetworkInterfaceName", "Remote", "NetworkName", "Visible"}) {
        AddProperty(name, nullptr, [&seen, name](const base::Variant& v) { seen.calls.push_back(std::string(name) + "=" + v.ToString()); });
      }
      AddMethod("SendCommand", [&seen](std::vector<base::Variant>& args) {
        seen.calls.push_back("SendCommand " + args[0].ToString() + " " + args[1].ToString() + " " + args[2].ToString());
        return base::Variant();
      });
    }
  };
  records_.objectMaker = [&](const std::string&) { return std::make_shared<Recorder>(seen); };
  host::M_LcaPlugIn::InitApp();
  auto& s = host::RunState();
  s.CommandId = 22;
  s.ClassId = 28;
  s.ObjectName = "Demo\\System.Floor 1\\Switch 1\\Omnal 1";
  s.CurrentCommand = 4;
  host::M_LcaPlugIn::OpenLnsAndFindObject(s.ObjectName, 2);  // remote over the Internet
  EXPECT_EQ(seen.calls, (std::vector<std::string>{"NetworkInterfaceName=Internet", "Remote=True", "NetworkName=Demo",
                                                  "SendCommand 22 28 Demo\\System.Floor 1\\Switch 1\\Omnal 1",
                                                  "Visible=True"}));
  EXPECT_FALSE(s.StartFailed);
  EXPECT_TRUE(records_.messages.empty());
}

TEST_F(StartEndTest, DeviceCheckIsCachedForTenSecondsUnlessForced) {
  host::M_LcaPlugIn::InitApp();
  auto server = factory_.CreateObjectServer();
  server->Open(0);
  auto device = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1);
  EXPECT_TRUE(host::M_LcaPlugIn::DeviceIsAccessible(device, true));
  std::dynamic_pointer_cast<platform::lns_embedded::EmbeddedObjectServer>(server)->Database("Demo")->SetDeviceReachable(
      platform::lns_embedded::RowIdOf(*device), false);
  EXPECT_TRUE(host::M_LcaPlugIn::DeviceIsAccessible(device, false));  // the first answer, within ten seconds
  EXPECT_FALSE(host::M_LcaPlugIn::DeviceIsAccessible(device, true));
  host::M_LcaPlugIn::EndApp();
}

TEST_F(StartEndTest, FindParentByClassIdWalksUpOrGivesNothing) {
  auto server = factory_.CreateObjectServer();
  server->Open(0);
  auto object = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
                    ->Interface()->LonMarkObjects()->Item(1);
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 7)->Name(), "Switch 1");
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 1)->Name(), "Demo");
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(object, 99), nullptr);
  EXPECT_EQ(host::M_LcaPlugIn::FindParentByClassId(nullptr, 7), nullptr);
}

}  // namespace
