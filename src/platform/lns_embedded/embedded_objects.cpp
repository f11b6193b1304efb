#include "platform/lns_embedded/embedded_objects.h"

#include <cstdlib>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/nv_types.h"

namespace platform::lns_embedded {
namespace {

using DbPtr = std::shared_ptr<NetworkDb>;

[[noreturn]] void Raise(int32_t number, const std::string& description) {
  throw base::Error(number, "LNS", description);
}

// Common state of the objects: the database and the row.
class Row {
 public:
  Row(DbPtr db, int64_t id) : db_(std::move(db)), id_(id) {}
  int64_t Id() const { return id_; }

 protected:
  // The first column of a one-row query about this row.
  std::string TextOf(const std::string& sql) const {
    if (auto kept = db_->SnapshotColumn(sql, id_)) return *kept;
    auto row = db_->Db().Prepare(sql).Bind(1, id_);
    if (!row.Step()) Raise(lns::err::kNotFound, "The object no longer exists");
    return row.Text(0);
  }
  int64_t IntOf(const std::string& sql) const {
    if (auto kept = db_->SnapshotColumn(sql, id_)) return std::strtoll(kept->c_str(), nullptr, 10);
    auto row = db_->Db().Prepare(sql).Bind(1, id_);
    if (!row.Step()) Raise(lns::err::kNotFound, "The object no longer exists");
    return row.Int(0);
  }

  DbPtr db_;
  int64_t id_;
};

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Printable ASCII only: text the server's collation and ASCII folding compare alike (the
// collation ignores control characters).
bool IsPrintableAscii(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// How a collection finds its members; ?1 and ?2 are bound to the owner values.
struct MemberQueries {
  std::string list;  // (id, name) of every member in position order
  std::string find;  // id of the first member whose name is ?3 (ignoring ASCII case)
  // (owner, id) of the members of the owners from ?1 to before ?2 in owner and position order,
  // ?3 the first owner value when the owner is the second: read ahead inside a read snapshot.
  std::string window = {};
  std::string table = {};  // the members' table (their names are its "name")
};

// A collection of rows. Its member ids are read in one query when first needed and kept
// while no other connection commits to the database, so that walking it by position costs
// one query for the whole walk rather than one growing query per item; a commit elsewhere
// (another program adding or deleting rows) makes the next call read them again. This
// server's own objects never add or remove members. A lookup by name is one index lookup.
template <typename T>
class DbCollection final : public lns::Collection<T> {
 public:
  using MakeItem = std::function<std::shared_ptr<T>(int64_t id)>;
  DbCollection(DbPtr db, std::string name, std::function<lns::ObjectPtr()> parent, MemberQueries queries,
               int64_t bind1, int64_t bind2, MakeItem make)
      : db_(std::move(db)),
        name_(std::move(name)),
        parent_(std::move(parent)),
        queries_(std::move(queries)),
        bind1_(bind1),
        bind2_(bind2),
        make_(std::move(make)) {}

  lns::ObjectPtr Parent() const override { return parent_(); }
  std::string Name() const override { return name_; }

  int32_t Count() const override { return static_cast<int32_t>(Members().size()); }

  std::shared_ptr<T> Item(int32_t position) const override {
    const std::vector<int64_t>& members = Members();
    if (position < 1 || static_cast<size_t>(position) > members.size()) {
      Raise(lns::err::kIndexOutOfRange,
            "Item " + std::to_string(position) + " is outside the collection " + name_ + " of " +
                std::to_string(members.size()));
    }
    return make_(members[static_cast<size_t>(position) - 1]);
  }

  std::shared_ptr<T> ItemByName(std::string_view name) const override {
    if (const auto kept = KeptMemberNamed(name)) {
      if (*kept == 0) Raise(lns::err::kNotFound, "\"" + std::string(name) + "\" is not in " + name_);
      return make_(*kept);
    }
    int64_t id = 0;
    {
      auto row = Bound(queries_.find);
      row.Bind(3, name);
      if (row.Step()) id = row.Int(0);
    }
    // The index folds ASCII letters only; a name with other letters may differ in their case.
    if (id == 0 && !IsAscii(name)) {
      auto rows = Bound(queries_.list);
      while (rows.Step()) {
        if (base::EqualsNoCase(rows.Text(1), name)) {
          id = rows.Int(0);
          break;
        }
      }
    }
    if (id == 0) Raise(lns::err::kNotFound, "\"" + std::string(name) + "\" is not in " + name_);
    return make_(id);
  }

 private:
  static constexpr size_t kKeptNameSearch = 256;
  // Inside a read snapshot on a server: the first member whose name is `name` ignoring ASCII
  // case, from the rows read ahead (0: none), without a query of its own or the server's
  // collation (whose first use costs a session milliseconds). Nothing outside a snapshot, or
  // where a name involved is not printable ASCII: there the collation decides.
  std::optional<int64_t> KeptMemberNamed(std::string_view name) const {
    if (queries_.table.empty() || !IsPrintableAscii(name) || db_->Db().Snapshot() == 0) return std::nullopt;
    const std::vector<int64_t>& members = Members();
    if (members.size() > kKeptNameSearch) return std::nullopt;  // one index lookup costs less
    for (const int64_t id : members) {
      const auto memberName = db_->SnapshotValue(queries_.table, "name", id);
      // Where other letters take part, the server's collation decides (it may equal letters
      // that ASCII folding keeps apart).
      if (!memberName || !IsPrintableAscii(*memberName)) return std::nullopt;
      if (base::EqualsNoCase(*memberName, name)) return id;
    }
    return 0;
  }

  Statement Bound(const std::string& sql) const {
    auto statement = db_->Db().Prepare(sql);
    if (sql.find("?1") != std::string::npos) statement.Bind(1, bind1_);
    if (sql.find("?2") != std::string::npos) statement.Bind(2, bind2_);
    return statement;
  }

  const std::vector<int64_t>& Members() const {
    const int64_t version = db_->DataVersion();
    if (!membersRead_ || version != membersVersion_) {
      members_.clear();
      const bool ownerSecond = queries_.window.find("?3") != std::string::npos;
      if (auto kept = queries_.window.empty() ? std::nullopt
                                              : db_->SnapshotMembers(queries_.window, ownerSecond ? bind1_ : 0,
                                                                     ownerSecond ? bind2_ : bind1_)) {
        members_ = std::move(*kept);
      } else {
        auto rows = Bound(queries_.list);
        while (rows.Step()) members_.push_back(rows.Int(0));
      }
      membersRead_ = true;
      membersVersion_ = version;
    }
    return members_;
  }

  DbPtr db_;
  std::string name_;
  std::function<lns::ObjectPtr()> parent_;
  MemberQueries queries_;
  int64_t bind1_, bind2_;
  MakeItem make_;
  mutable std::vector<int64_t> members_;
  mutable bool membersRead_ = false;
  mutable int64_t membersVersion_ = 0;
};

std::shared_ptr<lns::CpCollection> CpCollectionOf(const DbPtr& db, RowKind ownerKind, int64_t ownerId,
                                                  std::function<lns::ObjectPtr()> owner);
std::shared_ptr<lns::NvCollection> DeviceNvs(const DbPtr& db, int64_t deviceId);
std::shared_ptr<lns::DeviceInterface> InterfaceObject(const DbPtr& db, int64_t deviceId);
std::shared_ptr<lns::Subsystem> SubsystemObject(const DbPtr& db, int64_t subsystemId);
std::shared_ptr<lns::LonMarkObject> LonMarkObjectOf(const DbPtr& db, int64_t id);
std::shared_ptr<lns::SubsystemCollection> SubsystemsUnder(const DbPtr& db, int64_t parentId);

// ---- CP ---------------------------------------------------------------------------------

class DbCp final : public lns::ConfigProperty, public Row {
 public:
  using Row::Row;
  lns::ObjectPtr Parent() const override {
    auto row = db_->Db().Prepare("SELECT owner_kind, owner_id FROM cp WHERE id = ?1").Bind(1, id_);
    if (!row.Step()) Raise(lns::err::kNotFound, "The CP no longer exists");
    const auto kind = static_cast<RowKind>(row.Int(0));
    const int64_t owner = row.Int(1);
    const DbPtr db = db_;
    std::function<lns::ObjectPtr()> ownerObject;
    if (kind == RowKind::Device) {
      ownerObject = [db, owner] { return InterfaceObject(db, owner); };
    } else if (kind == RowKind::LonMarkObject) {
      ownerObject = [db, owner] { return LonMarkObjectOf(db, owner); };
    } else {
      ownerObject = [db, owner] { return NvObject(db, owner); };
    }
    return CpCollectionOf(db_, kind, owner, ownerObject);
  }
  std::string Name() const override { return TextOf("SELECT name FROM cp WHERE id = ?1"); }
  int16_t ElementSize() const override {
    return static_cast<int16_t>(IntOf("SELECT element_size FROM cp WHERE id = ?1"));
  }
  int16_t Dimension() const override { return static_cast<int16_t>(IntOf("SELECT dimension FROM cp WHERE id = ?1")); }
  std::string ValueFormat() const override { return format_; }
  void SetValueFormat(std::string_view format) override {
    const std::string upper = base::ToUpperAscii(format);
    if (upper != "RAW" && upper != "HEX") Raise(lns::err::kUnknownFormat, "Unknown value format \"" + std::string(format) + "\"");
    format_ = upper;
  }
  std::string Value() const override {
    const auto bytes = Bytes();
    return format_ == "RAW" ? FormatRaw(bytes) : FormatHex(bytes);
  }
  void SetValue(std::string_view text) override {
    const size_t size = Bytes().size();
    Store(format_ == "RAW" ? ParseRaw(text, size) : ParseHex(text, size));
  }
  std::vector<uint8_t> RawRead(int32_t element, int32_t count, int32_t) const override {
    const Stored stored = Load();
    const auto [from, length] = Span(stored, element, count);
    return std::vector<uint8_t>(stored.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                stored.bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
  }
  void RawWrite(int32_t element, int32_t count, const std::vector<uint8_t>& bytes, int32_t) override {
    Stored stored = Load();
    const auto [from, length] = Span(stored, element, count);
    if (bytes.size() != length) {
      Raise(lns::err::kBadValue, std::to_string(bytes.size()) + " bytes given, " + std::to_string(length) + " expected");
    }
    std::copy(bytes.begin(), bytes.end(), stored.bytes.begin() + static_cast<std::ptrdiff_t>(from));
    Store(stored.bytes);
  }
  int64_t Identity() const override { return id_; }

 private:
  struct Stored {
    int64_t elementSize = 0;
    int64_t dimension = 0;
    std::vector<uint8_t> bytes;
  };
  // The CP's layout and bytes, read in one query; a value that does not fit the layout is a
  // damaged database, never handed on.
  Stored Load() const {
    if (auto kept = db_->SnapshotValue("cp", "value", id_)) {
      Stored stored{std::strtoll(db_->SnapshotValue("cp", "element_size", id_)->c_str(), nullptr, 10),
                    std::strtoll(db_->SnapshotValue("cp", "dimension", id_)->c_str(), nullptr, 10),
                    std::vector<uint8_t>(kept->begin(), kept->end())};
      CheckCpValueSize(db_->Db().Name(), *db_->SnapshotValue("cp", "name", id_), stored.elementSize, stored.dimension,
                       stored.bytes.size());
      return stored;
    }
    auto row = db_->Db().Prepare("SELECT element_size, dimension, value, name FROM cp WHERE id = ?1").Bind(1, id_);
    if (!row.Step()) Raise(lns::err::kNotFound, "The CP no longer exists");
    Stored stored{row.Int(0), row.Int(1), row.Blob(2)};
    CheckCpValueSize(db_->Db().Name(), row.Text(3), stored.elementSize, stored.dimension, stored.bytes.size());
    return stored;
  }
  std::vector<uint8_t> Bytes() const { return Load().bytes; }
  // Byte offset and length of `count` elements from `element`.
  static std::pair<size_t, size_t> Span(const Stored& stored, int32_t element, int32_t count) {
    if (element < 0 || count < 0 || element + count > stored.dimension) {
      Raise(lns::err::kIndexOutOfRange, "Elements " + std::to_string(element) + " to " +
                                             std::to_string(element + count - 1) + " are outside the CP");
    }
    const auto from = static_cast<size_t>(element * stored.elementSize);
    const auto length = static_cast<size_t>(count * stored.elementSize);
    return {from, length};
  }
  void Store(const std::vector<uint8_t>& bytes) { db_->StoreCp(id_, bytes); }

  std::string format_ = "HEX";
};

// ---- NV ---------------------------------------------------------------------------------

class DbNvElement final : public lns::NvElement {
 public:
  DbNvElement(std::shared_ptr<lns::NetworkVariable> nv, const NvElementType& type, DbPtr db, int64_t nvId)
      : nv_(std::move(nv)), type_(type), db_(std::move(db)), nvId_(nvId) {}
  lns::ObjectPtr Parent() const override { return nv_; }
  std::string Name() const override { return std::string(type_.name); }
  std::string Value() const override { return ElementText(type_, db_->NvValue(nvId_)); }
  void SetValue(std::string_view text) override {
    auto bytes = db_->NvValue(nvId_);
    SetElement(type_, text, bytes);
    db_->StoreNv(nvId_, bytes);
  }

 private:
  std::shared_ptr<lns::NetworkVariable> nv_;
  const NvElementType& type_;
  DbPtr db_;
  int64_t nvId_;
};

class DbNv final : public lns::NetworkVariable, public Row, public std::enable_shared_from_this<DbNv> {
 public:
  using Row::Row;
  lns::ObjectPtr Parent() const override { return DeviceNvs(db_, IntOf("SELECT device_id FROM nv WHERE id = ?1")); }
  std::string Name() const override { return TextOf("SELECT name FROM nv WHERE id = ?1"); }
  int32_t Index() const override { return static_cast<int32_t>(IntOf("SELECT position FROM nv WHERE id = ?1")) - 1; }
  int32_t LonMarkMemberIndex() const override {
    auto row = db_->Db().Prepare("SELECT MIN(position) FROM lonmark_member WHERE nv_id = ?1").Bind(1, id_);
    return row.Step() && !row.IsNull(0) ? static_cast<int32_t>(row.Int(0)) - 1 : -1;
  }
  int16_t NvType() const override { return static_cast<int16_t>(IntOf("SELECT type_index FROM nv WHERE id = ?1")); }
  std::string NvTypeName() const override {
    const ::platform::lns_embedded::NvType* type = FindNvType(NvType());
    return type != nullptr ? std::string(type->name) : "#" + std::to_string(NvType());
  }
  std::string Value() const override { return FormatNvValue(NvType(), db_->NvValue(id_), Format()); }
  std::string LastKnownValue() const override {
    return FormatNvValue(NvType(), db_->NvValueWithoutWaiting(id_), Format());
  }
  void SetValue(std::string_view text) override { db_->StoreNv(id_, ParseNvValue(NvType(), text, Format(), Bytes().size())); }
  std::shared_ptr<lns::NvElement> Element(std::string_view name) override {
    if (const ::platform::lns_embedded::NvType* type = FindNvType(NvType())) {
      for (const auto& element : type->elements) {
        if (base::EqualsNoCase(element.name, name)) {
          return std::make_shared<DbNvElement>(shared_from_this(), element, db_, id_);
        }
      }
    }
    Raise(lns::err::kNotFound, "The NV has no element \"" + std::string(name) + "\"");
  }
  std::shared_ptr<lns::CpCollection> ConfigProperties() override {
    auto self = shared_from_this();
    return CpCollectionOf(db_, RowKind::Nv, id_, [self] { return self; });
  }

  void ChangeType(int16_t typeId) {
    if (NvType() == typeId) Raise(lns::err::kNvTypeUnchanged, "The NV has that type already");
    if (IntOf("SELECT changeable FROM nv WHERE id = ?1") == 0) {
      Raise(lns::err::kNvTypeNotChangeable, "The type of \"" + Name() + "\" cannot be changed");
    }
    const ::platform::lns_embedded::NvType* type = FindNvType(typeId);
    if (type == nullptr) Raise(lns::err::kBadValue, "Unknown NV type " + std::to_string(typeId));
    db_->Write(db_->DeviceOfNv(id_), [&] {
      db_->Db()
          .Prepare("UPDATE nv SET type_index = ?1, value = ?2 WHERE id = ?3")
          .Bind(1, int64_t{typeId})
          .Bind(2, std::vector<uint8_t>(static_cast<size_t>(type->size), 0))
          .Bind(3, id_)
          .Run();
    });
  }

  bool EditingSettings() const override { return editing_; }
  void SetEditingSettings(bool editing) override { editing_ = editing; }
  // The monitoring settings are this client session's own (NetworkDb::NvMonitoring): setting
  // them writes nothing to the database, and no other client sees them.
  std::string Format() const override { return db_->Monitoring(id_).format; }
  void SetFormat(std::string_view format) override {
    RequireEditing();
    const std::string upper = base::ToUpperAscii(format);
    if (!upper.empty() && upper != "RAW") Raise(lns::err::kUnknownFormat, "Unknown NV format \"" + std::string(format) + "\"");
    Setting([&](NetworkDb::NvMonitoring& settings) { settings.format = upper; });
  }
  int32_t PollInterval() const override { return db_->Monitoring(id_).pollInterval; }
  void SetPollInterval(int32_t interval) override {
    Setting([&](NetworkDb::NvMonitoring& settings) { settings.pollInterval = interval; });
  }
  bool ReportByException() const override { return db_->Monitoring(id_).reportByException; }
  void SetReportByException(bool on) override {
    Setting([&](NetworkDb::NvMonitoring& settings) { settings.reportByException = on; });
  }
  int32_t MonitorTag() const override { return db_->Monitoring(id_).tag; }
  void SetMonitorTag(int32_t tag) override {
    Setting([&](NetworkDb::NvMonitoring& settings) { settings.tag = tag; });
  }
  bool MonitoringOption() const override { return db_->Monitoring(id_).monitoringOption; }
  void SetMonitoringOption(bool on) override {
    Setting([&](NetworkDb::NvMonitoring& settings) { settings.monitoringOption = on; });
  }

 private:
  void RequireEditing() const {
    if (!editing_) Raise(lns::err::kNotEditing, "NV settings change only inside the edit bracket");
  }
  void Setting(const std::function<void(NetworkDb::NvMonitoring&)>& change) {
    RequireEditing();
    NetworkDb::NvMonitoring settings = db_->Monitoring(id_);
    change(settings);
    db_->SetMonitoring(id_, settings);
  }
  std::vector<uint8_t> Bytes() const {
    if (auto kept = db_->SnapshotValue("nv", "value", id_)) return std::vector<uint8_t>(kept->begin(), kept->end());
    auto row = db_->Db().Prepare("SELECT value FROM nv WHERE id = ?1").Bind(1, id_);
    if (!row.Step()) Raise(lns::err::kNotFound, "The NV no longer exists");
    return row.Blob(0);
  }
  bool editing_ = false;
};

// ---- LonMark object, interface, template, device ----------------------------------------------

class DbLonMarkObject final : public lns::LonMarkObject, public Row, public std::enable_shared_from_this<DbLonMarkObject> {
 public:
  using Row::Row;
  lns::ObjectPtr Parent() const override {
    return InterfaceObject(db_, IntOf("SELECT device_id FROM lonmark_object WHERE id = ?1"))->LonMarkObjects();
  }
  std::string Name() const override { return TextOf("SELECT name FROM lonmark_object WHERE id = ?1"); }
  int32_t Index() const override {
    return static_cast<int32_t>(IntOf("SELECT position FROM lonmark_object WHERE id = ?1")) - 1;
  }
  int32_t ProfileType() const override {
    return static_cast<int32_t>(IntOf("SELECT profile_type FROM lonmark_object WHERE id = ?1"));
  }
  std::shared_ptr<lns::CpCollection> ConfigProperties() override {
    auto self = shared_from_this();
    return CpCollectionOf(db_, RowKind::LonMarkObject, id_, [self] { return self; });
  }
  std::shared_ptr<lns::NvCollection> NetworkVariables() override {
    auto self = shared_from_this();
    const DbPtr db = db_;
    return std::make_shared<DbCollection<lns::NetworkVariable>>(
        db_, "NetworkVariables", [self] { return self; },
        MemberQueries{"SELECT nv.id, nv.name FROM lonmark_member m JOIN nv ON nv.id = m.nv_id "
                      "WHERE m.lonmark_object_id = ?1 ORDER BY m.position",
                      "SELECT nv.id FROM lonmark_member m JOIN nv ON nv.id = m.nv_id "
                      "WHERE m.lonmark_object_id = ?1 AND nv.name = ?3 COLLATE NOCASE ORDER BY m.position LIMIT 1",
                      "SELECT m.lonmark_object_id, nv.id FROM lonmark_member m JOIN nv ON nv.id = m.nv_id "
                      "WHERE m.lonmark_object_id >= ?1 AND m.lonmark_object_id < ?2 ORDER BY m.lonmark_object_id, m.position",
                      "nv"},
        id_, 0, [db](int64_t id) { return NvObject(db, id); });
  }
};

class DbInterface final : public lns::DeviceInterface, public Row {
 public:
  using Row::Row;  // the row is the device's
  lns::ObjectPtr Parent() const override { return DeviceObject(db_, id_); }
  std::string Name() const override { return "Interface"; }
  std::shared_ptr<lns::CpCollection> ConfigProperties() override {
    const DbPtr db = db_;
    const int64_t device = id_;
    return CpCollectionOf(db_, RowKind::Device, id_, [db, device] { return InterfaceObject(db, device); });
  }
  std::shared_ptr<lns::NvCollection> NetworkVariables() override { return DeviceNvs(db_, id_); }
  std::shared_ptr<lns::LonMarkObjectCollection> LonMarkObjects() override {
    const DbPtr db = db_;
    const int64_t device = id_;
    return std::make_shared<DbCollection<lns::LonMarkObject>>(
        db_, "LonMarkObjects", [db, device] { return InterfaceObject(db, device); },
        MemberQueries{"SELECT id, name FROM lonmark_object WHERE device_id = ?1 ORDER BY position",
                      "SELECT id FROM lonmark_object WHERE device_id = ?1 AND name = ?3 COLLATE NOCASE ORDER BY position LIMIT 1",
                      "SELECT device_id, id FROM lonmark_object WHERE device_id >= ?1 AND device_id < ?2 "
                      "ORDER BY device_id, position", "lonmark_object"},
        id_, 0, [db](int64_t id) { return LonMarkObjectOf(db, id); });
  }
};

class DbTemplate final : public lns::DeviceTemplate, public Row {
 public:
  using Row::Row;  // the row is the device's
  lns::ObjectPtr Parent() const override { return DeviceObject(db_, id_); }
  std::string Name() const override { return TextOf("SELECT template_name FROM device WHERE id = ?1"); }
  std::string ProgramId() const override { return TextOf("SELECT program_id FROM device WHERE id = ?1"); }
};

class DbDevice final : public lns::AppDevice, public Row {
 public:
  using Row::Row;
  lns::ObjectPtr Parent() const override {
    return SubsystemObject(db_, IntOf("SELECT subsystem_id FROM device WHERE id = ?1"))->AppDevices();
  }
  std::string Name() const override { return TextOf("SELECT name FROM device WHERE id = ?1"); }
  int32_t Index() const override { return static_cast<int32_t>(IntOf("SELECT position FROM device WHERE id = ?1")) - 1; }
  std::shared_ptr<lns::DeviceInterface> Interface() override { return InterfaceObject(db_, id_); }
  std::shared_ptr<lns::DeviceTemplate> Template() override {
    const DbPtr db = db_;
    const int64_t id = id_;
    return db_->Intern<lns::DeviceTemplate>(RowKind::Template, id_, [db, id] { return std::make_shared<DbTemplate>(db, id); });
  }
  int32_t Status() const override {
    db_->RequireReachable(id_);
    return 0;
  }
};

// ---- subsystem, system, network ----------------------------------------------------------

class DbSubsystem final : public lns::Subsystem, public Row {
 public:
  using Row::Row;
  lns::ObjectPtr Parent() const override {
    const int64_t parent = IntOf("SELECT parent_id FROM subsystem WHERE id = ?1");
    return SubsystemsUnder(db_, parent);
  }
  std::string Name() const override { return TextOf("SELECT name FROM subsystem WHERE id = ?1"); }
  std::shared_ptr<lns::AppDeviceCollection> AppDevices() override {
    const DbPtr db = db_;
    const int64_t id = id_;
    return std::make_shared<DbCollection<lns::AppDevice>>(
        db_, "AppDevices", [db, id] { return SubsystemObject(db, id); },
        MemberQueries{"SELECT id, name FROM device WHERE subsystem_id = ?1 ORDER BY position",
                      "SELECT id FROM device WHERE subsystem_id = ?1 AND name = ?3 COLLATE NOCASE ORDER BY position LIMIT 1",
                      "SELECT subsystem_id, id FROM device WHERE subsystem_id >= ?1 AND subsystem_id < ?2 "
                      "ORDER BY subsystem_id, position", "device"},
        id_, 0,
        [db](int64_t deviceId) { return DeviceObject(db, deviceId); });
  }
  std::shared_ptr<lns::SubsystemCollection> Subsystems() override { return SubsystemsUnder(db_, id_); }
};

class DbSystem final : public lns::System {
 public:
  explicit DbSystem(DbPtr db) : db_(std::move(db)) {}
  lns::ObjectPtr Parent() const override { return NetworkObject(db_)->Systems(); }
  std::string Name() const override { return db_->SystemName(); }
  std::shared_ptr<lns::SubsystemCollection> Subsystems() override { return SubsystemsUnder(db_, 0); }
  void StartTransaction() override { db_->StartTransaction(); }
  void CommitTransaction() override { db_->CommitTransaction(); }
  void CancelTransaction() override { db_->CancelTransaction(); }
  bool InTransaction() const override { return db_->InTransaction(); }
  void BeginBatch(int32_t) override {}
  void EndBatch() override {}
  void PrepareMonitoring(int32_t) override {}

 private:
  DbPtr db_;
};

class DbNetwork final : public lns::Network {
 public:
  explicit DbNetwork(DbPtr db) : db_(std::move(db)) {}
  lns::ObjectPtr Parent() const override {
    auto server = db_->Server();
    return server ? std::static_pointer_cast<lns::Object>(server->Networks()) : nullptr;
  }
  std::string Name() const override { return db_->NetworkName(); }
  std::shared_ptr<lns::SystemCollection> Systems() override {
    const DbPtr db = db_;
    return std::make_shared<DbCollection<lns::System>>(
        db_, "Systems", [db] { return NetworkObject(db); },
        MemberQueries{"SELECT 1, system_name FROM network", "SELECT 1 FROM network WHERE system_name = ?3 COLLATE NOCASE"}, 0, 0,
        [db](int64_t) { return SystemObject(db); });
  }
  void RegisterPlugIn(const lns::PlugInRegistration& r) override {
    db_->Db()
        .Prepare(
            "INSERT INTO plugin_registration(program_id, command_id, device_template, class_id, "
            "registration_value, name, description, version, manufacturer_id, device_program_id, file_name, scope) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12) "
            "ON CONFLICT (program_id, command_id, device_template) DO UPDATE SET class_id = excluded.class_id, "
            "registration_value = excluded.registration_value, name = excluded.name, "
            "description = excluded.description, version = excluded.version, "
            "manufacturer_id = excluded.manufacturer_id, device_program_id = excluded.device_program_id, "
            "file_name = excluded.file_name, scope = excluded.scope")
        .Bind(1, r.programId)
        .Bind(2, int64_t{r.commandId})
        .Bind(3, r.deviceTemplate)
        .Bind(4, int64_t{r.classId})
        .Bind(5, int64_t{r.registrationValue})
        .Bind(6, r.name)
        .Bind(7, r.description)
        .Bind(8, r.version)
        .Bind(9, r.manufacturerId)
        .Bind(10, r.deviceProgramId)
        .Bind(11, r.fileName)
        .Bind(12, int64_t{r.scope})
        .Run();
  }
  std::vector<lns::PlugInRegistration> PlugInRegistrations() override {
    std::vector<lns::PlugInRegistration> list;
    auto rows = db_->Db().Prepare(
        "SELECT program_id, command_id, device_template, class_id, registration_value, name, description, version, "
        "manufacturer_id, device_program_id, file_name, scope FROM plugin_registration "
        "ORDER BY program_id, command_id, device_template");
    while (rows.Step()) {
      lns::PlugInRegistration r;
      r.programId = rows.Text(0);
      r.commandId = static_cast<int32_t>(rows.Int(1));
      r.deviceTemplate = rows.Text(2);
      r.classId = static_cast<int16_t>(rows.Int(3));
      r.registrationValue = static_cast<int16_t>(rows.Int(4));
      r.name = rows.Text(5);
      r.description = rows.Text(6);
      r.version = rows.Text(7);
      r.manufacturerId = rows.Text(8);
      r.deviceProgramId = rows.Text(9);
      r.fileName = rows.Text(10);
      r.scope = static_cast<int32_t>(rows.Int(11));
      list.push_back(std::move(r));
    }
    return list;
  }

 private:
  DbPtr db_;
};

std::shared_ptr<lns::CpCollection> CpCollectionOf(const DbPtr& db, RowKind ownerKind, int64_t ownerId,
                                                  std::function<lns::ObjectPtr()> owner) {
  return std::make_shared<DbCollection<lns::ConfigProperty>>(
      db, "ConfigProperties", std::move(owner),
      MemberQueries{"SELECT id, name FROM cp WHERE owner_kind = ?1 AND owner_id = ?2 ORDER BY position",
                    "SELECT id FROM cp WHERE owner_kind = ?1 AND owner_id = ?2 AND name = ?3 COLLATE NOCASE ORDER BY position LIMIT 1",
                    "SELECT owner_id, id FROM cp WHERE owner_kind = ?3 AND owner_id >= ?1 AND owner_id < ?2 "
                    "ORDER BY owner_id, position", "cp"},
      static_cast<int>(ownerKind), ownerId, [db](int64_t id) { return CpObject(db, id); });
}

std::shared_ptr<lns::NvCollection> DeviceNvs(const DbPtr& db, int64_t deviceId) {
  return std::make_shared<DbCollection<lns::NetworkVariable>>(
      db, "NetworkVariables", [db, deviceId] { return InterfaceObject(db, deviceId); },
      MemberQueries{"SELECT id, name FROM nv WHERE device_id = ?1 ORDER BY position",
                    "SELECT id FROM nv WHERE device_id = ?1 AND name = ?3 COLLATE NOCASE ORDER BY position LIMIT 1",
                    "SELECT device_id, id FROM nv WHERE device_id >= ?1 AND device_id < ?2 ORDER BY device_id, position", "nv"},
      deviceId, 0,
      [db](int64_t id) { return NvObject(db, id); });
}

std::shared_ptr<lns::DeviceInterface> InterfaceObject(const DbPtr& db, int64_t deviceId) {
  return db->Intern<lns::DeviceInterface>(RowKind::Interface, deviceId,
                                          [db, deviceId] { return std::make_shared<DbInterface>(db, deviceId); });
}

std::shared_ptr<lns::Subsystem> SubsystemObject(const DbPtr& db, int64_t subsystemId) {
  return db->Intern<lns::Subsystem>(RowKind::Subsystem, subsystemId,
                                    [db, subsystemId] { return std::make_shared<DbSubsystem>(db, subsystemId); });
}

std::shared_ptr<lns::LonMarkObject> LonMarkObjectOf(const DbPtr& db, int64_t id) {
  return db->Intern<lns::LonMarkObject>(RowKind::LonMarkObject, id,
                                        [db, id] { return std::make_shared<DbLonMarkObject>(db, id); });
}

std::shared_ptr<lns::SubsystemCollection> SubsystemsUnder(const DbPtr& db, int64_t parentId) {
  std::function<lns::ObjectPtr()> parent;
  if (parentId == 0) {
    parent = [db] { return SystemObject(db); };
  } else {
    parent = [db, parentId] { return SubsystemObject(db, parentId); };
  }
  return std::make_shared<DbCollection<lns::Subsystem>>(
      db, "Subsystems", std::move(parent),
      MemberQueries{"SELECT id, name FROM subsystem WHERE parent_id = ?1 ORDER BY position",
                    "SELECT id FROM subsystem WHERE parent_id = ?1 AND name = ?3 COLLATE NOCASE ORDER BY position LIMIT 1",
                    "SELECT parent_id, id FROM subsystem WHERE parent_id >= ?1 AND parent_id < ?2 ORDER BY parent_id, position", "subsystem"},
      parentId, 0, [db](int64_t id) { return SubsystemObject(db, id); });
}

}  // namespace

std::shared_ptr<lns::Network> NetworkObject(const DbPtr& db) {
  return db->Intern<lns::Network>(RowKind::Network, 1, [db] { return std::make_shared<DbNetwork>(db); });
}

std::shared_ptr<lns::System> SystemObject(const DbPtr& db) {
  return db->Intern<lns::System>(RowKind::System, 1, [db] { return std::make_shared<DbSystem>(db); });
}

std::shared_ptr<lns::AppDevice> DeviceObject(const DbPtr& db, int64_t deviceId) {
  return db->Intern<lns::AppDevice>(RowKind::Device, deviceId,
                                    [db, deviceId] { return std::make_shared<DbDevice>(db, deviceId); });
}

std::shared_ptr<lns::NetworkVariable> NvObject(const DbPtr& db, int64_t nvId) {
  return db->Intern<lns::NetworkVariable>(RowKind::Nv, nvId, [db, nvId] { return std::make_shared<DbNv>(db, nvId); });
}

std::shared_ptr<lns::ConfigProperty> CpObject(const DbPtr& db, int64_t cpId) {
  return db->Intern<lns::ConfigProperty>(RowKind::Cp, cpId, [db, cpId] { return std::make_shared<DbCp>(db, cpId); });
}

void EmbeddedNvTypeChanger::ChangeType(std::shared_ptr<lns::NetworkVariable>& nv, int16_t typeId,
                                       std::string_view, uint8_t) {
  auto* own = dynamic_cast<DbNv*>(nv.get());
  if (own == nullptr) Raise(lns::err::kBadValue, "The NV does not belong to this server");
  own->ChangeType(typeId);
}

int64_t RowIdOf(const lns::Object& object) {
  if (const auto* row = dynamic_cast<const Row*>(&object)) return row->Id();
  return 0;
}

}  // namespace platform::lns_embedded
