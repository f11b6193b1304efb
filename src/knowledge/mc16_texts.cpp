// cMC16: enumerations, string resources and the command table, the readers every other
// knowledge-base reader rests on.

#include "base/error.h"
#include "base/text.h"
#include "knowledge/ini_fields.h"
#include "knowledge/mc16.h"
#include "ui/res_strings.h"

namespace knowledge {
namespace {

constexpr const char* kResourceSection = "String Resources";
constexpr const char* kEntriesSection = "Entries";

// The line without its comment (from the first ";").
std::string_view WithoutComment(std::string_view line) { return line.substr(0, line.find(';')); }

// The number after "=" of an enumeration line, its comment (from the first ";") cut first;
// nullopt when it is no number.
std::optional<int32_t> EnumLineValue(std::string_view line) {
  line = WithoutComment(line);
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view number = base::TrimBlanks(line.substr(eq + 1));
  if (!base::IsNumber(number)) return std::nullopt;
  return base::CLng(base::Val(number));
}

std::string EntryKey(uint8_t index) { return "Entry_" + std::to_string(index); }

}  // namespace

std::string cMC16::Read(KbFile file, std::string_view section, std::string_view key, int16_t field) const {
  // An empty section name comes from a name that did not resolve (an unknown module type):
  // it reads nothing rather than the lines before the file's first header.
  if (section.empty()) return {};
  return ReadIniField(File(file), section, key, field);
}

Strings cMC16::EnumSectionLines(std::string_view enumPrefix) const {
  Strings lines;
  for (auto& line : File(KbFile::Enums).SectionLines("Enum_" + std::string(enumPrefix))) lines.Add(std::move(line));
  return lines;
}

std::string cMC16::GetEnumStringByValue(int32_t value, std::string_view enumPrefix) const {
  for (const auto& line : EnumSectionLines(enumPrefix)) {
    // A line without a number is no match (the knowledge-base checker reports it).
    if (EnumLineValue(line) == value) return line.substr(0, line.find('='));
  }
  return {};
}

int32_t cMC16::GetValueByEnumString(std::string_view enumString) const {
  const lns::IniFile& enums = File(KbFile::Enums);
  for (const auto& section : enums.SectionNames()) {
    for (const auto& line : enums.SectionLines(section)) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos || !base::EqualsNoCase(std::string_view(line).substr(0, eq), enumString)) continue;
      return base::CLng(base::Val(std::string_view(line).substr(eq + 1)));
    }
  }
  return 0;
}

std::string cMC16::GetIniResourceString(std::string_view iniResKey, bool languageDependent) const {
  if (iniResKey.empty()) return {};
  const int language = languageDependent ? ui::LanguageOffset() / 1000 + 1 : 1;
  const std::string value = Read(KbFile::Resources, kResourceSection, iniResKey);
  std::string text(base::TrimBlanks(base::Field(value, language, "~")));
  if (text.empty()) text = std::string(iniResKey);
  return base::ReplaceAll(text, "\xC2\xB6", "\r\n");
}

std::string cMC16::GetCommandTableEntryName(uint8_t index) const {
  return Resource(Read(KbFile::CommandTable, kEntriesSection, EntryKey(index), 2));
}

bool cMC16::GetCommandTableEntryState(uint8_t index) const {
  return base::Val(Read(KbFile::CommandTable, kEntriesSection, EntryKey(index), 1)) != 0;
}

std::array<uint8_t, 5> cMC16::GetCommandTableEntryValue(uint8_t index) const {
  const std::string value = Read(KbFile::CommandTable, kEntriesSection, EntryKey(index));
  std::array<uint8_t, 5> bytes{};
  for (int i = 0; i < 5; ++i) bytes[static_cast<size_t>(i)] = base::CByte(base::Val(base::Field(value, i + 3, ",")));
  return bytes;
}

}  // namespace knowledge
