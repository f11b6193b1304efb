#include "platform/lns_embedded/network_db.h"

#include <iterator>
#include <string_view>

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "base/waiting.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/network_dialect.h"

namespace platform::lns_embedded {
namespace {

[[noreturn]] void NotOurs(const std::string& database, const std::string& why) {
  throw base::Error(lns::err::kDatabase, "LNS", database + " is not a network database (" + why + ")");
}

// Databases written before the schema version moved into the file header hold it in a
// row of portab_lns ("1") and lack the deletion triggers: they get both, once.
constexpr const char* kFirstVersion = "1";

// Brings a database of an older schema version to the current one, in one transaction.
void Upgrade(SqlDb& db) {
  InWriteTransaction(db, [&] {
    const int64_t version = DialectOf(db).SchemaVersion(db);  // another process may have upgraded it meanwhile
    if (version == 0) {
      CreateSqliteDeletionTriggers(db);
      db.Exec("DELETE FROM portab_lns WHERE key = 'version'");
    }
    if (version < 5) AddMissingColumns(db);
    if (version < 4) JoinConfigNvsAndCps(db);
    if (version < 6) CreateTemplateTables(db);
    if (version < 7) LogNvValues(db);
    DialectOf(db).SetSchemaVersion(db);
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
  DialectOf(db).CreateSchema(db);
  db.Prepare("INSERT INTO portab_lns(key, value) VALUES ('format', ?1)").Bind(1, kDatabaseFormat).Run();
  db.Prepare("INSERT INTO network(id, name, system_name) VALUES (1, ?1, ?2)").Bind(1, networkName).Bind(2, systemName).Run();
}

void NetworkDb::CreateIndexes(SqlDb& db) { DialectOf(db).CreateIndexes(db); }

std::shared_ptr<NetworkDb> NetworkDb::Open(const std::filesystem::path& file, std::weak_ptr<lns::ObjectServer> server) {
  if (!std::filesystem::is_regular_file(file)) {
    throw base::Error(lns::err::kNotFound, "LNS", "No network database " + file.string());
  }
  auto network = Open(std::make_unique<SqliteDb>(file, false), std::move(server));
  network->Db().Exec("PRAGMA journal_mode = WAL");
  return network;
}

std::shared_ptr<NetworkDb> NetworkDb::Open(std::unique_ptr<SqlDb> db, std::weak_ptr<lns::ObjectServer> server) {
  const NetworkDialect& dialect = DialectOf(*db);
  const std::string name = db->Name();
  std::string format;
  std::string firstVersion;
  int64_t version = 0;
  try {
    auto rows = db->Prepare("SELECT key, value FROM portab_lns");
    while (rows.Step()) {
      if (rows.Text(0) == "format") format = rows.Text(1);
      if (rows.Text(0) == "version") firstVersion = rows.Text(1);
    }
    version = dialect.SchemaVersion(*db);
  } catch (const base::Error& e) {
    if (e.Number() == lns::err::kServerUnreachable) throw;
    NotOurs(name, e.Description());
  }
  if (format != kDatabaseFormat) NotOurs(name, "no portab-lns format mark");
  if ((version == 0 && firstVersion == kFirstVersion) || (version >= 2 && version < kSchemaVersion)) {
    Upgrade(*db);
  } else if (version != kSchemaVersion) {
    const std::string found = version != 0 ? std::to_string(version) : "\"" + firstVersion + "\"";
    throw base::Error(lns::err::kDatabase, "LNS",
                      name + " has network database version " + found + "; this program reads version " +
                          std::to_string(kSchemaVersion) +
                          (version > kSchemaVersion ? " (the database was written by a newer program)" : ""));
  }
  if (!dialect.HasAllIndexes(*db)) InWriteTransaction(*db, [&] { CreateIndexes(*db); });
  return std::make_shared<NetworkDb>(std::move(db), std::move(server));
}

NetworkDb::NetworkDb(std::unique_ptr<SqlDb> db, std::weak_ptr<lns::ObjectServer> server)
    : db_(std::move(db)), server_(std::move(server)), snapshotRows_(*db_) {}

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
  db_->Exec(DialectOf(*db_).BeginWrite());
  deviceWrites_.clear();
  db_->ClearFailure();
  inTransaction_ = true;
  transactionFailed_ = false;
  firstFailure_.clear();
}

void NetworkDb::CommitTransaction() {
  if (!inTransaction_) throw base::Error(lns::err::kNoTransaction, "LNS", "No transaction is open");
  inTransaction_ = false;
  if (transactionFailed_ || db_->Failed()) {
    RollBackQuietly();
    throw base::Error(lns::err::kTransactionFailed, "LNS",
                      "A write of the transaction failed" + firstFailure_ + ": the transaction was rolled back");
  }
  std::vector<DeviceWrite> written;
  try {
    written = WriteToDevices();
    db_->Exec("COMMIT");
  } catch (...) {
    PutBack(written);   // the devices as they were, when the database refused after them
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
  deviceWrites_.clear();
  RollBackQuietly();
}

std::optional<std::string> NetworkDb::SnapshotColumn(const std::string& sql, int64_t id) {
  // "SELECT <column> FROM <table> WHERE id = ?1"
  constexpr std::string_view kSelect = "SELECT ", kFrom = " FROM ", kWhere = " WHERE id = ?1";
  const std::string_view text(sql);
  const size_t from = text.find(kFrom);
  if (!text.starts_with(kSelect) || !text.ends_with(kWhere) || from == std::string_view::npos) return std::nullopt;
  const std::string_view column = text.substr(kSelect.size(), from - kSelect.size());
  const std::string_view table = text.substr(from + kFrom.size(), text.size() - kWhere.size() - from - kFrom.size());
  return SnapshotValue(table, column, id);
}

std::optional<std::string> NetworkDb::SnapshotValue(std::string_view table, std::string_view column, int64_t id) {
  if (inTransaction_) return std::nullopt;
  return snapshotRows_.Value(table, column, id);
}

std::optional<std::vector<int64_t>> NetworkDb::SnapshotMembers(const std::string& windowSql, int64_t kind, int64_t owner) {
  if (inTransaction_) return std::nullopt;
  return snapshotRows_.Members(windowSql, kind, owner);
}

namespace {

NetworkDb::NvMonitoring MonitoringOfRow(const Statement& row, int first) {
  return {static_cast<int32_t>(row.Int(first)), static_cast<int32_t>(row.Int(first + 1)), row.Text(first + 2),
          row.Int(first + 3) != 0, row.Int(first + 4) != 0};
}

constexpr const char* kMonitoringColumns = "monitor_tag, poll_interval, format, report_by_exception, monitoring_option";

}  // namespace

// Which NV a row is (its device, place and name): a row id a file gives again after the NV was
// removed must not take over the removed NV's monitoring.
std::string NetworkDb::NvIdentity(int64_t nvId) {
  if (auto device = SnapshotValue("nv", "device_id", nvId)) {
    return *device + "/" + *SnapshotValue("nv", "position", nvId) + "/" + *SnapshotValue("nv", "name", nvId);
  }
  auto row = db_->Prepare("SELECT device_id, position, name FROM nv WHERE id = ?1").Bind(1, nvId);
  return row.Step() ? std::to_string(row.Int(0)) + "/" + std::to_string(row.Int(1)) + "/" + row.Text(2) : std::string();
}

const NetworkDb::NvMonitoring* NetworkDb::OwnMonitoring(int64_t nvId) {
  const auto own = ownMonitoring_.find(nvId);
  if (own == ownMonitoring_.end()) return nullptr;
  if (NvIdentity(nvId) != own->second.identity) {
    ownMonitoring_.erase(own);  // the NV went
    return nullptr;
  }
  return &own->second.settings;
}

NetworkDb::NvMonitoring NetworkDb::Monitoring(int64_t nvId) {
  if (const NvMonitoring* own = OwnMonitoring(nvId)) return *own;
  if (auto tag = SnapshotValue("nv", "monitor_tag", nvId)) {
    const auto number = [&](const char* column) { return std::strtoll(SnapshotValue("nv", column, nvId)->c_str(), nullptr, 10); };
    return {static_cast<int32_t>(std::strtoll(tag->c_str(), nullptr, 10)), static_cast<int32_t>(number("poll_interval")),
            *SnapshotValue("nv", "format", nvId), number("report_by_exception") != 0, number("monitoring_option") != 0};
  }
  auto row = db_->Prepare(std::string("SELECT ") + kMonitoringColumns + " FROM nv WHERE id = ?1").Bind(1, nvId);
  if (!row.Step()) throw base::Error(lns::err::kNotFound, "LNS", "The NV no longer exists");
  return MonitoringOfRow(row, 0);
}

void NetworkDb::SetMonitoring(int64_t nvId, const NvMonitoring& settings) {
  ownMonitoring_[nvId] = OwnSettings{settings, NvIdentity(nvId)};
}

std::map<int64_t, NetworkDb::NvMonitoring> NetworkDb::MonitoredNvs() {
  std::map<int64_t, NvMonitoring> monitored;
  {
    auto rows = db_->Prepare(std::string("SELECT id, ") + kMonitoringColumns + " FROM nv WHERE monitor_tag <> 0");
    while (rows.Step()) monitored.emplace(rows.Int(0), MonitoringOfRow(rows, 1));
  }
  std::vector<int64_t> own;
  for (const auto& [nvId, entry] : ownMonitoring_) own.push_back(nvId);
  for (const int64_t nvId : own) {
    if (const NvMonitoring* settings = OwnMonitoring(nvId)) monitored[nvId] = *settings;
  }
  std::erase_if(monitored, [](const auto& entry) { return entry.second.tag == 0; });
  return monitored;
}

bool NetworkDb::DeviceReachable(int64_t deviceId) {
  if (auto kept = SnapshotValue("device", "reachable", deviceId)) return *kept != "0";
  auto row = db_->Prepare("SELECT reachable FROM device WHERE id = ?1").Bind(1, deviceId);
  return row.Step() && row.Int(0) != 0;
}

void NetworkDb::SetDeviceReachable(int64_t deviceId, bool reachable) {
  db_->Prepare("UPDATE device SET reachable = ?1 WHERE id = ?2").Bind(1, reachable ? 1 : 0).Bind(2, deviceId).Run();
}

void NetworkDb::RequireReachable(int64_t deviceId) {
  if (link_) {
    Await(link_->StatusCheck(deviceId));
    return;
  }
  if (!DeviceReachable(deviceId)) {
    throw base::Error(lns::err::kDeviceNotAccessible, "LNS", "The device is not accessible");
  }
}

void NetworkDb::Write(int64_t deviceId, const std::function<void()>& write) {
  // Outside an LNS transaction, a device is written only once the database's write lock is
  // held: a database that another program holds is said before the device changes, and the
  // device's new value and its row are committed together (a device that fails leaves both).
  if (link_ && !inTransaction_) {
    InWriteTransaction(*db_, [&] { WriteHeld(deviceId, write); });
    return;
  }
  WriteHeld(deviceId, write);
}

void NetworkDb::WriteHeld(int64_t deviceId, const std::function<void()>& write) {
  try {
    if (beforeWrite_) beforeWrite_(deviceId);
    if (!link_) RequireReachable(deviceId);
    write();
  } catch (const base::Error& e) {
    if (inTransaction_ && !transactionFailed_) {
      firstFailure_ = " (" + base::ErrorNumberText(e.Number()) + ": " + e.Description() + ")";
    }
    if (inTransaction_) transactionFailed_ = true;
    throw;
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

NetworkDb::NvRow NetworkDb::ReadNv(int64_t nvId) {
  if (auto value = SnapshotValue("nv", "value", nvId)) {
    return {std::strtoll(SnapshotValue("nv", "device_id", nvId)->c_str(), nullptr, 10),
            static_cast<int32_t>(std::strtoll(SnapshotValue("nv", "position", nvId)->c_str(), nullptr, 10) - 1),
            "NV \"" + *SnapshotValue("nv", "name", nvId) + "\"", std::vector<uint8_t>(value->begin(), value->end())};
  }
  auto row = db_->Prepare("SELECT device_id, position, name, value FROM nv WHERE id = ?1").Bind(1, nvId);
  if (!row.Step()) throw base::Error(lns::err::kNotFound, "LNS", "The NV no longer exists");
  return {row.Int(0), static_cast<int32_t>(row.Int(1) - 1), "NV \"" + row.Text(2) + "\"", row.Blob(3)};
}

std::vector<uint8_t> NetworkDb::NvValue(int64_t nvId) {
  const NvRow nv = ReadNv(nvId);
  if (!link_) return nv.value;
  auto value = FetchFromDevice(nv.device, nv.index, nv.what, nv.value.size());
  KeepDeviceValue(nvId, nv.value, value);  // the database, and a CP the NV holds, as the device has it
  return value;
}

// Whether the device's NV `nvIndex` holds a CP (a configuration NV): its writes then belong
// to the LNS transaction, as the CP's do.
bool NetworkDb::HoldsCp(int64_t deviceId, int32_t nvIndex) {
  auto row = db_->Prepare(
                    "SELECT 1 FROM cp WHERE owner_kind = 7 AND owner_id = ?1 AND device_nv = ?2 "
                    "UNION ALL SELECT 1 FROM lonmark_object AS o JOIN cp ON cp.owner_kind = 28 AND cp.owner_id = o.id "
                    "WHERE o.device_id = ?1 AND cp.device_nv = ?2 "
                    "UNION ALL SELECT 1 FROM nv AS holder JOIN cp ON cp.owner_kind = 22 AND cp.owner_id = holder.id "
                    "WHERE holder.device_id = ?1 AND cp.device_nv = ?2")
                 .Bind(1, deviceId)
                 .Bind(2, int64_t{nvIndex});
  return row.Step();
}

void NetworkDb::SetWorker(std::shared_ptr<DeviceWorker> worker) {
  worker_ = worker;
  reader_ = std::make_unique<DeviceReader>(
      std::move(worker), [this](const DeviceAnswer& answer) { TakeAnswer(answer); }, requests_);
}

// A device request of this thread runs on the worker while this thread's event loop turns (the
// window's stays alive); without a worker, here.
void NetworkDb::Await(const std::function<void()>& request) {
  if (worker_) {
    worker_->Call(request);
  } else {
    request();
  }
}

void NetworkDb::UpdateDevice(int64_t deviceId, int32_t nvIndex, const std::vector<uint8_t>& bytes, const std::string& what) {
  // Counted when it ended, whether it went through or not (the device may have taken it).
  struct Counted {
    NetworkDb& db;
    std::pair<int64_t, int32_t> key;
    ~Counted() { db.lastWrite_[key] = ++*db.requests_; }
  } counted{*this, {deviceId, nvIndex}};
  Await(link_->NvUpdate(deviceId, nvIndex, bytes, what));
}

bool NetworkDb::AskInBackground(int64_t nvId) {
  if (!link_ || !reader_) return false;
  if (reader_->Asking(nvId)) return true;
  NvRow nv;
  try {
    nv = ReadNv(nvId);
  } catch (const base::Error&) {
    return false;  // the NV went
  }
  try {
    reader_->Ask(nv.device, nvId, link_->NvFetch(nv.device, nv.index, nv.what));
    seenAt_[nvId] = nv.value;
  } catch (const base::Error& e) {  // the device's row says nothing of where it is
    reader_->Fail(nv.device, nvId, e.Number(), e.Description());
  }
  return true;
}

void NetworkDb::KeepDeviceValue(int64_t nvId, const std::vector<uint8_t>& seen, const std::vector<uint8_t>& value) {
  if (value == seen || db_->InTransaction()) return;  // inside one it would become part of it (a commit's too)
  struct Waiting {
    SqlDb& db;
    bool before;
    ~Waiting() { db.WaitForLocks(before); }
  } waiting{*db_, db_->WaitForLocks(false)};
  try {
    // Only over the value the device was asked about: another program may have written since.
    db_->Prepare("UPDATE nv SET value = ?1 WHERE id = ?2 AND value = ?3").Bind(1, value).Bind(2, nvId).Bind(3, seen).Run();
  } catch (...) {
    // Another program holds the database: the next read brings the value again.
  }
}

void NetworkDb::TakeAnswer(DeviceAnswer answer) {
  const auto now = std::chrono::steady_clock::now();
  if (answer.error == 0) {
    try {
      const NvRow nv = ReadNv(answer.nvId);
      const auto written = lastWrite_.find({nv.device, nv.index});
      if (answer.value.size() != nv.value.size()) {
        answer.error = lns::err::kDeviceRefused;
        answer.failure = "device \"" + DeviceName(answer.deviceId) + "\", " + nv.what + ": the device holds " +
                         std::to_string(answer.value.size()) + " bytes, the network database " +
                         std::to_string(nv.value.size()) + " (on " + link_->InterfaceName() + ")";
      } else if (written == lastWrite_.end() || written->second < answer.started) {
        // (An answer read before this program last wrote the NV tells of the old value.)
        const auto seen = seenAt_.find(answer.nvId);
        if (seen != seenAt_.end()) KeepDeviceValue(answer.nvId, seen->second, answer.value);
      }
    } catch (const base::Error& e) {
      answer.error = e.Number();  // the NV went meanwhile
      answer.failure = e.Description();
    }
  }
  if (answer.error == 0) {
    silentDevices_.erase(answer.deviceId);
    refusedNvs_.erase(answer.nvId);
  } else if (answer.error == lns::err::kDeviceNotAccessible) {
    silentDevices_[answer.deviceId] = {answer.error, answer.failure, now + kSilentAskedAgainAfter};
  } else if (answer.error != lns::err::kInterfaceBusy) {
    refusedNvs_[answer.nvId] = {answer.error, answer.failure, now + kSilentAskedAgainAfter};
  }
  if (answerHandler_) answerHandler_(answer);
}

// The device is asked at once, unless it did not answer a moment ago: one round of timeouts
// then stands for the reads of its NVs that follow.
std::vector<uint8_t> NetworkDb::NvValueOrSilent(int64_t nvId) {
  const NvRow nv = ReadNv(nvId);
  const auto silent = silentDevices_.find(nv.device);
  if (silent != silentDevices_.end() && std::chrono::steady_clock::now() < silent->second.askAgain) {
    throw base::Error(silent->second.error, "LNS", silent->second.failure);
  }
  try {
    auto value = NvValue(nvId);
    silentDevices_.erase(nv.device);
    return value;
  } catch (const base::Error& e) {
    if (e.Number() == lns::err::kDeviceNotAccessible) {
      silentDevices_[nv.device] = {e.Number(), e.Description(), std::chrono::steady_clock::now() + kSilentAskedAgainAfter};
    }
    throw;
  }
}

std::vector<uint8_t> NetworkDb::NvValueWithoutWaiting(int64_t nvId) {
  // Without an event loop to keep turning (the console's window, a script), the value is read
  // as Value() reads it: what a script prints next is then the device's answer.
  if (!link_ || !reader_) return NvValue(nvId);
  if (!base::HasWaitTurn()) return NvValueOrSilent(nvId);
  const NvRow nv = ReadNv(nvId);
  const auto now = std::chrono::steady_clock::now();
  const LastFailure* failed = nullptr;
  if (const auto silent = silentDevices_.find(nv.device); silent != silentDevices_.end()) {
    failed = &silent->second;
  } else if (const auto refused = refusedNvs_.find(nvId); refused != refusedNvs_.end()) {
    failed = &refused->second;
  }
  auto& askAgain = askAgain_[nvId];
  if (now >= (failed != nullptr ? failed->askAgain : askAgain) && AskInBackground(nvId)) askAgain = now + kAskAgainAfter;
  if (failed != nullptr) throw base::Error(failed->error, "LNS", failed->failure);
  return nv.value;
}

void NetworkDb::StoreNv(int64_t nvId, const std::vector<uint8_t>& bytes) {
  const NvRow nv = ReadNv(nvId);
  Write(nv.device, [&] {
    // The row first (a CP the NV holds changes with it, by the database's trigger): a lock or a
    // conflict fails before the device changes, a device that fails rolls the row back.
    db_->Prepare("UPDATE nv SET value = ?1 WHERE id = ?2").Bind(1, bytes).Bind(2, nvId).Run();
    if (link_) ToDevice(nv.device, nv.index, bytes, nv.what, inTransaction_ && HoldsCp(nv.device, nv.index));
  });
}

void NetworkDb::ToDevice(int64_t deviceId, int32_t nvIndex, const std::vector<uint8_t>& bytes, const std::string& what,
                         bool atCommit) {
  if (!atCommit) {
    UpdateDevice(deviceId, nvIndex, bytes, what);
    return;
  }
  const bool pending = std::any_of(deviceWrites_.begin(), deviceWrites_.end(), [&](const DeviceWrite& w) {
    return w.deviceId == deviceId && w.nvIndex == nvIndex;
  });
  if (pending) return;
  DeviceWrite write;
  write.deviceId = deviceId;
  write.nvIndex = nvIndex;
  write.what = what;
  deviceWrites_.push_back(std::move(write));
}

void NetworkDb::StoreCp(int64_t cpId, const std::vector<uint8_t>& bytes) {
  const int64_t device = DeviceOfCp(cpId);
  Write(device, [&] {
    int32_t nvIndex = -1;
    std::string what;
    FileSpot spot;
    std::vector<uint8_t> stored;
    {
      auto row = db_->Prepare("SELECT device_nv, name, device_file, device_offset, device_flags, value FROM cp WHERE id = ?1")
                     .Bind(1, cpId);
      if (!row.Step()) throw base::Error(lns::err::kNotFound, "LNS", "The CP no longer exists");
      nvIndex = static_cast<int32_t>(row.Int(0));
      what = "CP \"" + row.Text(1) + "\"";
      spot = {row.Int(2), static_cast<uint32_t>(row.Int(3)), static_cast<uint32_t>(bytes.size()), static_cast<uint8_t>(row.Int(4))};
      stored = row.Blob(5);
    }
    const bool held = nvIndex >= 0 || spot.file != kNoFile;
    const bool same = bytes == stored;
    if (held) {
      // A CP the device holds whose bytes do not change is not written inside a transaction (a
      // plug-in writes its whole set) nor refused; outside one (`cp set`) the database's value
      // still goes to a device that holds another.
      if (same && (inTransaction_ || !link_ || !Writable(spot))) return;
      if (!same) CheckWritable(spot, what, device);
    }
    // The row first, as for an NV (the configuration NV that holds the CP changes with it).
    if (!same) {
      db_->Prepare("UPDATE cp SET value = ?1 WHERE id = ?2").Bind(1, bytes).Bind(2, cpId).Run();
      // The other items of a record shared by several blocks or NVs hold the same bytes.
      if (spot.file != kNoFile) {
        db_->Prepare("UPDATE cp SET value = ?1 WHERE id <> ?2 AND device_file = ?3 AND device_offset = ?4 AND length(value) = ?5 AND " +
                     CpsOfDevice(6))
            .Bind(1, bytes)
            .Bind(2, cpId)
            .Bind(3, spot.file)
            .Bind(4, int64_t{spot.offset})
            .Bind(5, static_cast<int64_t>(bytes.size()))
            .Bind(6, device)
            .Run();
      }
    }
    if (link_ && nvIndex >= 0) ToDevice(device, nvIndex, bytes, what, inTransaction_);
    if (link_ && spot.file != kNoFile) ToDeviceFile(device, cpId, spot, bytes, what, inTransaction_);
  });
}

// The CPs of device row ?n, whatever owns them.
std::string NetworkDb::CpsOfDevice(int n) {
  const std::string p = "?" + std::to_string(n);
  return "((cp.owner_kind = 7 AND cp.owner_id = " + p + ") OR (cp.owner_kind = 28 AND cp.owner_id IN (SELECT id FROM "
         "lonmark_object WHERE device_id = " + p + ")) OR (cp.owner_kind = 22 AND cp.owner_id IN (SELECT id FROM nv WHERE "
         "device_id = " + p + ")))";
}

bool NetworkDb::Writable(const FileSpot& spot) {
  return (spot.flags & 0x04) == 0 && (spot.flags & 0x90) != 0x90 && spot.file != kReadOnlyFile;
}

std::vector<NetworkDb::DeviceWrite> NetworkDb::HeldCps(int64_t deviceId, std::vector<bool>* writable) {
  if (!link_) {
    throw base::Error(lns::err::kDeviceRefused, "LNS",
                      "device \"" + DeviceName(deviceId) + "\": the network has no interface attached, so its devices are "
                                                              "simulated and hold nothing but the database");
  }
  std::vector<DeviceWrite> held;
  auto rows = db_->Prepare(
                     "SELECT cp.id, cp.name, cp.device_nv, cp.device_file, cp.device_offset, cp.device_flags, "
                     "CASE cp.owner_kind WHEN 28 THEN (SELECT name FROM lonmark_object WHERE id = cp.owner_id) "
                     "WHEN 22 THEN (SELECT name FROM nv WHERE id = cp.owner_id) ELSE '' END, length(cp.value) FROM cp "
                     "WHERE (cp.device_nv >= 0 OR cp.device_file <> 0) AND " + CpsOfDevice(1) +
                     " ORDER BY cp.owner_kind, cp.owner_id, cp.position")
                  .Bind(1, deviceId);
  while (rows.Step()) {
    DeviceWrite w;
    w.deviceId = deviceId;
    w.cpId = rows.Int(3) != kNoFile ? rows.Int(0) : 0;
    w.nvIndex = rows.Int(3) != kNoFile ? -1 : static_cast<int32_t>(rows.Int(2));
    w.what = "CP \"" + rows.Text(1) + "\"" + (rows.Text(6).empty() ? "" : " of \"" + rows.Text(6) + "\"");
    w.spot = {rows.Int(3), static_cast<uint32_t>(rows.Int(4)), static_cast<uint32_t>(rows.Int(7)), static_cast<uint8_t>(rows.Int(5))};
    if (w.cpId != 0) {
      w.what += std::string(" (") + (w.spot.file == kWritableFile ? "writable" : "read-only") + " value file, offset " +
                std::to_string(w.spot.offset) + ")";
    }
    // A device-specific CP is the device's application's to change: a download leaves it.
    if (writable) writable->push_back(Writable(w.spot) && (w.spot.flags & 0x20) == 0);
    held.push_back(std::move(w));
  }
  return held;
}

// The database's value of a held CP: the CP's row, or the configuration NV's that is the same.
std::vector<uint8_t> NetworkDb::DatabaseBytes(const DeviceWrite& w) {
  auto row = w.cpId != 0 ? db_->Prepare("SELECT value FROM cp WHERE id = ?1").Bind(1, w.cpId)
                         : db_->Prepare("SELECT value FROM nv WHERE device_id = ?1 AND position = ?2")
                               .Bind(1, w.deviceId)
                               .Bind(2, int64_t{w.nvIndex} + 1);
  return row.Step() ? row.Blob(0) : std::vector<uint8_t>{};
}

std::vector<NetworkDb::CpDifference> NetworkDb::DifferingCps(int64_t deviceId) {
  std::vector<bool> writable;
  const auto held = HeldCps(deviceId, &writable);
  std::vector<CpDifference> differing;
  for (size_t i = 0; i < held.size(); ++i) {
    auto database = DatabaseBytes(held[i]);
    auto device = DeviceBytes(held[i], database.size());
    if (device != database) differing.push_back({held[i].what, std::move(database), std::move(device), writable[i]});
  }
  return differing;
}

std::vector<NetworkDb::CpDifference> NetworkDb::UploadCps(int64_t deviceId) {
  if (inTransaction_) throw base::Error(lns::err::kTransactionActive, "LNS", "CPs are not uploaded inside a transaction");
  std::vector<bool> writable;
  const auto held = HeldCps(deviceId, &writable);
  std::vector<CpDifference> differing;
  std::vector<const DeviceWrite*> changed;
  for (size_t i = 0; i < held.size(); ++i) {
    auto database = DatabaseBytes(held[i]);
    auto device = DeviceBytes(held[i], database.size());
    if (device == database) continue;
    differing.push_back({held[i].what, std::move(database), std::move(device), writable[i]});
    changed.push_back(&held[i]);
  }
  if (differing.empty()) return differing;
  InWriteTransaction(*db_, [&] {
    for (size_t i = 0; i < changed.size(); ++i) {
      const DeviceWrite& w = *changed[i];
      // A configuration NV's row takes its CP's along (they are one value).
      auto update = w.cpId != 0 ? db_->Prepare("UPDATE cp SET value = ?1 WHERE id = ?2").Bind(1, differing[i].device).Bind(2, w.cpId)
                                : db_->Prepare("UPDATE nv SET value = ?1 WHERE device_id = ?2 AND position = ?3")
                                      .Bind(1, differing[i].device)
                                      .Bind(2, deviceId)
                                      .Bind(3, int64_t{w.nvIndex} + 1);
      update.Run();
    }
  });
  return differing;
}

std::vector<NetworkDb::CpDifference> NetworkDb::DownloadCps(int64_t deviceId) {
  if (inTransaction_) throw base::Error(lns::err::kTransactionActive, "LNS", "CPs are not downloaded inside a transaction");
  std::vector<bool> writable;
  auto held = HeldCps(deviceId, &writable);
  std::vector<CpDifference> differing;
  std::vector<DeviceWrite> writes;  // queued for WriteToDevices only once every read went through
  for (size_t i = 0; i < held.size(); ++i) {
    if (writable[i]) {
      writes.push_back(held[i]);
      continue;
    }
    auto database = DatabaseBytes(held[i]);
    auto device = DeviceBytes(held[i], database.size());
    if (device != database) differing.push_back({held[i].what, std::move(database), std::move(device), false});
  }
  deviceWrites_ = std::move(writes);
  for (const auto& w : WriteToDevices()) {
    if (w.changes) differing.push_back({w.what, DatabaseBytes(w), w.before, true});
  }
  return differing;
}

bool NetworkDb::HoldsAnyCp(int64_t deviceId) {
  auto row = db_->Prepare("SELECT 1 FROM cp WHERE (cp.device_nv >= 0 OR cp.device_file <> 0) AND " + CpsOfDevice(1)).Bind(1, deviceId);
  return row.Step();
}

std::vector<uint8_t> NetworkDb::CpOnDevice(int64_t cpId) {
  const int64_t deviceId = DeviceOfCp(cpId);
  int64_t nvIndex = -1;
  {
    auto row = db_->Prepare("SELECT device_nv FROM cp WHERE id = ?1").Bind(1, cpId);
    if (row.Step()) nvIndex = row.Int(0);
  }
  for (const auto& w : HeldCps(deviceId)) {
    if (w.cpId == cpId || (w.cpId == 0 && nvIndex >= 0 && w.nvIndex == nvIndex)) return DeviceBytes(w, DatabaseBytes(w).size());
  }
  throw base::Error(lns::err::kBadValue, "LNS", "device \"" + DeviceName(deviceId) +
                                                   "\": the device does not hold this CP (it is kept in the network database only)");
}

void NetworkDb::CheckWritable(const FileSpot& spot, const std::string& what, int64_t deviceId) {
  const auto refuse = [&](const std::string& why) {
    throw base::Error(lns::err::kBadValue, "LNS", "device \"" + DeviceName(deviceId) + "\", " + what + ": " + why);
  };
  if ((spot.flags & 0x90) == 0x90) refuse("only the device's maker changes it");
  if ((spot.flags & 0x04) != 0) refuse("it is a constant of the device");
  if (spot.file == kReadOnlyFile) refuse("the device keeps it in its read-only value file");
}

void NetworkDb::ToDeviceFile(int64_t deviceId, int64_t cpId, const FileSpot& spot, const std::vector<uint8_t>& bytes,
                             const std::string& what, bool atCommit) {
  DeviceWrite write;
  write.deviceId = deviceId;
  write.nvIndex = -1;
  write.what = what + " (writable value file, offset " + std::to_string(spot.offset) + ")";
  write.cpId = cpId;
  write.spot = spot;
  if (atCommit) {
    const bool pending = std::any_of(deviceWrites_.begin(), deviceWrites_.end(), [&](const DeviceWrite& w) { return w.cpId == cpId; });
    if (!pending) deviceWrites_.push_back(std::move(write));
    return;
  }
  // What the device holds first: a write that fails after some of its pieces is put back.
  write.before = DeviceBytes(write, bytes.size());
  write.changes = write.before != bytes;
  if (!write.changes) return;
  try {
    WriteDeviceBytes(write, bytes);
  } catch (const base::Error&) {
    PutBack({write});
    throw;
  }
}

std::vector<uint8_t> NetworkDb::DeviceBytes(const DeviceWrite& w, size_t size) {
  if (w.cpId == 0) return FetchFromDevice(w.deviceId, w.nvIndex, w.what, size);
  std::vector<uint8_t> bytes;
  FileSpot spot = w.spot;
  spot.count = static_cast<uint32_t>(size);
  Await([&, read = link_->FileRead(w.deviceId, spot, w.what)] { bytes = read(); });
  return bytes;
}

void NetworkDb::WriteDeviceBytes(const DeviceWrite& w, const std::vector<uint8_t>& bytes) {
  if (w.cpId == 0) {
    UpdateDevice(w.deviceId, w.nvIndex, bytes, w.what);
  } else {
    Await(link_->FileWrite(w.deviceId, w.spot, bytes, w.what));
  }
}

// The CPs written in the transaction go to their devices before the database commits, those
// held as configuration NVs and those in value files: all of them, or none stays. Each device
// is asked for what it holds first, so that a failure later puts exactly that back, and only
// what differs is written.
std::vector<NetworkDb::DeviceWrite> NetworkDb::WriteToDevices() {
  std::vector<DeviceWrite> written;
  std::vector<DeviceWrite> pending = std::move(deviceWrites_);
  deviceWrites_.clear();
  for (DeviceWrite& w : pending) {
    const std::vector<uint8_t> value = DatabaseBytes(w);
    if (value.empty()) continue;  // the row is gone
    bool asked = false;
    try {
      w.before = DeviceBytes(w, value.size());
      asked = true;
      w.changes = w.before != value;
      if (w.changes) WriteDeviceBytes(w, value);
      written.push_back(w);
    } catch (const base::Error& e) {
      if (asked) written.push_back(w);  // its acknowledgement may be what was lost, or part went
      const auto kept = PutBack(written);
      std::string list;
      for (const auto& what : kept) list += (list.empty() ? "" : ", ") + what;
      throw base::Error(e.Number(), "LNS",
                        e.Description() + (kept.empty() ? "; nothing of the transaction was written"
                                                        : "; written and not put back (the devices did not answer): " + list));
    }
  }
  return written;
}

// Last written first, so that writes of the same bytes end with the oldest value. A device that
// fails this too keeps the new value; the log says which, and so does the list returned.
std::vector<std::string> NetworkDb::PutBack(const std::vector<DeviceWrite>& written) {
  std::vector<std::string> kept;
  for (auto done = written.rbegin(); done != written.rend(); ++done) {
    if (!done->changes) continue;
    try {
      WriteDeviceBytes(*done, done->before);
    } catch (const base::Error& undo) {
      base::LogSwallowedError("The value " + done->what + " had on its device could not be put back: " + undo.Description());
      kept.push_back("device \"" + DeviceName(done->deviceId) + "\", " + done->what);
    }
  }
  return kept;
}

// Bytes of another length are another NV than the database describes: never handed on.
std::vector<uint8_t> NetworkDb::FetchFromDevice(int64_t deviceId, int32_t nvIndex, const std::string& what, size_t size) {
  std::vector<uint8_t> value;
  Await([&, fetch = link_->NvFetch(deviceId, nvIndex, what)] { value = fetch(); });
  if (value.size() != size) {
    throw base::Error(lns::err::kDeviceRefused, "LNS",
                      "device \"" + DeviceName(deviceId) + "\", " + what + ": the device holds " + std::to_string(value.size()) +
                          " bytes, the network database " + std::to_string(size) + " (on " + link_->InterfaceName() + ")");
  }
  return value;
}

std::string NetworkDb::DeviceName(int64_t deviceId) {
  auto row = db_->Prepare("SELECT name FROM device WHERE id = ?1").Bind(1, deviceId);
  return row.Step() ? row.Text(0) : std::string();
}

int64_t NetworkDb::DataVersion() { return DialectOf(*db_).DataVersion(*db_); }

int64_t NetworkDb::LastUpdate() {
  auto row = db_->Prepare("SELECT COALESCE(MAX(seq), 0) FROM nv_update");
  return row.Step() ? row.Int(0) : 0;
}

std::vector<NetworkDb::NvUpdate> NetworkDb::UpdatesSince(int64_t seq) {
  std::vector<NvUpdate> updates;
  auto rows = db_->Prepare("SELECT seq, nv_id, value FROM nv_update WHERE seq > ?1 ORDER BY seq").Bind(1, seq);
  while (rows.Step()) {
    updates.push_back({rows.Int(0), rows.Int(1), rows.IsNull(2) ? std::nullopt : std::optional(rows.Blob(2))});
  }
  return updates;
}

}  // namespace platform::lns_embedded
