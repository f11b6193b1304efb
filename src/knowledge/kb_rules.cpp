// The knowledge-base checker's shared judgements: what each file holds as a whole, findings,
// resource keys, enumeration strings, channel types and byte lists, each judged the way the
// reader of the value uses it.

#include "knowledge/kb_rules.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "base/error.h"
#include "knowledge/ini_fields.h"

namespace knowledge {
namespace {

constexpr const char* kResourceSection = "String Resources";
constexpr size_t kFileCount = 9;

// The settings whose values are resource keys, in control descriptions and their overrides
// ("TypeName" is the channel-type name override of an exception section).
constexpr std::array<std::string_view, 7> kResourceSettings{
    "ControlTitle",         "Unit",    "OptionButton1Caption", "OptionButton2Caption", "LabelCaption",
    "CommandButtonCaption", "TypeName"};

bool IsResourceSetting(std::string_view setting) {
  for (const auto name : kResourceSettings) {
    if (base::EqualsNoCase(name, setting)) return true;
  }
  return false;
}

}  // namespace

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && base::EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && base::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::optional<double> Number(std::string_view text) {
  if (!base::IsNumber(text)) return std::nullopt;
  try {
    return base::Val(text);
  } catch (const base::Error&) {  // too large for a double
    return std::nullopt;
  }
}

std::optional<int32_t> WholeNumber(std::string_view text) {
  const auto number = Number(text);
  if (!number || std::trunc(*number) != *number || std::fabs(*number) > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(*number);
}

KbRules::KbRules(const cMC16& kb, const std::array<std::string, 9>& fileNames, const lns::IniFile* plugInIni,
                 std::vector<KbFinding>& findings)
    : kb_(kb), fileNames_(fileNames), plugInIni_(plugInIni), findings_(findings) {
  // The reverse look-up searches every section in file order and takes the first match.
  const lns::IniFile& enums = File(KbFile::Enums);
  for (const auto& section : enums.SectionNames()) {
    for (const auto& line : enums.SectionLines(section)) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq);
      enums_.emplace(key, EnumEntry{enums.KeyLine(key, section), SectionLineValue(line)});
    }
  }
}

void KbRules::Run() {
  CheckShapes();
  if (Holds(KbFile::Enums)) CheckEnums();
  if (Holds(KbFile::Resources)) CheckResources();
  if (Holds(KbFile::Modules)) CheckModules();
  if (Holds(KbFile::Channels)) CheckChannels();
  if (Holds(KbFile::Controls)) CheckControls();
  if (Holds(KbFile::Objects)) CheckObjects(KbFile::Objects, "Omnal Object");
  if (Holds(KbFile::GroupObjects)) CheckObjects(KbFile::GroupObjects, "Group Object");
  if (Holds(KbFile::CommandTable)) CheckCommandTable();
}

// A file without sections gives one finding in place of one per reference into it; what the
// parse of a file found odd (lines without "=", names given twice, mixed encodings) is
// reported as it is, except for such a file, where every line would be odd.
void KbRules::CheckShapes() {
  for (size_t i = 0; i < kFileCount; ++i) {
    const auto file = static_cast<KbFile>(i);
    holds_[i] = !Sections(file).empty();
    if (!holds_[i]) {
      Report(file, 0, "the file holds no sections");
      continue;
    }
    for (auto& note : File(file).Notes()) Report(file, note.line, std::move(note.text));
  }
  resourcesReadable_ = RequireSection(KbFile::Resources, HasSection(KbFile::Resources, kResourceSection),
                                      "no section [String Resources]: no resource key has a text");
  channelTypesReadable_ = RequireSection(KbFile::Channels, HasSection(KbFile::Channels, "Channel Types"),
                                         "no section [Channel Types]: no channel type is described");
  const auto sections = Sections(KbFile::Enums);
  const bool enumSection =
      std::any_of(sections.begin(), sections.end(), [](const auto& name) { return StartsWithNoCase(name, "Enum_"); });
  enumsReadable_ =
      RequireSection(KbFile::Enums, enumSection, "no section [Enum_<prefix>]: no enumeration string has a number");
}

bool KbRules::RequireSection(KbFile file, bool present, std::string_view missing) {
  if (!Holds(file)) return false;
  if (!present) Report(file, 0, std::string(missing));
  return present;
}

void KbRules::Report(KbFile file, int line, std::string message) {
  findings_.push_back({FileName(file), line, std::move(message)});
}

void KbRules::Guarded(KbFile file, const std::string& section, const std::function<void()>& rules) {
  try {
    rules();
  } catch (const base::Error& e) {
    Report(file, File(file).SectionLine(section),
           "reading [" + section + "] fails with error " + base::ErrorNumberText(e.Number()) + ": " + e.Description());
  } catch (const std::exception& e) {
    Report(file, File(file).SectionLine(section), "reading [" + section + "] fails: " + e.what());
  }
}

std::vector<std::string> KbRules::Sections(KbFile file) const {
  std::vector<std::string> sections;
  std::unordered_set<std::string, base::FoldedHasher, base::FoldedEqual> seen;
  for (auto& section : File(file).SectionNames()) {
    // Lines before the first header belong to no reader's section.
    if (!section.empty() && seen.insert(section).second) sections.push_back(std::move(section));
  }
  return sections;
}

std::vector<std::string> KbRules::Keys(KbFile file, std::string_view section) const {
  std::vector<std::string> keys;
  std::unordered_set<std::string, base::FoldedHasher, base::FoldedEqual> seen;
  for (const auto& line : File(file).SectionLines(section)) {
    // Only the first of duplicate keys is read.
    const std::string key(SectionLineKey(line));
    if (line.find('=') != std::string::npos && seen.insert(key).second) keys.push_back(key);
  }
  return keys;
}

std::string KbRules::Value(KbFile file, std::string_view section, std::string_view key) const {
  return ReadIniField(File(file), section, key, -1);
}

int KbRules::Line(KbFile file, std::string_view section, std::string_view key) const {
  return File(file).KeyLine(key, section);
}

void KbRules::ResourceKey(KbFile file, int line, std::string_view what, std::string_view resourceKey) {
  if (resourceKey.empty() || !resourcesReadable_) return;
  if (!File(KbFile::Resources).RawValue(resourceKey, kResourceSection)) {
    Report(file, line,
           std::string(what) + " names resource " + Quoted(resourceKey) + ", which is not in [String Resources] of " +
               FileName(KbFile::Resources));
  }
}

// Each key of [String Resources]: "<English>~<German>", both texts there (a missing one shows
// the key itself in that language), and no third variant, which no reader takes.
void KbRules::CheckResources() {
  constexpr KbFile kFile = KbFile::Resources;
  if (!resourcesReadable_) return;
  for (const auto& key : Keys(kFile, kResourceSection)) {
    const int line = Line(kFile, kResourceSection, key);
    const std::string value = Value(kFile, kResourceSection, key);
    const bool english = !base::TrimBlanks(base::Field(value, 1, "~")).empty();
    const bool german = !base::TrimBlanks(base::Field(value, 2, "~")).empty();
    if (const auto variants = std::count(value.begin(), value.end(), '~') + 1; variants > 2) {
      Report(kFile, line,
             Quoted(key) + " has " + std::to_string(variants) + " \"~\"-variants: only English~German are read");
    } else if (!english && !german) {
      Report(kFile, line, Quoted(key) + " has neither an English nor a German text");
    } else if (!english || !german) {
      Report(kFile, line,
             Quoted(key) + " has no " + (english ? "German" : "English") +
                 " text: it shows the key itself there (\"<English>~<German>\")");
    }
  }
}

void KbRules::ResourceSetting(KbFile file, std::string_view section, std::string_view key, std::string_view setting) {
  if (IsResourceSetting(setting)) ResourceKey(file, Line(file, section, key), key, Value(file, section, key));
}

std::optional<int32_t> KbRules::KnownEnumValue(std::string_view enumString) const {
  const auto entry = enums_.find(enumString);
  return entry == enums_.end() ? std::nullopt : WholeNumber(entry->second.number);
}

std::optional<int32_t> KbRules::EnumValue(KbFile file, int line, std::string_view what, std::string_view enumString) {
  if (!enumsReadable_) return KnownEnumValue(enumString);
  const std::string named = std::string(what) + " names " + Quoted(enumString) + ", which ";
  const auto entry = enums_.find(enumString);
  if (entry == enums_.end()) {
    Report(file, line, named + "is not in the Enums file");
    return std::nullopt;
  }
  const auto value = WholeNumber(entry->second.number);
  if (!value) {
    Report(file, line,
           named + "has no whole number in the Enums file (line " + std::to_string(entry->second.line) + ")");
  }
  return value;
}

void KbRules::ShowMark(KbFile file, int line, std::string_view key, std::string_view mark, bool numberAllowed) {
  if (IsDontShowMark(mark) || IsConstMark(mark) || (numberAllowed && Number(mark))) return;
  Report(file, line,
         Quoted(key) + " is " + Quoted(mark) + ", which is neither DONTSHOW nor CONST" +
             (numberAllowed ? " nor a number" : "") + ": the parameter is shown as usual");
}

bool KbRules::IsChannelType(std::string_view channelType) const {
  return File(KbFile::Channels).RawValue(channelType, "Channel Types").has_value();
}

void KbRules::ChannelType(KbFile file, int line, std::string_view what, std::string_view channelType) {
  if (channelTypesReadable_ && !IsChannelType(channelType)) {
    Report(file, line,
           std::string(what) + " names channel type " + Quoted(channelType) + ", which is not in [Channel Types] of " +
               FileName(KbFile::Channels));
  }
}

void KbRules::ByteList(KbFile file, int line, std::string_view what, std::string_view list) {
  const std::vector<std::string> fields = base::Split(list, ",");
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string fieldName = std::string(what) + " field " + std::to_string(i + 1);
    if (!fields[i].empty()) {
      ByteField(file, line, fieldName, fields[i]);
      continue;
    }
    for (size_t later = i + 1; later < fields.size(); ++later) {
      if (fields[later].empty()) continue;
      Report(file, line, fieldName + " is empty: the list ends there and the fields after it are never read");
      break;
    }
    return;
  }
}

void KbRules::ByteField(KbFile file, int line, std::string_view what, std::string_view field) {
  if (field.empty()) return;
  // The readers round a fraction, which no author means for a byte.
  const auto number = Number(field);
  if (!number) {
    Report(file, line, std::string(what) + " " + Quoted(field) + " is not a number");
  } else if (!WholeNumber(field)) {
    Report(file, line, std::string(what) + " " + Quoted(field) + " is not a whole number");
  } else if (*number < 0 || *number > 255) {
    Report(file, line, std::string(what) + " " + Quoted(field) + " is outside 0..255");
  }
}

}  // namespace knowledge
