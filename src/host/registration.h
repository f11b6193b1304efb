#pragma once
// Registration of the plug-in on the machine and in the LNS networks.

#include <cstdint>
#include <string>

namespace host::M_PlugIn {

// Writes the plug-in's automation registration again.
void Register();
// Removes the plug-in's automation registration.
void Unregister();
// Deletes the plug-in's own key (PlugInKey) under HKEY_LOCAL_MACHINE.
void DeleteOwnRegistryKey();
// Registers the plug-in's commands in the LNS networks (command 50).
void RegisterInNetworks(const std::string& objectName, int16_t accessMode);

}  // namespace host::M_PlugIn
