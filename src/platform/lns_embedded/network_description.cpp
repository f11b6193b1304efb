#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/template_store.h"

#include <unistd.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "base/error.h"
#include "base/paths.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_copy.h"
#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/nv_types.h"
#include "platform/lonip/lon_address.h"
#include "platform/lns_embedded/sqlite_db.h"

namespace platform::lns_embedded {
namespace {

using json = nlohmann::ordered_json;

constexpr int kMaxNesting = 64;

[[noreturn]] void Bad(const std::string& path, const std::string& what) {
  throw base::Error(lns::err::kBadValue, "portab-lns", "Network description, " + path + ": " + what);
}

// A member of an object without copying it; null when missing.
const json& Member(const json& object, const char* key) {
  static const json kNothing;
  const auto it = object.find(key);
  return it == object.end() ? kNothing : *it;
}

// The devices a description holds, before it is checked: parts of the wrong kind count nothing.
int64_t CountDevices(const json& subsystems) {
  if (!subsystems.is_array()) return 0;
  int64_t count = 0;
  for (const json& sub : subsystems) {
    if (!sub.is_object()) continue;
    const json& devices = Member(sub, "devices");
    if (devices.is_array()) count += static_cast<int64_t>(devices.size());
    count += CountDevices(Member(sub, "subsystems"));
  }
  return count;
}

// Reads the JSON description into the database, checking every field on the way.
class Importer {
 public:
  Importer(SqlDb& db, DeviceCounter& counter) : db_(db), counter_(counter) {}

  void Subsystems(const json& list, const std::string& path, int64_t parentId) {
    if (list.is_null()) return;
    if (!list.is_array()) Bad(path, "must be a list");
    std::set<std::string> names;
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const json& sub = Object(list[i], at);
      const std::string name = Name(sub, at, names, true);
      db_.Prepare("INSERT INTO subsystem(parent_id, position, name) VALUES (?1, ?2, ?3)")
          .Bind(1, parentId)
          .Bind(2, static_cast<int64_t>(i + 1))
          .Bind(3, name)
          .Run();
      const int64_t id = db_.LastInsertId();
      Subsystems(Member(sub, "subsystems"), at + ".subsystems", id);
      Devices(Member(sub, "devices"), at + ".devices", id);
    }
  }

  // One device at `position` of its subsystem; `names` holds the names in use there.
  void Device(const json& description, const std::string& at, int64_t subsystemId, int64_t position,
              std::set<std::string>& names) {
    const json& device = Object(description, at);
    const std::string name = Name(device, at, names, false);
    bool reachable = true;
    if (device.contains("reachable")) {
      if (!device["reachable"].is_boolean()) Bad(at + ".reachable", "must be true or false");
      reachable = device["reachable"].get<bool>();
    }
    const std::string neuronId = Text(device, "neuronId", at, false);
    if (!neuronId.empty() && !lonip::ParseNeuronId(neuronId)) Bad(at + ".neuronId", "must be 12 hexadecimal digits");
    const std::string ip = Text(device, "ip", at, false);
    if (!ip.empty() && !lonip::Ipv4::Parse(ip)) Bad(at + ".ip", "must be an IPv4 address");
    db_.Prepare(
           "INSERT INTO device(subsystem_id, position, name, template_name, program_id, reachable, neuron_id, subnet, "
           "node, ip) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)")
        .Bind(1, subsystemId)
        .Bind(2, position)
        .Bind(3, name)
        .Bind(4, Text(device, "template", at, false))
        .Bind(5, Text(device, "programId", at, true))
        .Bind(6, reachable ? 1 : 0)
        .Bind(7, base::ToUpperAscii(neuronId))
        .Bind(8, Number(device, "subnet", at, 0, 255, 0))
        .Bind(9, Number(device, "node", at, 0, 127, 0))
        .Bind(10, ip)
        .Run();
    const int64_t id = db_.LastInsertId();
    heldOnDevice_.clear();
    nvValueGiven_.clear();
    Cps(Member(device, "cps"), at + ".cps", RowKind::Device, id);
    std::map<std::string, int64_t> nvs;
    Nvs(Member(device, "nvs"), at + ".nvs", id, nvs);
    LonMarkObjects(Member(device, "lonMarkObjects"), at + ".lonMarkObjects", id, nvs);
    PlaceCpsOnDevice(nvs);
    counter_.Next();
  }

 private:
  static const json& Object(const json& value, const std::string& path) {
    if (!value.is_object()) Bad(path, "must be an object");
    return value;
  }

  static std::string Text(const json& object, const std::string& key, const std::string& path, bool required) {
    if (!object.contains(key)) {
      if (required) Bad(path + "." + key, "is missing");
      return {};
    }
    if (!object[key].is_string()) Bad(path + "." + key, "must be a text");
    return object[key].get<std::string>();
  }

  static int64_t Number(const json& object, const std::string& key, const std::string& path, int64_t low,
                        int64_t high, int64_t fallback) {
    if (!object.contains(key)) return fallback;
    const json& value = object[key];
    if (!value.is_number_integer()) Bad(path + "." + key, "must be a whole number");
    const auto number = value.get<int64_t>();
    if (number < low || number > high) {
      Bad(path + "." + key, std::to_string(number) + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    }
    return number;
  }

  static std::string Name(const json& object, const std::string& path, std::set<std::string>& seen, bool noDots) {
    const std::string name = Text(object, "name", path, true);
    if (base::TrimBlanks(name).empty()) Bad(path + ".name", "must not be empty");
    if (name.find_first_of(noDots ? "/\\." : "/\\") != std::string::npos) {
      Bad(path + ".name", "\"" + name + (noDots ? "\" must not hold \"/\", \"\\\" or \".\"" : "\" must not hold \"/\" or \"\\\""));
    }
    if (!seen.insert(base::FoldCase(name)).second) Bad(path + ".name", "\"" + name + "\" is used twice");
    return name;
  }

  static std::vector<uint8_t> Bytes(const json& object, const std::string& path, size_t size) {
    if (!object.contains("value")) return std::vector<uint8_t>(size, 0);
    const json& value = object["value"];
    if (!value.is_array()) Bad(path + ".value", "must be a list of byte values");
    if (value.size() != size) {
      Bad(path + ".value", std::to_string(value.size()) + " bytes given, " + std::to_string(size) + " expected");
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < value.size(); ++i) {
      if (!value[i].is_number_integer() || value[i].get<int64_t>() < 0 || value[i].get<int64_t>() > 255) {
        Bad(path + ".value[" + std::to_string(i) + "]", "must be a byte value 0..255");
      }
      bytes.push_back(static_cast<uint8_t>(value[i].get<int64_t>()));
    }
    return bytes;
  }

  void Cps(const json& list, const std::string& path, RowKind ownerKind, int64_t ownerId) {
    if (list.is_null()) return;
    if (!list.is_array()) Bad(path, "must be a list");
    std::set<std::string> names;
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const json& cp = Object(list[i], at);
      const std::string name = Name(cp, at, names, false);
      // As large as a device's value files can hold (64 KB).
      const int64_t elementSize = Number(cp, "elementSize", at, 1, 65535, 1);
      const int64_t dimension = Number(cp, "dimension", at, 1, 65535, 1);
      if (elementSize * dimension > 65535) Bad(at + ".dimension", "elementSize x dimension is more than 65535 bytes");
      db_.Prepare(
             "INSERT INTO cp(owner_kind, owner_id, position, name, element_size, dimension, value) "
             "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
          .Bind(1, static_cast<int64_t>(ownerKind))
          .Bind(2, ownerId)
          .Bind(3, static_cast<int64_t>(i + 1))
          .Bind(4, name)
          .Bind(5, elementSize)
          .Bind(6, dimension)
          .Bind(7, Bytes(cp, at, static_cast<size_t>(elementSize * dimension)))
          .Run();
      PlaceInFile(cp, at, db_.LastInsertId());
      // A CP the device holds as one of its configuration NVs; placed once its NVs are known.
      const std::string deviceNv = Text(cp, "deviceNv", at, false);
      if (!deviceNv.empty()) {
        heldOnDevice_.push_back({db_.LastInsertId(), deviceNv, at, elementSize * dimension, cp.contains("value")});
      }
    }
  }

  // A CP the device keeps in one of its value files: "deviceFile" ("writable" or "readOnly"),
  // "deviceOffset", its first byte's place in that file, and "deviceFlags", the flags byte of its
  // template record when it has flags (constant, device offline while changed, ...).
  void PlaceInFile(const json& cp, const std::string& at, int64_t cpId) {
    const std::string file = Text(cp, "deviceFile", at, false);
    if (file.empty()) {
      if (cp.contains("deviceOffset")) Bad(at + ".deviceOffset", "is given without \"deviceFile\"");
      if (cp.contains("deviceFlags") && !cp.contains("deviceNv")) {
        Bad(at + ".deviceFlags", "is given without \"deviceFile\" or \"deviceNv\"");
      }
      db_.Prepare("UPDATE cp SET device_flags = ?1 WHERE id = ?2").Bind(1, Number(cp, "deviceFlags", at, 0, 255, 0)).Bind(2, cpId).Run();
      return;
    }
    if (file != "writable" && file != "readOnly") Bad(at + ".deviceFile", "must be \"writable\" or \"readOnly\"");
    if (cp.contains("deviceNv")) Bad(at + ".deviceFile", "a CP lives in a value file or in a configuration NV, not both");
    if (!cp.contains("deviceOffset")) Bad(at + ".deviceOffset", "is missing");
    const int64_t offset = Number(cp, "deviceOffset", at, 0, 65535, 0);
    db_.Prepare("UPDATE cp SET device_file = ?1, device_offset = ?2, device_flags = ?3 WHERE id = ?4")
        .Bind(1, int64_t{file == "writable" ? kWritableFile : kReadOnlyFile})
        .Bind(2, offset)
        .Bind(3, Number(cp, "deviceFlags", at, 0, 255, 0))
        .Bind(4, cpId)
        .Run();
  }

  // Points each CP held on the device at its NV, which must exist and be as large as the CP.
  // The two are one value: the one given is the value of both (none given: zeros); two that
  // differ are refused.
  void PlaceCpsOnDevice(const std::map<std::string, int64_t>& nvs) {
    std::map<int64_t, std::string> givenBy;
    for (const int64_t id : nvValueGiven_) givenBy.emplace(id, "the NV's own value");
    for (const auto& held : heldOnDevice_) {
      const auto nv = nvs.find(base::FoldCase(held.nvName));
      if (nv == nvs.end()) Bad(held.at + ".deviceNv", "\"" + held.nvName + "\" is not an NV of the device");
      int64_t position = 0;
      std::vector<uint8_t> nvValue;
      std::vector<uint8_t> cpValue;
      {
        auto row = db_.Prepare("SELECT position, value, (SELECT value FROM cp WHERE id = ?2) FROM nv WHERE id = ?1")
                       .Bind(1, nv->second)
                       .Bind(2, held.cpId);
        row.Step();
        position = row.Int(0);
        nvValue = row.Blob(1);
        cpValue = row.Blob(2);
      }
      if (static_cast<int64_t>(nvValue.size()) != held.size) {
        Bad(held.at + ".deviceNv", "the NV \"" + held.nvName + "\" holds " + std::to_string(nvValue.size()) +
                                       " bytes, the CP " + std::to_string(held.size));
      }
      // Who gave the NV's value so far: the NV itself, or a CP placed on it before.
      const auto given = givenBy.find(nv->second);
      if (held.valueGiven && given != givenBy.end() && cpValue != nvValue) {
        Bad(held.at + ".value", "differs from the value " + given->second + " gives the NV \"" + held.nvName +
                                    "\" that holds the CP; they are one value: give it once, or the same twice");
      }
      if (held.valueGiven) givenBy.emplace(nv->second, held.at + ".value");
      const std::vector<uint8_t>& value = held.valueGiven ? cpValue : nvValue;
      db_.Prepare("UPDATE cp SET device_nv = ?1, value = ?2 WHERE id = ?3")
          .Bind(1, position - 1)
          .Bind(2, value)
          .Bind(3, held.cpId)
          .Run();
      db_.Prepare("UPDATE nv SET value = ?1 WHERE id = ?2").Bind(1, value).Bind(2, nv->second).Run();
    }
    heldOnDevice_.clear();
  }

  void Nvs(const json& list, const std::string& path, int64_t deviceId, std::map<std::string, int64_t>& byName) {
    if (list.is_null()) return;
    if (!list.is_array()) Bad(path, "must be a list");
    std::set<std::string> names;
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const json& nv = Object(list[i], at);
      const std::string name = Name(nv, at, names, false);
      int64_t typeIndex = 0;
      int64_t size = 0;
      if (nv.contains("type")) {
        const NvType* type = FindNvTypeByName(Text(nv, "type", at, true));
        if (type == nullptr) Bad(at + ".type", "\"" + nv["type"].get<std::string>() + "\" is not a known NV type");
        typeIndex = type->index;
        size = type->size;
      } else {
        typeIndex = Number(nv, "typeIndex", at, 0, 32767, -1);
        if (typeIndex < 0) Bad(at + ".type", "is missing (or give typeIndex and size)");
        size = Number(nv, "size", at, 1, 31, NvTypeSize(static_cast<int16_t>(typeIndex), 0));
        if (size == 0) Bad(at + ".size", "is missing for a type that is not known");
      }
      bool changeable = true;
      if (nv.contains("changeable")) {
        if (!nv["changeable"].is_boolean()) Bad(at + ".changeable", "must be true or false");
        changeable = nv["changeable"].get<bool>();
      }
      db_.Prepare(
             "INSERT INTO nv(device_id, position, name, type_index, changeable, value) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
          .Bind(1, deviceId)
          .Bind(2, static_cast<int64_t>(i + 1))
          .Bind(3, name)
          .Bind(4, typeIndex)
          .Bind(5, changeable ? 1 : 0)
          .Bind(6, Bytes(nv, at, static_cast<size_t>(size)))
          .Run();
      const int64_t id = db_.LastInsertId();
      byName[base::FoldCase(name)] = id;
      if (nv.contains("value")) nvValueGiven_.insert(id);
      Cps(Member(nv, "cps"), at + ".cps", RowKind::Nv, id);
    }
  }

  void LonMarkObjects(const json& list, const std::string& path, int64_t deviceId,
                      const std::map<std::string, int64_t>& nvs) {
    if (list.is_null()) return;
    if (!list.is_array()) Bad(path, "must be a list");
    std::set<std::string> names;
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const json& object = Object(list[i], at);
      const std::string name = Name(object, at, names, false);
      db_.Prepare("INSERT INTO lonmark_object(device_id, position, name, profile_type) VALUES (?1, ?2, ?3, ?4)")
          .Bind(1, deviceId)
          .Bind(2, static_cast<int64_t>(i + 1))
          .Bind(3, name)
          .Bind(4, Number(object, "profile", at, 0, 65535, 0))
          .Run();
      const int64_t id = db_.LastInsertId();
      Cps(Member(object, "cps"), at + ".cps", RowKind::LonMarkObject, id);
      const json& members = object.value("nvs", json::array());
      if (!members.is_array()) Bad(at + ".nvs", "must be a list of NV names");
      for (size_t m = 0; m < members.size(); ++m) {
        const std::string mat = at + ".nvs[" + std::to_string(m) + "]";
        if (!members[m].is_string()) Bad(mat, "must be the name of an NV of the device");
        const auto nv = nvs.find(base::FoldCase(members[m].get<std::string>()));
        if (nv == nvs.end()) Bad(mat, "the device has no NV \"" + members[m].get<std::string>() + "\"");
        db_.Prepare("INSERT INTO lonmark_member(lonmark_object_id, position, nv_id) VALUES (?1, ?2, ?3)")
            .Bind(1, id)
            .Bind(2, static_cast<int64_t>(m + 1))
            .Bind(3, nv->second)
            .Run();
      }
    }
  }

  void Devices(const json& list, const std::string& path, int64_t subsystemId) {
    if (list.is_null()) return;
    if (!list.is_array()) Bad(path, "must be a list");
    std::set<std::string> names;
    for (size_t i = 0; i < list.size(); ++i) {
      Device(list[i], path + "[" + std::to_string(i) + "]", subsystemId, static_cast<int64_t>(i + 1), names);
    }
  }

  struct HeldOnDevice {
    int64_t cpId;
    std::string nvName;
    std::string at;
    int64_t size;
    bool valueGiven;
  };
  SqlDb& db_;
  DeviceCounter& counter_;
  std::vector<HeldOnDevice> heldOnDevice_;  // the CPs of the device being read that name a device NV
  std::set<int64_t> nvValueGiven_;          // the NVs whose description gives their value
};

constexpr size_t kMaxNetworkNameBytes = 200;

std::string TopName(const json& doc, const std::string& key) {
  if (!doc.contains(key) || !doc[key].is_string() || base::TrimBlanks(doc[key].get<std::string>()).empty()) {
    Bad(key, "must be a non-empty text");
  }
  const std::string name = doc[key].get<std::string>();
  if (name.find_first_of(key == "system" ? "/\\." : "/\\") != std::string::npos) Bad(key, "holds a separator");
  // The network's name is its database's file name, with room for ".db.new-<pid>".
  if (key == "network" && name.size() > kMaxNetworkNameBytes) {
    Bad(key, "is longer than " + std::to_string(kMaxNetworkNameBytes) + " bytes");
  }
  return name;
}

}  // namespace

// The description's JSON, refusing nesting deeper than any description needs (the import walks
// nested subsystems recursively); a bad number is named by the last member name before it.
json ParseDescription(const std::string& jsonText) {
  json doc;
  std::string lastKey = "(top)";
  const json::parser_callback_t watch = [&](int depth, json::parse_event_t event, json& parsed) {
    if (depth > kMaxNesting) Bad("(top)", "nested more than " + std::to_string(kMaxNesting) + " levels deep");
    if (event == json::parse_event_t::key && parsed.is_string()) lastKey = parsed.get<std::string>();
    return true;
  };
  try {
    doc = json::parse(jsonText, watch);
  } catch (const json::parse_error& e) {
    const std::string what = e.what();  // "[json.exception...] parse error at ...: <reason>"
    throw base::Error(lns::err::kBadValue, "portab-lns",
                      "Network description is not valid JSON (after \"" + lastKey + "\"): " +
                          what.substr(what.find("] ") == std::string::npos ? 0 : what.find("] ") + 2));
  } catch (const json::out_of_range&) {
    Bad(lastKey, "holds a number too large");
  }
  return doc;
}

namespace {

// Removes a database file's companions (and with "" the file), ignoring those that are not there.
void RemoveFiles(const std::filesystem::path& file, std::initializer_list<const char*> suffixes) {
  std::error_code ec;
  for (const char* suffix : suffixes) std::filesystem::remove(file.string() + suffix, ec);
}

// Puts the complete new database `temp` in the place of `target`. A file other programs may have
// open gets the new contents through SQLite, so that they go on with them; renaming a new file
// over it would leave their write-ahead log to damage it. Only a file SQLite cannot copy into
// (not a database, or damaged) is replaced by the rename.
void ReplaceNetworkFile(const std::filesystem::path& temp, const std::filesystem::path& target) {
  if (std::filesystem::exists(target)) {
    std::optional<SqliteDb> into;
    try {
      into.emplace(target, false);
    } catch (const base::Error&) {
      into.reset();  // not a database: replaced by the rename below
    }
    if (into) {
      // The NV update log numbers on where the old one ended: a program that has the network open
      // goes on taking the updates after the last one it saw.
      int64_t last = 0;
      try {
        auto row = into->Prepare("SELECT COALESCE(MAX(seq), 0) FROM nv_update");
        last = row.Step() ? row.Int(0) : 0;
      } catch (const base::Error&) {
        last = 0;  // no log in that file
      }
      {
        SqliteDb from(temp, false);
        from.Exec("DELETE FROM sqlite_sequence WHERE name = 'nv_update'");
        from.Prepare("INSERT INTO sqlite_sequence(name, seq) SELECT 'nv_update', MAX(?1, COALESCE(MAX(seq), 0)) FROM nv_update")
            .Bind(1, last)
            .Run();
      }
      if (into->ReplaceContentsWith(temp)) {
        RemoveFiles(temp, {"", "-wal", "-shm"});
        return;
      }
    }
  }
  // No database, or a damaged one: nobody can be using it.
  RemoveFiles(target, {"-wal", "-shm"});
  std::filesystem::rename(temp, target);
  RemoveFiles(temp, {"-wal", "-shm"});
}

}  // namespace

void NewNetworkFile(const std::filesystem::path& folder, const std::string& network, const std::string& system,
                    bool replace, const std::function<void(SqlDb&)>& fill) {
  const std::filesystem::path target = folder / (network + ".db");
  if (std::filesystem::exists(target) && !replace) {
    throw base::Error(lns::err::kDatabase, "portab-lns", "The network database " + target.string() + " exists already");
  }
  std::filesystem::create_directories(folder);
  base::RemoveStaleTemporaries(folder, ".db.new-");
  const std::filesystem::path temp = folder / (network + ".db.new-" + std::to_string(::getpid()));
  std::filesystem::remove(temp);
  try {
    {
      SqliteDb db(temp, true);
      db.Exec("BEGIN");
      NetworkDb::CreateSchema(db, network, system);
      fill(db);
      NetworkDb::CreateIndexes(db);
      db.Exec("COMMIT");
      db.Exec("PRAGMA journal_mode = WAL");
    }
    ReplaceNetworkFile(temp, target);
  } catch (...) {
    RemoveFiles(temp, {"", "-wal", "-shm", "-journal"});
    throw;
  }
}

void NewNetworkOnServer(SqlDb& db, const std::string& network, const std::string& system, bool replace,
                        const std::function<void(SqlDb&)>& fill) {
  CheckNewNetworkOnServer(db, network, replace);
  // One transaction: the old network goes only when the new one is complete.
  db.Exec(DialectOf(db).BeginWrite());
  try {
    db.Exec("DROP SCHEMA IF EXISTS " + QuotedName(network) + " CASCADE");
    db.Exec("CREATE SCHEMA " + QuotedName(network));
    db.Exec("SET LOCAL search_path TO " + QuotedName(network));
    NetworkDb::CreateSchema(db, network, system);
    fill(db);
    NetworkDb::CreateIndexes(db);
    db.Exec("COMMIT");
  } catch (...) {
    if (db.InTransaction()) db.Exec("ROLLBACK");
    throw;
  }
  // The planner's statistics of the new tables: without them it guesses row counts and may
  // scan a whole table for one device's rows until the server's own analysis comes round.
  db.Exec("ANALYZE " + QuotedName(network) + ".subsystem, " + QuotedName(network) + ".device, " + QuotedName(network) +
          ".lonmark_object, " + QuotedName(network) + ".nv, " + QuotedName(network) + ".lonmark_member, " +
          QuotedName(network) + ".cp");
}

namespace {

// The description's network and system names, and what fills a new database from it.
struct Description {
  std::string network;
  std::string system;
  std::function<void(SqlDb&)> fill;
};

Description ReadDescription(const std::string& jsonText, const DeviceProgress& progress,
                            const std::filesystem::path& descriptionFolder) {
  auto doc = std::make_shared<json>(ParseDescription(jsonText));
  if (!doc->is_object()) Bad("(top)", "must be an object");
  Description description{TopName(*doc, "network"), TopName(*doc, "system"), {}};
  description.fill = [doc, progress, descriptionFolder](SqlDb& db) {
    ImportTemplates(db, Member(*doc, "templates"), descriptionFolder);
    DeviceCounter counter{progress, CountDevices(Member(*doc, "subsystems"))};
    Importer(db, counter).Subsystems(Member(*doc, "subsystems"), "subsystems", 0);
  };
  return description;
}

}  // namespace

std::string CreateNetwork(const std::filesystem::path& folder, const std::string& jsonText, bool replace,
                          const DeviceProgress& progress, const std::filesystem::path& descriptionFolder) {
  const Description description = ReadDescription(jsonText, progress, descriptionFolder);
  NewNetworkFile(folder, description.network, description.system, replace, description.fill);
  return description.network;
}

namespace {

// A folder of its own under the temporary folder, removed with everything in it.
class StagingFolder {
 public:
  StagingFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "portab-create-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw base::Error(lns::err::kDatabase, "portab-lns", "No temporary folder for the new network in " +
                                                               std::filesystem::temp_directory_path().string());
    }
    path_ = pattern;
  }
  ~StagingFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

std::string CreateNetworkOnServer(SqlDb& db, const std::string& jsonText, bool replace,
                                  const DeviceProgress& progress, const std::filesystem::path& descriptionFolder) {
  const Description description = ReadDescription(jsonText, progress, descriptionFolder);
  CheckNewNetworkOnServer(db, description.network, replace);  // before the work, not after it
  // The rows are made in a network file first, at a file's speed, and then streamed to the
  // server a table at a time: inserted there one by one, each would cost a round trip.
  const StagingFolder staging;
  NewNetworkFile(staging.Path(), description.network, description.system, false, description.fill);
  const auto made = NetworkDb::Open(DatabaseFile(staging.Path(), description.network), {});
  return CopyNetworkToServer(*made, db, replace);
}

std::string AddDevice(SqlDb& db, int64_t subsystemId, const std::string& jsonText) {
  const json device = ParseDescription(jsonText);
  std::set<std::string> names;
  int64_t last = 0;
  auto existing = db.Prepare("SELECT name, position FROM device WHERE subsystem_id = ?1");
  existing.Bind(1, subsystemId);
  while (existing.Step()) {
    names.insert(base::FoldCase(existing.Text(0)));
    last = std::max(last, existing.Int(1));
  }
  DeviceCounter counter{{}, 1};
  if (!db.OnServer()) {
    InWriteTransaction(db, [&] { Importer(db, counter).Device(device, "(top)", subsystemId, last + 1, names); });
    return device["name"].get<std::string>();
  }
  // On a server the device is made in a database in memory first, where each row costs no round
  // trip, and its rows then go over a table at a time.
  SqliteDb staged(":memory:", true);
  staged.Exec("BEGIN");
  NetworkDb::CreateSchema(staged, "staged", "staged");
  staged.Prepare("INSERT INTO subsystem(id, parent_id, position, name) VALUES (?1, 0, 1, 'staged')").Bind(1, subsystemId).Run();
  Importer(staged, counter).Device(device, "(top)", subsystemId, last + 1, names);
  staged.Exec("COMMIT");
  InWriteTransaction(db, [&] { CopyStagedDeviceToServer(staged, db); });
  return device["name"].get<std::string>();
}

}  // namespace platform::lns_embedded
