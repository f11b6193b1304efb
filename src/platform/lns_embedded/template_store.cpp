#include "platform/lns_embedded/template_store.h"

#include <fstream>
#include <map>
#include <sstream>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/si_data.h"
#include "platform/device_interface/xif_writer.h"
#include "platform/lns_embedded/device_entry.h"
#include "platform/lns_embedded/network_description.h"

namespace platform::lns_embedded {
namespace {

namespace di = device_interface;
using json = nlohmann::ordered_json;

[[noreturn]] void Bad(const std::string& what) { throw base::Error(lns::err::kBadValue, "portab-lns", what); }

// The fields of the header's line of device numbers, in order.
constexpr const char* kDeviceNumberNames[] = {
    "domains", "address-table entries", "explicit messages", "NV declarations", "explicit message tags",
    "network in buffers", "network out buffers", "network priority out buffers", "application priority out buffers",
    "application out buffers", "application in buffers", "network in buffer size code", "network out buffer size code",
    "application out buffer size code", "application in buffer size code", "application type",
    "NVs selectable by a network interface", "receive transactions", "aliases", "binding II",
    "statistics-relative addressing", "largest memory write", "most NVs", "network management version (lowest)",
    "network management version (highest)", "binding constraint level"};

std::string LinesJson(const std::vector<std::string>& lines) { return json(lines).dump(); }

std::vector<std::string> LinesOf(const std::string& text, const std::string& what) {
  const json lines = json::parse(text, nullptr, false);
  if (!lines.is_array() || !std::all_of(lines.begin(), lines.end(), [](const json& l) { return l.is_string(); })) {
    throw base::Error(lns::err::kDatabase, "LNS", "The network database is damaged: " + what + " is not a list of lines");
  }
  return lines.get<std::vector<std::string>>();
}

std::string NumbersText(const std::vector<int64_t>& numbers) {
  std::string text;
  for (const int64_t n : numbers) text += (text.empty() ? "" : " ") + std::to_string(n);
  return text;
}

std::vector<int64_t> NumbersOf(const std::string& text) {
  std::vector<int64_t> numbers;
  std::istringstream in(text);
  for (int64_t n = 0; in >> n;) numbers.push_back(n);
  return numbers;
}

std::string XifVersion(const di::XifFile& xif) { return std::to_string(xif.major) + "." + std::to_string(xif.minor); }

// The values NVVAL gave the NVs of one VAR record, one after another.
std::vector<uint8_t> DefaultValue(const di::XifFile& xif, const di::XifVar& var) {
  std::vector<uint8_t> value;
  const uint16_t count = std::max<uint16_t>(var.arraySize, 1);
  for (const auto& nv : xif.device.nvs) {
    if (nv.index >= var.index && nv.index < var.index + count) value.insert(value.end(), nv.value.begin(), nv.value.end());
  }
  return value;
}

std::string AppliesToText(const di::CpRecord& record) {
  std::string items;
  for (const auto index : record.select) items += (items.empty() ? "" : ",") + std::to_string(index);
  switch (record.appliesTo) {
    case di::AppliesTo::Device: return "device";
    case di::AppliesTo::Blocks: return "block " + items;
    case di::AppliesTo::Nvs: return "NV " + items;
  }
  return "";
}

std::string PlaceText(const di::InterfaceCp& cp) {
  switch (cp.place.kind) {
    case di::CpPlace::Kind::ConfigNv: return "nv " + std::to_string(cp.place.nvIndex);
    case di::CpPlace::Kind::WritableFile: return "writable " + std::to_string(cp.place.offset);
    case di::CpPlace::Kind::ReadOnlyFile: return "readOnly " + std::to_string(cp.place.offset);
  }
  return "";
}

void StoreVars(SqlDb& db, int64_t id, const di::XifFile& xif) {
  auto insert = db.Prepare(
      "INSERT INTO template_nv(template_id, position, nv_index, name, array_size, type_index, output, config, self_doc, "
      "average_rate, maximum_rate, attributes, type_elements, default_value) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)");
  int64_t position = 0;
  for (const auto& var : xif.vars) {
    insert.Bind(1, id)
        .Bind(2, ++position)
        .Bind(3, int64_t{var.index})
        .Bind(4, var.name)
        .Bind(5, int64_t{var.arraySize})
        .Bind(6, int64_t{var.typeIndex})
        .Bind(7, int64_t{var.attributes[3] == 1 ? 1 : 0})
        .Bind(8, int64_t{var.attributes[12] != 0 ? 1 : 0})
        .Bind(9, var.selfDoc)
        .Bind(10, int64_t{var.averageRate})
        .Bind(11, int64_t{var.maximumRate})
        .Bind(12, NumbersText(var.attributes))
        .Bind(13, LinesJson(var.elements))
        .Bind(14, DefaultValue(xif, var));
    insert.Run();
    insert.Reset();
  }
}

void StoreCps(SqlDb& db, int64_t id, const di::XifFile& xif) {
  auto insert = db.Prepare(
      "INSERT INTO template_cp(template_id, position, type, applies_to, flags, element_size, dimension, place, "
      "default_value) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  int64_t position = 0;
  for (const auto& cp : xif.device.cps) {
    insert.Bind(1, id)
        .Bind(2, ++position)
        .Bind(3, di::CpTypeText(cp.record))
        .Bind(4, AppliesToText(cp.record))
        .Bind(5, int64_t{cp.record.flags})
        .Bind(6, int64_t{cp.record.size})
        .Bind(7, int64_t{cp.record.dimension})
        .Bind(8, PlaceText(cp))
        .Bind(9, cp.value);
    insert.Run();
    insert.Reset();
  }
}

// The file's parts as the rows keep them; the interface follows when the text they make is read.
di::XifFile PartsOf(SqlDb& db, int64_t id, Statement& row) {
  di::XifFile parts;
  parts.firstLine = row.Text(3);
  parts.comments = LinesOf(row.Text(4), "a template's comments");
  parts.device.programId = base::ReplaceAll(row.Text(1), ":", "");
  parts.deviceNumbers = NumbersOf(row.Text(5));
  parts.headerLines = LinesOf(row.Text(6), "a template's header");
  parts.nodeSelfDoc = row.Text(7);
  for (auto& line : LinesOf(row.Text(8), "a template's tags")) parts.tags.push_back({"", 0, false, {line}});
  parts.templateText = row.Text(9);
  parts.writable = row.Blob(10);
  parts.readOnly = row.Blob(11);
  parts.unread = LinesOf(row.Text(12), "a template's unread records");
  auto vars = db.Prepare(
                    "SELECT nv_index, name, array_size, type_index, config, self_doc, average_rate, maximum_rate, attributes, "
                    "type_elements, default_value FROM template_nv WHERE template_id = ?1 ORDER BY position")
                  .Bind(1, id);
  while (vars.Step()) {
    di::XifVar var;
    var.index = static_cast<uint16_t>(vars.Int(0));
    var.name = vars.Text(1);
    var.arraySize = static_cast<uint16_t>(vars.Int(2));
    var.typeIndex = static_cast<uint16_t>(vars.Int(3));
    var.selfDoc = vars.Text(5);
    var.averageRate = static_cast<uint16_t>(vars.Int(6));
    var.maximumRate = static_cast<uint16_t>(vars.Int(7));
    var.attributes = NumbersOf(vars.Text(8));
    var.elements = LinesOf(vars.Text(9), "the type of " + var.name);
    var.elementCount = static_cast<uint16_t>(var.elements.size());
    // A configuration NV's value goes to NVVAL, one for each of its NVs.
    const auto value = vars.Blob(10);
    const uint16_t count = std::max<uint16_t>(var.arraySize, 1);
    if (vars.Int(4) != 0 && !value.empty()) {
      const size_t part = value.size() / count;
      for (uint16_t i = 0; i < count; ++i) {
        di::InterfaceNv nv;
        nv.index = static_cast<uint16_t>(var.index + i);
        nv.siFlags = di::si_flag::kConfigClass;
        nv.value.assign(value.begin() + static_cast<std::ptrdiff_t>(i * part), value.begin() + static_cast<std::ptrdiff_t>((i + 1) * part));
        parts.device.nvs.push_back(std::move(nv));
      }
    }
    parts.vars.push_back(std::move(var));
  }
  return parts;
}

std::string ProgramIdText(const std::string& hex) {
  std::string text;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) text += (text.empty() ? "" : ":") + hex.substr(i, 2);
  return text;
}

}  // namespace

std::optional<std::string> ProgramIdOf(std::string_view text) {
  std::string hex;
  for (const char c : text) {
    if (c == ':') continue;
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (hex.size() != 16) return std::nullopt;
  return ProgramIdText(hex);
}

void StoreTemplate(SqlDb& db, const di::XifFile& xif, const std::string& name) {
  if (name.empty()) Bad("A template needs a name");
  const std::string programId = ProgramIdText(xif.device.programId);
  if (auto existing = LoadTemplate(db, programId)) {
    Bad("The network has the template \"" + existing->name + "\" for the program ID " + programId +
        " already (portab-lns template remove takes it away)");
  }
  std::vector<std::string> tags;
  for (const auto& tag : xif.tags) tags.insert(tags.end(), tag.lines.begin(), tag.lines.end());
  db.Prepare(
        "INSERT INTO device_template(program_id, name, xif_version, first_line, comments, device_numbers, header_lines, "
        "node_self_doc, tags, template_file, value_file, read_only_file, unread) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)")
      .Bind(1, programId)
      .Bind(2, name)
      .Bind(3, XifVersion(xif))
      .Bind(4, xif.firstLine)
      .Bind(5, LinesJson(xif.comments))
      .Bind(6, NumbersText(xif.deviceNumbers))
      .Bind(7, LinesJson(xif.headerLines))
      .Bind(8, xif.nodeSelfDoc)
      .Bind(9, LinesJson(tags))
      .Bind(10, xif.templateText)
      .Bind(11, xif.writable)
      .Bind(12, xif.readOnly)
      .Bind(13, LinesJson(xif.unread))
      .Run();
  const int64_t id = db.LastInsertId();
  StoreVars(db, id, xif);
  StoreCps(db, id, xif);
  LoadTemplate(db, programId);  // what is kept must read back; the caller's transaction rolls back otherwise
}

std::optional<StoredTemplate> LoadTemplate(SqlDb& db, const std::string& programIdText) {
  const auto programId = ProgramIdOf(programIdText);
  if (!programId) return std::nullopt;
  auto row = db.Prepare(
                   "SELECT id, program_id, name, first_line, comments, device_numbers, header_lines, node_self_doc, tags, "
                   "template_file, value_file, read_only_file, unread FROM device_template WHERE program_id = ?1")
                 .Bind(1, *programId);
  if (!row.Step()) return std::nullopt;
  StoredTemplate stored{row.Text(2), row.Text(1), {}};
  const int64_t id = row.Int(0);
  const di::XifFile parts = PartsOf(db, id, row);
  row.Reset();
  const std::string what = "the template \"" + stored.name + "\" of the network";
  try {
    stored.xif = di::ParseXif(di::WriteXif(parts), what);
  } catch (const di::InterfaceError& error) {
    throw base::Error(lns::err::kDatabase, "LNS", std::string("The network database is damaged: ") + error.what());
  }
  return stored;
}

StoredTemplate TemplateOf(SqlDb& db, const std::string& programId) {
  if (auto stored = LoadTemplate(db, programId)) return *stored;
  throw base::Error(lns::err::kNotFound, "portab-lns",
                    "The network has no template for the program ID " + programId + " (portab-lns template list shows them)");
}

std::vector<std::string> DevicesOfTemplate(SqlDb& db, const std::string& programIdText) {
  std::vector<std::string> names;
  const auto programId = ProgramIdOf(programIdText);
  auto rows = db.Prepare("SELECT name, program_id FROM device ORDER BY id");
  while (rows.Step()) {
    if (programId && ProgramIdOf(rows.Text(1)) == programId) names.push_back(rows.Text(0));
  }
  return names;
}

std::vector<TemplateSummary> ListTemplates(SqlDb& db) {
  std::vector<TemplateSummary> list;
  auto rows = db.Prepare(
      "SELECT t.name, t.program_id, t.xif_version, (SELECT COUNT(*) FROM template_nv n WHERE n.template_id = t.id), "
      "(SELECT COUNT(*) FROM template_cp c WHERE c.template_id = t.id) FROM device_template t ORDER BY t.program_id");
  while (rows.Step()) list.push_back({rows.Text(0), rows.Text(1), rows.Text(2), rows.Int(3), rows.Int(4), 0});
  rows.Reset();
  for (auto& summary : list) summary.devices = static_cast<int64_t>(DevicesOfTemplate(db, summary.programId).size());
  return list;
}

void RemoveTemplate(SqlDb& db, const std::string& programIdText) {
  // Found by its row alone, so that a template whose rows no longer read back can still go.
  StoredTemplate stored{"", ProgramIdOf(programIdText).value_or(programIdText), {}};
  {
    auto row = db.Prepare("SELECT name FROM device_template WHERE program_id = ?1").Bind(1, stored.programId);
    if (!row.Step()) {
      throw base::Error(lns::err::kNotFound, "portab-lns",
                        "The network has no template for the program ID " + stored.programId + " (portab-lns template list shows them)");
    }
    stored.name = row.Text(0);
  }
  const auto devices = DevicesOfTemplate(db, stored.programId);
  if (!devices.empty()) {
    std::string list;
    for (const auto& name : devices) list += (list.empty() ? "" : ", ") + ("\"" + name + "\"");
    Bad("The template \"" + stored.name + "\" (" + stored.programId + ") is in use by " + std::to_string(devices.size()) +
        " device(s): " + list + "; not removed");
  }
  db.Prepare("DELETE FROM device_template WHERE program_id = ?1").Bind(1, stored.programId).Run();
}

std::string TemplateText(const StoredTemplate& stored) {
  const auto& xif = stored.xif;
  std::string text = "template \"" + stored.name + "\", program ID " + stored.programId + ", XIF version " + XifVersion(xif) + "\n";
  text += "device numbers:";
  for (size_t i = 0; i < xif.deviceNumbers.size(); ++i) {
    const std::string name = i < std::size(kDeviceNumberNames) ? kDeviceNumberNames[i] : "field " + std::to_string(i + 1);
    text += (i == 0 ? " " : ", ") + name + " " + std::to_string(xif.deviceNumbers[i]);
  }
  text += "\n" + di::InterfaceText(xif.device);
  for (const auto& tag : xif.tags) {
    text += "message tag " + tag.name + " (" + std::to_string(tag.index) + (tag.bindable ? ", bindable" : "") + ")\n";
  }
  if (!xif.device.cpProblem.empty()) text += "Its CPs: " + xif.device.cpProblem + "\n";
  if (!xif.unread.empty()) text += std::to_string(xif.unread.size()) + " line(s) of records portab does not read, kept as written\n";
  return text;
}

json TemplateJson(const StoredTemplate& stored) {
  const auto& xif = stored.xif;
  json numbers = json::object();
  for (size_t i = 0; i < xif.deviceNumbers.size(); ++i) {
    numbers[i < std::size(kDeviceNumberNames) ? kDeviceNumberNames[i] : "field " + std::to_string(i + 1)] = xif.deviceNumbers[i];
  }
  json blocks = json::array();
  for (const auto& block : xif.device.node.blocks) {
    blocks.push_back({{"index", block.index}, {"profile", block.profileKey}, {"name", block.name}});
  }
  json nvs = json::array();
  for (const auto& nv : xif.device.nvs) {
    json entry{{"index", nv.index}, {"name", nv.name}, {"typeIndex", nv.typeIndex}, {"direction", nv.output ? "output" : "input"},
               {"selfDoc", nv.selfDoc}};
    if ((nv.siFlags & di::si_flag::kConfigClass) != 0) entry["config"] = true;
    if (nv.length != 0) entry["length"] = nv.length;
    if (!nv.value.empty()) entry["defaultValue"] = nv.value;
    nvs.push_back(std::move(entry));
  }
  json cps = json::array();
  for (const auto& cp : xif.device.cps) {
    cps.push_back({{"type", di::CpTypeText(cp.record)}, {"appliesTo", AppliesToText(cp.record)}, {"flags", cp.record.flags},
                   {"elementSize", cp.record.size}, {"dimension", cp.record.dimension}, {"place", PlaceText(cp)},
                   {"defaultValue", cp.value}});
  }
  json tags = json::array();
  for (const auto& tag : xif.tags) tags.push_back({{"name", tag.name}, {"index", tag.index}, {"bindable", tag.bindable}});
  json doc{{"name", stored.name}, {"programId", stored.programId}, {"xifVersion", XifVersion(xif)}, {"deviceNumbers", numbers},
           {"selfDoc", xif.nodeSelfDoc}, {"blocks", blocks}, {"nvs", nvs}, {"cps", cps}, {"tags", tags}};
  if (!xif.device.cpProblem.empty()) doc["cpProblem"] = xif.device.cpProblem;
  doc["unread"] = xif.unread;
  return doc;
}

json DeviceEntryOfTemplate(const StoredTemplate& stored, const std::string& name) {
  if (!stored.xif.device.cpProblem.empty()) {
    Bad("The template \"" + stored.name + "\" makes no device: " + stored.xif.device.cpProblem);
  }
  try {
    return DeviceEntryOf(stored.xif.device, name, stored.name);
  } catch (const base::Error& error) {
    Bad("The template \"" + stored.name + "\" makes no device: " + error.Description());
  }
}

void TakeNetworkNames(SqlDb& db, json& entry) {
  const auto programId = ProgramIdOf(entry.value("programId", ""));
  std::optional<int64_t> model;
  {
    auto rows = db.Prepare("SELECT id, program_id FROM device ORDER BY id");
    while (!model && rows.Step()) {
      if (programId && ProgramIdOf(rows.Text(1)) == programId) model = rows.Int(0);
    }
  }
  if (!model) return;
  const auto shape = json::parse(ExportDeviceEntry(db, *model));
  if (ShapeDifferences(shape, entry).empty()) TakeTemplateNames(shape, entry);
}

di::XifFile ReadXifFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw base::Error(base::err::kFileNotFound, "portab-lns", "Cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  try {
    return di::ParseXif(bytes.str(), path.string());
  } catch (const di::InterfaceError& error) {
    Bad(error.what());
  }
}

std::string TemplateNameOf(const std::filesystem::path& path) { return path.stem().string(); }

void ImportTemplates(SqlDb& db, const json& templates, const std::filesystem::path& folder) {
  if (templates.is_null()) return;
  if (!templates.is_array()) Bad("templates: must be a list");
  for (size_t i = 0; i < templates.size(); ++i) {
    const json& entry = templates[i];
    const std::string at = "templates[" + std::to_string(i) + "]";
    if (!entry.is_object()) Bad(at + ": must be an object");
    if (entry.contains("name") && !entry["name"].is_string()) Bad(at + ".name: must be a text");
    std::string name = entry.value("name", "");
    if (entry.contains("xif")) {
      if (!entry["xif"].is_string()) Bad(at + ".xif: must be the name of a device interface file");
      const std::filesystem::path path = folder / entry["xif"].get<std::string>();
      StoreTemplate(db, ReadXifFile(path), name.empty() ? TemplateNameOf(path) : name);
      continue;
    }
    const json& lines = entry.contains("xifLines") ? entry["xifLines"] : json();
    if (!lines.is_array() || !std::all_of(lines.begin(), lines.end(), [](const json& l) { return l.is_string(); })) {
      Bad(at + ": needs \"xif\", a device interface file, or \"xifLines\", its lines");
    }
    if (name.empty()) Bad(at + ".name: must be given with \"xifLines\"");
    std::string text;
    for (const auto& line : lines) text += line.get<std::string>() + "\r\n";
    try {
      StoreTemplate(db, di::ParseXif(text, at + ".xifLines"), name);
    } catch (const di::InterfaceError& error) {
      Bad(error.what());
    }
  }
}

json ExportTemplates(SqlDb& db) {
  json list = json::array();
  std::vector<std::string> ids;
  {
    auto rows = db.Prepare("SELECT program_id FROM device_template ORDER BY program_id");
    while (rows.Step()) ids.push_back(rows.Text(0));
  }
  for (const auto& id : ids) {
    const StoredTemplate stored = TemplateOf(db, id);
    json lines = json::array();
    for (auto& line : base::Split(di::WriteXif(stored.xif), "\r\n")) lines.push_back(line);
    if (!lines.empty() && lines.back() == "") lines.erase(lines.end() - 1);
    list.push_back({{"name", stored.name}, {"programId", stored.programId}, {"xifLines", lines}});
  }
  return list;
}

}  // namespace platform::lns_embedded
