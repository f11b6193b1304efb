#include "platform/device_interface/cp_records.h"

#include <cctype>

#include "platform/device_interface/hex_digit.h"
#include "platform/device_interface/interface_error.h"

namespace platform::device_interface {
namespace {

constexpr size_t kMostSelected = 4096;  // more blocks or NVs than any device has

[[noreturn]] void Damaged(const std::string& what, const std::string& why) { throw InterfaceError(what + ": " + why); }

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

uint32_t Number(std::string_view field, const char* name, const std::string& what, uint32_t most) {
  if (field.empty() || field.size() > 6) Damaged(what, std::string("the ") + name + " \"" + std::string(field) + "\" is not a number");
  uint32_t value = 0;
  for (const char c : field) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
      Damaged(what, std::string("the ") + name + " \"" + std::string(field) + "\" is not a number");
    }
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > most) Damaged(what, std::string("the ") + name + " " + std::to_string(value) + " is above " + std::to_string(most));
  return value;
}

// "3", "1~5" (or "1-5"), "1.3.7~9"
std::vector<uint16_t> Select(std::string_view field, const std::string& what) {
  std::vector<uint16_t> indexes;
  for (const std::string_view item : Split(field, '.')) {
    const size_t dash = item.find_first_of("~-");
    const uint32_t first = Number(item.substr(0, dash), "index", what, 0xFFFF);
    const uint32_t last = dash == std::string_view::npos ? first : Number(item.substr(dash + 1), "index", what, 0xFFFF);
    if (last < first) Damaged(what, "the range " + std::string(item) + " ends before it begins");
    if (indexes.size() + (last - first + 1) > kMostSelected) Damaged(what, "it applies to more than 4096 indexes");
    for (uint32_t i = first; i <= last; ++i) indexes.push_back(static_cast<uint16_t>(i));
  }
  return indexes;
}

// "<scope digit><flags byte>": the flags raw, or as "\xNN".
void ScopeAndFlags(std::string_view field, CpRecord& record, const std::string& what) {
  if (field.empty() || std::isdigit(static_cast<unsigned char>(field[0])) == 0) {
    Damaged(what, "the scope and flags field does not begin with a scope digit");
  }
  record.scope = static_cast<uint8_t>(field[0] - '0');
  const std::string_view flags = field.substr(1);
  if (flags.size() == 1) {
    record.flags = static_cast<uint8_t>(flags[0]);
  } else if (flags.size() == 4 && flags[0] == '\\' && (flags[1] == 'x' || flags[1] == 'X') && HexDigit(flags[2]) >= 0 &&
             HexDigit(flags[3]) >= 0) {
    record.flags = static_cast<uint8_t>(HexDigit(flags[2]) * 16 + HexDigit(flags[3]));
  } else {
    Damaged(what, "the flags are not one byte (raw or \\xNN) after the scope digit");
  }
}

// header and select, the two fields every record begins with
void Applies(std::string_view header, std::string_view select, CpRecord& record, const std::string& what) {
  const uint32_t kind = Number(header, "header", what, 2);
  record.appliesTo = static_cast<AppliesTo>(kind);
  if (record.appliesTo == AppliesTo::Device) {
    if (!select.empty()) Damaged(what, "a record of the device has an index \"" + std::string(select) + "\"");
  } else {
    if (select.empty()) Damaged(what, std::string("the ") + (kind == 1 ? "block" : "NV") + " it applies to is missing");
    record.select = Select(select, what);
  }
}

// A record as an error names it: bytes that are not printable ASCII (the raw flags) as "\xNN".
std::string Printable(std::string_view text) {
  static const char* digits = "0123456789ABCDEF";
  std::string printable;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      printable += c;
    } else {
      printable += std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
    }
  }
  return printable;
}

bool IsRange(std::string_view field) { return field.find(':') != std::string_view::npos; }

}  // namespace

CpRecord ParseCpRecord(std::string_view text, const std::string& what) {
  const auto fields = Split(text, ',');
  if (fields.size() < 5 || fields.size() > 7) {
    Damaged(what, std::to_string(fields.size()) + " fields instead of header, select, scope and flags, type, size "
                                                  "and an optional dimension and range");
  }
  CpRecord record;
  Applies(fields[0], fields[1], record, what);
  ScopeAndFlags(fields[2], record, what);
  record.typeIndex = static_cast<uint16_t>(Number(fields[3], "type index", what, 0xFFFF));
  record.size = static_cast<uint16_t>(Number(fields[4], "size", what, 0xFFFF));
  if (record.size == 0) Damaged(what, "the size is 0");
  if (fields.size() > 5) record.dimension = static_cast<uint16_t>(Number(fields[5], "dimension", what, 0xFFFF));
  if (record.dimension == 0) Damaged(what, "the dimension is 0");
  if (fields.size() > 6) {
    if (!IsRange(fields[6])) Damaged(what, "the range \"" + std::string(fields[6]) + "\" is not min:max");
    record.range = std::string(fields[6]);
  }
  return record;
}

std::vector<CpRecord> ParseTemplateFile(std::string_view file) {
  std::vector<CpRecord> records;
  uint64_t total = 0;
  bool versionSeen = false;
  size_t number = 0;
  for (const std::string_view token : Split(file, ';')) {
    if (token.empty() || token[0] == '\0') continue;
    if (!versionSeen) {
      // "1.1" in every file known; another major version is another format.
      if (token.size() < 3 || token[0] != '1' || token[1] != '.') {
        Damaged("template file", "it begins with \"" + Printable(token.substr(0, 16)) + "\", not a format version 1.x");
      }
      versionSeen = true;
      continue;
    }
    ++number;
    const std::string what = "template file, record " + std::to_string(number) + " \"" + Printable(token.substr(0, 64)) + "\"";
    records.push_back(ParseCpRecord(token, what));
    // Every file and the directory share 64 KB of memory.
    total += records.back().Bytes();
    if (total > 0xFFFF) Damaged(what, "the records hold more than 65535 bytes, more than the value files can");
  }
  if (!versionSeen) Damaged("template file", "it is empty");
  return records;
}

CpRecord ParseConfigNvSelfDoc(std::string_view text, const std::string& what) {
  if (text.empty() || text[0] != '&') Damaged(what, "it does not begin with \"&\"");
  const std::string_view body = text.substr(1, text.find(';') == std::string_view::npos ? std::string_view::npos : text.find(';') - 1);
  auto fields = Split(body, ',');
  CpRecord record;
  if (fields.back() == "?") {
    record.changeableType = true;
    fields.pop_back();
  }
  if (fields.size() < 4 || fields.size() > 6) {
    Damaged(what, std::to_string(fields.size()) + " fields instead of header, select, scope and flags, type and an "
                                                  "optional dimension and range");
  }
  Applies(fields[0], fields[1], record, what);
  ScopeAndFlags(fields[2], record, what);
  record.typeIndex = static_cast<uint16_t>(Number(fields[3], "type index", what, 0xFFFF));
  record.size = 0;
  for (size_t i = 4; i < fields.size(); ++i) {
    if (IsRange(fields[i])) {
      record.range = std::string(fields[i]);
    } else if (i == 4) {
      record.dimension = static_cast<uint16_t>(Number(fields[i], "dimension", what, 0xFFFF));
      if (record.dimension == 0) Damaged(what, "the dimension is 0");
    } else {
      Damaged(what, "the range \"" + std::string(fields[i]) + "\" is not min:max");
    }
  }
  return record;
}

std::vector<CpPlace> ValueFileLayout(const std::vector<CpRecord>& records, bool readOnlyFile) {
  std::vector<CpPlace> places;
  uint32_t writable = 0;
  uint32_t readOnly = 0;
  for (const CpRecord& record : records) {
    const bool inReadOnly = readOnlyFile && record.Constant();
    uint32_t& offset = inReadOnly ? readOnly : writable;
    places.push_back({inReadOnly ? CpPlace::Kind::ReadOnlyFile : CpPlace::Kind::WritableFile, offset, 0});
    offset += record.Bytes();
  }
  return places;
}

}  // namespace platform::device_interface
