#pragma once
// Automation classes in the registry store, under HKEY_CLASSES_ROOT:
//   <ProgId>\Clsid                   (default) = {class id}
//   Clsid\{class id}\ProgID          (default) = <ProgId>
//   Clsid\{class id}\LocalServer32   (default) = absolute path of the program
// plus the descriptive data of a plug-in in Clsid\{class id}\Plug-in (one value per item).

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "services/automation.h"
#include "services/registry.h"

namespace platform::automation {

using namespace services::automation;  // the interfaces implemented here

void RegisterClass(services::registry::Registry& registry, const ClassRegistration& registration);
// Removes the program id's keys and its class id's keys; a missing registration is no error.
void UnregisterClass(services::registry::Registry& registry, const std::string& progId, const std::string& classId);
// The registered program of a program id; nullopt when the class is not registered.
std::optional<std::filesystem::path> RegisteredServer(const services::registry::Registry& registry, const std::string& progId);

// The registry store's ComRegistration.
class RegistryComRegistration final : public ComRegistration {
 public:
  explicit RegistryComRegistration(services::registry::Registry& registry) : registry_(registry) {}
  void Register(const ClassRegistration& registration) override { RegisterClass(registry_, registration); }
  void Unregister(const std::string& progId, const std::string& classId) override {
    UnregisterClass(registry_, progId, classId);
  }

 private:
  services::registry::Registry& registry_;
};

}  // namespace platform::automation
