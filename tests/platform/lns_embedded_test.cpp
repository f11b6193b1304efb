#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/network_description.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using namespace platform::lns_embedded;
using testing::_;
using testing::AllOf;
using testing::HasSubstr;
using testing_support::Raises;
using testing_support::ThrowsError;

namespace {

constexpr const char* kNetwork = R"({
  "network": "Test", "system": "Sys",
  "subsystems": [ { "name": "Floor", "subsystems": [ { "name": "Room" } ], "devices": [ {
    "name": "Dev", "template": "T1", "programId": "9F:01",
    "cps": [ { "name": "Version", "value": [7] }, { "name": "Pair", "elementSize": 2, "dimension": 2, "value": [0, 1, 255, 0] } ],
    "nvs": [ { "name": "nviSwitch", "type": "SNVT_switch", "cps": [ { "name": "NvCp", "value": [5] } ] },
             { "name": "nvoLux", "type": "SNVT_lux", "changeable": false },
             { "name": "nvoRaw", "typeIndex": 999, "size": 3 } ],
    "lonMarkObjects": [ { "name": "Obj", "profile": 3200, "cps": [ { "name": "Fpt", "elementSize": 2, "value": [0, 3] } ],
                          "nvs": [ "nvoLux", "nviSwitch" ] } ] } ] } ]
})";

class EmbeddedServerTest : public testing::Test {
 protected:
  void SetUp() override {
    CreateNetwork(Folder(), kNetwork, false);
    server_ = Connect();
  }
  std::filesystem::path Folder() const { return dir_ / "lns"; }
  std::shared_ptr<EmbeddedObjectServer> Connect() const {
    auto server = std::make_shared<EmbeddedObjectServer>(Folder());
    server->Open(0);
    return server;
  }
  // Through this test's server unless another is given.
  using Server = std::shared_ptr<EmbeddedObjectServer>;
  std::shared_ptr<lns::SubsystemCollection> TopSubsystems(const std::string& network, const Server& server = {}) const {
    return (server ? server : server_)->Networks()->ItemByName(network)->Systems()->Item(1)->Subsystems();
  }
  std::shared_ptr<lns::AppDevice> Device(const Server& server = {}) const {
    return TopSubsystems("test", server)->ItemByName("Floor")->AppDevices()->Item(1);
  }
  std::shared_ptr<lns::ConfigProperty> PairCp(const Server& server = {}) const {
    return Device(server)->Interface()->ConfigProperties()->Item(2);
  }

  testing_support::TempDir dir_;
  Server server_;
};

// The database as another program sees it: a connection without foreign keys.
class OutsideTool {
 public:
  explicit OutsideTool(const std::filesystem::path& file) : db_(file, false) { db_.Exec("PRAGMA foreign_keys = OFF"); }
  void Exec(const std::string& sql) { db_.Exec(sql); }
  int64_t Number(const std::string& sql) {
    auto row = db_.Prepare(sql);
    return row.Step() ? row.Int(0) : -1;
  }
  std::vector<std::string> Texts(const std::string& sql) {
    std::vector<std::string> texts;
    for (auto rows = db_.Prepare(sql); rows.Step();) texts.push_back(rows.Text(0));
    return texts;
  }
  // Rows left pointing at a row that is gone, table by table: the declared foreign keys as SQLite
  // checks them (also with foreign keys off), and the references no foreign key declares.
  std::map<std::string, int64_t> Orphans() {
    std::map<std::string, int64_t> found;
    for (auto rows = db_.Prepare("SELECT \"table\", COUNT(*) FROM pragma_foreign_key_check GROUP BY 1"); rows.Step();)
      found[rows.Text(0)] = rows.Int(1);
    const std::pair<const char*, const char*> checks[] = {
        {"subsystem", "SELECT COUNT(*) FROM subsystem WHERE parent_id <> 0 AND parent_id NOT IN (SELECT id FROM subsystem)"},
        {"cp",
         "SELECT COUNT(*) FROM cp WHERE NOT EXISTS (SELECT 1 FROM device WHERE cp.owner_kind = 7 AND id = cp.owner_id "
         "UNION ALL SELECT 1 FROM nv WHERE cp.owner_kind = 22 AND id = cp.owner_id "
         "UNION ALL SELECT 1 FROM lonmark_object WHERE cp.owner_kind = 28 AND id = cp.owner_id)"},
        {"nv_update", "SELECT COUNT(*) FROM nv_update WHERE nv_id NOT IN (SELECT id FROM nv)"},
    };
    for (const auto& [table, sql] : checks) {
      if (const int64_t n = Number(sql); n != 0) found[table] = n;
    }
    return found;
  }

 private:
  SqliteDb db_;
};

TEST_F(EmbeddedServerTest, ObjectTreeWithClassIdsParentsAndPositions) {
  auto device = Device();
  EXPECT_EQ(device->Template()->ProgramId(), "9F:01");
  auto object = device->Interface()->LonMarkObjects()->Item(1);
  EXPECT_EQ(object->Index(), 0);
  // LonMark object -> collection -> interface (19) -> device (7) -> ... -> system (3) -> network (1).
  std::vector<int16_t> chain;
  for (lns::ObjectPtr o = object->Parent(); o; o = o->Parent()) chain.push_back(o->ClassId());
  EXPECT_EQ(chain, (std::vector<int16_t>{100, 19, 7, 100, 4, 100, 3, 100, 1, 100, 40}));
  auto members = object->NetworkVariables();
  ASSERT_EQ(members->Count(), 2);
  EXPECT_EQ(std::make_tuple(members->Item(1)->Name(), members->Item(1)->Index(), members->Item(2)->LonMarkMemberIndex()),
            std::make_tuple(std::string("nvoLux"), 1, 1));
  EXPECT_EQ(PairCp()->Parent()->Parent()->ClassId(), 19);
  EXPECT_EQ(object->ConfigProperties()->Item(1)->Parent()->Parent()->ClassId(), 28);
  EXPECT_EQ(device->Interface()->NetworkVariables()->Item(1)->ConfigProperties()->Item(1)->Parent()->Parent()->ClassId(), 22);
  EXPECT_THAT([&] { device->Interface()->ConfigProperties()->Item(0); }, ThrowsError(lns::err::kIndexOutOfRange));
  EXPECT_THAT([&] { device->Interface()->LonMarkObjects()->ItemByName("None"); }, ThrowsError(lns::err::kNotFound));
}

TEST_F(EmbeddedServerTest, RawTransfersRoundTripInTransactionsAndBadValuesChangeNothing) {
  auto cp = PairCp();
  EXPECT_EQ(cp->ValueFormat(), "HEX");
  EXPECT_EQ(cp->Value(), "00 01 FF 00");
  cp->SetValueFormat("raw");
  EXPECT_EQ(cp->Value(), "0\t1\t255\t0");
  for (const char* text : {"1\t2\t3", "1\t2\t3\t4\t5", "1\t2\t3\t256", "1\t2\t3\t-1", "1\t2\tx\t4", ""}) {
    EXPECT_THAT([&] { cp->SetValue(text); }, ThrowsError(lns::err::kBadValue)) << text;
  }
  EXPECT_THAT([&] { cp->SetValueFormat("DECIMAL"); }, ThrowsError(lns::err::kUnknownFormat));
  EXPECT_EQ(cp->ValueFormat(), "RAW");
  EXPECT_THAT([&] { cp->RawWrite(0, 2, {1, 2, 3}, 0); }, ThrowsError(lns::err::kBadValue));
  EXPECT_THAT([&] { cp->RawWrite(1, 2, {1, 2, 3, 4}, 0); }, ThrowsError(lns::err::kIndexOutOfRange));
  EXPECT_THAT([&] { cp->RawRead(2, 1, 0); }, ThrowsError(lns::err::kIndexOutOfRange));
  EXPECT_EQ(cp->Value(), "0\t1\t255\t0");
  cp->SetValue("9\t9\t9\t9");
  EXPECT_EQ(cp->RawRead(1, 1, 0), (std::vector<uint8_t>{9, 9}));
  cp->RawWrite(0, 2, {1, 2, 3, 4}, 0);
  cp->RawWrite(1, 1, {7, 8}, 0);
  EXPECT_EQ(PairCp(Connect())->RawRead(0, 2, 0), (std::vector<uint8_t>{1, 2, 7, 8}));  // another connection sees them
  // A transaction is committed or cancelled as a whole, and only one runs at a time.
  auto system = server_->Networks()->Item(1)->Systems()->Item(1);
  for (const bool commit : {false, true}) {
    system->StartTransaction();
    EXPECT_THAT([&] { system->StartTransaction(); }, ThrowsError(lns::err::kTransactionActive));
    cp->RawWrite(0, 2, {2, 2, 2, 2}, 0);
    commit ? system->CommitTransaction() : system->CancelTransaction();
    EXPECT_EQ(cp->RawRead(0, 2, 0), (commit ? std::vector<uint8_t>{2, 2, 2, 2} : std::vector<uint8_t>{1, 2, 7, 8}));
  }
  EXPECT_THAT([&] { system->CommitTransaction(); }, ThrowsError(lns::err::kNoTransaction));
  EXPECT_FALSE(system->InTransaction());
}

TEST_F(EmbeddedServerTest, NvValuesElementsAndSettings) {
  auto nvs = Device()->Interface()->NetworkVariables();
  auto sw = nvs->ItemByName("nviSwitch");
  sw->SetValue("100.0 1");
  EXPECT_EQ(sw->Value(), "100.0 1");
  EXPECT_EQ(sw->Element("value")->Value(), "100.0");
  sw->Element("state")->SetValue("0");
  EXPECT_EQ(sw->Value(), "100.0 0");
  EXPECT_THAT([&] { sw->Element("nothing"); }, ThrowsError(lns::err::kNotFound));
  EXPECT_THAT([&] { sw->SetValue("100.0"); }, ThrowsError(lns::err::kBadValue));
  EXPECT_THAT([&] { sw->Element("value")->SetValue("200"); }, ThrowsError(lns::err::kBadValue));
  auto raw = nvs->ItemByName("nvoRaw");
  EXPECT_EQ(raw->Value(), "0\t0\t0");  // an unknown type reads as RAW
  // Monitoring settings change only inside the edit bracket.
  EXPECT_THAT([&] { sw->SetMonitorTag(5000); }, ThrowsError(lns::err::kNotEditing));
  EXPECT_THAT([&] { sw->SetPollInterval(10); }, ThrowsError(lns::err::kNotEditing));
  sw->SetEditingSettings(true);
  sw->SetMonitorTag(5000);
  sw->SetMonitoringOption(true);
  sw->SetFormat("RAW");
  EXPECT_THAT([&] { sw->SetFormat("XML"); }, ThrowsError(lns::err::kUnknownFormat));
  sw->SetEditingSettings(false);
  EXPECT_EQ(std::make_tuple(sw->MonitorTag(), sw->MonitoringOption(), sw->Value()), std::make_tuple(5000, true, std::string("200\t0")));
}

TEST_F(EmbeddedServerTest, NvTypeChange) {
  auto nvs = Device()->Interface()->NetworkVariables();
  EmbeddedNvTypeChanger changer;
  auto sw = nvs->ItemByName("nviSwitch");
  EXPECT_THAT([&] { changer.ChangeType(sw, 95, "0000000000000000", 0); }, ThrowsError(lns::err::kNvTypeUnchanged));
  auto lux = nvs->ItemByName("nvoLux");
  EXPECT_THAT([&] { changer.ChangeType(lux, 95, "0000000000000000", 0); }, ThrowsError(lns::err::kNvTypeNotChangeable));
  EXPECT_THAT([&] { changer.ChangeType(sw, 12345, "0000000000000000", 0); }, ThrowsError(lns::err::kBadValue));
  changer.ChangeType(sw, 117, "0000000000000000", 0);
  EXPECT_EQ(sw->NvTypeName() + " " + sw->Value(), "SNVT_setting 0 0.0 0.00");
}

TEST_F(EmbeddedServerTest, TwoProcessesWritingOneNetworkLoseNothing) {
  constexpr int kWrites = 30;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const bool isChild = child == 0;
  {
    auto server = Connect();
    auto cp = Device(server)->Interface()->ConfigProperties()->Item(isChild ? 1 : 2);
    auto system = server->Networks()->Item(1)->Systems()->Item(1);
    for (int i = 0; i < kWrites; ++i) {
      const auto byte = static_cast<uint8_t>(i);
      system->StartTransaction();
      cp->RawWrite(0, isChild ? 1 : 2, isChild ? std::vector<uint8_t>{byte} : std::vector<uint8_t>{0, byte, 0, byte}, 0);
      system->CommitTransaction();
    }
  }
  if (isChild) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  auto cps = Device()->Interface()->ConfigProperties();
  EXPECT_EQ(cps->Item(1)->RawRead(0, 1, 0), (std::vector<uint8_t>{kWrites - 1}));
  EXPECT_EQ(cps->Item(2)->RawRead(0, 2, 0), (std::vector<uint8_t>{0, kWrites - 1, 0, kWrites - 1}));
}

// A CP value of the wrong size, a file that is no database or another database, a newer schema.
TEST_F(EmbeddedServerTest, DamagedOrForeignDatabasesGiveClearErrors) {
  auto cp = PairCp();
  const std::vector<std::function<void()>> reads = {
      [&] { cp->Value(); }, [&] { cp->RawRead(0, 1, 0); }, [&] { cp->RawWrite(0, 1, {1, 2}, 0); },
      [&] { cp->SetValue("00 00 00 00"); }, [&] { ExportNetwork(Folder() / "Test.db"); }};
  for (const char* stored : {"x'0001FF'", "x'0001FF0000'", "x''"}) {
    SCOPED_TRACE(stored);
    OutsideTool(Folder() / "Test.db").Exec(std::string("UPDATE cp SET value = ") + stored + " WHERE name = 'Pair'");
    for (size_t i = 0; i < reads.size(); ++i) {
      EXPECT_THAT(reads[i], Raises(lns::err::kDatabase, AllOf(HasSubstr("damaged"), HasSubstr("\"Pair\"")))) << i;
    }
  }
  EXPECT_EQ(Device()->Interface()->ConfigProperties()->Item(1)->Value(), "07");  // the others read as before
  testing_support::WriteFile(Folder() / "Garbage.db", std::string(4096, 'x'));
  EXPECT_THAT([&] { server_->Networks()->ItemByName("Garbage"); }, ThrowsError(lns::err::kDatabase));
  SqliteDb(Folder() / "Other.db", true).Exec("CREATE TABLE t(x)");
  EXPECT_THAT([&] { server_->Networks()->ItemByName("Other"); }, Raises(_, HasSubstr("is not a network database")));
  server_->Database("Test")->Db().Exec("PRAGMA user_version = 99");
  EXPECT_THAT([&] { Connect()->Networks()->ItemByName("Test"); },
              Raises(lns::err::kDatabase, AllOf(HasSubstr((Folder() / "Test.db").string()), HasSubstr("version 99"))));
  EXPECT_THAT([&] { server_->Networks()->ItemByName("Nothing"); }, ThrowsError(lns::err::kNotFound));
}

TEST_F(EmbeddedServerTest, BadDescriptionsNameTheFieldAndLeaveNoDatabase) {
  // Nesting far beyond any description is refused at once, without a deep recursion.
  std::string deep = R"({"network": "N", "system": "S", "subsystems": )";
  for (int i = 0; i < 50000; ++i) deep += R"([{"name": "A", "subsystems": )";
  deep += "[]";
  for (int i = 0; i < 50000; ++i) deep += "}]";
  deep += "}";
  const std::string net = R"({"network": "N", "system": "S", "subsystems": )";
  const auto device = [&](const std::string& fields) {  // one device D in subsystem A
    return net + R"([{"name": "A", "devices": [{"name": "D", "programId": "P", )" + fields + "}]}]}";
  };
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not valid JSON"}, {R"({"system": "S"})", "network: must be a non-empty text"},
      {net + R"([{"name": "A.B"}]})", "subsystems[0].name"},
      {net + R"([{"name": "A", "devices": [{"name": "D"}]}]})", "subsystems[0].devices[0].programId: is missing"},
      {device(R"("cps": [{"name": "C", "elementSize": 2, "value": [1]}])"),
       "subsystems[0].devices[0].cps[0].value: 1 bytes given, 2 expected"},
      {device(R"("cps": [{"name": "C", "value": [256]}])"), "cps[0].value[0]: must be a byte value"},
      {device(R"("nvs": [{"name": "X", "type": "SNVT_nothing"}])"), "nvs[0].type"},
      {device(R"("lonMarkObjects": [{"name": "O", "nvs": ["missing"]}])"), "lonMarkObjects[0].nvs[0]: the device has no NV"},
      {net + R"([{"name": "A"}, {"name": "a"}]})", "is used twice"},
      {device(R"("cps": [{"name": "C", "elementSize": 1e999}])"), "elementSize: holds a number too large"},
      {deep, "nested more than 64 levels deep"},
      // A CP held by a configuration NV and the NV are one value: two different ones are refused.
      {device(R"("nvs": [{"name": "n", "type": "SNVT_lux", "value": [0, 1]}],
                 "cps": [{"name": "C", "elementSize": 2, "value": [0, 2], "deviceNv": "n"}])"),
       "cps[0].value: differs from the value the NV's own value gives the NV \"n\""},
      {device(R"("nvs": [{"name": "n", "type": "SNVT_lux"}],
                 "cps": [{"name": "C", "elementSize": 2, "value": [0, 2], "deviceNv": "n"},
                         {"name": "E", "elementSize": 2, "value": [0, 3], "deviceNv": "n"}])"),
       "cps[1].value: differs from the value subsystems[0].devices[0].cps[0].value gives"},
      {device(R"("nvs": [{"name": "n", "type": "SNVT_lux"}], "cps": [{"name": "C", "value": [2], "deviceNv": "n"}])"),
       "cps[0].deviceNv: the NV \"n\" holds 2 bytes, the CP 1"},
      // A network name is a file name: one too long for the file system is refused as such.
      {R"({"network": ")" + std::string(300, 'N') + R"(", "system": "S"})", "network: is longer than 200 bytes"},
  };
  for (const auto& row : cases) {
    EXPECT_THAT([&] { CreateNetwork(Folder(), row.first, false); }, Raises(_, HasSubstr(row.second))) << row.first;
  }
  for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
    EXPECT_THAT(entry.path().filename().string(), testing::StartsWith("Test.db"));  // no half-made file
  }
  EXPECT_THAT([&] { CreateNetwork(Folder(), kNetwork, false); }, ThrowsError(lns::err::kDatabase));
}

TEST_F(EmbeddedServerTest, DeletingARowRemovesTheRowsBelowItForOutsideToolsAndForUs) {
  // A second network nests a device two subsystems below the one deleted.
  CreateNetwork(Folder(), R"({"network": "Deep", "system": "S", "subsystems": [{"name": "A", "subsystems": [
      {"name": "B", "subsystems": [{"name": "C", "devices": [{"name": "D", "programId": "P", "cps": [{"name": "X"}],
       "nvs": [{"name": "nv", "type": "SNVT_lux", "cps": [{"name": "Y"}]}],
       "lonMarkObjects": [{"name": "O", "cps": [{"name": "Z"}], "nvs": ["nv"]}]}]}]}]}]})",
                false);
  // Closed, so that the file alone holds everything and can be copied.
  server_.reset();
  SqliteDb(Folder() / "Test.db", false).Exec("UPDATE nv SET value = x'0101' WHERE name = 'nviSwitch'");  // logged
  struct Case { const char* network; const char* deletion; bool outside; };
  const Case cases[] = {
      {"Test", "DELETE FROM device WHERE name = 'Dev'", true}, {"Test", "DELETE FROM device WHERE name = 'Dev'", false},
      {"Test", "DELETE FROM nv WHERE name = 'nviSwitch'", true}, {"Test", "DELETE FROM lonmark_object WHERE name = 'Obj'", true},
      {"Deep", "DELETE FROM subsystem WHERE name = 'A'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.deletion) + (c.outside ? " (outside)" : " (ours)"));
    const std::filesystem::path file = Folder() / (std::string(c.network) + ".db");
    const std::filesystem::path copy = dir_ / "copy.db";
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
    {
      OutsideTool tool(copy);
      ASSERT_EQ(tool.Number("PRAGMA foreign_keys"), 0);
      const int64_t cps = tool.Number("SELECT COUNT(*) FROM cp");
      if (c.outside) {
        tool.Exec(c.deletion);
      } else {
        SqliteDb(copy, false).Exec(c.deletion);
      }
      EXPECT_EQ(tool.Orphans(), (std::map<std::string, int64_t>{}));
      EXPECT_LT(tool.Number("SELECT COUNT(*) FROM cp"), cps);
    }
  }
  // Our own connections refuse a row that points nowhere.
  EXPECT_THAT([&] { SqliteDb(Folder() / "Test.db", false).Exec("UPDATE nv SET device_id = 999"); },
              ThrowsError(lns::err::kDatabase));
}

// Older databases are upgraded when opened: the first form (its version in a row) and one without the lookup indexes.
TEST_F(EmbeddedServerTest, TheSchemaVersionIsTheUserVersionAndOlderDatabasesAreUpgraded) {
  const std::filesystem::path file = Folder() / "Test.db";
  server_.reset();
  int64_t ours = 0;
  {
    OutsideTool tool(file);
    ours = tool.Number("PRAGMA user_version");
    EXPECT_GT(ours, 1);
    // Back to the first form: no user version, the version in a row, no triggers beyond the update log.
    for (const auto& trigger : tool.Texts("SELECT name FROM sqlite_master WHERE type = 'trigger'")) {
      if (trigger != "nv_value_changed") tool.Exec("DROP TRIGGER " + trigger);
    }
    tool.Exec("PRAGMA user_version = 0; INSERT OR REPLACE INTO portab_lns(key, value) VALUES ('version', '1')");
  }
  EXPECT_EQ(Device(Connect())->Name(), "Dev");
  OutsideTool tool(file);
  EXPECT_EQ(tool.Number("PRAGMA user_version"), ours);
  tool.Exec("DELETE FROM device");
  EXPECT_EQ(tool.Orphans(), (std::map<std::string, int64_t>{}));
  EXPECT_EQ(tool.Number("SELECT COUNT(*) FROM cp"), 0);
  // A database of this version written before the lookup indexes existed gets them when it is opened.
  const std::string indexes = "SELECT name FROM sqlite_master WHERE type = 'index' AND name NOT LIKE 'sqlite_%'";
  const std::vector<std::string> created = tool.Texts(indexes);
  ASSERT_GT(created.size(), 5u);
  for (const auto& name : created) {
    if (name != "cp_owner") tool.Exec("DROP INDEX " + name);  // cp_owner is part of the first schema
  }
  EXPECT_EQ(TopSubsystems("test", Connect())->ItemByName("floor")->Name(), "Floor");
  EXPECT_THAT(tool.Texts(indexes), testing::UnorderedElementsAreArray(created));
  // The second version lacks the columns of a device's address on its channel, and the
  // triggers that make a configuration NV and its CP one value.
  tool.Exec("DROP TRIGGER cp_value_changed; DROP TRIGGER config_nv_value_changed; PRAGMA user_version = 2; "
            "ALTER TABLE device DROP COLUMN ip; ALTER TABLE cp DROP COLUMN device_nv");
  EXPECT_EQ(Connect()->Networks()->ItemByName("test")->Name(), "Test");
  EXPECT_EQ(tool.Number("PRAGMA user_version"), ours);
  EXPECT_EQ(tool.Number("SELECT (SELECT COUNT(*) FROM pragma_table_info('device') WHERE name = 'ip') + "
                        "(SELECT COUNT(*) FROM pragma_table_info('cp') WHERE name = 'device_nv') + "
                        "(SELECT COUNT(*) FROM sqlite_master WHERE name IN ('cp_value_changed', 'config_nv_value_changed'))"),
            4);
  // Version 3 kept a configuration NV and its CP apart: where they differ, the CP takes the NV's
  // value, and from then on they are one.
  tool.Exec("DROP TRIGGER cp_value_changed; DROP TRIGGER config_nv_value_changed; PRAGMA user_version = 3; "
            "INSERT INTO device(id, subsystem_id, position, name, template_name, program_id, reachable) "
            "VALUES (90, (SELECT MIN(id) FROM subsystem), 1, 'Twin', '', 'P', 1); "
            "INSERT INTO nv(id, device_id, position, name, type_index, changeable, value) VALUES (91, 90, 1, 'n', 79, 1, x'0304'); "
            "INSERT INTO cp(id, owner_kind, owner_id, position, name, element_size, dimension, value, device_nv) "
            "VALUES (92, 7, 90, 1, 'C', 2, 1, x'0102', 0)");
  EXPECT_EQ(Connect()->Networks()->ItemByName("test")->Name(), "Test");
  const std::string twins = "SELECT hex(cp.value) || ' ' || hex(nv.value) FROM cp, nv WHERE cp.id = 92 AND nv.id = 91";
  EXPECT_EQ(tool.Texts(twins), std::vector<std::string>{"0304 0304"});
  tool.Exec("UPDATE cp SET value = x'0506' WHERE id = 92");
  EXPECT_EQ(tool.Texts(twins), std::vector<std::string>{"0506 0506"});
  // Version 4 did not say where a device keeps a CP in its value files: none, for the CPs it has.
  tool.Exec("PRAGMA user_version = 4; ALTER TABLE cp DROP COLUMN device_file; ALTER TABLE cp DROP COLUMN device_offset");
  EXPECT_EQ(Connect()->Networks()->ItemByName("test")->Name(), "Test");
  EXPECT_EQ(tool.Texts("SELECT device_file || ' ' || device_offset FROM cp WHERE id = 92"), std::vector<std::string>{"0 0"});
  // A first-form database of an unknown version is not read.
  tool.Exec("PRAGMA user_version = 0; UPDATE portab_lns SET value = '7' WHERE key = 'version'");
  EXPECT_THAT([&] { Connect()->Networks()->ItemByName("Test"); },
              Raises(lns::err::kDatabase, HasSubstr(file.string())));
}

TEST_F(EmbeddedServerTest, ExportGivesBackTheDescription) {
  PairCp()->RawWrite(0, 2, {1, 2, 3, 4}, 0);
  const std::string exported = ExportNetwork(Folder() / "Test.db");
  testing_support::TempDir other;
  CreateNetwork(other / "lns", exported, false);
  EXPECT_EQ(ExportNetwork(other / "lns" / "Test.db"), exported);
  EXPECT_THAT(exported, AllOf(HasSubstr("\"value\": [\n"), HasSubstr("\"typeIndex\": 999")));
}

constexpr const char* kSmallNetwork = R"({"network": "Small", "system": "Sys", "subsystems": [
  {"name": "Floor", "devices": [
    {"name": "Küche", "programId": "P", "cps": [{"name": "Größe"}, {"name": "Limit"}],
     "nvs": [{"name": "nviÄ", "type": "SNVT_switch"}, {"name": "nvoB", "type": "SNVT_lux"}],
     "lonMarkObjects": [{"name": "Öl", "nvs": ["nvoB", "nviÄ"]}]},
    {"name": "Second", "programId": "P"},
    {"name": "Third", "programId": "P"}]},
  {"name": "Hall", "devices": [{"name": "Lamp", "programId": "P"}, {"name": "Fan", "programId": "P"}]}]})";

// Names compare ignoring the case of ASCII and accented Latin-1 letters, in every kind of collection;
// a device is found by position and by name only in its own subsystem.
TEST_F(EmbeddedServerTest, MembersAreFoundByPositionAndByNameIgnoringCase) {
  CreateNetwork(Folder(), kSmallNetwork, false);
  auto subs = TopSubsystems("SMALL");
  auto devices = subs->ItemByName("FLOOR")->AppDevices();
  auto device = devices->ItemByName("KÜCHE");
  EXPECT_EQ(device, devices->Item(1));
  auto iface = device->Interface();
  auto object = iface->LonMarkObjects()->ItemByName("öL");
  auto network = server_->Networks()->ItemByName("Small");
  const std::vector<std::pair<std::shared_ptr<lns::Object>, std::shared_ptr<lns::Object>>> cases = {
      {iface->ConfigProperties()->ItemByName("GRÖßE"), iface->ConfigProperties()->Item(1)},
      {iface->ConfigProperties()->ItemByName("limit"), iface->ConfigProperties()->Item(2)},
      {iface->NetworkVariables()->ItemByName("NVIä"), iface->NetworkVariables()->Item(1)},
      {object->NetworkVariables()->ItemByName("NVIÄ"), object->NetworkVariables()->Item(2)},
      {object, iface->LonMarkObjects()->Item(1)},
      {network->Systems()->ItemByName("SYS"), network->Systems()->Item(1)},
  };
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
  // Only letters that have a capital fold; ß is not "SS".
  EXPECT_THAT([&] { iface->ConfigProperties()->ItemByName("GRÖSSE"); }, ThrowsError(lns::err::kNotFound));
  EXPECT_THAT([&] { object->NetworkVariables()->ItemByName("nviA"); }, ThrowsError(lns::err::kNotFound));
  const struct { const char* subsystem; int32_t count; const char *second, *elsewhere; } rows[] = {
      {"floor", 3, "Second", "Fan"}, {"HALL", 2, "Fan", "Second"}};
  for (int32_t s = 1; s <= 2; ++s) {
    const auto& row = rows[s - 1];
    auto here = subs->ItemByName(row.subsystem)->AppDevices();
    ASSERT_EQ(here->Count(), row.count);
    EXPECT_EQ(std::pair(here->Item(2)->Name(), here->Item(2)->Index()), std::pair(std::string(row.second), 1));
    EXPECT_EQ(here->ItemByName(base::FoldCase(row.second)), subs->Item(s)->AppDevices()->Item(2));
    EXPECT_THAT([&] { here->ItemByName(row.elsewhere); }, ThrowsError(lns::err::kNotFound));
  }
}

// A collection held while another program adds and deletes rows reads its members again.
TEST_F(EmbeddedServerTest, AHeldCollectionFollowsRowsAddedAndDeletedByAnotherProgram) {
  CreateNetwork(Folder(), kSmallNetwork, false);
  auto devices = TopSubsystems("Small")->Item(1)->AppDevices();
  ASSERT_EQ(devices->Count(), 3);
  OutsideTool tool(Folder() / "Small.db");
  tool.Exec("DELETE FROM device WHERE name = 'Second'");
  ASSERT_EQ(devices->Count(), 2);
  EXPECT_EQ(devices->Item(2)->Name(), "Third");
  EXPECT_THAT([&] { devices->Item(3); }, ThrowsError(lns::err::kIndexOutOfRange));
  EXPECT_THAT([&] { devices->ItemByName("Second"); }, ThrowsError(lns::err::kNotFound));
  tool.Exec("INSERT INTO device(subsystem_id, position, name, template_name, program_id, reachable) "
            "SELECT subsystem_id, 0, 'First', '', 'P', 1 FROM device WHERE name = 'Third'");
  ASSERT_EQ(devices->Count(), 3);
  EXPECT_EQ(devices->Item(1)->Name(), "First");  // position order, not the order of insertion
  EXPECT_EQ(devices->ItemByName("first"), devices->Item(1));
}

// The tree of the demo network, line for line as recorded in demo_tree.txt.
TEST(EmbeddedToolTest, TheDemoTreeIsPrintedAsRecorded) {
  testing_support::TempDir home;
  CreateNetwork(home / "lns", testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"), false);
  std::ostringstream out, err;
  ASSERT_EQ(RunLnsTool({"tree", "Demo"}, home.Path(), out, err, ToolTerminals{}), 0) << err.str();
  EXPECT_EQ(out.str(), testing_support::ReadFile(std::filesystem::path(__FILE__).parent_path() / "demo_tree.txt"));
}

}  // namespace
