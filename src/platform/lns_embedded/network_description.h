#pragma once
// Network descriptions in JSON, read into a new network database and written back.
//
// {
//   "network": "Demo", "system": "System",
//   "templates": [ { "xif": "switch.xif" } ],
//   "subsystems": [ { "name": "Floor 1", "subsystems": [ ... ], "devices": [ {
//       "name": "Switch 1", "template": "PortaB", "programId": "9F:FF:FF:08:1C:0A:04:01",
//       "reachable": true,
//       "cps":  [ { "name": "ParamVersion", "elementSize": 1, "dimension": 1, "value": [3] } ],
//       "nvs":  [ { "name": "nviPrimeValue", "type": "SNVT_switch", "value": [0, 0],
//                   "changeable": true, "cps": [ ... ] } ],
//       "lonMarkObjects": [ { "name": "Omnal 1", "profile": 3200,
//                             "cps": [ ... ], "nvs": [ "nviPrimeValue" ] } ] } ] } ]
// }
// Names must not hold "/" or "\", subsystem names no "."; names are unique within their
// collection (without regard to case). A CP value has elementSize x dimension bytes (zeros
// when left out); a CP the device holds names its configuration NV ("deviceNv") or its value
// file and offset ("deviceFile": "writable" or "readOnly", "deviceOffset", and "deviceFlags", its template
// record's flags byte, when it has flags); an NV type is a known type name, or "typeIndex" with "size" in bytes.
// A LonMark object lists the names of the device's NVs that belong to it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace platform::lns_embedded {

// Called after each device a long run has handled: how many are done, of how many.
using DeviceProgress = std::function<void(int64_t done, int64_t total)>;
// Counts the devices a long run (create, export) handles and reports each one.
struct DeviceCounter {
  const DeviceProgress& progress;
  int64_t total = 0;
  int64_t done = 0;
  void Next() {
    ++done;
    if (progress) progress(done, total);
  }
};

// Creates `folder`/<network>.db from the description; all or nothing. Its "templates" name
// device interface files relative to `descriptionFolder` (see template_store.h). Raises kBadValue
// naming the bad field, or kDatabase when the network exists already and !replace.
// Returns the network's name.
std::string CreateNetwork(const std::filesystem::path& folder, const std::string& jsonText, bool replace,
                          const DeviceProgress& progress = {}, const std::filesystem::path& descriptionFolder = {});

class SqlDb;

// Adds one device, described as an entry of a subsystem's "devices" list, after the devices of
// subsystem row `subsystemId`; all or nothing. Raises kBadValue naming the bad field (a name in
// use in the subsystem among them). Returns the device's name.
std::string AddDevice(SqlDb& db, int64_t subsystemId, const std::string& jsonText);

// The entry of device row `deviceId` in a network description, as JSON text. Raises kNotFound.
std::string ExportDeviceEntry(SqlDb& db, int64_t deviceId);

// The description of an existing network database, as JSON text.
std::string ExportNetwork(const std::filesystem::path& databaseFile, const DeviceProgress& progress = {});
class NetworkDb;
std::string ExportNetwork(NetworkDb& network, const DeviceProgress& progress = {});

// A new network database, named `network` with its system `system`, that `fill` fills with rows
// after the schema is made and before the lookup indexes are: a file in `folder`, made under a
// temporary name and renamed once complete, or a schema on the server `db` is connected to,
// made in one transaction. An existing network is replaced only when `replace` (else kDatabase);
// whatever `fill` raises leaves everything as it was.
void NewNetworkFile(const std::filesystem::path& folder, const std::string& network, const std::string& system,
                    bool replace, const std::function<void(SqlDb&)>& fill);
void NewNetworkOnServer(SqlDb& db, const std::string& network, const std::string& system, bool replace,
                        const std::function<void(SqlDb&)>& fill);

// Creates the network on the server `db` is connected to, in a schema named as the network;
// all or nothing, an existing one replaced only when `replace`. Errors as CreateNetwork.
std::string CreateNetworkOnServer(SqlDb& db, const std::string& jsonText, bool replace,
                                  const DeviceProgress& progress = {}, const std::filesystem::path& descriptionFolder = {});

}  // namespace platform::lns_embedded
