#include "knowledge/ini_fields.h"

#include "base/procedure.h"
#include "base/text.h"

namespace knowledge {

namespace {

// The value without its comment (from the first ";") and without trailing blanks.
std::string_view CleanValue(std::string_view value) {
  value = value.substr(0, value.find(';'));
  const size_t last = value.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : value.substr(0, last + 1);
}

}  // namespace

std::string ReadIniField(const lns::IniFile& file, std::string_view section, std::string_view key,
                         int16_t fieldIndex) {
  // The value as written: the same whatever the file object's quote option is.
  std::string value = file.RawValue(key, section).value_or(std::string());
  const size_t length = CleanValue(value).size();
  if (fieldIndex > 0) return base::Field(std::string_view(value).substr(0, length), fieldIndex, ",");
  value.resize(length);  // in place: no second copy
  return value;
}

std::string_view SectionLineKey(std::string_view line) { return line.substr(0, line.find('=')); }

std::string SectionLineValue(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(CleanValue(line.substr(eq + 1)));
}

void ReportMissingEntry(const lns::IniFile& file, std::string_view section, std::string_view key) {
  if (!file.FileExists()) return;
  std::string why;
  if (const int line = file.KeyLine(key, section); line > 0) {
    why = "the value in line " + std::to_string(line) + " is empty";
  } else if (std::string damage = file.Damage(); !damage.empty()) {
    why = "the file is damaged: " + damage;
  } else if (file.SectionLine(section) == 0) {
    why = "the section is missing";
  } else {
    why = "the key is missing";
  }
  base::LogSwallowedError(file.GetFile() + ": section [" + std::string(section) + "], key \"" + std::string(key) +
                          "\" cannot be read: " + why);
}

bool IsDontShowMark(std::string_view value) { return base::EqualsNoCase(value, "DONTSHOW"); }
bool IsConstMark(std::string_view value) { return base::EqualsNoCase(value, "CONST"); }

base::Collection<std::string> SplitToCollection(std::string_view text, std::string_view separator) {
  base::Collection<std::string> fields;
  if (text.empty()) return fields;
  for (auto& field : base::Split(text, separator)) {
    if (field.empty()) break;
    fields.Add(std::move(field));
  }
  return fields;
}

bool CollectionContains(const base::Collection<std::string>& collection, std::string_view text) {
  for (const auto& element : collection) {
    if (element == text) return true;
  }
  return false;
}

std::vector<uint8_t> ParseByteList(std::string_view text, std::string_view separator) {
  std::vector<uint8_t> bytes;
  for (const auto& field : SplitToCollection(text, separator)) bytes.push_back(base::CByte(base::Val(field)));
  return bytes;
}

}  // namespace knowledge
