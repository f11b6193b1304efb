#pragma once
// Profile plug-ins registered in the registry store for the function profiles they serve.
// When the knowledge base's "Plug-in" section names no plug-in for a function profile index,
// the plug-in registered here for it gets the command. Kept as values of one key below
// HKEY_LOCAL_MACHINE: the name is the function profile index, the value the programmatic id.

#include <cstdint>
#include <string>
#include <vector>

#include "services/registry.h"

namespace knowledge {

// The key that holds the registrations.
inline constexpr const char* kProfilePlugInsKey = "SOFTWARE\\velta\\veltaPortaB\\Profile Plug-ins";

// The programmatic id registered for function profile index `fptIndex`; "" when none is.
std::string RegisteredProfilePlugIn(const services::registry::Registry& registry, int32_t fptIndex);

// Registers `progId` for each index of `fptIndexes`. Registering a plug-in again for its own
// profiles is allowed. Errors (base::Error, nothing is written then): 5 when the list is empty,
// an index is outside 1..32767 or `progId` is empty; 457 when another plug-in is registered
// for one of the indexes (the message names both).
void RegisterProfilePlugIn(services::registry::Registry& registry, const std::string& progId,
                           const std::vector<int32_t>& fptIndexes);

// Removes every registration of `progId`; none is no error.
void UnregisterProfilePlugIn(services::registry::Registry& registry, const std::string& progId);

}  // namespace knowledge
