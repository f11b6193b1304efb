#pragma once
// Profile plug-ins registered in the registry store for the function profiles they serve.
// When the knowledge base's "Plug-in" section names no plug-in for a function profile index,
// the plug-in registered here for it gets the command. Kept below HKEY_LOCAL_MACHINE as one
// subkey per function profile index whose default value is the programmatic id:
//   SOFTWARE\velta\veltaPortaB\Profile Plug-ins\6   @="veltaDimmerExample.Application"

#include <cstdint>
#include <string>
#include <vector>

#include "portab/services/registry.h"

namespace knowledge {

// The key whose subkeys hold the registrations.
inline constexpr const char* kProfilePlugInsKey = "SOFTWARE\\velta\\veltaPortaB\\Profile Plug-ins";

// The programmatic id registered for function profile index `fptIndex`; "" when none is.
std::string RegisteredProfilePlugIn(const services::registry::Registry& registry, int32_t fptIndex);

// Registers `progId` for each index of `fptIndexes`, and for no other: registering a plug-in
// again replaces its list. Errors (base::Error, nothing is written then): 5 when the list is empty,
// an index is outside 1..32767 or `progId` is empty; 457 when another plug-in is registered
// for one of the indexes (the message names both).
void RegisterProfilePlugIn(services::registry::Registry& registry, const std::string& progId,
                           const std::vector<int32_t>& fptIndexes);

// Removes every registration of `progId`; none is no error.
void UnregisterProfilePlugIn(services::registry::Registry& registry, const std::string& progId);

}  // namespace knowledge
