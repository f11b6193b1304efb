#include "platform/lns_embedded/network_db.h"

#include <iterator>

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {
namespace {

// The tables. Foreign keys cascade deletions on our connections (they turn foreign keys on);
// the deletion triggers below do the same for any other program.
constexpr const char* kSchema = R"SQL(
CREATE TABLE portab_lns(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE network(id INTEGER PRIMARY KEY CHECK (id = 1), name TEXT NOT NULL, system_name TEXT NOT NULL);
CREATE TABLE subsystem(
  id INTEGER PRIMARY KEY, parent_id INTEGER NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL);
CREATE TABLE device(
  id INTEGER PRIMARY KEY, subsystem_id INTEGER NOT NULL REFERENCES subsystem(id) ON DELETE CASCADE,
  position INTEGER NOT NULL, name TEXT NOT NULL, template_name TEXT NOT NULL, program_id TEXT NOT NULL,
  reachable INTEGER NOT NULL);
CREATE TABLE lonmark_object(
  id INTEGER PRIMARY KEY, device_id INTEGER NOT NULL REFERENCES device(id) ON DELETE CASCADE,
  position INTEGER NOT NULL, name TEXT NOT NULL, profile_type INTEGER NOT NULL);
CREATE TABLE nv(
  id INTEGER PRIMARY KEY, device_id INTEGER NOT NULL REFERENCES device(id) ON DELETE CASCADE,
  position INTEGER NOT NULL, name TEXT NOT NULL, type_index INTEGER NOT NULL, changeable INTEGER NOT NULL,
  value BLOB NOT NULL, format TEXT NOT NULL DEFAULT '', poll_interval INTEGER NOT NULL DEFAULT 0,
  report_by_exception INTEGER NOT NULL DEFAULT 0, monitor_tag INTEGER NOT NULL DEFAULT 0,
  monitoring_option INTEGER NOT NULL DEFAULT 0);
CREATE TABLE lonmark_member(
  lonmark_object_id INTEGER NOT NULL REFERENCES lonmark_object(id) ON DELETE CASCADE, position INTEGER NOT NULL,
  nv_id INTEGER NOT NULL REFERENCES nv(id) ON DELETE CASCADE, PRIMARY KEY (lonmark_object_id, position));
CREATE TABLE cp(
  id INTEGER PRIMARY KEY, owner_kind INTEGER NOT NULL CHECK (owner_kind IN (7, 22, 28)), owner_id INTEGER NOT NULL,
  position INTEGER NOT NULL, name TEXT NOT NULL, element_size INTEGER NOT NULL, dimension INTEGER NOT NULL,
  value BLOB NOT NULL);
CREATE INDEX cp_owner ON cp(owner_kind, owner_id, position);
CREATE TABLE plugin_registration(
  program_id TEXT NOT NULL, command_id INTEGER NOT NULL, device_template TEXT NOT NULL, class_id INTEGER NOT NULL,
  registration_value INTEGER NOT NULL, name TEXT NOT NULL, description TEXT NOT NULL, version TEXT NOT NULL,
  manufacturer_id TEXT NOT NULL, device_program_id TEXT NOT NULL, file_name TEXT NOT NULL, scope INTEGER NOT NULL,
  PRIMARY KEY (program_id, command_id, device_template));
CREATE TABLE nv_update(seq INTEGER PRIMARY KEY AUTOINCREMENT, nv_id INTEGER NOT NULL);
CREATE TRIGGER nv_value_changed AFTER UPDATE OF value ON nv WHEN NEW.value IS NOT OLD.value BEGIN
  INSERT INTO nv_update(nv_id) VALUES (NEW.id);
  DELETE FROM nv_update WHERE seq <= (SELECT MAX(seq) FROM nv_update) - 1000;
END;
)SQL";

// Deleting a row deletes the rows below it, whoever deletes and whether foreign keys are on
// or not. A trigger does not fire again from inside itself, so the subsystem trigger finds
// all nested subsystems at once; the devices under them go by the device trigger.
constexpr const char* kDeletionTriggers = R"SQL(
CREATE TRIGGER subsystem_deleted AFTER DELETE ON subsystem BEGIN
  DELETE FROM subsystem WHERE id IN (
    WITH RECURSIVE below(id) AS (
      SELECT id FROM subsystem WHERE parent_id = OLD.id
      UNION SELECT subsystem.id FROM subsystem JOIN below ON subsystem.parent_id = below.id)
    SELECT id FROM below);
  DELETE FROM device WHERE subsystem_id = OLD.id OR subsystem_id NOT IN (SELECT id FROM subsystem);
END;
CREATE TRIGGER device_deleted AFTER DELETE ON device BEGIN
  DELETE FROM lonmark_object WHERE device_id = OLD.id;
  DELETE FROM nv WHERE device_id = OLD.id;
  DELETE FROM cp WHERE owner_kind = 7 AND owner_id = OLD.id;
END;
CREATE TRIGGER lonmark_object_deleted AFTER DELETE ON lonmark_object BEGIN
  DELETE FROM lonmark_member WHERE lonmark_object_id = OLD.id;
  DELETE FROM cp WHERE owner_kind = 28 AND owner_id = OLD.id;
END;
CREATE TRIGGER nv_deleted AFTER DELETE ON nv BEGIN
  DELETE FROM lonmark_member WHERE nv_id = OLD.id;
  DELETE FROM cp WHERE owner_kind = 22 AND owner_id = OLD.id;
  DELETE FROM nv_update WHERE nv_id = OLD.id;
END;
)SQL";

// The indexes that make a collection's members (by position) and a member by name one
// index lookup away instead of a scan of the whole table. Names are compared ignoring case;
// NOCASE folds ASCII letters, which finds every name that is ASCII (all others are checked
// by the caller). They are not part of the schema version: they are added to any database
// that lacks them when it is opened, and written after the rows when a network is created.
constexpr const char* kIndexNames[] = {
    "subsystem_parent", "subsystem_name", "device_subsystem", "device_name", "lonmark_object_device",
    "lonmark_object_name", "nv_device", "nv_name", "lonmark_member_nv", "cp_name",
};
constexpr const char* kIndexes = R"SQL(
CREATE INDEX IF NOT EXISTS subsystem_parent ON subsystem(parent_id, position);
CREATE INDEX IF NOT EXISTS subsystem_name ON subsystem(parent_id, name COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS device_subsystem ON device(subsystem_id, position);
CREATE INDEX IF NOT EXISTS device_name ON device(subsystem_id, name COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS lonmark_object_device ON lonmark_object(device_id, position);
CREATE INDEX IF NOT EXISTS lonmark_object_name ON lonmark_object(device_id, name COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS nv_device ON nv(device_id, position);
CREATE INDEX IF NOT EXISTS nv_name ON nv(device_id, name COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS lonmark_member_nv ON lonmark_member(nv_id);
CREATE INDEX IF NOT EXISTS cp_name ON cp(owner_kind, owner_id, name COLLATE NOCASE);
)SQL";

bool HasAllIndexes(SqlDb& db) {
  int64_t present = 0;
  auto rows = db.Prepare("SELECT name FROM sqlite_master WHERE type = 'index'");
  while (rows.Step()) {
    const std::string name = rows.Text(0);
    for (const char* wanted : kIndexNames) present += name == wanted ? 1 : 0;
  }
  return present == static_cast<int64_t>(std::size(kIndexNames));
}

[[noreturn]] void NotOurs(const std::filesystem::path& file, const std::string& why) {
  throw base::Error(lns::err::kDatabase, "LNS", file.string() + " is not a network database (" + why + ")");
}

int64_t UserVersion(SqlDb& db) {
  auto row = db.Prepare("PRAGMA user_version");
  return row.Step() ? row.Int(0) : 0;
}

void SetUserVersion(SqlDb& db) { db.Exec("PRAGMA user_version = " + std::to_string(kSchemaVersion)); }

// Databases written before the schema version moved into the file header hold it in a
// row of portab_lns ("1") and lack the deletion triggers: they get both, once.
constexpr const char* kFirstVersion = "1";

// Runs `change` in a write transaction of its own; nothing of it stays when it fails.
void InWriteTransaction(SqlDb& db, const std::function<void()>& change) {
  db.Exec("BEGIN IMMEDIATE");
  try {
    change();
    db.Exec("COMMIT");
  } catch (...) {
    try {
      db.Exec("ROLLBACK");
    } catch (const std::exception&) {
      // SQLite rolled back already.
    }
    throw;
  }
}

void UpgradeFirstVersion(SqlDb& db) {
  InWriteTransaction(db, [&] {
    if (UserVersion(db) == 0) {  // another process may have upgraded it meanwhile
      db.Exec(kDeletionTriggers);
      db.Exec("DELETE FROM portab_lns WHERE key = 'version'");
      SetUserVersion(db);
    }
  });
}

}  // namespace

void CheckCpValueSize(const std::string& database, const std::string& cpName, int64_t elementSize,
                      int64_t dimension, size_t storedBytes) {
  if (static_cast<int64_t>(storedBytes) == elementSize * dimension) return;
  throw base::Error(lns::err::kDatabase, "LNS",
                    "The network database " + database + " is damaged: the value of CP \"" + cpName + "\" holds " +
                        std::to_string(storedBytes) + " bytes instead of " + std::to_string(elementSize) + " x " +
                        std::to_string(dimension));
}

void NetworkDb::CreateSchema(SqlDb& db, const std::string& networkName, const std::string& systemName) {
  db.Exec(kSchema);
  db.Exec(kDeletionTriggers);
  SetUserVersion(db);
  db.Prepare("INSERT INTO portab_lns(key, value) VALUES ('format', ?1)").Bind(1, kDatabaseFormat).Run();
  db.Prepare("INSERT INTO network(id, name, system_name) VALUES (1, ?1, ?2)").Bind(1, networkName).Bind(2, systemName).Run();
}

void NetworkDb::CreateIndexes(SqlDb& db) { db.Exec(kIndexes); }

std::shared_ptr<NetworkDb> NetworkDb::Open(const std::filesystem::path& file, std::weak_ptr<lns::ObjectServer> server) {
  if (!std::filesystem::is_regular_file(file)) {
    throw base::Error(lns::err::kNotFound, "LNS", "No network database " + file.string());
  }
  auto db = std::make_unique<SqliteDb>(file, false);
  std::string format;
  std::string firstVersion;
  int64_t version = 0;
  try {
    auto rows = db->Prepare("SELECT key, value FROM portab_lns");
    while (rows.Step()) {
      if (rows.Text(0) == "format") format = rows.Text(1);
      if (rows.Text(0) == "version") firstVersion = rows.Text(1);
    }
    version = UserVersion(*db);
  } catch (const base::Error& e) {
    NotOurs(file, e.Description());
  }
  if (format != kDatabaseFormat) NotOurs(file, "no portab-lns format mark");
  if (version == 0 && firstVersion == kFirstVersion) {
    UpgradeFirstVersion(*db);
  } else if (version != kSchemaVersion) {
    const std::string found = version != 0 ? std::to_string(version) : "\"" + firstVersion + "\"";
    throw base::Error(lns::err::kDatabase, "LNS",
                      file.string() + " has network database version " + found + "; this program reads version " +
                          std::to_string(kSchemaVersion) +
                          (version > kSchemaVersion ? " (the database was written by a newer program)" : ""));
  }
  if (!HasAllIndexes(*db)) InWriteTransaction(*db, [&] { CreateIndexes(*db); });
  db->Exec("PRAGMA journal_mode = WAL");
  return std::make_shared<NetworkDb>(std::move(db), std::move(server));
}

NetworkDb::NetworkDb(std::unique_ptr<SqlDb> db, std::weak_ptr<lns::ObjectServer> server)
    : db_(std::move(db)), server_(std::move(server)) {}

std::string NetworkDb::NetworkName() {
  auto row = db_->Prepare("SELECT name FROM network WHERE id = 1");
  return row.Step() ? row.Text(0) : std::string();
}

std::string NetworkDb::SystemName() {
  auto row = db_->Prepare("SELECT system_name FROM network WHERE id = 1");
  return row.Step() ? row.Text(0) : std::string();
}

void NetworkDb::StartTransaction() {
  if (inTransaction_) throw base::Error(lns::err::kTransactionActive, "LNS", "A transaction is already open");
  db_->Exec("BEGIN IMMEDIATE");
  db_->ClearFailure();
  inTransaction_ = true;
  transactionFailed_ = false;
}

void NetworkDb::CommitTransaction() {
  if (!inTransaction_) throw base::Error(lns::err::kNoTransaction, "LNS", "No transaction is open");
  inTransaction_ = false;
  if (transactionFailed_ || db_->Failed()) {
    RollBackQuietly();
    throw base::Error(lns::err::kTransactionFailed, "LNS",
                      "A write of the transaction failed: the transaction was rolled back");
  }
  try {
    db_->Exec("COMMIT");
  } catch (...) {
    RollBackQuietly();  // nothing of it stays, and the next transaction can start
    throw;
  }
}

void NetworkDb::RollBackQuietly() {
  try {
    db_->Exec("ROLLBACK");
  } catch (const std::exception&) {
    // SQLite rolled back already.
  }
}

void NetworkDb::CancelTransaction() {
  if (!inTransaction_) throw base::Error(lns::err::kNoTransaction, "LNS", "No transaction is open");
  inTransaction_ = false;
  RollBackQuietly();
}

bool NetworkDb::DeviceReachable(int64_t deviceId) {
  auto row = db_->Prepare("SELECT reachable FROM device WHERE id = ?1").Bind(1, deviceId);
  return row.Step() && row.Int(0) != 0;
}

void NetworkDb::SetDeviceReachable(int64_t deviceId, bool reachable) {
  db_->Prepare("UPDATE device SET reachable = ?1 WHERE id = ?2").Bind(1, reachable ? 1 : 0).Bind(2, deviceId).Run();
}

void NetworkDb::RequireReachable(int64_t deviceId) {
  if (!DeviceReachable(deviceId)) {
    throw base::Error(lns::err::kDeviceNotAccessible, "LNS", "The device is not accessible");
  }
}

void NetworkDb::Write(int64_t deviceId, const std::function<void()>& write) {
  try {
    if (beforeWrite_) beforeWrite_(deviceId);
    RequireReachable(deviceId);
    write();
  } catch (...) {
    if (inTransaction_) transactionFailed_ = true;
    throw;
  }
}

int64_t NetworkDb::DeviceOfCp(int64_t cpId) {
  auto row = db_->Prepare(
                    "SELECT CASE cp.owner_kind WHEN 7 THEN cp.owner_id "
                    "WHEN 28 THEN (SELECT device_id FROM lonmark_object WHERE id = cp.owner_id) "
                    "ELSE (SELECT device_id FROM nv WHERE id = cp.owner_id) END FROM cp WHERE cp.id = ?1")
                 .Bind(1, cpId);
  return row.Step() ? row.Int(0) : 0;
}

int64_t NetworkDb::DeviceOfNv(int64_t nvId) {
  auto row = db_->Prepare("SELECT device_id FROM nv WHERE id = ?1").Bind(1, nvId);
  return row.Step() ? row.Int(0) : 0;
}

int64_t NetworkDb::DataVersion() {
  auto row = db_->Prepare("PRAGMA data_version");
  return row.Step() ? row.Int(0) : 0;
}

int64_t NetworkDb::LastUpdate() {
  auto row = db_->Prepare("SELECT COALESCE(MAX(seq), 0) FROM nv_update");
  return row.Step() ? row.Int(0) : 0;
}

std::vector<std::pair<int64_t, int64_t>> NetworkDb::UpdatesSince(int64_t seq) {
  std::vector<std::pair<int64_t, int64_t>> updates;
  auto rows = db_->Prepare("SELECT seq, nv_id FROM nv_update WHERE seq > ?1 ORDER BY seq").Bind(1, seq);
  while (rows.Step()) updates.emplace_back(rows.Int(0), rows.Int(1));
  return updates;
}

}  // namespace platform::lns_embedded
