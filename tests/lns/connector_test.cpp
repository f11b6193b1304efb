#include <gtest/gtest.h>

#include "lns/lns_connector.h"
#include "lns/object_name_parser.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "support/temp_dir.h"

namespace {

struct NameCase {
  const char* text;
  bool ok;
  const char* network;
  const char* subsystemPath;
  const char* device;
  const char* object;
};

TEST(ObjectNameParserTest, SplitsLnsObjectNames) {
  const NameCase cases[] = {
      {"Demo/System.Floor 1/Switch 1/Omnal 1", true, "Demo", "Floor 1", "Switch 1", "Omnal 1"},
      {"Demo\\System.Floor 1\\Switch 1\\Omnal 1", true, "Demo", "Floor 1", "Switch 1", "Omnal 1"},
      {"My Net/My Sys.Floor 1.Room 2/Dev/Obj", true, "My Net", "Floor 1.Room 2", "Dev", "Obj"},
      {"Demo/System/Switch 1/Omnal 1", false, "", "", "", ""},       // no subsystem
      {"Demo/System.Floor 1/Switch 1", false, "", "", "", ""},       // no object
      {"Demo/System.Floor 1/Switch 1/Omnal 1/x", false, "", "", "", ""},
      {"Demo/System.Floor 1/ /Omnal 1", false, "", "", "", ""},
      {"Demo/System..Floor/Dev/Obj", false, "", "", "", ""},
      {"", false, "", "", "", ""},
      {"x", false, "", "", "", ""},
  };
  lns::ObjectNameParser parser;
  for (const auto& c : cases) {
    const auto parsed = parser.Parse(c.text);
    EXPECT_EQ(parsed.ok, c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(parsed.networkName, c.network);
    EXPECT_EQ(parsed.subsystemPath, c.subsystemPath);
    EXPECT_EQ(parsed.deviceName, c.device);
    EXPECT_EQ(parsed.objectName, c.object);
  }
}

TEST(LnsConnectorTest, OpensTheDemoObjectAndReleasesEverything) {
  testing_support::TempDir dir;
  platform::lns_embedded::CreateNetwork(dir / "lns", testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"), false);
  lns::LnsConnector connector;
  lns::RunObjects run;
  run.objectServer = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(dir / "lns");
  const auto name = lns::ObjectNameParser().Parse("Demo\\System.Floor 1\\Switch 1\\Omnal 1");
  ASSERT_TRUE(connector.OpenServer(run, 2));  // remote access opens the local databases
  EXPECT_TRUE(run.objectServer->Remote());
  EXPECT_FALSE(connector.OpenNetwork(run, "Nowhere", false));
  ASSERT_TRUE(connector.OpenNetwork(run, name.networkName, false));
  EXPECT_EQ(run.network->ClassId(), 1);
  EXPECT_EQ(run.system->ClassId(), 3);
  EXPECT_FALSE(connector.FindSubsystem(run, "Floor 9"));
  ASSERT_TRUE(connector.FindSubsystem(run, name.subsystemPath));

  platform::ini::ProfileIniFile ini;
  EXPECT_FALSE(ini.FindDeviceAndObject(run.appDevices, "Switch 1", "Omnal 9").found);
  EXPECT_FALSE(ini.FindDeviceAndObject(nullptr, "Switch 1", "Omnal 1").found);
  const auto found = ini.FindDeviceAndObject(run.appDevices, name.deviceName, name.objectName);
  ASSERT_TRUE(found.found);
  EXPECT_EQ(found.device->Name(), "Switch 1");
  EXPECT_EQ(found.lonMarkObject->ClassId(), 28);
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

}  // namespace
