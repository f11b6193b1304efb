// The knowledge-base checker's shared judgements: findings, resource keys, enumeration
// strings, channel types and byte lists, each judged the way the reader of the value uses it.

#include "knowledge/kb_rules.h"

#include <cmath>
#include <unordered_set>

#include "base/error.h"
#include "knowledge/ini_fields.h"

namespace knowledge {
namespace {

constexpr const char* kResourceSection = "String Resources";

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
  CheckEnums();
  CheckModules();
  CheckChannels();
  CheckControls();
  CheckObjects(KbFile::Objects, "Omnal Object");
  CheckObjects(KbFile::GroupObjects, "Group Object");
  CheckCommandTable();
}

void KbRules::Report(KbFile file, int line, std::string message) {
  findings_.push_back({fileNames_[static_cast<size_t>(file)], line, std::move(message)});
}

void KbRules::Guarded(KbFile file, const std::string& section, const std::function<void()>& rules) {
  try {
    rules();
  } catch (const base::Error& e) {
    Report(file, File(file).SectionLine(section),
           "reading [" + section + "] fails with error " + std::to_string(e.Number()) + ": " + e.Description());
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
  if (resourceKey.empty()) return;
  const lns::IniFile& resources = File(KbFile::Resources);
  const std::string named = std::string(what) + " names resource " + Quoted(resourceKey) + ", which ";
  if (!resources.RawValue(resourceKey, kResourceSection)) {
    Report(file, line, named + "is not in [String Resources] of " + fileNames_[static_cast<size_t>(KbFile::Resources)]);
    return;
  }
  const std::string value = ReadIniField(resources, kResourceSection, resourceKey, -1);
  if (base::TrimBlanks(base::Field(value, 1, "~")).empty() && base::TrimBlanks(base::Field(value, 2, "~")).empty()) {
    Report(file, line, named + "has neither an English nor a German text");
  }
}

void KbRules::ResourceSetting(KbFile file, std::string_view section, std::string_view key, std::string_view setting) {
  const bool listItems = base::EqualsNoCase(setting, "ListItems");
  if (!listItems && !IsResourceSetting(setting)) return;
  const std::string value = Value(file, section, key);
  const int line = Line(file, section, key);
  if (!listItems) {
    ResourceKey(file, line, key, value);
    return;
  }
  int itemNo = 0;
  for (const auto& item : SplitToCollection(value, ",")) {
    ResourceKey(file, line, std::string(key) + " item " + std::to_string(++itemNo), item.substr(0, item.find('~')));
  }
}

std::optional<int32_t> KbRules::EnumValue(KbFile file, int line, std::string_view what, std::string_view enumString) {
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
  if (!IsChannelType(channelType)) {
    Report(file, line,
           std::string(what) + " names channel type " + Quoted(channelType) + ", which is not in [Channel Types] of " +
               fileNames_[static_cast<size_t>(KbFile::Channels)]);
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
  const auto number = Number(field);
  if (!number) {
    Report(file, line, std::string(what) + " " + Quoted(field) + " is not a number");
  } else if (base::RoundHalfEven(*number) < 0 || base::RoundHalfEven(*number) > 255) {
    Report(file, line, std::string(what) + " " + Quoted(field) + " is outside 0..255");
  }
}

}  // namespace knowledge
