#include "platform/automation/class_registry.h"

namespace platform::automation {

using services::registry::Hive;

void RegisterClass(services::registry::Registry& registry, const ClassRegistration& registration) {
  const std::string classKey = "Clsid\\" + registration.classId;
  registry.WriteValue(Hive::ClassesRoot, registration.progId + "\\Clsid", "", registration.classId);
  registry.WriteValue(Hive::ClassesRoot, classKey + "\\ProgID", "", registration.progId);
  registry.WriteValue(Hive::ClassesRoot, classKey + "\\LocalServer32", "",
                      std::filesystem::absolute(registration.server).lexically_normal().string());
  for (const auto& [name, value] : registration.details) {
    registry.WriteValue(Hive::ClassesRoot, classKey + "\\Plug-in", name, value);
  }
}

void UnregisterClass(services::registry::Registry& registry, const std::string& progId, const std::string& classId) {
  registry.DeleteKeyTree(Hive::ClassesRoot, progId);
  registry.DeleteKeyTree(Hive::ClassesRoot, "Clsid\\" + classId);
}

std::optional<std::filesystem::path> RegisteredServer(const services::registry::Registry& registry, const std::string& progId) {
  const auto classId = registry.ReadValue(Hive::ClassesRoot, progId + "\\Clsid", "");
  if (!classId || classId->empty()) return std::nullopt;
  const auto server = registry.ReadValue(Hive::ClassesRoot, "Clsid\\" + *classId + "\\LocalServer32", "");
  if (!server || server->empty()) return std::nullopt;
  return std::filesystem::path(*server);
}

}  // namespace platform::automation
