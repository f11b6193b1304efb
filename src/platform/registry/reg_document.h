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
// readable as text). Key and value names compare without regard to case.
// Written: UTF-8, keys sorted with their parents, string values escaped ("\\", "\"").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace platform::registry {

struct RegValue {
  enum class Kind { String, Dword, Other };
  std::string name;  // "" for the default value
  Kind kind = Kind::String;
  std::string data;  // String: the text; Dword: 8 hex digits; Other: the text after "="
};

struct RegKey {
  Hive hive = Hive::LocalMachine;
  std::string path;  // below the hive, without leading or trailing backslash
  std::vector<RegValue> values;
};

class RegDocument {
 public:
  // Parses file bytes; raises error 321 naming `fileName` and the line on damaged input.
  static RegDocument Parse(std::string_view bytes, std::string_view fileName);
  std::string Serialize() const;

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

  std::vector<RegKey> keys_;
};

// The text a value reads as: strings as stored, dwords as decimal; nullopt for other kinds.
std::optional<std::string> ValueText(const RegValue& value);

}  // namespace platform::registry
