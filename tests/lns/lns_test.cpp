// Object names, connecting to the demo object, and fetching CPs and NVs by their INI positions.

#include <gtest/gtest.h>

#include "lns/fetch.h"
#include "lns/lns_connector.h"
#include "lns/object_name_parser.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "support/demo_network.h"
#include "support/matchers.h"
#include "support/recording_log.h"

using testing_support::ThrowsError;

namespace {

TEST(ObjectNameParserTest, SplitsLnsObjectNames) {
  using Parts = std::vector<std::string>;  // network, subsystem path, device, object
  const std::pair<const char*, Parts> good[] = {
      {"Demo/System.Floor 1/Switch 1/Omnal 1", {"Demo", "Floor 1", "Switch 1", "Omnal 1"}},
      {"Demo\\System.Floor 1\\Switch 1\\Omnal 1", {"Demo", "Floor 1", "Switch 1", "Omnal 1"}},
      {"My Net/My Sys.Floor 1.Room 2/Dev/Obj", {"My Net", "Floor 1.Room 2", "Dev", "Obj"}}};
  lns::ObjectNameParser parser;
  for (const auto& c : good) {
    const auto parsed = parser.Parse(c.first);
    EXPECT_TRUE(parsed.ok) << c.first;
    EXPECT_EQ((Parts{parsed.networkName, parsed.subsystemPath, parsed.deviceName, parsed.objectName}), c.second);
  }
  for (const char* bad : {"Demo/System/Switch 1/Omnal 1", "Demo/System.Floor 1/Switch 1", "Demo/System.Floor 1/Switch 1/Omnal 1/x",
                          "Demo/System.Floor 1/ /Omnal 1", "Demo/System..Floor/Dev/Obj", "", "x"}) {
    EXPECT_FALSE(parser.Parse(bad).ok) << bad;
  }
}

// Opening the demo object step by step and releasing everything, twice.
TEST(LnsConnectorTest, OpensTheDemoObjectAndReleasesEverything) {
  testing_support::TempDir dir;
  platform::lns_embedded::CreateNetwork(dir / "lns", testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"), false);
  lns::LnsConnector connector;
  lns::RunObjects run;
  run.objectServer = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(dir / "lns");
  ASSERT_TRUE(connector.OpenServer(run, 2));  // remote access opens the local databases
  EXPECT_TRUE(run.objectServer->Remote());
  ASSERT_TRUE(connector.OpenNetwork(run, "Demo", false));
  EXPECT_FALSE(connector.FindSubsystem(run, "Floor 9"));
  ASSERT_TRUE(connector.FindSubsystem(run, "Floor 1"));

  platform::ini::ProfileIniFile ini;
  EXPECT_FALSE(ini.FindDeviceAndObject(nullptr, "Switch 1", "Omnal 1").found);
  const auto found = ini.FindDeviceAndObject(run.appDevices, "Switch 1", "Omnal 1");
  ASSERT_TRUE(found.found);
  EXPECT_EQ(found.lonMarkObjects->Count(), 1);

  run.device = found.device;
  run.lonMarkObject = found.lonMarkObject;
  auto server = run.objectServer;
  connector.CloseAll(run);
  EXPECT_EQ(run.objectServer, nullptr);
  EXPECT_EQ(run.lonMarkObject, nullptr);
  EXPECT_FALSE(server->IsOpen());
  connector.CloseAll(run);  // already released: no error
  EXPECT_FALSE(connector.OpenNetwork(run, "Demo", false));
}

class FetchTest : public testing::Test {
 protected:
  FetchTest() {
    testing_support::WriteFile(dir_ / "p.ini",
                               "[CPs ]\nOwn=2\nOnObject=3,1\nPast=9\nZero=0\nObjCp=2\nNvCp=1,3\nBadNv=1,9\n"
                               "[NVs ]\nObjNv=3\nDevNv=2\nDevObjNv=1,1\nPastNv=99\n");
    ini_.SetFile((dir_ / "p.ini").string());
  }
  // The name of what `routine` fetches for `key` ("" for nothing); errors reach the caller.
  std::string Fetch(const std::string& routine, const std::string& key, bool* ok) {
    using namespace lns::M_PlugIn;
    std::shared_ptr<lns::ConfigProperty> cp;
    std::shared_ptr<lns::NetworkVariable> nv;
    if (routine == "DevCp") FetchDevCp(key, "CPs ", ini_, template_, demo_.Device(), cp, ok);
    if (routine == "LmoCp") FetchLmoCp(key, "CPs ", ini_, template_, demo_.Object(), cp, ok);
    if (routine == "LmoCp2") FetchLmoCp2(key, "CPs ", ini_, template_, demo_.Object(), cp, ok);
    if (routine == "Nv") FetchNv(key, "NVs ", ini_, template_, demo_.Object(), nv, ok);
    if (routine == "DevNv") FetchDevNv(key, "NVs ", ini_, template_, demo_.Device(), nv, ok);
    return cp ? cp->Name() : nv ? nv->Name() : "";
  }
  testing_support::DemoNetwork demo_;
  testing_support::TempDir dir_;
  platform::ini::ProfileIniFile ini_;
  std::shared_ptr<lns::DeviceTemplate> template_;
};

TEST_F(FetchTest, EveryPositionFormAndMissingKeys) {
  const struct { const char *routine, *key, *name; } found[] = {
      {"DevCp", "Own", "DeviceOptions"},  {"DevCp", "OnObject", "Label"},     // CP 3 of LonMark object 1
      {"LmoCp", "ObjCp", "HoldTime"},     {"LmoCp2", "NvCp", "MaxSendTime"},  // CP 1 of the object's NV 3
      {"Nv", "ObjNv", "nvoValue"},        {"DevNv", "DevNv", "nviSecValue"},
      {"DevNv", "DevObjNv", "nviPrimeValue"},                                  // NV 1 of LonMark object 1
  };
  for (const auto& f : found) {
    bool ok = false;
    EXPECT_EQ(Fetch(f.routine, f.key, &ok), f.name) << f.routine << " " << f.key;
    EXPECT_TRUE(ok) << f.key;
  }
  // A missing or zero key: false when the caller asks, else error 10000.
  for (const auto& [routine, key] : {std::pair{"DevCp", "Zero"}, {"DevNv", "Missing"}}) {
    bool ok = true;
    EXPECT_EQ(Fetch(routine, key, &ok), "") << key;
    EXPECT_FALSE(ok) << key;
  }
  EXPECT_THAT([&] { Fetch("DevCp", "Missing", nullptr); }, testing_support::Raises(10000, "INI - File Error : Missing"));
  for (const auto& row : {std::pair{"LmoCp2", "Zero"}, {"LmoCp", "Missing"}, {"Nv", "Missing"}}) {
    EXPECT_THAT([&] { Fetch(row.first, row.second, nullptr); }, ThrowsError(10000)) << row.second;
  }
}

TEST_F(FetchTest, PositionsPastTheEndGoToTheErrorOperation) {
  testing_support::RecordingLog log(2);
  bool ok = false;
  for (const auto& [routine, key] : {std::pair{"DevCp", "Past"}, {"LmoCp2", "BadNv"}, {"Nv", "PastNv"}}) {
    EXPECT_EQ(Fetch(routine, key, &ok), "") << key;
  }
  const std::string range = std::to_string(static_cast<int32_t>(0x80040000u + 4002));
  EXPECT_EQ(log.errors, (std::vector<std::string>{range + "@M_PlugIn.FetchDevCp", range + "@M_LNS_Utilities.FetchLmoCp2",
                                                  range + "@M_PlugIn.FetchNv"}));
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchDevCp()"));
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchCp()"));
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchNv()"));
}

}  // namespace
