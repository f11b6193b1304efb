#include "knowledge/profile_plugins.h"

#include "base/error.h"
#include "base/text.h"

namespace knowledge {
namespace {

using services::registry::Hive;
constexpr const char* kSource = "knowledge.ProfilePlugIns";

std::string KeyOf(std::string_view fptIndex) { return std::string(kProfilePlugInsKey) + "\\" + std::string(fptIndex); }

void CheckRegistration(const services::registry::Registry& registry, const std::string& progId,
                       const std::vector<int32_t>& fptIndexes) {
  if (progId.empty()) throw base::Error(base::err::kInvalidCallOrKey, kSource, "The plug-in has no programmatic id.");
  if (fptIndexes.empty()) {
    throw base::Error(base::err::kInvalidCallOrKey, kSource,
                      "The plug-in " + progId + " names no function profile to serve.");
  }
  for (const int32_t index : fptIndexes) {
    if (index < 1 || index > 32767) {
      throw base::Error(base::err::kInvalidCallOrKey, kSource,
                        "The plug-in " + progId + " names function profile index " + std::to_string(index) +
                            ", which is not in 1..32767.");
    }
    const std::string holder = RegisteredProfilePlugIn(registry, index);
    if (!holder.empty() && !base::EqualsNoCase(holder, progId)) {
      throw base::Error(base::err::kDuplicateKey, kSource,
                        "Function profile " + std::to_string(index) + " is already served by the plug-in " + holder +
                            "; unregister that one (/unregserver) before registering " + progId + " for it.");
    }
  }
}

}  // namespace

std::string RegisteredProfilePlugIn(const services::registry::Registry& registry, int32_t fptIndex) {
  return registry.ReadValue(Hive::LocalMachine, KeyOf(std::to_string(fptIndex)), "").value_or("");
}

void RegisterProfilePlugIn(services::registry::Registry& registry, const std::string& progId,
                           const std::vector<int32_t>& fptIndexes) {
  CheckRegistration(registry, progId, fptIndexes);  // before anything is written
  UnregisterProfilePlugIn(registry, progId);        // profiles it no longer names
  for (const int32_t index : fptIndexes) {
    registry.WriteValue(Hive::LocalMachine, KeyOf(std::to_string(index)), "", progId);
  }
}

void UnregisterProfilePlugIn(services::registry::Registry& registry, const std::string& progId) {
  for (const std::string& index : registry.SubKeyNames(Hive::LocalMachine, kProfilePlugInsKey)) {
    const std::string key = KeyOf(index);
    if (base::EqualsNoCase(registry.ReadValue(Hive::LocalMachine, key, "").value_or(""), progId)) {
      registry.DeleteKeyTree(Hive::LocalMachine, key);
    }
  }
}

}  // namespace knowledge
