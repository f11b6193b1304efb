#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/network_description.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using namespace platform::lns_embedded;
using testing_support::ThrowsError;

namespace {

constexpr int kSubsystems = 20;
constexpr int kPerSubsystem = 100;

std::string DeviceName(int number) { return "Device " + std::to_string(number); }

// Subsystems "Sub 1".."Sub 20" of 100 devices each, numbered through the network.
std::string LargeDescription() {
  nlohmann::ordered_json subsystems = nlohmann::ordered_json::array();
  for (int s = 0; s < kSubsystems; ++s) {
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    for (int d = 1; d <= kPerSubsystem; ++d) {
      devices.push_back({{"name", DeviceName(s * kPerSubsystem + d)},
                         {"programId", "9F:01"},
                         {"nvs", {{{"name", "nviA"}, {"type", "SNVT_switch"}}, {{"name", "nvoB"}, {"type", "SNVT_lux"}}}}});
    }
    subsystems.push_back({{"name", "Sub " + std::to_string(s + 1)}, {"devices", std::move(devices)}});
  }
  return nlohmann::ordered_json{{"network", "Large"}, {"system", "Sys"}, {"subsystems", std::move(subsystems)}}.dump();
}

std::shared_ptr<EmbeddedObjectServer> OpenServer(const std::filesystem::path& folder) {
  auto server = std::make_shared<EmbeddedObjectServer>(folder);
  server->Open(0);
  return server;
}

std::shared_ptr<lns::SubsystemCollection> TopSubsystems(const std::shared_ptr<EmbeddedObjectServer>& server,
                                                        const std::string& network) {
  return server->Networks()->ItemByName(network)->Systems()->Item(1)->Subsystems();
}

void Sql(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

std::vector<std::string> Texts(const std::filesystem::path& file, const std::string& sql) {
  std::vector<std::string> texts;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  while (sqlite3_step(stmt) == SQLITE_ROW) texts.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return texts;
}

TEST(EmbeddedCollectionsTest, EveryDeviceOfALargeNetworkIsFoundByPositionAndByNameInOrder) {
  testing_support::TempDir dir;
  CreateNetwork(dir / "lns", LargeDescription(), false);
  auto server = OpenServer(dir / "lns");
  auto subsystems = TopSubsystems(server, "LARGE");
  ASSERT_EQ(subsystems->Count(), kSubsystems);
  int number = 0;
  for (int32_t s = 1; s <= subsystems->Count(); ++s) {
    auto sub = subsystems->Item(s);
    ASSERT_EQ(sub->Name(), "Sub " + std::to_string(s));
    EXPECT_EQ(subsystems->ItemByName("sub " + std::to_string(s)), sub);
    auto devices = sub->AppDevices();
    ASSERT_EQ(devices->Count(), kPerSubsystem);
    for (int32_t d = 1; d <= devices->Count(); ++d) {
      auto device = devices->Item(d);
      ++number;
      ASSERT_EQ(device->Name(), DeviceName(number));  // network order, nothing skipped or repeated
      EXPECT_EQ(device->Index(), d - 1);
      EXPECT_EQ(devices->ItemByName(DeviceName(number)), device);
      EXPECT_EQ(devices->ItemByName("DEVICE " + std::to_string(number)), device);
    }
    EXPECT_THAT([&] { devices->Item(0); }, ThrowsError(lns::err::kIndexOutOfRange));
    EXPECT_THAT([&] { devices->Item(kPerSubsystem + 1); }, ThrowsError(lns::err::kIndexOutOfRange));
    // A device of the next subsystem is not in this one.
    EXPECT_THAT([&] { devices->ItemByName(DeviceName(number + 1)); }, ThrowsError(lns::err::kNotFound));
  }
  EXPECT_EQ(number, kSubsystems * kPerSubsystem);
  auto last = subsystems->ItemByName("Sub 20")->AppDevices()->ItemByName(DeviceName(number));
  auto nvs = last->Interface()->NetworkVariables();
  EXPECT_EQ(nvs->ItemByName("NVOB"), nvs->Item(2));
  EXPECT_THAT([&] { nvs->ItemByName("nvoA"); }, ThrowsError(lns::err::kNotFound));
}

constexpr const char* kSmallNetwork = R"({"network": "Small", "system": "Sys", "subsystems": [
  {"name": "Floor", "devices": [
    {"name": "Küche", "programId": "P", "cps": [{"name": "Größe"}, {"name": "Limit"}],
     "nvs": [{"name": "nviÄ", "type": "SNVT_switch"}, {"name": "nvoB", "type": "SNVT_lux"}],
     "lonMarkObjects": [{"name": "Öl", "nvs": ["nvoB", "nviÄ"]}]},
    {"name": "Second", "programId": "P"},
    {"name": "Third", "programId": "P"}]}]})";

// Names compare ignoring the case of ASCII letters and of the accented Latin-1 letters, in
// every kind of collection.
TEST(EmbeddedCollectionsTest, NamesAreFoundIgnoringCaseInEveryKindOfCollection) {
  testing_support::TempDir dir;
  CreateNetwork(dir / "lns", kSmallNetwork, false);
  auto server = OpenServer(dir / "lns");
  auto devices = TopSubsystems(server, "small")->ItemByName("FLOOR")->AppDevices();
  auto device = devices->ItemByName("KÜCHE");
  EXPECT_EQ(device, devices->Item(1));
  auto iface = device->Interface();
  auto object = iface->LonMarkObjects()->ItemByName("öL");
  const std::vector<std::pair<std::shared_ptr<lns::Object>, std::shared_ptr<lns::Object>>> cases = {
      {iface->ConfigProperties()->ItemByName("GRÖßE"), iface->ConfigProperties()->Item(1)},
      {iface->ConfigProperties()->ItemByName("limit"), iface->ConfigProperties()->Item(2)},
      {iface->NetworkVariables()->ItemByName("NVIä"), iface->NetworkVariables()->Item(1)},
      {object->NetworkVariables()->ItemByName("NVIÄ"), object->NetworkVariables()->Item(2)},
      {object, iface->LonMarkObjects()->Item(1)},
      {server->Networks()->ItemByName("Small")->Systems()->ItemByName("SYS"),
       server->Networks()->ItemByName("Small")->Systems()->Item(1)},
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
  // Only letters that have a capital fold; ß is not "SS".
  EXPECT_THAT([&] { iface->ConfigProperties()->ItemByName("GRÖSSE"); }, ThrowsError(lns::err::kNotFound));
  EXPECT_THAT([&] { object->NetworkVariables()->ItemByName("nviA"); }, ThrowsError(lns::err::kNotFound));
}

// A collection held while another program adds and deletes rows reads its members again,
// and its count and items agree.
TEST(EmbeddedCollectionsTest, AHeldCollectionFollowsRowsAddedAndDeletedByAnotherProgram) {
  testing_support::TempDir dir;
  CreateNetwork(dir / "lns", kSmallNetwork, false);
  auto server = OpenServer(dir / "lns");
  auto devices = TopSubsystems(server, "Small")->Item(1)->AppDevices();
  ASSERT_EQ(devices->Count(), 3);
  const std::filesystem::path file = dir / "lns" / "Small.db";
  Sql(file, "DELETE FROM device WHERE name = 'Second'");
  ASSERT_EQ(devices->Count(), 2);
  EXPECT_EQ(devices->Item(2)->Name(), "Third");
  EXPECT_THAT([&] { devices->Item(3); }, ThrowsError(lns::err::kIndexOutOfRange));
  EXPECT_THAT([&] { devices->ItemByName("Second"); }, ThrowsError(lns::err::kNotFound));
  Sql(file,
      "INSERT INTO device(subsystem_id, position, name, template_name, program_id, reachable) "
      "SELECT subsystem_id, 0, 'First', '', 'P', 1 FROM device WHERE name = 'Third'");
  ASSERT_EQ(devices->Count(), 3);
  EXPECT_EQ(devices->Item(1)->Name(), "First");  // position order, not the order of insertion
  EXPECT_EQ(devices->ItemByName("first"), devices->Item(1));
}

// A database written before the lookup indexes existed gets them when it is opened.
TEST(EmbeddedCollectionsTest, ADatabaseWithoutTheLookupIndexesGetsThemWhenOpened) {
  testing_support::TempDir dir;
  CreateNetwork(dir / "lns", kSmallNetwork, false);
  const std::filesystem::path file = dir / "lns" / "Small.db";
  const std::string indexes = "SELECT name FROM sqlite_master WHERE type = 'index' AND name NOT LIKE 'sqlite_%'";
  const std::vector<std::string> created = Texts(file, indexes);
  ASSERT_GT(created.size(), 5u);
  for (const auto& name : created) {
    if (name != "cp_owner") Sql(file, "DROP INDEX " + name);  // cp_owner is part of the first schema
  }
  auto server = OpenServer(dir / "lns");
  EXPECT_EQ(TopSubsystems(server, "Small")->Item(1)->AppDevices()->ItemByName("third")->Name(), "Third");
  const std::vector<std::string> after = Texts(file, indexes);
  EXPECT_THAT(after, testing::UnorderedElementsAreArray(created));
}

// The tree of the demo network, line for line as recorded in demo_tree.txt.
TEST(EmbeddedCollectionsTest, TheDemoTreeIsPrintedAsRecorded) {
  testing_support::TempDir home;
  CreateNetwork(home / "lns", testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"), false);
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunLnsTool({"tree", "Demo"}, home.Path(), out, err, ToolTerminals{}), 0) << err.str();
  EXPECT_EQ(out.str(), testing_support::ReadFile(std::filesystem::path(__FILE__).parent_path() / "demo_tree.txt"));
}

}  // namespace
