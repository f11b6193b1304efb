#include "services/registry.h"

namespace services::registry {

std::string_view HiveName(Hive hive) {
  return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT";
}

namespace {
std::string SectionKey(std::string_view key, std::string_view section) {
  std::string path(key);
  if (!section.empty()) path.append("\\").append(section);
  return path;
}
}  // namespace

std::string ReadSetting(const Registry& registry, Hive hive, std::string_view key,
                        std::string_view section, std::string_view name, std::string_view fallback) {
  auto value = registry.ReadValue(hive, SectionKey(key, section), name);
  return value ? *value : std::string(fallback);
}

void WriteSetting(Registry& registry, Hive hive, std::string_view key, std::string_view section,
                  std::string_view name, std::string_view value) {
  registry.WriteValue(hive, SectionKey(key, section), name, value);
}

}  // namespace services::registry
