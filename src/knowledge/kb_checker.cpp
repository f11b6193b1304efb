// The knowledge-base checker: finds the Config file, picks the version, checks that the files
// of that version are there and undamaged, then runs the content rules (kb_rules.h); and the
// "kb" command of portab-lns around it.

#include "knowledge/kb_checker.h"

#include <algorithm>
#include <filesystem>

#include "base/error.h"
#include "knowledge/ini_fields.h"
#include "knowledge/kb_rules.h"
#include "lns/plugin_context.h"

namespace knowledge {
namespace {

constexpr const char* kPlugInIniName = "PortaB.ini";
constexpr const char* kPlugInCpsSection = "velta Porta CPs 1.0";
constexpr const char* kDefaultConfigName = "PortaB.cfg";

constexpr const char* kUsage =
    "usage: portab-lns kb check <Config folder> [<version>]\n"
    "  Checks the knowledge base in <Config folder> for one version (by default the Config\n"
    "  file's DefaultVersion) and prints each finding as <Config folder>/<file>:<line>: <message>.\n"
    "  Exit status: 0 clean, 1 findings, 2 a usage error.\n";

struct VersionFile {
  KbFile file;
  const char* key;  // in the Config file's section "Version_<n>"
};

constexpr std::array<VersionFile, 8> kVersionFiles{{
    {KbFile::Modules, "Modules"},
    {KbFile::Channels, "Channels"},
    {KbFile::Objects, "Objects"},
    {KbFile::GroupObjects, "GroupObjects"},
    {KbFile::Controls, "Controls"},
    {KbFile::Enums, "Enums"},
    {KbFile::Resources, "Resources"},
    {KbFile::CommandTable, "CommandTable"},
}};

using FileNames = std::array<std::string, 9>;

std::string& NameOf(FileNames& names, KbFile file) { return names[static_cast<size_t>(file)]; }

// The folder as an absolute path without a trailing separator, so that its parent is the
// folder above it.
std::filesystem::path NormalFolder(const std::string& folder) {
  std::filesystem::path path = std::filesystem::absolute(folder).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();
  return path;
}

// The plug-in INI file in the folder above the knowledge base; nullptr when there is none.
std::unique_ptr<lns::IniFile> PlugInIni(const std::filesystem::path& folder, const IniFileFactory& newIniFile) {
  auto ini = newIniFile();
  ini->SetFile((folder.parent_path() / kPlugInIniName).string());
  if (!ini->FileExists()) return nullptr;
  return ini;
}

// Each finding once (the first of identical ones), by file in the order of `names` and then
// by line.
void Tidy(std::vector<KbFinding>& findings, const FileNames& names) {
  std::vector<KbFinding> unique;
  for (auto& finding : findings) {
    const auto same = [&](const KbFinding& kept) {
      return kept.file == finding.file && kept.line == finding.line && kept.message == finding.message;
    };
    if (std::none_of(unique.begin(), unique.end(), same)) unique.push_back(std::move(finding));
  }
  const auto rank = [&](const KbFinding& finding) {
    return std::make_pair(std::find(names.begin(), names.end(), finding.file) - names.begin(), finding.line);
  };
  std::stable_sort(unique.begin(), unique.end(),
                   [&](const KbFinding& a, const KbFinding& b) { return rank(a) < rank(b); });
  findings = std::move(unique);
}

std::string ConfigFileName(const lns::IniFile* plugInIni) {
  const std::string name = plugInIni ? ReadIniField(*plugInIni, kPlugInCpsSection, "Config", -1) : std::string();
  return name.empty() ? kDefaultConfigName : name;
}

void CheckJunk(const lns::IniFile& file, const std::string& name, std::vector<KbFinding>& findings) {
  if (const std::string damage = file.Damage(); !damage.empty()) {
    findings.push_back({name, file.FirstJunkLine(), "the file is damaged: " + damage});
  }
}

// The version asked for, else the Config file's default; nullopt (and a finding) when neither.
std::optional<uint8_t> ChooseVersion(cMC16& kb, std::optional<uint8_t> version, const std::string& configName,
                                     std::vector<KbFinding>& findings) {
  if (version) return version;
  uint8_t defaultVersion = 0;
  try {
    defaultVersion = kb.DefaultVersion();
  } catch (const base::Error&) {  // a number too large to read
  }
  if (defaultVersion > 0) return defaultVersion;
  const lns::IniFile& config = kb.File(KbFile::Config);
  const int line = config.KeyLine("DefaultVersion", "General");
  findings.push_back({configName, line > 0 ? line : config.SectionLine("General"),
                      "no DefaultVersion 1..255 in [General]: give the version to check"});
  return std::nullopt;
}

// The eight files of the version section: named, there and undamaged. False when any is not.
bool CheckVersionFiles(const cMC16& kb, FileNames& names, std::vector<KbFinding>& findings) {
  const std::string& configName = NameOf(names, KbFile::Config);
  const lns::IniFile& config = kb.File(KbFile::Config);
  const std::string section = "Version_" + std::to_string(kb.Version());
  if (config.SectionLine(section) == 0) {
    findings.push_back(
        {configName, 0,
         "no section [" + section + "]: knowledge-base version " + std::to_string(kb.Version()) + " is not described"});
    return false;
  }
  bool fine = true;
  for (const auto& [file, key] : kVersionFiles) {
    std::string& name = NameOf(names, file);
    name = ReadIniField(config, section, key, -1);
    const size_t before = findings.size();
    if (name.empty()) {
      findings.push_back({configName, config.SectionLine(section), "[" + section + "] names no " + key + " file"});
    } else if (!kb.File(file).FileExists()) {
      findings.push_back(
          {configName, config.KeyLine(key, section), std::string(key) + " file " + Quoted(name) + " does not exist"});
    } else {
      CheckJunk(kb.File(file), name, findings);
    }
    fine = fine && findings.size() == before;
  }
  return fine;
}

struct Request {
  bool help = false;
  std::string folder;
  std::optional<uint8_t> version;
};

struct UsageError {
  std::string what;
};

std::optional<uint8_t> ParseVersion(const std::string& text) {
  const bool digits = !text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoi(text) > 255)
    throw UsageError{"the version must be a whole number 0..255, not " + Quoted(text)};
  return static_cast<uint8_t>(std::stoi(text));
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "help"; }

Request ParseArgs(const std::vector<std::string>& args) {
  if (args.size() < 2) throw UsageError{"no kb command given"};
  if (args.size() == 2 && IsHelp(args[1])) return {true, {}, {}};
  if (args[1] != "check") throw UsageError{"unknown kb command " + Quoted(args[1])};
  if (args.size() == 3 && IsHelp(args[2])) return {true, {}, {}};
  if (args.size() < 3 || args.size() > 4) throw UsageError{"expected: portab-lns kb check <Config folder> [<version>]"};
  std::error_code ec;
  if (!std::filesystem::exists(args[2], ec)) throw UsageError{"no such folder: " + args[2]};
  if (!std::filesystem::is_directory(args[2], ec)) throw UsageError{Quoted(args[2]) + " is not a folder"};
  return {false, args[2], args.size() == 4 ? ParseVersion(args[3]) : std::nullopt};
}

std::string Summary(const std::string& folder, const KbCheckReport& report) {
  const std::string kb =
      report.version < 0 ? "knowledge base" : "knowledge base version " + std::to_string(report.version);
  const size_t count = report.findings.size();
  if (count == 0) return folder + ": " + kb + " is clean";
  return folder + ": " + kb + ": " + std::to_string(count) + (count == 1 ? " finding" : " findings");
}

}  // namespace

std::string KbFinding::ToString(std::string_view folder) const {
  std::string where(folder);
  if (!where.empty() && where.back() != '/') where += '/';
  where += file;
  return line > 0 ? where + ":" + std::to_string(line) + ": " + message : where + ": " + message;
}

KbCheckReport CheckKnowledgeBase(const std::string& folder, std::optional<uint8_t> version,
                                 const IniFileFactory& newIniFile) {
  KbCheckReport report;
  lns::PlugInContext context;  // no registry, no dialogs: the folder is given, findings replace messages
  context.newIniFile = newIniFile;
  cMC16 kb(context);
  const std::filesystem::path normal = NormalFolder(folder);
  kb.UseFolder(normal.string() + "/");
  const auto plugInIni = PlugInIni(normal, newIniFile);
  if (!plugInIni) {
    report.notes.push_back(std::string("no ") + kPlugInIniName +
                           " beside the folder: the object CP names of the channel parameters were not checked");
  }
  FileNames names;
  NameOf(names, KbFile::Config) = ConfigFileName(plugInIni.get());
  kb.SetConfigFileName(NameOf(names, KbFile::Config));
  if (!kb.Init1()) {
    report.findings.push_back({NameOf(names, KbFile::Config), 0, "the Config file does not exist"});
    return report;
  }
  CheckJunk(kb.File(KbFile::Config), NameOf(names, KbFile::Config), report.findings);
  const auto sections = kb.File(KbFile::Config).SectionNames();
  if (std::all_of(sections.begin(), sections.end(), [](const std::string& name) { return name.empty(); })) {
    report.findings.push_back({NameOf(names, KbFile::Config), 0, "the file holds no sections"});
    return report;
  }
  const auto chosen = ChooseVersion(kb, version, NameOf(names, KbFile::Config), report.findings);
  if (!chosen) return report;
  report.version = *chosen;
  kb.SetVersion(*chosen);
  kb.Init2();
  // The content rules need every file: a missing or damaged one would only add echoes.
  if (CheckVersionFiles(kb, names, report.findings)) KbRules(kb, names, plugInIni.get(), report.findings).Run();
  Tidy(report.findings, names);
  return report;
}

int RunKbTool(const std::vector<std::string>& args, const IniFileFactory& newIniFile, std::ostream& out,
              std::ostream& err) {
  try {
    const Request request = ParseArgs(args);
    if (request.help) {
      out << kUsage;
      return 0;
    }
    const KbCheckReport report = CheckKnowledgeBase(request.folder, request.version, newIniFile);
    for (const auto& finding : report.findings) out << finding.ToString(request.folder) << "\n";
    for (const auto& note : report.notes) out << request.folder << ": note: " << note << "\n";
    out << Summary(request.folder, report) << "\n";
    return report.findings.empty() ? 0 : 1;
  } catch (const UsageError& usage) {
    err << "portab-lns: " << usage.what << "\n" << kUsage;
    return 2;
  } catch (const base::Error& e) {
    err << "portab-lns: kb check failed: error " << base::ErrorNumberText(e.Number()) << ": " << e.Description()
        << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << "portab-lns: kb check failed: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace knowledge
