#include "platform/lns_embedded/network_dialect.h"

#include <atomic>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include <iterator>
#include <string>

namespace platform::lns_embedded {
namespace {

inline constexpr int kSchemaVersionNumber = 7;  // as network_db.h's kSchemaVersion

// ---- SQLite ----

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
  reachable INTEGER NOT NULL, neuron_id TEXT NOT NULL DEFAULT '', subnet INTEGER NOT NULL DEFAULT 0,
  node INTEGER NOT NULL DEFAULT 0, ip TEXT NOT NULL DEFAULT '');
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
  value BLOB NOT NULL, device_nv INTEGER NOT NULL DEFAULT -1,
  device_file INTEGER NOT NULL DEFAULT 0, device_offset INTEGER NOT NULL DEFAULT 0,
  device_flags INTEGER NOT NULL DEFAULT 0);
CREATE INDEX cp_owner ON cp(owner_kind, owner_id, position);
CREATE INDEX nv_device ON nv(device_id, position);
CREATE INDEX lonmark_object_device ON lonmark_object(device_id, position);
CREATE TABLE plugin_registration(
  program_id TEXT NOT NULL, command_id INTEGER NOT NULL, device_template TEXT NOT NULL, class_id INTEGER NOT NULL,
  registration_value INTEGER NOT NULL, name TEXT NOT NULL, description TEXT NOT NULL, version TEXT NOT NULL,
  manufacturer_id TEXT NOT NULL, device_program_id TEXT NOT NULL, file_name TEXT NOT NULL, scope INTEGER NOT NULL,
  PRIMARY KEY (program_id, command_id, device_template));
CREATE TABLE nv_update(seq INTEGER PRIMARY KEY AUTOINCREMENT, nv_id INTEGER NOT NULL, value BLOB);
)SQL";

// Logs a changed NV value with the value, so that every update carries its own.
constexpr const char* kNvUpdateTrigger = R"SQL(
CREATE TRIGGER nv_value_changed AFTER UPDATE OF value ON nv WHEN NEW.value IS NOT OLD.value BEGIN
  INSERT INTO nv_update(nv_id, value) VALUES (NEW.id, NEW.value);
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

// A CP held by a configuration NV of its device and that NV are one value: a write of either,
// by whichever program, changes the other in the same statement (and so in the same
// transaction), and the NV's change is logged as any. A value of another length than its twin's
// is refused. The triggers find the NV through the index nv_device and the CPs through cp_owner,
// which is why both, and lonmark_object_device, are part of the schema.
#define PORTAB_CP_DEVICE(cp)                                                              \
  "CASE " cp ".owner_kind WHEN 7 THEN " cp ".owner_id "                                   \
  "WHEN 28 THEN (SELECT device_id FROM lonmark_object WHERE id = " cp ".owner_id) "       \
  "ELSE (SELECT holder.device_id FROM nv AS holder WHERE holder.id = " cp ".owner_id) END"
// The ids of the CPs that the NV row NEW holds.
#define PORTAB_CPS_OF_NEW_NV                                                                                      \
  "(SELECT id FROM cp WHERE owner_kind = 7 AND owner_id = NEW.device_id AND device_nv = NEW.position - 1 "        \
  "UNION ALL SELECT cp.id FROM lonmark_object AS o JOIN cp ON cp.owner_kind = 28 AND cp.owner_id = o.id "          \
  "WHERE o.device_id = NEW.device_id AND cp.device_nv = NEW.position - 1 "                                         \
  "UNION ALL SELECT cp.id FROM nv AS holder JOIN cp ON cp.owner_kind = 22 AND cp.owner_id = holder.id "            \
  "WHERE holder.device_id = NEW.device_id AND cp.device_nv = NEW.position - 1)"
#define PORTAB_ONE_VALUE_MESSAGE \
  "a CP and the configuration NV that holds it are one value: a value of another length than the other is refused"

constexpr const char* kConfigNvTriggers =
    "CREATE TRIGGER cp_value_changed AFTER UPDATE OF value ON cp WHEN NEW.device_nv >= 0 AND NEW.value IS NOT OLD.value "
    "BEGIN "
    "SELECT RAISE(ABORT, '" PORTAB_ONE_VALUE_MESSAGE "') FROM nv WHERE position = NEW.device_nv + 1 AND device_id = "
    "(" PORTAB_CP_DEVICE("NEW") ") AND length(value) <> length(NEW.value); "
    "UPDATE nv SET value = NEW.value WHERE position = NEW.device_nv + 1 AND device_id = (" PORTAB_CP_DEVICE("NEW") ") "
    "AND value IS NOT NEW.value; "
    "END; "
    "CREATE TRIGGER config_nv_value_changed AFTER UPDATE OF value ON nv WHEN NEW.value IS NOT OLD.value BEGIN "
    "SELECT RAISE(ABORT, '" PORTAB_ONE_VALUE_MESSAGE "') FROM cp WHERE id IN " PORTAB_CPS_OF_NEW_NV
    " AND length(value) <> length(NEW.value); "
    "UPDATE cp SET value = NEW.value WHERE id IN " PORTAB_CPS_OF_NEW_NV " AND value IS NOT NEW.value; "
    "END;";

// The same as functions of the server's schema.
constexpr const char* kServerConfigNvTriggers =
    "CREATE FUNCTION cp_value_changed() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$ "
    "BEGIN "
    "IF EXISTS (SELECT 1 FROM nv WHERE position = NEW.device_nv + 1 AND device_id = (" PORTAB_CP_DEVICE("NEW") ") "
    "AND length(value) <> length(NEW.value)) THEN RAISE EXCEPTION '" PORTAB_ONE_VALUE_MESSAGE "'; END IF; "
    "UPDATE nv SET value = NEW.value WHERE position = NEW.device_nv + 1 AND device_id = (" PORTAB_CP_DEVICE("NEW") ") "
    "AND value IS DISTINCT FROM NEW.value; "
    "RETURN NULL; "
    "END $$; "
    "CREATE TRIGGER cp_value_changed AFTER UPDATE OF value ON cp FOR EACH ROW "
    "WHEN (NEW.device_nv >= 0 AND NEW.value IS DISTINCT FROM OLD.value) EXECUTE FUNCTION cp_value_changed(); "
    "CREATE FUNCTION config_nv_value_changed() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$ "
    "BEGIN "
    "IF EXISTS (SELECT 1 FROM cp WHERE id IN " PORTAB_CPS_OF_NEW_NV " AND length(value) <> length(NEW.value)) THEN "
    "RAISE EXCEPTION '" PORTAB_ONE_VALUE_MESSAGE "'; END IF; "
    "UPDATE cp SET value = NEW.value WHERE id IN " PORTAB_CPS_OF_NEW_NV " AND value IS DISTINCT FROM NEW.value; "
    "RETURN NULL; "
    "END $$; "
    "CREATE TRIGGER config_nv_value_changed AFTER UPDATE OF value ON nv FOR EACH ROW "
    "WHEN (NEW.value IS DISTINCT FROM OLD.value) EXECUTE FUNCTION config_nv_value_changed();";

// Where the twins of a database written before the triggers differ, the NV's value is kept:
// on an attached network it is the one the device acknowledged or was polled for.
constexpr const char* kJoinTwins =
    "UPDATE cp SET value = (SELECT nv.value FROM nv WHERE nv.position = cp.device_nv + 1 AND nv.device_id = "
    "(" PORTAB_CP_DEVICE("cp") ")) WHERE cp.device_nv >= 0 AND EXISTS (SELECT 1 FROM nv WHERE "
    "nv.position = cp.device_nv + 1 AND nv.device_id = (" PORTAB_CP_DEVICE("cp") ") "
    "AND length(nv.value) = length(cp.value) AND nv.value <> cp.value)";

#undef PORTAB_CP_DEVICE
#undef PORTAB_CPS_OF_NEW_NV
#undef PORTAB_ONE_VALUE_MESSAGE

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


// Whether the index names `listQuery` gives hold every lookup index.
bool ListsEveryIndex(SqlDb& db, const std::string& listQuery) {
  int64_t present = 0;
  auto rows = db.Prepare(listQuery);
  while (rows.Step()) {
    const std::string name = rows.Text(0);
    for (const char* wanted : kIndexNames) present += name == wanted ? 1 : 0;
  }
  return present == static_cast<int64_t>(std::size(kIndexNames));
}

class SqliteDialect final : public NetworkDialect {
 public:
  void CreateSchema(SqlDb& db) const override {
    db.Exec(kSchema);
    db.Exec(kNvUpdateTrigger);
    db.Exec(kDeletionTriggers);
    db.Exec(kConfigNvTriggers);
    CreateTemplateTables(db);
    SetSchemaVersion(db);
  }
  void CreateIndexes(SqlDb& db) const override { db.Exec(kIndexes); }
  bool HasAllIndexes(SqlDb& db) const override {
    return ListsEveryIndex(db, "SELECT name FROM sqlite_master WHERE type = 'index'");
  }
  // Kept in the file's header (user_version).
  int64_t SchemaVersion(SqlDb& db) const override {
    auto row = db.Prepare("PRAGMA user_version");
    return row.Step() ? row.Int(0) : 0;
  }
  void SetSchemaVersion(SqlDb& db) const override {
    db.Exec("PRAGMA user_version = " + std::to_string(kSchemaVersionNumber));
  }
  // Takes the write lock at once, so that a transaction never fails half-way for a lock.
  const char* BeginWrite() const override { return "BEGIN IMMEDIATE"; }
  int64_t DataVersion(SqlDb& db) const override {
    auto row = db.Prepare("PRAGMA data_version");
    return row.Step() ? row.Int(0) : 0;
  }
  void CreateDeletionTriggers(SqlDb& db) const { db.Exec(kDeletionTriggers); }
};

// Device templates, as imported from device interface files: the header and the files of one
// program ID, one row per VAR record and, for readers of the database, one per CP record with
// its default value. Lists of lines are JSON arrays of strings.
constexpr const char* kTemplateTables = R"SQL(
CREATE TABLE IF NOT EXISTS device_template(
  id INTEGER PRIMARY KEY, program_id TEXT NOT NULL UNIQUE, name TEXT NOT NULL, xif_version TEXT NOT NULL,
  first_line TEXT NOT NULL, comments TEXT NOT NULL, device_numbers TEXT NOT NULL, header_lines TEXT NOT NULL,
  node_self_doc TEXT NOT NULL, tags TEXT NOT NULL, template_file TEXT NOT NULL, value_file BLOB NOT NULL,
  read_only_file BLOB NOT NULL, unread TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS template_nv(
  template_id INTEGER NOT NULL REFERENCES device_template(id) ON DELETE CASCADE, position INTEGER NOT NULL,
  nv_index INTEGER NOT NULL, name TEXT NOT NULL, array_size INTEGER NOT NULL, type_index INTEGER NOT NULL,
  output INTEGER NOT NULL, config INTEGER NOT NULL, self_doc TEXT NOT NULL, average_rate INTEGER NOT NULL,
  maximum_rate INTEGER NOT NULL, attributes TEXT NOT NULL, type_elements TEXT NOT NULL, default_value BLOB NOT NULL,
  PRIMARY KEY (template_id, position));
CREATE TABLE IF NOT EXISTS template_cp(
  template_id INTEGER NOT NULL REFERENCES device_template(id) ON DELETE CASCADE, position INTEGER NOT NULL,
  type TEXT NOT NULL, applies_to TEXT NOT NULL, flags INTEGER NOT NULL, element_size INTEGER NOT NULL,
  dimension INTEGER NOT NULL, place TEXT NOT NULL, default_value BLOB NOT NULL, PRIMARY KEY (template_id, position));
)SQL";

// ---- PostgreSQL ----

// The same tables in one schema per network. Names compare ignoring case through the
// collation "nocase" (ICU, strength 2: case is ignored, accents are not); ids come from
// identity columns; the deletion and NV update triggers are functions that keep the network's
// schema as their search path, so they work whoever fires them. A changed NV value also
// notifies the channel "portab_nv_update" (delivered to listeners when its transaction commits).
constexpr const char* kServerSchema = R"SQL(
CREATE COLLATION nocase (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
CREATE TABLE portab_lns(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE network(id BIGINT PRIMARY KEY CHECK (id = 1), name TEXT NOT NULL, system_name TEXT NOT NULL);
CREATE TABLE subsystem(
  id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, parent_id BIGINT NOT NULL, position INTEGER NOT NULL,
  name TEXT NOT NULL);
CREATE TABLE device(
  id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
  subsystem_id BIGINT NOT NULL REFERENCES subsystem(id) ON DELETE CASCADE, position INTEGER NOT NULL,
  name TEXT NOT NULL, template_name TEXT NOT NULL, program_id TEXT NOT NULL, reachable INTEGER NOT NULL,
  neuron_id TEXT NOT NULL DEFAULT '', subnet INTEGER NOT NULL DEFAULT 0, node INTEGER NOT NULL DEFAULT 0,
  ip TEXT NOT NULL DEFAULT '');
CREATE TABLE lonmark_object(
  id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
  device_id BIGINT NOT NULL REFERENCES device(id) ON DELETE CASCADE, position INTEGER NOT NULL, name TEXT NOT NULL,
  profile_type INTEGER NOT NULL);
CREATE TABLE nv(
  id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
  device_id BIGINT NOT NULL REFERENCES device(id) ON DELETE CASCADE, position INTEGER NOT NULL, name TEXT NOT NULL,
  type_index INTEGER NOT NULL, changeable INTEGER NOT NULL, value BYTEA NOT NULL, format TEXT NOT NULL DEFAULT '',
  poll_interval INTEGER NOT NULL DEFAULT 0, report_by_exception INTEGER NOT NULL DEFAULT 0,
  monitor_tag INTEGER NOT NULL DEFAULT 0, monitoring_option INTEGER NOT NULL DEFAULT 0);
CREATE TABLE lonmark_member(
  lonmark_object_id BIGINT NOT NULL REFERENCES lonmark_object(id) ON DELETE CASCADE, position INTEGER NOT NULL,
  nv_id BIGINT NOT NULL REFERENCES nv(id) ON DELETE CASCADE, PRIMARY KEY (lonmark_object_id, position));
CREATE TABLE cp(
  id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
  owner_kind INTEGER NOT NULL CHECK (owner_kind IN (7, 22, 28)), owner_id BIGINT NOT NULL,
  position INTEGER NOT NULL, name TEXT NOT NULL, element_size INTEGER NOT NULL, dimension INTEGER NOT NULL,
  value BYTEA NOT NULL, device_nv INTEGER NOT NULL DEFAULT -1,
  device_file INTEGER NOT NULL DEFAULT 0, device_offset INTEGER NOT NULL DEFAULT 0,
  device_flags INTEGER NOT NULL DEFAULT 0);
CREATE INDEX cp_owner ON cp(owner_kind, owner_id, position);
CREATE INDEX nv_device ON nv(device_id, position);
CREATE INDEX lonmark_object_device ON lonmark_object(device_id, position);
CREATE TABLE plugin_registration(
  program_id TEXT NOT NULL, command_id INTEGER NOT NULL, device_template TEXT NOT NULL, class_id INTEGER NOT NULL,
  registration_value INTEGER NOT NULL, name TEXT NOT NULL, description TEXT NOT NULL, version TEXT NOT NULL,
  manufacturer_id TEXT NOT NULL, device_program_id TEXT NOT NULL, file_name TEXT NOT NULL, scope INTEGER NOT NULL,
  PRIMARY KEY (program_id, command_id, device_template));
CREATE TABLE nv_update(seq BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, nv_id BIGINT NOT NULL, value BYTEA);
CREATE FUNCTION nv_value_changed() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
  logged BIGINT;
BEGIN
  -- Numbered in the order the writing transactions commit (they take turns here until they
  -- end), so a reader that has seen number n never misses a smaller one committed later.
  PERFORM pg_advisory_xact_lock(hashtext('portab_nv_update ' || current_schema()));
  INSERT INTO nv_update(nv_id, value) VALUES (NEW.id, NEW.value) RETURNING seq INTO logged;
  -- About the last 1,000 are kept; trimmed by single statements only, so that transactions
  -- never conflict over old entries.
  IF current_setting('transaction_isolation') = 'read committed' THEN
    DELETE FROM nv_update WHERE seq <= logged - 1000;
  END IF;
  PERFORM pg_notify('portab_nv_update', current_schema());  -- other clients' event loops wake
  RETURN NULL;
END $$;
CREATE TRIGGER nv_value_changed AFTER UPDATE OF value ON nv FOR EACH ROW
  WHEN (NEW.value IS DISTINCT FROM OLD.value) EXECUTE FUNCTION nv_value_changed();
CREATE FUNCTION subsystem_deleted() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
  DELETE FROM subsystem WHERE parent_id = OLD.id;
  RETURN NULL;
END $$;
CREATE TRIGGER subsystem_deleted AFTER DELETE ON subsystem FOR EACH ROW EXECUTE FUNCTION subsystem_deleted();
CREATE FUNCTION owner_deleted() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
  DELETE FROM cp WHERE owner_kind = TG_ARGV[0]::INTEGER AND owner_id = OLD.id;
  IF TG_ARGV[0] = '22' THEN DELETE FROM nv_update WHERE nv_id = OLD.id; END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER device_deleted AFTER DELETE ON device FOR EACH ROW EXECUTE FUNCTION owner_deleted('7');
CREATE TRIGGER lonmark_object_deleted AFTER DELETE ON lonmark_object FOR EACH ROW EXECUTE FUNCTION owner_deleted('28');
CREATE TRIGGER nv_deleted AFTER DELETE ON nv FOR EACH ROW EXECUTE FUNCTION owner_deleted('22');
)SQL";

class PostgresDialect final : public NetworkDialect {
 public:
  void CreateSchema(SqlDb& db) const override {
    db.Exec(kServerSchema);
    db.Exec(kServerConfigNvTriggers);
    CreateTemplateTables(db);
    SetSchemaVersion(db);
  }
  // The same indexes; "IF NOT EXISTS" and the collation's name are understood alike.
  void CreateIndexes(SqlDb& db) const override { db.Exec(kIndexes); }
  bool HasAllIndexes(SqlDb& db) const override {
    return ListsEveryIndex(db, "SELECT indexname FROM pg_indexes WHERE schemaname = current_schema()");
  }
  // Kept as the row "schema" of portab_lns.
  int64_t SchemaVersion(SqlDb& db) const override {
    auto row = db.Prepare("SELECT value FROM portab_lns WHERE key = 'schema'");
    return row.Step() ? std::stoll("0" + row.Text(0)) : 0;
  }
  void SetSchemaVersion(SqlDb& db) const override {
    db.Prepare("INSERT INTO portab_lns(key, value) VALUES ('schema', ?1) ON CONFLICT (key) DO UPDATE SET value = ?1")
        .Bind(1, std::to_string(kSchemaVersionNumber))
        .Run();
  }
  // A snapshot of its own for the whole transaction; a row that another client changed since
  // (the same CP written by two at once) fails this one's write with a conflict, and nothing
  // of it stays. Writes of different rows do not get in each other's way.
  const char* BeginWrite() const override { return "BEGIN ISOLATION LEVEL REPEATABLE READ"; }
  // The same within one read snapshot (nothing can change there); else every call, since the
  // server does not tell when another client committed and nothing read before is current.
  int64_t DataVersion(SqlDb& db) const override { return db.Snapshot() != 0 ? -db.Snapshot() : ++calls_; }

 private:
  mutable std::atomic<int64_t> calls_{0};
};

}  // namespace

const NetworkDialect& DialectOf(const SqlDb& db) {
  static const SqliteDialect file;
  static const PostgresDialect server;
  return db.OnServer() ? static_cast<const NetworkDialect&>(server) : file;
}

std::string QuotedName(std::string_view name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::vector<std::string> NetworksOnServer(SqlDb& db) {
  std::vector<std::string> names;
  auto rows = db.Prepare(
      "SELECT n.nspname FROM pg_namespace n JOIN pg_class c ON c.relnamespace = n.oid "
      "WHERE c.relname = 'portab_lns' AND c.relkind = 'r' ORDER BY n.nspname");
  while (rows.Step()) names.push_back(rows.Text(0));
  return names;
}

bool NetworkExistsOnServer(SqlDb& db, const std::string& name) {
  for (const auto& network : NetworksOnServer(db)) {
    if (network == name) return true;
  }
  return false;
}

void UseNetworkOnServer(SqlDb& db, const std::string& name) {
  // Names are found without regard to case, as in the folder of files.
  for (const auto& network : NetworksOnServer(db)) {
    if (base::EqualsNoCase(network, name)) {
      db.Exec("SET search_path TO " + QuotedName(network));
      return;
    }
  }
  throw base::Error(lns::err::kNotFound, "LNS", "The network \"" + name + "\" does not exist on " + db.Name());
}

void CheckNewNetworkOnServer(SqlDb& db, const std::string& name, bool replace) {
  // PostgreSQL cuts longer names to 63 bytes and keeps names beginning "pg_" for itself.
  if (name.size() > 63 || base::EqualsNoCase(std::string_view(name).substr(0, 3), "pg_")) {
    throw base::Error(lns::err::kBadValue, "portab-lns",
                      "The network name \"" + name + "\" cannot be a schema on a server (at most 63 bytes, not beginning with \"pg_\")");
  }
  for (const auto& network : NetworksOnServer(db)) {
    if (!base::EqualsNoCase(network, name)) continue;
    if (network != name || !replace) {
      throw base::Error(lns::err::kDatabase, "portab-lns", "The network \"" + network + "\" exists already on " + db.Name());
    }
    return;
  }
  // A schema of that name that holds no network is another application's: never replaced.
  auto other = db.Prepare("SELECT 1 FROM pg_namespace WHERE lower(nspname) = lower(?1)").Bind(1, name);
  if (other.Step()) {
    throw base::Error(lns::err::kDatabase, "portab-lns",
                      "The schema \"" + name + "\" on " + db.Name() + " holds something else than a network; it is left alone");
  }
}

void AddMissingColumns(SqlDb& db) {
  const std::pair<const char*, const char*> added[] = {
      {"device", "neuron_id TEXT NOT NULL DEFAULT ''"}, {"device", "subnet INTEGER NOT NULL DEFAULT 0"},
      {"device", "node INTEGER NOT NULL DEFAULT 0"},    {"device", "ip TEXT NOT NULL DEFAULT ''"},
      {"cp", "device_nv INTEGER NOT NULL DEFAULT -1"},   {"cp", "device_file INTEGER NOT NULL DEFAULT 0"},
      {"cp", "device_offset INTEGER NOT NULL DEFAULT 0"}, {"cp", "device_flags INTEGER NOT NULL DEFAULT 0"},
  };
  for (const auto& [table, column] : added) {
    const std::string name = std::string(column).substr(0, std::string(column).find(' '));
    bool present = false;
    {
      auto row = db.Prepare(db.OnServer() ? "SELECT 1 FROM information_schema.columns WHERE table_schema = "
                                            "current_schema() AND table_name = ?1 AND column_name = ?2"
                                          : "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2")
                     .Bind(1, std::string(table))
                     .Bind(2, name);
      present = row.Step();
    }
    if (!present) db.Exec(std::string("ALTER TABLE ") + table + " ADD COLUMN " + column);
  }
}

// Runs `change` in a write transaction of its own; nothing of it stays when it fails.
void InWriteTransaction(SqlDb& db, const std::function<void()>& change) {
  db.Exec(DialectOf(db).BeginWrite());
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

void LogNvValues(SqlDb& db) {
  if (db.OnServer()) {
    db.Exec("ALTER TABLE nv_update ADD COLUMN IF NOT EXISTS value BYTEA");
    // The function as a new schema has it (its text is the schema's own).
    const std::string schema = kServerSchema;
    const size_t from = schema.find("CREATE FUNCTION nv_value_changed()");
    const size_t to = schema.find("END $$;", from);
    db.Exec("CREATE OR REPLACE" + schema.substr(from + 6, to + 7 - from - 6));
    return;
  }
  auto column = db.Prepare("SELECT 1 FROM pragma_table_info('nv_update') WHERE name = 'value'");
  const bool present = column.Step();
  column.Reset();
  if (!present) db.Exec("ALTER TABLE nv_update ADD COLUMN value BLOB");
  db.Exec("DROP TRIGGER IF EXISTS nv_value_changed");
  db.Exec(kNvUpdateTrigger);
}

void CreateTemplateTables(SqlDb& db) {
  std::string sql = kTemplateTables;
  if (db.OnServer()) {
    sql = base::ReplaceAll(sql, "INTEGER PRIMARY KEY", "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
    sql = base::ReplaceAll(sql, "template_id INTEGER", "template_id BIGINT");
    sql = base::ReplaceAll(sql, "BLOB", "BYTEA");
  }
  db.Exec(sql);
}

void JoinConfigNvsAndCps(SqlDb& db) {
  db.Exec("CREATE INDEX IF NOT EXISTS nv_device ON nv(device_id, position); "
          "CREATE INDEX IF NOT EXISTS lonmark_object_device ON lonmark_object(device_id, position)");
  db.Exec(kJoinTwins);
  db.Exec(db.OnServer() ? kServerConfigNvTriggers : kConfigNvTriggers);
}

void CreateSqliteDeletionTriggers(SqlDb& db) {
  static const SqliteDialect file;
  file.CreateDeletionTriggers(db);
}

}  // namespace platform::lns_embedded
