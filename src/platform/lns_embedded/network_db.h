#pragma once
// One open network database: the SQLite file of a network under $PORTAB_HOME/lns/ or its
// schema on a PostgreSQL server, its schema, the LNS transaction, reachability checks, the NV update log and the objects
// handed out (the same row gives the same object while it is held).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lns/lns_objects.h"
#include "platform/lns_embedded/device_link.h"
#include "platform/lns_embedded/device_reader.h"
#include "platform/lns_embedded/snapshot_rows.h"
#include "platform/lns_embedded/sqlite_db.h"

namespace platform::lns_embedded {

inline constexpr const char* kDatabaseFormat = "portab-lns network";
// The schema version, kept as a file's user_version (a server's in its portab_lns table).
inline constexpr int kSchemaVersion = 7;

// The tables of a network's rows: their columns (the row id first where there is one) and each
// column's kind: i an integer, t text, b bytes. Parents come before their children, so that
// rows inserted in this order always find the rows they refer to.
struct NetworkTable {
  const char* name;
  const char* columns;
  std::string_view kinds;
};
inline constexpr NetworkTable kNetworkTables[] = {
    {"subsystem", "id, parent_id, position, name", "iiit"},
    {"device", "id, subsystem_id, position, name, template_name, program_id, reachable, neuron_id, subnet, node, ip",
     "iiitttitiit"},
    {"lonmark_object", "id, device_id, position, name, profile_type", "iiiti"},
    {"nv",
     "id, device_id, position, name, type_index, changeable, value, format, poll_interval, report_by_exception, "
     "monitor_tag, monitoring_option",
     "iiitiibtiiii"},
    {"lonmark_member", "lonmark_object_id, position, nv_id", "iii"},
    {"cp", "id, owner_kind, owner_id, position, name, element_size, dimension, value, device_nv, device_file, device_offset, "
     "device_flags",
     "iiiitiibiiii"},
    {"device_template",
     "id, program_id, name, xif_version, first_line, comments, device_numbers, header_lines, node_self_doc, tags, "
     "template_file, value_file, read_only_file, unread",
     "ittttttttttbbt"},
    {"template_nv",
     "template_id, position, nv_index, name, array_size, type_index, output, config, self_doc, average_rate, "
     "maximum_rate, attributes, type_elements, default_value",
     "iiitiiiitiittb"},
    {"template_cp", "template_id, position, type, applies_to, flags, element_size, dimension, place, default_value",
     "iittiiitb"},
    {"plugin_registration",
     "program_id, command_id, device_template, class_id, registration_value, name, description, version, "
     "manufacturer_id, device_program_id, file_name, scope",
     "titiitttttti"},
};

// The network table `name` when its rows have an id column, else null.
inline const NetworkTable* NetworkTableWithIds(std::string_view name) {
  for (const NetworkTable& table : kNetworkTables) {
    if (name == table.name && std::string_view(table.columns).starts_with("id,")) return &table;
  }
  return nullptr;
}

// Kinds of rows, used as owner kinds of CPs and in the identity map.
enum class RowKind : int {
  Network = 1,
  System = 3,
  Subsystem = 4,
  Device = 7,
  Template = 9,
  Interface = 19,
  Nv = 22,
  Cp = 24,
  LonMarkObject = 28,
};

// Raises kDatabase, naming the database and the CP, when a CP's stored value does not hold
// element size x dimension bytes (another program wrote it).
void CheckCpValueSize(const std::string& database, const std::string& cpName, int64_t elementSize,
                      int64_t dimension, size_t storedBytes);

class NetworkDb : public std::enable_shared_from_this<NetworkDb> {
 public:
  // Opens an existing network database; raises kDatabase when the file is not one of ours
  // or has another schema version. A database of the first version is upgraded in place.
  static std::shared_ptr<NetworkDb> Open(const std::filesystem::path& file,
                                         std::weak_ptr<lns::ObjectServer> server);
  // The same checks on a connection already made (a server's, its search path on the network).
  static std::shared_ptr<NetworkDb> Open(std::unique_ptr<SqlDb> db, std::weak_ptr<lns::ObjectServer> server);
  // Writes the schema into an empty database.
  static void CreateSchema(SqlDb& db, const std::string& networkName, const std::string& systemName);
  // Adds the lookup indexes a database lacks (a new one gets them after its rows, which
  // builds them faster than keeping them up to date row by row).
  static void CreateIndexes(SqlDb& db);
  // Changes whenever another connection commits to the database (not for this one's own
  // commits): what a snapshot of rows checks before it is used again.
  int64_t DataVersion();

  explicit NetworkDb(std::unique_ptr<SqlDb> db, std::weak_ptr<lns::ObjectServer> server);

  SqlDb& Db() { return *db_; }
  std::string NetworkName();
  std::string SystemName();
  std::shared_ptr<lns::ObjectServer> Server() const { return server_.lock(); }

  void StartTransaction();
  void CommitTransaction();
  void CancelTransaction();
  bool InTransaction() const { return inTransaction_; }

  bool DeviceReachable(int64_t deviceId);
  void SetDeviceReachable(int64_t deviceId, bool reachable);
  // Raises kDeviceNotAccessible when the device does not answer: its reachable flag, or the
  // device itself when the network has a device link.
  void RequireReachable(int64_t deviceId);
  // Stores a value on a device: the test hook, RequireReachable (without a device link), then
  // `write`. Any failure inside a transaction dooms it: its commit rolls everything back.
  void Write(int64_t deviceId, const std::function<void()>& write);

  // The devices behind the network (none: the database is the device).
  void SetDeviceLink(std::shared_ptr<DeviceLink> link) { link_ = std::move(link); }
  // The link in use (nullptr: simulated devices), and the same to keep.
  DeviceLink* Link() const { return link_.get(); }
  const std::shared_ptr<DeviceLink>& SharedLink() const { return link_; }
  // An NV's value: the device's when there is a link, else the stored one.
  std::vector<uint8_t> NvValue(int64_t nvId);
  // Device reads away from the caller's thread, run by `worker` (a network with a link).
  void SetWorker(std::shared_ptr<DeviceWorker> worker);
  // Called on the owner's thread with each answer of a read asked in the background, after a
  // changed value was stored.
  void SetAnswerHandler(std::function<void(const DeviceAnswer&)> handler) { answerHandler_ = std::move(handler); }
  // Asks the NV's device for its value in the background (nothing without a link and a
  // worker); the answer is stored and handed to the answer handler later, on this thread.
  // Returns whether a read of the NV is under way.
  bool AskInBackground(int64_t nvId);
  // The NV's value without waiting for its device: the stored one, and with a link the device
  // is asked again in the background (at most once a second; a device that did not answer
  // after 10 s). Raises the failure of the device's last answer until it answers again. A
  // thread without an event loop to turn while it waits (no base wait turn) gets NvValue.
  std::vector<uint8_t> NvValueWithoutWaiting(int64_t nvId);
  // Stores an NV's value, and the value of a CP it holds; with a link, the device's input NV
  // is updated first (a configuration NV inside a transaction: at the commit, as its CP).
  void StoreNv(int64_t nvId, const std::vector<uint8_t>& bytes);
  // Stores a CP's value, and the value of the configuration NV that holds it. With a link, a CP
  // the device holds (in a configuration NV or a value file) goes to the device: at once outside
  // a transaction, at the commit inside one. A CP of a value file whose bytes do not change is
  // not written; a constant, the maker's or one of the read-only file is refused (kBadValue).
  void StoreCp(int64_t cpId, const std::vector<uint8_t>& bytes);

  // A CP the device holds whose bytes on the device differ from the database's.
  struct CpDifference {
    std::string what;  // CP "HoldTime" of "Omnal 1"
    std::vector<uint8_t> database, device;
    bool writable = true;  // false: a constant, the maker's or of the read-only file
  };
  // The CPs of device row `deviceId` that the device holds, compared with the device (which is
  // read, never written). Errors of the device as for NVs; kDeviceRefused without a link.
  std::vector<CpDifference> DifferingCps(int64_t deviceId);
  // Takes the device's values of those CPs into the database, in one write transaction; returns
  // those that differed.
  std::vector<CpDifference> UploadCps(int64_t deviceId);
  // Writes the database's values of the writable ones to the device, only those that differ,
  // all or none (the device is put back when one fails); returns those that differed (the
  // unwritable among them untouched).
  std::vector<CpDifference> DownloadCps(int64_t deviceId);
  // Whether the network places any CP of the device on it (a configuration NV or a value file).
  bool HoldsAnyCp(int64_t deviceId);
  // A CP's bytes as the device holds it (kBadValue for a CP the device does not hold).
  std::vector<uint8_t> CpOnDevice(int64_t cpId);
  // Runs before every value stored (tests make a device fail in the middle of a transaction).
  void SetBeforeWriteHook(std::function<void(int64_t deviceId)> hook) { beforeWrite_ = std::move(hook); }
  int64_t DeviceOfCp(int64_t cpId);
  // The device's name ("" when the row is gone), for messages.
  std::string DeviceName(int64_t deviceId);
  int64_t DeviceOfNv(int64_t nvId);

  // NV update log: the newest sequence number, and the NVs changed after `seq`, each with the
  // value it was changed to (nothing for an entry logged before the log kept values).
  struct NvUpdate {
    int64_t seq = 0;
    int64_t nvId = 0;
    std::optional<std::vector<uint8_t>> value;
  };
  int64_t LastUpdate();
  std::vector<NvUpdate> UpdatesSince(int64_t seq);

  // The value of "SELECT <column> FROM <table> WHERE id = ?1" for row `id`, as text, from the
  // rows read ahead while a read snapshot is open on a server (each query is a round trip
  // there, and a walk reads each property of each row); nothing when no snapshot is open, an
  // LNS transaction is, the statement is of another form or the row does not exist.
  std::optional<std::string> SnapshotColumn(const std::string& sql, int64_t id);
  // The same for `column` of `table` (bytes as they are), for reads not of that form.
  std::optional<std::string> SnapshotValue(std::string_view table, std::string_view column, int64_t id);
  // The member ids of `owner` while a read snapshot is open on a server (SnapshotRows::Members);
  // nothing otherwise.
  std::optional<std::vector<int64_t>> SnapshotMembers(const std::string& windowSql, int64_t kind, int64_t owner);

  // An NV's monitoring settings. They belong to the client session (this object), as an LNS
  // client's own NV objects do: the shared row holds what every session starts from, and a
  // session's changes stay its own, so that two clients monitoring one NV never change each
  // other's tags, and a client that ends leaves nothing behind.
  struct NvMonitoring {
    int32_t tag = 0;
    int32_t pollInterval = 0;
    std::string format;
    bool reportByException = false;
    bool monitoringOption = false;
  };
  // The session's settings of NV row `nvId`: its own, else the shared row's (kNotFound when
  // the NV is gone).
  NvMonitoring Monitoring(int64_t nvId);
  // Makes the session's settings of the NV `settings`, from then on its own.
  void SetMonitoring(int64_t nvId, const NvMonitoring& settings);
  // The NVs this session monitors (a tag other than 0), by row id.
  std::map<int64_t, NvMonitoring> MonitoredNvs();

  // The object of a row: the one already handed out while it is alive, else a new one.
  template <typename T>
  std::shared_ptr<T> Intern(RowKind kind, int64_t id, const std::function<std::shared_ptr<T>()>& make) {
    // Entries of objects let go are dropped whenever the map has doubled since the last
    // sweep, so a walk over a large network keeps only the objects still held.
    if (objects_.size() >= sweepAt_) {
      std::erase_if(objects_, [](const auto& entry) { return entry.second.expired(); });
      sweepAt_ = std::max<size_t>(kFirstSweep, 2 * objects_.size());
    }
    auto& slot = objects_[{static_cast<int>(kind), id}];
    if (auto existing = slot.lock()) return std::static_pointer_cast<T>(existing);
    auto created = make();
    slot = created;
    return created;
  }

 private:
  void RollBackQuietly();
  // Takes an answer of the background reads: stores a changed value, keeps how the device did.
  void TakeAnswer(DeviceAnswer answer);
  // Stores what the device said of an NV when it differs, unless a transaction is open or
  // another program holds the database (the next read brings it again). Never raises.
  // `seen`: the row's value when the device was asked; a row another program changed since
  // keeps that program's value.
  void KeepDeviceValue(int64_t nvId, const std::vector<uint8_t>& seen, const std::vector<uint8_t>& value);
  std::vector<uint8_t> NvValueOrSilent(int64_t nvId);
  void Await(const std::function<void()>& request);
  void WriteHeld(int64_t deviceId, const std::function<void()>& write);
  // Where an NV lives (its device, its index there, "NV "name"" for messages) and its stored
  // value, read in one query that is let go at once: the caller may write or ask the device
  // next. Raises kNotFound when the NV is gone.
  struct NvRow {
    int64_t device = 0;
    int32_t index = 0;
    std::string what;
    std::vector<uint8_t> value;
  };
  NvRow ReadNv(int64_t nvId);
  void UpdateDevice(int64_t deviceId, int32_t nvIndex, const std::vector<uint8_t>& bytes, const std::string& what);

  // A configuration NV (or the CP it holds) written in the open transaction: it goes to the
  // device at the commit.
  // A CP in a value file (cpId not 0) likewise.
  struct DeviceWrite {
    int64_t deviceId = 0;
    int32_t nvIndex = 0;
    std::string what;             // CP "name" or NV "name", for errors
    std::vector<uint8_t> before;  // what the device held, put back when the transaction fails
    int64_t cpId = 0;             // a CP in a value file, at `spot`
    FileSpot spot;
    bool changes = false;         // the device held another value: it is written, and put back
  };
  std::vector<uint8_t> DatabaseBytes(const DeviceWrite& w);
  // The CPs the device holds, as writes that would put the database's values on it.
  std::vector<DeviceWrite> HeldCps(int64_t deviceId, std::vector<bool>* writable = nullptr);
  // Writes a CP of a value file now, or (atCommit) notes it for the commit.
  void ToDeviceFile(int64_t deviceId, int64_t cpId, const FileSpot& spot, const std::vector<uint8_t>& bytes,
                    const std::string& what, bool atCommit);
  // Refuses a write the device's CP does not take (constant, the maker's, in the read-only file).
  void CheckWritable(const FileSpot& spot, const std::string& what, int64_t deviceId);
  // The device's bytes of a pending write, and that write made.
  std::vector<uint8_t> DeviceBytes(const DeviceWrite& w, size_t size);
  void WriteDeviceBytes(const DeviceWrite& w, const std::vector<uint8_t>& bytes);
  bool HoldsCp(int64_t deviceId, int32_t nvIndex);
  // Writes the device's NV now, or (atCommit) notes it for the commit.
  void ToDevice(int64_t deviceId, int32_t nvIndex, const std::vector<uint8_t>& bytes, const std::string& what,
                bool atCommit);
  // Writes the CPs held on devices; on a failure puts back what it wrote and raises. Returns
  // the writes made, to be put back if the database's commit fails after them.
  std::vector<DeviceWrite> WriteToDevices();
  // The device's value of its NV `nvIndex`; kDeviceRefused when it is not `size` bytes long.
  std::vector<uint8_t> FetchFromDevice(int64_t deviceId, int32_t nvIndex, const std::string& what, size_t size);
  // Returns the writes that could not be put back.
  std::vector<std::string> PutBack(const std::vector<DeviceWrite>& written);
  static std::string CpsOfDevice(int n);
  static bool Writable(const FileSpot& spot);

  std::unique_ptr<SqlDb> db_;
  std::weak_ptr<lns::ObjectServer> server_;
  std::shared_ptr<DeviceLink> link_;
  std::vector<DeviceWrite> deviceWrites_;
  bool inTransaction_ = false;
  bool transactionFailed_ = false;
  std::string firstFailure_;  // " (number: message)" of the transaction's first failed write
  std::function<void(int64_t)> beforeWrite_;
  std::shared_ptr<DeviceWorker> worker_;
  std::unique_ptr<DeviceReader> reader_;
  std::function<void(const DeviceAnswer&)> answerHandler_;
  // A device's or an NV's last background answer that failed, and when it is asked again.
  struct LastFailure {
    int32_t error = 0;
    std::string failure;
    std::chrono::steady_clock::time_point askAgain;
  };
  std::map<int64_t, LastFailure> silentDevices_;  // by device id: did not answer
  std::map<int64_t, LastFailure> refusedNvs_;     // by NV id: refused, or another length
  std::map<int64_t, std::chrono::steady_clock::time_point> askAgain_;  // by NV id
  // Counts the requests to devices: the background reads when they start, the writes when they
  // end (by device and NV index), so that an answer read before a write is not stored over it.
  std::shared_ptr<std::atomic<int64_t>> requests_ = std::make_shared<std::atomic<int64_t>>(0);
  std::map<std::pair<int64_t, int32_t>, int64_t> lastWrite_;
  std::map<int64_t, std::vector<uint8_t>> seenAt_;  // by NV id: the row's value when it was asked for
  static constexpr size_t kFirstSweep = 4096;
  std::map<std::pair<int, int64_t>, std::weak_ptr<lns::Object>> objects_;
  size_t sweepAt_ = kFirstSweep;
  SnapshotRows snapshotRows_;  // rows read ahead while a read snapshot is open on a server
  struct OwnSettings {
    NvMonitoring settings;
    std::string identity;  // NvIdentity when they were set
  };
  std::map<int64_t, OwnSettings> ownMonitoring_;  // by NV id: the settings this session changed
  std::string NvIdentity(int64_t nvId);
  // The session's own settings of the NV, null when it has none or the NV is gone.
  const NvMonitoring* OwnMonitoring(int64_t nvId);
};

// Lets a network's devices be for a while: its objects then read and write the database only.
class LinkSetAside {
 public:
  explicit LinkSetAside(NetworkDb& db) : db_(db), link_(db.SharedLink()) { db_.SetDeviceLink(nullptr); }
  ~LinkSetAside() { db_.SetDeviceLink(link_); }
  LinkSetAside(const LinkSetAside&) = delete;
  LinkSetAside& operator=(const LinkSetAside&) = delete;
  // The link set aside (nullptr when there was none).
  const DeviceLink* Link() const { return link_.get(); }

 private:
  NetworkDb& db_;
  std::shared_ptr<DeviceLink> link_;
};

}  // namespace platform::lns_embedded
