#include "knowledge/ini_fields.h"

#include "base/text.h"

namespace knowledge {

std::string ReadIniField(const lns::IniFile& file, std::string_view section, std::string_view key,
                         int16_t fieldIndex) {
  std::string value = file.ReadString(key, section);
  const size_t comment = value.find(';');
  if (comment != std::string::npos) value.erase(comment);
  const size_t last = value.find_last_not_of(' ');
  value.erase(last == std::string::npos ? 0 : last + 1);
  if (fieldIndex > 0) return base::Field(value, fieldIndex, ",");
  return value;
}

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
