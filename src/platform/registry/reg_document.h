#pragma once
// The contents of a registry file in the ".reg" export format, parsed and written.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\velta\veltaPortaB\Options]
//   "Language"="1000"
//   @="default value"
//
// Read: UTF-8 (with or without byte-order mark) or UTF-16LE with byte-order mark, the
// "REGEDIT4" header too, ";" comment lines, string values, dword values (read as their
// decimal text) and hex values (kept as written, continuation lines included, but not
// readable as text). Key and value names compare without regard to case. Keys under the
// other hives of a registry (HKEY_CURRENT_USER, HKEY_USERS, ...) are kept with their values
// and written back, but not served.
// Written: in the encoding the file was read in (UTF-8 for a new document; a file that was
// not UTF-8 is written as UTF-8), CRLF line ends, keys sorted with their parents, the served
// hives before the others, string values escaped ("\\", "\"").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/registry.h"

namespace platform::registry {

using namespace services::registry;  // its hives

struct RegValue {
  enum class Kind { String, Dword, Other };
  std::string name;  // "" for the default value
  Kind kind = Kind::String;
  std::string data;  // String: the text; Dword: 8 hex digits; Other: the text after "="
  bool operator==(const RegValue&) const = default;
};

struct RegKey {
  Hive hive = Hive::LocalMachine;
  std::string path;  // below the hive, without leading or trailing backslash
  std::vector<RegValue> values;
  // The hive's name for a key under a hive the store does not serve ("HKEY_CURRENT_USER");
  // empty for the served hives. Such keys keep their values in the order read.
  std::string otherHive;
  bool operator==(const RegKey&) const = default;
};

// How a document's file is encoded. UTF-16LE files always start with a byte-order mark: it is
// the form registry editors export and the only one they import without changing the text.
enum class RegEncoding { Utf8, Utf8WithBom, Utf16Le };

class RegDocument {
 public:
  // Parses file bytes; raises error 321 naming `fileName` and the line on damaged input.
  // The document remembers the encoding for Serialize.
  static RegDocument Parse(std::string_view bytes, std::string_view fileName);
  // The file bytes, in Encoding().
  std::string Serialize() const;
  RegEncoding Encoding() const { return encoding_; }
  void SetEncoding(RegEncoding encoding) { encoding_ = encoding; }

  const RegValue* FindValue(Hive hive, std::string_view key, std::string_view name) const;
  // Returns true when something changed.
  bool SetValue(Hive hive, std::string_view key, std::string_view name, std::string_view text);
  // Stores a value of any kind as it was read from a file.
  void SetRawValue(Hive hive, std::string_view key, RegValue value);
  void CreateKey(Hive hive, std::string_view key);
  bool RemoveValue(Hive hive, std::string_view key, std::string_view name);
  bool RemoveKeyTree(Hive hive, std::string_view key);
  bool HasKey(Hive hive, std::string_view key) const;
  std::vector<std::string> SubKeyNames(Hive hive, std::string_view key) const;
  const std::vector<RegKey>& Keys() const { return keys_; }

  // Normalises a key path: backslashes trimmed at both ends, empty components refused.
  static std::string NormalizeKey(std::string_view key);

 private:
  RegKey* Find(Hive hive, std::string_view normalizedKey);
  const RegKey* Find(Hive hive, std::string_view normalizedKey) const;
  RegKey& FindOrCreate(Hive hive, const std::string& normalizedKey);
  // A key under a hive the store does not serve, created (without parents) when missing.
  RegKey& OtherHiveKey(std::string_view hiveName, const std::string& normalizedKey);

  friend class RegParser;
  std::vector<RegKey> keys_;  // sorted by KeyLess
  RegEncoding encoding_ = RegEncoding::Utf8;
  bool regedit4_ = false;  // read with the "REGEDIT4" header
};

// The text a value reads as: strings as stored, dwords as decimal; nullopt for other kinds.
std::optional<std::string> ValueText(const RegValue& value);

}  // namespace platform::registry
