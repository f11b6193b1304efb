#pragma once
// Device templates in a network database: what a device interface file (XIF) tells of the
// devices of one program ID, kept so that devices can be planned from it before they are on
// site and checked against it once they are. A template is stored as the file's parts (its
// header, one row per VAR record, its FILE sections, the records portab does not read) and
// read back into the same model as an interface read from a device.

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_interface/xif_file.h"
#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {

struct StoredTemplate {
  std::string name;
  std::string programId;  // "9F:FF:FF:08:1C:0A:04:01"
  device_interface::XifFile xif;
};

// "9F:FF:FF:08:1C:0A:04:01" for a program ID given as 16 hexadecimal digits, with or without
// colons, in any case; nullopt for anything else.
std::optional<std::string> ProgramIdOf(std::string_view text);

// Adds the template `name` read from `xif` to the database, in the caller's transaction.
// Raises kBadValue when the network has a template for the program ID already or `name` is
// empty.
void StoreTemplate(SqlDb& db, const device_interface::XifFile& xif, const std::string& name);
// The template of `programId` (any spelling ProgramIdOf reads), nullopt when there is none.
// Raises kDatabase when its rows no longer make a device interface file.
std::optional<StoredTemplate> LoadTemplate(SqlDb& db, const std::string& programId);
// As LoadTemplate; kNotFound naming the program ID when there is none.
StoredTemplate TemplateOf(SqlDb& db, const std::string& programId);

struct TemplateSummary {
  std::string name, programId, xifVersion;
  int64_t nvs = 0, cps = 0, devices = 0;  // VAR records, CP records, the network's devices of it
};
std::vector<TemplateSummary> ListTemplates(SqlDb& db);
// The names of the network's devices that run the template's program.
std::vector<std::string> DevicesOfTemplate(SqlDb& db, const std::string& programId);
// Removes the template of `programId`; kNotFound when there is none, kBadValue naming the
// devices that use it while there are some.
void RemoveTemplate(SqlDb& db, const std::string& programId);

// The template as an engineer reads it: its name, program ID, XIF version, device numbers,
// then the interface (blocks, NVs, CPs with their default values) and the message tags.
std::string TemplateText(const StoredTemplate& stored);
// The same as JSON.
nlohmann::ordered_json TemplateJson(const StoredTemplate& stored);
// The entry of a network description's "devices" list for a new device `name` made from the
// template: its NVs, LonMark objects and CPs at their default values, where the device keeps
// them. Raises kBadValue naming what the template does not say (an NV's length, CP values).
nlohmann::ordered_json DeviceEntryOfTemplate(const StoredTemplate& stored, const std::string& name);

// Gives `entry` the names of LonMark objects and CPs of a device of the network that runs the
// same program and has the same shape (the names its profile plug-in knows), when there is one.
void TakeNetworkNames(SqlDb& db, nlohmann::ordered_json& entry);

// The device interface file read from `path`, or an error naming it and its line.
device_interface::XifFile ReadXifFile(const std::filesystem::path& path);
// The template's name when none is given: the file's name without its extension.
std::string TemplateNameOf(const std::filesystem::path& path);

// A network description's "templates": each { "xif": "<file>" } (relative to `folder`, with
// an optional "name") or { "name": ..., "xifLines": [ ... ] } as export writes it.
void ImportTemplates(SqlDb& db, const nlohmann::ordered_json& templates, const std::filesystem::path& folder);
nlohmann::ordered_json ExportTemplates(SqlDb& db);

}  // namespace platform::lns_embedded
