// The demo network on both backends: created from its description, read, written in one
// transaction, exported. On a PostgreSQL server (PORTAB_TEST_SERVER) the network is a schema
// of a name of its own per test; without a server those cases are skipped, with the reason.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_copy.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/postgres_db.h"
#include "platform/lns_embedded/sqlite_db.h"
#include "support/matchers.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

using namespace platform::lns_embedded;
using testing_support::ThrowsError;

class NetworkBackendTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    auto description = nlohmann::json::parse(testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"));
    name_ = "Demo " + std::to_string(::getpid());  // parallel test runs share the server
    description["network"] = name_;
    // Switch 1 holds its object's hold time as a configuration NV (whose value the CP gives).
    auto& switch1 = description["subsystems"][0]["devices"][0];
    switch1["nvs"].push_back({{"name", "nciHoldTime"}, {"type", "SNVT_time_sec"}});
    switch1["lonMarkObjects"][0]["cps"][1]["deviceNv"] = "nciHoldTime";
    description_ = description.dump();
    CreateNetwork(dir_ / "lns", description_, false);
    if (GetParam() == "sqlite") {
      network_ = NetworkDb::Open(dir_ / "lns" / (name_ + ".db"), {});
      return;
    }
    PORTAB_TEST_SERVER_OR_SKIP(uri);
    auto db = std::make_unique<PostgresDb>(uri);
    CreateNetworkOnServer(*db, description_, true);
    UseNetworkOnServer(*db, name_);
    network_ = NetworkDb::Open(std::move(db), {});
  }
  void TearDown() override {
    if (GetParam() == "postgresql" && network_) {
      if (network_->Db().InTransaction()) network_->Db().Exec("ROLLBACK");
      network_->Db().Exec("DROP SCHEMA IF EXISTS " + QuotedName(name_) + " CASCADE");
    }
  }
  // A connection of another program to the same network.
  std::unique_ptr<SqlDb> OtherConnection() const {
    if (GetParam() == "sqlite") return std::make_unique<SqliteDb>(dir_ / "lns" / (name_ + ".db"), false);
    auto other = std::make_unique<PostgresDb>(std::getenv("PORTAB_TEST_SERVER"));
    other->Exec("SET search_path TO " + QuotedName(name_));
    return other;
  }
  std::shared_ptr<lns::AppDevice> Switch() const {
    // Names are found ignoring case, on both backends.
    return NetworkObject(network_)->Systems()->Item(1)->Subsystems()->ItemByName("FLOOR 1")->AppDevices()->ItemByName(
        "switch 1");
  }

  testing_support::TempDir dir_;
  std::string name_;
  std::string description_;
  std::shared_ptr<NetworkDb> network_;
};

TEST_P(NetworkBackendTest, TheNetworkExportsByteForByteAsTheFileDoesAndIsNotCreatedTwice) {
  EXPECT_EQ(ExportNetwork(*network_), ExportNetwork(dir_ / "lns" / (name_ + ".db")));
  if (GetParam() != "postgresql") return;
  EXPECT_THAT([&] { CreateNetworkOnServer(network_->Db(), description_, false); }, ThrowsError(lns::err::kDatabase));
  EXPECT_THAT(NetworksOnServer(network_->Db()), ::testing::Contains(name_));
  // Never over another case of its name, another application's schema or a name the server cuts.
  SqlDb& db = network_->Db();
  const std::string other = "Other " + name_;
  db.Exec("CREATE SCHEMA " + QuotedName(other) + "; CREATE TABLE " + QuotedName(other) + ".keep(i INTEGER)");
  std::string lower = name_;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const std::string& name : {lower, other, std::string("pg_x"), std::string(64, 'n')}) {
    auto description = nlohmann::json::parse(description_);
    description["network"] = name;
    EXPECT_THAT([&] { CreateNetworkOnServer(db, description.dump(), true); },
                ::testing::AnyOf(ThrowsError(lns::err::kDatabase), ThrowsError(lns::err::kBadValue)))
        << name;
  }
  EXPECT_TRUE(db.Prepare("SELECT 1 FROM " + QuotedName(other) + ".keep").Step() == false);  // still there, empty
  db.Exec("DROP SCHEMA " + QuotedName(other) + " CASCADE");
}

// A device added to the network is the same device on either backend: CPs of the device, of
// an object and of an NV, a CP held in an NV, object members, text with quotes and backslashes
// and values of every kind of byte (the server gets its rows as one text of SQL).
TEST_P(NetworkBackendTest, AnAddedDeviceIsTheSameOnTheServerAsOnTheFile) {
  nlohmann::json device = nlohmann::json::parse(
      R"({"template": "T'\\", "programId": "9F:FF:FF:08:1C:0A:04:01",
          "cps": [{"name": "Own", "dimension": 4, "value": [0, 39, 92, 255]}],
          "nvs": [{"name": "nvi'A", "type": "SNVT_switch", "value": [0, 92], "cps": [{"name": "OfNv", "value": [39]}]},
                  {"name": "nciHold", "type": "SNVT_time_sec"}],
          "lonMarkObjects": [{"name": "Obj \"1\"", "profile": 3200, "nvs": ["nvi'A", "nciHold"],
                              "cps": [{"name": "Held", "elementSize": 2, "value": [1, 2], "deviceNv": "nciHold"}]}]})");
  const auto addTo = [&](NetworkDb& network) {
    const auto floor = NetworkObject(network.shared_from_this())->Systems()->Item(1)->Subsystems()->ItemByName("Floor 1");
    AddDevice(network.Db(), RowIdOf(*floor), device.dump());
  };
  const auto file = NetworkDb::Open(dir_ / "lns" / (name_ + ".db"), {});
  for (const char* name : {"O'Hara 1", "Second"}) {  // the second's ids come after the first's
    device["name"] = name;
    if (GetParam() != "sqlite") addTo(*file);
    addTo(*network_);
  }
  EXPECT_EQ(ExportNetwork(*network_), ExportNetwork(*file));
}

// Two clients of a server in LNS transactions at once: writes of different CPs both commit;
// of the same CP, the second waits no longer than its timeout, gets the conflict, and its
// commit names it; nothing of it stays.
TEST_P(NetworkBackendTest, OnAServerDifferentCpsCommitSideBySideAndTheSameCpIsAConflict) {
  if (GetParam() != "postgresql") GTEST_SKIP() << "a file's writers take turns";
  auto connection = std::make_unique<PostgresDb>(std::getenv("PORTAB_TEST_SERVER"), 1);
  UseNetworkOnServer(*connection, name_);
  const auto second = NetworkDb::Open(std::move(connection), {});
  const auto cpOf = [&](const std::shared_ptr<NetworkDb>& db, const char* device) {
    return NetworkObject(db)->Systems()->Item(1)->Subsystems()->ItemByName("Floor 1")->AppDevices()->ItemByName(device)
        ->Interface()->ConfigProperties()->Item(1);
  };
  auto systemA = NetworkObject(network_)->Systems()->Item(1);
  auto systemB = NetworkObject(second)->Systems()->Item(1);
  const auto write = [](const std::shared_ptr<lns::ConfigProperty>& cp, uint8_t value) {
    cp->RawWrite(0, 1, std::vector<uint8_t>(static_cast<size_t>(cp->ElementSize()), value), 0);
  };
  systemA->StartTransaction();
  write(cpOf(network_, "Switch 1"), 11);
  systemB->StartTransaction();
  write(cpOf(second, "Switch 2"), 22);
  systemB->CommitTransaction();
  systemA->CommitTransaction();
  EXPECT_EQ(cpOf(second, "Switch 1")->RawRead(0, 1, 0)[0], 11);
  EXPECT_EQ(cpOf(network_, "Switch 2")->RawRead(0, 1, 0)[0], 22);

  systemA->StartTransaction();
  write(cpOf(network_, "Switch 1"), 33);
  systemB->StartTransaction();
  EXPECT_THAT([&] { write(cpOf(second, "Switch 1"), 44); }, ThrowsError(lns::err::kWriteConflict));
  EXPECT_THAT([&] { systemB->CommitTransaction(); },
              testing_support::Raises(lns::err::kTransactionFailed, ::testing::HasSubstr("(0x80040FD4: Another program holds the network")));
  systemA->CommitTransaction();
  EXPECT_EQ(cpOf(second, "Switch 1")->RawRead(0, 1, 0)[0], 33);
}

TEST_P(NetworkBackendTest, AWriteOfTwoDevicesIsAllOrNothingAndNvUpdatesAreLogged) {
  auto system = NetworkObject(network_)->Systems()->Item(1);
  auto cp = Switch()->Interface()->ConfigProperties()->Item(2);
  const auto before = cp->RawRead(0, 1, 0);
  auto otherDevice = system->Subsystems()->ItemByName("Floor 1")->AppDevices()->ItemByName("Switch 2");
  network_->SetDeviceReachable(RowIdOf(*otherDevice), false);
  system->StartTransaction();
  cp->RawWrite(0, 1, std::vector<uint8_t>(before.size(), 7), 0);
  auto otherCp = otherDevice->Interface()->ConfigProperties()->Item(1);
  EXPECT_THAT([&] { otherCp->RawWrite(0, 1, std::vector<uint8_t>(static_cast<size_t>(otherCp->ElementSize()), 1), 0); },
              ThrowsError(lns::err::kDeviceNotAccessible));
  EXPECT_THAT([&] { system->CommitTransaction(); }, ThrowsError(lns::err::kTransactionFailed));
  EXPECT_EQ(cp->RawRead(0, 1, 0), before);  // nothing of it stayed
  system->StartTransaction();
  cp->RawWrite(0, 1, std::vector<uint8_t>(before.size(), 7), 0);
  system->CommitTransaction();
  EXPECT_EQ(cp->RawRead(0, 1, 0), std::vector<uint8_t>(before.size(), 7));

  const int64_t last = network_->LastUpdate();
  auto nv = Switch()->Interface()->NetworkVariables()->ItemByName("nviPrimeValue");
  nv->SetValue("50.0 1");
  nv->SetValue("50.0 1");  // unchanged: not logged again
  nv->SetValue("0.0 0");
  const auto updates = network_->UpdatesSince(last);
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_EQ(updates[0].nvId, RowIdOf(*nv));
  // Each entry keeps the value of its own change.
  EXPECT_EQ(updates[0].value, (std::vector<uint8_t>{100, 1}));
  EXPECT_EQ(updates[1].value, (std::vector<uint8_t>{0, 0}));
}

// A network of schema version 6 logged NV changes without their values: opened, it keeps the
// entries it has (which carry none) and logs the values from then on.
TEST_P(NetworkBackendTest, AVersion6NetworkLogsNvValuesOnceOpened) {
  const bool server = GetParam() == "postgresql";
  auto old = OtherConnection();
  if (server) {
    old->Exec("ALTER TABLE nv_update DROP COLUMN value; UPDATE portab_lns SET value = '6' WHERE key = 'schema'; "
              "CREATE OR REPLACE FUNCTION nv_value_changed() RETURNS trigger LANGUAGE plpgsql AS $$ "
              "BEGIN INSERT INTO nv_update(nv_id) VALUES (NEW.id); RETURN NULL; END $$");
  } else {
    old->Exec("DROP TRIGGER nv_value_changed; ALTER TABLE nv_update DROP COLUMN value; PRAGMA user_version = 6; "
              "CREATE TRIGGER nv_value_changed AFTER UPDATE OF value ON nv WHEN NEW.value IS NOT OLD.value BEGIN "
              "INSERT INTO nv_update(nv_id) VALUES (NEW.id); END");
  }
  const int64_t before = network_->LastUpdate();
  const std::string nv = std::to_string(RowIdOf(*Switch()->Interface()->NetworkVariables()->ItemByName("nviPrimeValue")));
  old->Exec("UPDATE nv SET value = " + std::string(server ? "'\\x0101'" : "x'0101'") + " WHERE id = " + nv);
  const auto opened = NetworkDb::Open(OtherConnection(), {});
  opened->Db().Exec("UPDATE nv SET value = " + std::string(server ? "'\\x0202'" : "x'0202'") + " WHERE id = " + nv);
  const auto updates = opened->UpdatesSince(before);
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_EQ(updates[0].value, std::nullopt);
  EXPECT_EQ(updates[1].value, (std::vector<uint8_t>{2, 2}));
}

// Rows read inside a snapshot are the snapshot's, however they are read; after it, another
// client's change shows.
TEST_P(NetworkBackendTest, ASnapshotReadsRowsOfOneMomentAndTheNextOneSeesChanges) {
  auto cp = Switch()->Interface()->ConfigProperties()->Item(1);
  const std::string name = cp->Name();
  const std::unique_ptr<SqlDb> other = OtherConnection();
  {
    const ReadTransaction snapshot(network_->Db());
    EXPECT_EQ(cp->Name(), name);
    other->Prepare("UPDATE cp SET name = 'Renamed', dimension = 9 WHERE id = ?1").Bind(1, RowIdOf(*cp)).Run();
    EXPECT_EQ(std::make_pair(cp->Name(), cp->Dimension()), std::make_pair(name, cp->Dimension()));
    EXPECT_NE(cp->Dimension(), 9);
  }
  EXPECT_EQ(std::make_pair(cp->Name(), cp->Dimension()), std::make_pair(std::string("Renamed"), int16_t{9}));
}

// A copy (to a file, and on the server back over the original) keeps what the description
// leaves out, and new rows of the copy get ids after the copied ones.
TEST_P(NetworkBackendTest, ACopyKeepsEveryRowAndNewRowsGoAfterThem) {
  // The monitoring every client starts with (the shared row's).
  const auto nv = Switch()->Interface()->NetworkVariables()->ItemByName("nviPrimeValue");
  network_->Db().Exec("UPDATE nv SET monitor_tag = 77 WHERE id = " + std::to_string(RowIdOf(*nv)));
  network_->Db().Exec("INSERT INTO plugin_registration VALUES ('veltaX', 13, 'PortaB', 28, 1, 'n', 'd', '1.0', 'm', 'p', 'f', 0)");
  const std::string exported = ExportNetwork(*network_);
  const auto folder = dir_ / "copy";
  EXPECT_EQ(CopyNetworkToFolder(*network_, folder, false), name_);
  EXPECT_THAT([&] { CopyNetworkToFolder(*network_, folder, false); }, ThrowsError(lns::err::kDatabase));
  auto copy = NetworkDb::Open(folder / (name_ + ".db"), {});
  if (GetParam() == "postgresql") {
    auto server = std::make_unique<PostgresDb>(std::getenv("PORTAB_TEST_SERVER"));
    EXPECT_THAT([&] { CopyNetworkToServer(*copy, *server, false); }, ThrowsError(lns::err::kDatabase));
    CopyNetworkToServer(*copy, *server, true);
    UseNetworkOnServer(*server, name_);
    copy = NetworkDb::Open(std::move(server), {});
  }
  EXPECT_EQ(ExportNetwork(*copy), exported);
  auto rows = copy->Db().Prepare("SELECT (SELECT SUM(monitor_tag) FROM nv), (SELECT COUNT(*) FROM plugin_registration)");
  ASSERT_TRUE(rows.Step());
  EXPECT_EQ(std::make_pair(rows.Int(0), rows.Int(1)), std::make_pair(int64_t{77}, int64_t{1}));
  rows.Reset();
  const auto floor = NetworkObject(copy)->Systems()->Item(1)->Subsystems()->ItemByName("Floor 1");
  AddDevice(copy->Db(), RowIdOf(*floor), R"({"name": "Switch 9", "template": "PortaB", "programId": "9F:FF:FF:08:1C:0A:04:01",
      "cps": [{"name": "C", "value": [1]}], "nvs": [{"name": "n", "type": "SNVT_switch"}]})");
  EXPECT_EQ(floor->AppDevices()->ItemByName("Switch 9")->Interface()->NetworkVariables()->Count(), 1);
}

// A network larger than the rows a walk reads ahead at once, with gaps in its ids and values a
// copy must escape (tabs, line breaks, backslashes, every kind of byte): copied to the server,
// its tree and export are the file's, and copied back, its rows are the same.
TEST(ServerWalkTest, ALargeNetworkCopiedToTheServerWalksAndComesBackAsOnTheFile) {
  PORTAB_TEST_SERVER_OR_SKIP(uri);
  const testing_support::TempDir home;
  const std::string name = "Walk " + std::to_string(::getpid());
  nlohmann::json subsystems = nlohmann::json::array();
  for (int s = 0; s < 8; ++s) {
    nlohmann::json devices = nlohmann::json::array();
    for (int d = 0; d < 90; ++d) {
      const int value = (s * 90 + d) % 256;
      devices.push_back({{"name", "D" + std::to_string(d)}, {"template", "T"}, {"programId", "P"},
                         {"cps", {{{"name", "Own"}, {"dimension", 2}, {"value", {value, 92}}}}},
                         {"nvs", {{{"name", "a"}, {"type", "SNVT_switch"}, {"cps", {{{"name", "OfNv"}, {"value", {value}}}}}},
                                  {{"name", "b"}, {"type", "SNVT_time_sec"}},
                                  {{"name", "c"}, {"type", "SNVT_switch"}, {"value", {value, 1}}}}},
                         {"lonMarkObjects", {{{"name", "O"}, {"profile", 28}, {"nvs", {"a", "c"}},
                                              {"cps", {{{"name", "OfObject"}, {"dimension", 3}, {"value", {0, value, 255}}}}}}}}});
    }
    subsystems.push_back({{"name", "S" + std::to_string(s)}, {"devices", devices}});
  }
  const nlohmann::json description{{"network", name}, {"system", "Sys"}, {"subsystems", subsystems}};
  CreateNetwork(home / "lns", description.dump(), false);
  {
    SqliteDb file(home / "lns" / (name + ".db"), false);
    file.Exec("PRAGMA foreign_keys = ON; DELETE FROM device WHERE id % 7 = 3; DELETE FROM nv WHERE id % 11 = 5; "
              "UPDATE cp SET value = X'005c0a09ff' , dimension = 5 WHERE name = 'OfObject' AND id % 3 = 0; "
              "INSERT INTO plugin_registration VALUES ('x\ty', 13, 'back\\slash', 28, 1, 'line\nbreak\r', 'd', '1.0', "
              "'m', 'p', 'f', 0)");
  }
  const auto run = [&](std::vector<std::string> args) {
    std::ostringstream out, err;
    EXPECT_EQ(RunLnsTool(args, home.Path(), out, err), 0) << err.str();
    return out.str();
  };
  run({"copy", name, "--to", uri});
  for (const char* command : {"tree", "export"}) EXPECT_EQ(run({"--server", uri, command, name}), run({command, name})) << command;
  const auto back = home / "back";
  {
    auto server = std::make_unique<PostgresDb>(uri);
    UseNetworkOnServer(*server, name);
    CopyNetworkToFolder(*NetworkDb::Open(std::move(server), {}), back, false);
  }
  PostgresDb(uri).Exec("DROP SCHEMA " + QuotedName(name) + " CASCADE");
  const auto everyRow = [](const std::filesystem::path& file) {
    SqliteDb db(file, false);
    std::string rows;
    for (const NetworkTable& table : kNetworkTables) {
      auto select = db.Prepare(std::string("SELECT quote(") + base::ReplaceAll(table.columns, ", ", ") || ',' || quote(") +
                               ") FROM " + table.name + " ORDER BY 1");
      while (select.Step()) rows += select.Text(0) + "\n";
    }
    return rows;
  };
  EXPECT_EQ(everyRow(back / (name + ".db")), everyRow(home / "lns" / (name + ".db")));
}

// A CP held by a configuration NV and the NV are one value: a write of either changes both in
// the same transaction, through our objects or another program's SQL, and the NV's change is
// logged; a value of another length than its twin's is refused.
TEST_P(NetworkBackendTest, AConfigurationNvAndItsCpAreOneValueWhoeverWritesThem) {
  auto system = NetworkObject(network_)->Systems()->Item(1);
  auto cp = Switch()->Interface()->LonMarkObjects()->Item(1)->ConfigProperties()->ItemByName("HoldTime");
  auto nv = Switch()->Interface()->NetworkVariables()->ItemByName("nciHoldTime");
  const auto both = [&] { return std::make_pair(cp->RawRead(0, 1, 0), nv->Value()); };
  using Bytes = std::vector<uint8_t>;
  EXPECT_EQ(both(), std::make_pair(Bytes{1, 244}, std::string("50.0")));  // from the CP's value

  int64_t last = network_->LastUpdate();
  cp->RawWrite(0, 1, {2, 88}, 0);
  EXPECT_EQ(both(), std::make_pair(Bytes{2, 88}, std::string("60.0")));
  nv->SetValue("70.0");
  EXPECT_EQ(both(), std::make_pair(Bytes{2, 188}, std::string("70.0")));
  EXPECT_EQ(network_->UpdatesSince(last).size(), 2u);  // the CP's write changed the NV as well

  system->StartTransaction();
  cp->RawWrite(0, 1, {0, 10}, 0);
  EXPECT_EQ(nv->Value(), "1.0");
  system->CancelTransaction();
  EXPECT_EQ(both(), std::make_pair(Bytes{2, 188}, std::string("70.0")));
  system->StartTransaction();
  nv->SetValue("2.5");
  system->CommitTransaction();
  EXPECT_EQ(both(), std::make_pair(Bytes{0, 25}, std::string("2.5")));

  const std::unique_ptr<SqlDb> other = OtherConnection();
  other->Prepare("UPDATE nv SET value = ?1 WHERE id = ?2").Bind(1, Bytes{0, 30}).Bind(2, RowIdOf(*nv)).Run();
  EXPECT_EQ(both(), std::make_pair(Bytes{0, 30}, std::string("3.0")));
  other->Prepare("UPDATE cp SET value = ?1 WHERE id = ?2").Bind(1, Bytes{0, 40}).Bind(2, RowIdOf(*cp)).Run();
  EXPECT_EQ(both(), std::make_pair(Bytes{0, 40}, std::string("4.0")));
  EXPECT_THAT([&] { other->Prepare("UPDATE cp SET value = ?1 WHERE id = ?2").Bind(1, Bytes{1}).Bind(2, RowIdOf(*cp)).Run(); },
              testing_support::Raises(lns::err::kDatabase, ::testing::HasSubstr("one value")));
  EXPECT_EQ(both(), std::make_pair(Bytes{0, 40}, std::string("4.0")));
  const auto exported = nlohmann::json::parse(ExportNetwork(*network_))["subsystems"][0]["devices"][0];
  EXPECT_EQ(exported["lonMarkObjects"][0]["cps"][1]["value"], exported["nvs"].back()["value"]);
  EXPECT_EQ(exported["nvs"].back()["value"], nlohmann::json({0, 40}));
}

INSTANTIATE_TEST_SUITE_P(Backends, NetworkBackendTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

}  // namespace

namespace {

// A network's server entry: found whatever the case of its name, written as a file of its
// owner's alone (also over a file others could read, or a link, which is replaced), removed by "".
TEST(ServerEntryTest, IsTheOwnersAloneFoundIgnoringCaseAndRemovable) {
  namespace fs = std::filesystem;
  const testing_support::TempDir dir;
  testing_support::WriteFile(dir / "victim", "keep\n");
  fs::create_symlink(dir / "victim", dir / "Demo.server");
  SetServerEntry(dir.Path(), "demo", "postgresql://a@h/d");
  EXPECT_EQ(ServerEntry(dir.Path(), "DEMO"), "postgresql://a@h/d");
  EXPECT_EQ(testing_support::ReadFile(dir / "victim"), "keep\n");
  EXPECT_FALSE(fs::is_symlink(dir / "Demo.server"));
  fs::permissions(dir / "Demo.server", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  SetServerEntry(dir.Path(), "Demo", "postgresql://b@h/d");
  EXPECT_EQ(fs::status(dir / "Demo.server").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(NetworksWithServerEntry(dir.Path()), std::vector<std::string>{"Demo"});
  SetServerEntry(dir.Path(), "DEMO", "");
  EXPECT_EQ(ServerEntry(dir.Path(), "Demo"), "");
  EXPECT_TRUE(NetworksWithServerEntry(dir.Path()).empty());
  // Not a connection URI: refused without trying to connect and without repeating it.
  EXPECT_THAT([] { PostgresDb("host=h password=secret"); },
              testing_support::Raises(lns::err::kServerUnreachable, ::testing::Not(::testing::HasSubstr("secret"))));
}

// Two clients monitor the same NV, on the file and on the server: each gets the updates with its
// own tag, one switching off does not stop the other, and nothing of either is in the shared row.
class MonitoringClientsTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    auto description = nlohmann::json::parse(testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"));
    description["network"] = name_;
    if (GetParam() == "sqlite") {
      CreateNetwork(dir_ / "lns", description.dump(), false);
      return;
    }
    PORTAB_TEST_SERVER_OR_SKIP(uri);
    uri_ = uri;
    CreateNetworkOnServer(*std::make_unique<PostgresDb>(uri_), description.dump(), true);
  }
  void TearDown() override {
    if (!uri_.empty()) PostgresDb(uri_).Exec("DROP SCHEMA IF EXISTS " + QuotedName(name_) + " CASCADE");
  }
  std::shared_ptr<EmbeddedObjectServer> Client() const {
    auto server = std::make_shared<EmbeddedObjectServer>(dir_ / "lns", uri_);
    server->Open(0);
    return server;
  }
  std::shared_ptr<lns::NetworkVariable> NvOf(const std::shared_ptr<EmbeddedObjectServer>& client) const {
    return client->Networks()->ItemByName(name_)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
        ->Interface()->NetworkVariables()->ItemByName("nviPrimeValue");
  }
  static void Tag(const std::shared_ptr<lns::NetworkVariable>& nv, int32_t tag) {
    nv->SetEditingSettings(true);
    nv->SetMonitorTag(tag);
    nv->SetEditingSettings(false);
  }

  testing_support::TempDir dir_;
  std::string uri_;
  const std::string name_ = "Monitoring " + std::to_string(::getpid());
};

TEST_P(MonitoringClientsTest, EachClientGetsItsOwnUpdatesAndSwitchesOnlyItsOwnOff) {
  struct Watcher {
    std::shared_ptr<EmbeddedObjectServer> client;
    std::vector<std::pair<int32_t, std::string>> updates;
  };
  Watcher first{Client(), {}}, second{Client(), {}};
  for (Watcher* w : {&first, &second}) {
    w->client->SetNvUpdateHandler([w](int32_t tag, const std::string& value, const lns::ObjectPtr&) { w->updates.emplace_back(tag, value); });
    w->client->EventDescriptor();
    w->client->PumpEvents();
  }
  Tag(NvOf(first.client), 5);
  Tag(NvOf(second.client), 6);
  EXPECT_EQ(NvOf(first.client)->MonitorTag(), 5);
  EXPECT_EQ(NvOf(Client())->MonitorTag(), 0);  // a third client starts from the shared row
  const auto writer = Client();
  const auto deliver = [&](const std::string& value) {
    NvOf(writer)->SetValue(value);
    for (Watcher* w : {&first, &second}) {
      pollfd wake{w->client->EventDescriptor(), POLLIN, 0};
      ::poll(&wake, 1, 5000);
      w->client->PumpEvents();
    }
  };
  deliver("10.0 1");
  Tag(NvOf(second.client), 0);
  deliver("20.0 1");
  using Updates = std::vector<std::pair<int32_t, std::string>>;
  EXPECT_EQ(first.updates, (Updates{{5, "10.0 1"}, {5, "20.0 1"}}));
  EXPECT_EQ(second.updates, (Updates{{6, "10.0 1"}}));
  std::ostringstream out, err;
  std::vector<std::string> args{"monitor", name_};
  if (!uri_.empty()) args.insert(args.begin(), {"--server", uri_});
  ASSERT_EQ(RunLnsTool(args, dir_.Path(), out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "no NV is monitored\n");  // nothing of either client is shared
  // The row becomes another NV (a file gives a removed row's id again): it is not monitored.
  const auto network = first.client->Database(name_);
  ASSERT_EQ(network->MonitoredNvs().size(), 1u);
  network->Db().Exec("UPDATE nv SET name = 'another', position = 99 WHERE id = " + std::to_string(RowIdOf(*NvOf(first.client))));
  EXPECT_TRUE(network->MonitoredNvs().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, MonitoringClientsTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

// Clients of one network on the server, each with an object server of its own.
class ServerClientsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PORTAB_TEST_SERVER_OR_SKIP(uri);
    uri_ = uri;
    auto description = nlohmann::json::parse(testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"));
    description["network"] = name_;
    CreateNetworkOnServer(*std::make_unique<PostgresDb>(uri_), description.dump(), true);
  }
  void TearDown() override {
    if (!uri_.empty()) PostgresDb(uri_).Exec("DROP SCHEMA IF EXISTS " + QuotedName(name_) + " CASCADE");
  }
  std::shared_ptr<EmbeddedObjectServer> Client() const {
    auto server = std::make_shared<EmbeddedObjectServer>(dir_.Path(), uri_);
    server->Open(0);
    return server;
  }
  std::shared_ptr<lns::System> SystemOf(const std::shared_ptr<EmbeddedObjectServer>& client) const {
    return client->Networks()->ItemByName(name_)->Systems()->Item(1);
  }
  std::shared_ptr<lns::DeviceInterface> DeviceOf(const std::shared_ptr<EmbeddedObjectServer>& client) const {
    return SystemOf(client)->Subsystems()->Item(1)->AppDevices()->Item(1)->Interface();
  }

  testing_support::TempDir dir_;
  std::string uri_;
  const std::string name_ = "Clients " + std::to_string(::getpid());
};

// A value one client writes to a monitored NV wakes the other's event loop (its descriptor
// becomes readable) and reaches its PumpEvents.
TEST_F(ServerClientsTest, AnotherClientsNvWriteWakesTheEventLoopAndReachesPumpEvents) {
  auto watcher = Client();
  std::vector<std::pair<int32_t, std::string>> updates;
  watcher->SetNvUpdateHandler([&](int32_t tag, const std::string& value, const lns::ObjectPtr&) { updates.emplace_back(tag, value); });
  auto watched = DeviceOf(watcher)->NetworkVariables()->ItemByName("nviPrimeValue");
  watched->SetEditingSettings(true);
  watched->SetMonitorTag(5000);
  watched->SetEditingSettings(false);
  const int descriptor = watcher->EventDescriptor();
  ASSERT_GE(descriptor, 0);
  EXPECT_EQ(watcher->PumpEvents(), 0);
  DeviceOf(Client())->NetworkVariables()->ItemByName("nviPrimeValue")->SetValue("50.0 1");
  pollfd wake{descriptor, POLLIN, 0};
  EXPECT_EQ(::poll(&wake, 1, 5000), 1);  // woken, not timed out
  EXPECT_EQ(watcher->PumpEvents(), 1);
  EXPECT_EQ(updates, (std::vector<std::pair<int32_t, std::string>>{{5000, "50.0 1"}}));
  EXPECT_EQ(::poll(&wake, 1, 0), 0);  // read empty
}

// Four client processes each add 1 to the same CP 200 times, each time reading it and writing
// it back in one transaction, and retry what a conflict refused: no increment is lost.
TEST_F(ServerClientsTest, FourClientsTimesTwoHundredIncrementsOfOneCpLoseNothing) {
  constexpr int kClients = 4;
  constexpr int kIncrements = 200;
  const auto counter = [&](const std::shared_ptr<EmbeddedObjectServer>& client) {
    return DeviceOf(client)->ConfigProperties()->ItemByName("DeviceOptions");
  };
  const auto valueOf = [](const std::vector<uint8_t>& bytes) { return bytes[0] * 256 + bytes[1]; };
  const int first = valueOf(counter(Client())->RawRead(0, 1, 0));
  std::vector<pid_t> clients;
  for (int c = 0; c < kClients; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid > 0) {
      clients.push_back(pid);
      continue;
    }
    int status = 0;  // a client: its own connections, made after the fork
    try {
      const auto client = Client();
      const auto system = SystemOf(client);
      const auto cp = counter(client);
      for (int done = 0; done < kIncrements;) {
        try {
          system->StartTransaction();
          auto bytes = cp->RawRead(0, 1, 0);
          const int value = valueOf(bytes) + 1;
          bytes[0] = static_cast<uint8_t>(value / 256);
          bytes[1] = static_cast<uint8_t>(value % 256);
          cp->RawWrite(0, 1, bytes, 0);
          system->CommitTransaction();
          ++done;
        } catch (const base::Error& e) {
          if (e.Number() != lns::err::kWriteConflict && e.Number() != lns::err::kTransactionFailed) throw;
          if (system->InTransaction()) system->CancelTransaction();  // refused: tried again
        }
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "client %d: %s\n", c, e.what());
      status = 1;
    }
    ::_exit(status);
  }
  for (const pid_t pid : clients) {
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(valueOf(counter(Client())->RawRead(0, 1, 0)), first + kClients * kIncrements);
}

}  // namespace
