#pragma once
// The registry as the program sees it: two hives of keys holding string values and
// default values (the value with the empty name).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services::registry {

// The two hives: machine settings, and the registration of automation classes.
enum class Hive { LocalMachine, ClassesRoot };

// "HKEY_LOCAL_MACHINE" or "HKEY_CLASSES_ROOT".
std::string_view HiveName(Hive hive);

// Keys are paths whose parts are separated by backslashes. A store that cannot be read or
// written raises the path/file access error (75).
class Registry {
 public:
  virtual ~Registry() = default;

  // The value's text; nullopt when the key or the value is missing. name "" is the default value.
  virtual std::optional<std::string> ReadValue(Hive hive, std::string_view key,
                                               std::string_view name) const = 0;
  // Creates the key (and its parents) when needed.
  virtual void WriteValue(Hive hive, std::string_view key, std::string_view name,
                          std::string_view value) = 0;
  // Missing keys and values are not an error.
  virtual void DeleteValue(Hive hive, std::string_view key, std::string_view name) = 0;
  virtual void DeleteKeyTree(Hive hive, std::string_view key) = 0;  // the key and all below it
  virtual bool KeyExists(Hive hive, std::string_view key) const = 0;
  // Names of the direct subkeys, in the store's order.
  virtual std::vector<std::string> SubKeyNames(Hive hive, std::string_view key) const = 0;
};

// Settings kept as value `name` in subkey `section` of `key` (the registry access
// component's view): the stored text, or `fallback` when missing.
std::string ReadSetting(const Registry& registry, Hive hive, std::string_view key,
                        std::string_view section, std::string_view name, std::string_view fallback);
// Writes such a setting (creating the keys when needed).
void WriteSetting(Registry& registry, Hive hive, std::string_view key, std::string_view section,
                  std::string_view name, std::string_view value);

}  // namespace services::registry
