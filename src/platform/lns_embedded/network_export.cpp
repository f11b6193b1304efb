// `export`: a network database written as its JSON description. The rows are read a table at a
// time (a handful of queries for the whole network, not a few for each device: on a server
// each query is a round trip), then the description is put together from them in memory.

#include <map>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/nv_types.h"
#include "platform/lns_embedded/template_store.h"

namespace platform::lns_embedded {
namespace {

using json = nlohmann::ordered_json;

json ByteList(const std::vector<uint8_t>& bytes) {
  json list = json::array();
  for (uint8_t b : bytes) list.push_back(b);
  return list;
}

// The rows of a network (or of one device), grouped by their owners in position order.
class ExportRows {
 public:
  // Every row of the network.
  explicit ExportRows(SqlDb& db) : db_(db) { Read(""); }
  // The rows of one device (its own row left to the caller).
  ExportRows(SqlDb& db, int64_t deviceId) : db_(db) { Read(std::to_string(deviceId)); }

  struct Device {
    int64_t id = 0;
    std::string name, templ, programId, neuronId, ip;
    bool reachable = false;
    int64_t subnet = 0, node = 0;
  };
  std::map<int64_t, std::vector<std::pair<int64_t, std::string>>> subsystemsOf;  // by parent
  std::map<int64_t, std::vector<Device>> devicesOf;                              // by subsystem

  json DeviceJson(const Device& d) const {
    json device{{"name", d.name}, {"template", d.templ}, {"programId", d.programId}, {"reachable", d.reachable}};
    if (!d.neuronId.empty()) {
      device["neuronId"] = d.neuronId;
      device["subnet"] = d.subnet;
      device["node"] = d.node;
      if (!d.ip.empty()) device["ip"] = d.ip;
    }
    device["cps"] = Cps(RowKind::Device, d.id);
    json nvs = json::array();
    for (const Nv& nv : Listed(nvsOf_, d.id)) {
      json entry = nv.entry;
      entry["cps"] = Cps(RowKind::Nv, nv.id);
      nvs.push_back(std::move(entry));
    }
    device["nvs"] = std::move(nvs);
    json objects = json::array();
    for (const auto& [objectId, object] : Listed(objectsOf_, d.id)) {
      json entry = object;
      entry["cps"] = Cps(RowKind::LonMarkObject, objectId);
      json members = json::array();
      for (const std::string& name : Listed(membersOf_, objectId)) members.push_back(name);
      entry["nvs"] = std::move(members);
      objects.push_back(std::move(entry));
    }
    device["lonMarkObjects"] = std::move(objects);
    return device;
  }

 private:
  struct Nv {
    int64_t id;
    json entry;
  };
  struct Cp {
    std::string name;
    int64_t elementSize, dimension;
    std::vector<uint8_t> value;
    int64_t deviceNv;  // -1: none
    int64_t file, offset, flags;
  };

  template <typename T>
  static const std::vector<T>& Listed(const std::map<int64_t, std::vector<T>>& lists, int64_t owner) {
    static const std::vector<T> kNone;
    const auto found = lists.find(owner);
    return found != lists.end() ? found->second : kNone;
  }

  // A query's rows, of the device `device` when it is not empty ("?1" in `oneDevice`).
  Statement Rows(const std::string& all, const std::string& oneDevice, const std::string& order, const std::string& device) {
    if (device.empty()) return db_.Prepare(all + " " + order);
    return db_.Prepare(all + " WHERE " + oneDevice + " " + order).Bind(1, std::stoll(device));
  }

  void Read(const std::string& device) {
    if (device.empty()) ReadSubsystemsAndDevices();
    ReadNvs(device);
    ReadObjects(device);
    ReadCps(device);
  }

  void ReadSubsystemsAndDevices() {
    auto subsystems = db_.Prepare("SELECT id, parent_id, name FROM subsystem ORDER BY parent_id, position");
    while (subsystems.Step()) subsystemsOf[subsystems.Int(1)].emplace_back(subsystems.Int(0), subsystems.Text(2));
    subsystems.Reset();
    auto devices = db_.Prepare(
        "SELECT id, subsystem_id, name, template_name, program_id, reachable, neuron_id, subnet, node, ip FROM device "
        "ORDER BY subsystem_id, position");
    while (devices.Step()) {
      devicesOf[devices.Int(1)].push_back({devices.Int(0), devices.Text(2), devices.Text(3), devices.Text(4), devices.Text(6),
                                           devices.Text(9), devices.Int(5) != 0, devices.Int(7), devices.Int(8)});
    }
  }

  void ReadNvs(const std::string& device) {
    auto rows = Rows("SELECT id, device_id, position, name, type_index, changeable, value FROM nv", "device_id = ?1",
                     "ORDER BY device_id, position", device);
    while (rows.Step()) {
      const int64_t id = rows.Int(0), deviceId = rows.Int(1);
      json nv{{"name", rows.Text(3)}};
      const auto value = rows.Blob(6);
      if (const NvType* type = FindNvType(static_cast<int16_t>(rows.Int(4)))) {
        nv["type"] = std::string(type->name);
      } else {
        nv["typeIndex"] = rows.Int(4);
        nv["size"] = value.size();
      }
      nv["changeable"] = rows.Int(5) != 0;
      nv["value"] = ByteList(value);
      nvsOf_[deviceId].push_back({id, std::move(nv)});
      nvDevice_[id] = deviceId;
      nvName_[{deviceId, rows.Int(2)}] = rows.Text(3);
    }
  }

  void ReadObjects(const std::string& device) {
    auto rows = Rows("SELECT id, device_id, name, profile_type FROM lonmark_object", "device_id = ?1",
                     "ORDER BY device_id, position", device);
    while (rows.Step()) {
      objectsOf_[rows.Int(1)].emplace_back(rows.Int(0), json{{"name", rows.Text(2)}, {"profile", rows.Int(3)}});
      objectDevice_[rows.Int(0)] = rows.Int(1);
    }
    rows.Reset();
    auto members = Rows("SELECT m.lonmark_object_id, nv.name FROM lonmark_member m JOIN nv ON nv.id = m.nv_id",
                        "m.lonmark_object_id IN (SELECT id FROM lonmark_object WHERE device_id = ?1)",
                        "ORDER BY m.lonmark_object_id, m.position", device);
    while (members.Step()) membersOf_[members.Int(0)].push_back(members.Text(1));
  }

  void ReadCps(const std::string& device) {
    auto rows = Rows(
        "SELECT owner_kind, owner_id, name, element_size, dimension, value, device_nv, device_file, device_offset, "
        "device_flags FROM cp",
        "(owner_kind = 7 AND owner_id = ?1) OR (owner_kind = 28 AND owner_id IN (SELECT id FROM lonmark_object WHERE "
        "device_id = ?1)) OR (owner_kind = 22 AND owner_id IN (SELECT id FROM nv WHERE device_id = ?1))",
        "ORDER BY owner_kind, owner_id, position", device);
    while (rows.Step()) {
      Cp cp{rows.Text(2), rows.Int(3), rows.Int(4), rows.Blob(5), rows.IsNull(6) ? -1 : rows.Int(6),
            rows.Int(7), rows.Int(8), rows.Int(9)};
      CheckCpValueSize(db_.Name(), cp.name, cp.elementSize, cp.dimension, cp.value.size());
      cpsOf_[{rows.Int(0), rows.Int(1)}].push_back(std::move(cp));
    }
  }

  // The device a CP's owner belongs to (0 when the owner is gone).
  int64_t DeviceOfOwner(RowKind kind, int64_t owner) const {
    if (kind == RowKind::Device) return owner;
    const auto& devices = kind == RowKind::LonMarkObject ? objectDevice_ : nvDevice_;
    const auto found = devices.find(owner);
    return found != devices.end() ? found->second : 0;
  }

  json Cps(RowKind kind, int64_t owner) const {
    json list = json::array();
    const auto found = cpsOf_.find({static_cast<int64_t>(kind), owner});
    if (found == cpsOf_.end()) return list;
    const int64_t device = DeviceOfOwner(kind, owner);
    for (const Cp& cp : found->second) {
      json entry{{"name", cp.name}, {"elementSize", cp.elementSize}, {"dimension", cp.dimension}, {"value", ByteList(cp.value)}};
      // The configuration NV that holds it: the device's NV at that index.
      const auto nv = cp.deviceNv >= 0 ? nvName_.find({device, cp.deviceNv + 1}) : nvName_.end();
      if (nv != nvName_.end()) entry["deviceNv"] = nv->second;
      if (cp.file != 0) {
        entry["deviceFile"] = cp.file == kWritableFile ? "writable" : "readOnly";
        entry["deviceOffset"] = cp.offset;
      }
      if (cp.flags != 0) entry["deviceFlags"] = cp.flags;
      list.push_back(std::move(entry));
    }
    return list;
  }

  SqlDb& db_;
  std::map<int64_t, std::vector<Nv>> nvsOf_;                              // by device
  std::map<int64_t, std::vector<std::pair<int64_t, json>>> objectsOf_;   // by device
  std::map<int64_t, std::vector<std::string>> membersOf_;                 // NV names by object
  std::map<std::pair<int64_t, int64_t>, std::vector<Cp>> cpsOf_;          // by owner kind and id
  std::map<int64_t, int64_t> nvDevice_, objectDevice_;
  std::map<std::pair<int64_t, int64_t>, std::string> nvName_;             // by device and position
};

json ExportSubsystems(const ExportRows& rows, int64_t parentId, DeviceCounter& counter) {
  json list = json::array();
  const auto subsystems = rows.subsystemsOf.find(parentId);
  if (subsystems == rows.subsystemsOf.end()) return list;
  for (const auto& [id, name] : subsystems->second) {
    json sub{{"name", name}};
    sub["subsystems"] = ExportSubsystems(rows, id, counter);
    json deviceList = json::array();
    if (const auto devices = rows.devicesOf.find(id); devices != rows.devicesOf.end()) {
      for (const auto& device : devices->second) {
        deviceList.push_back(rows.DeviceJson(device));
        counter.Next();
      }
    }
    sub["devices"] = std::move(deviceList);
    list.push_back(std::move(sub));
  }
  return list;
}

}  // namespace

std::string ExportNetwork(const std::filesystem::path& databaseFile, const DeviceProgress& progress) {
  return ExportNetwork(*NetworkDb::Open(databaseFile, {}), progress);
}

std::string ExportNetwork(NetworkDb& network, const DeviceProgress& progress) {
  SqlDb& db = network.Db();
  const ReadTransaction snapshot(db);  // one consistent network, without a lock per query
  json doc{{"network", network.NetworkName()}, {"system", network.SystemName()}};
  const ExportRows rows(db);
  DeviceCounter counter{progress};
  for (const auto& [subsystem, devices] : rows.devicesOf) counter.total += static_cast<int64_t>(devices.size());
  if (auto templates = ExportTemplates(db); !templates.empty()) doc["templates"] = std::move(templates);
  doc["subsystems"] = ExportSubsystems(rows, 0, counter);
  return doc.dump(2) + "\n";
}

std::string ExportDeviceEntry(SqlDb& db, int64_t deviceId) {
  auto row = db.Prepare("SELECT name, template_name, program_id, reachable, neuron_id, subnet, node, ip FROM device WHERE id = ?1")
                 .Bind(1, deviceId);
  if (!row.Step()) throw base::Error(lns::err::kNotFound, "portab-lns", "There is no device of row " + std::to_string(deviceId));
  const ExportRows::Device device{deviceId,     row.Text(0),  row.Text(1),    row.Text(2), row.Text(4),
                                  row.Text(7),  row.Int(3) != 0, row.Int(5), row.Int(6)};
  row.Reset();
  return ExportRows(db, deviceId).DeviceJson(device).dump();
}

}  // namespace platform::lns_embedded
