#pragma once
// Registration of the plug-in on the machine and in the LNS networks.

#include <cstdint>
#include <string>

namespace host::M_PlugIn {

// The plug-in's automation class.
inline constexpr const char* kProgIdPrefix = "veltaPortaB";
inline constexpr const char* kClassName = "Application";
inline constexpr const char* kProgramId = "veltaPortaB.Application";
inline constexpr const char* kClassId = "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}";
inline constexpr const char* kLcaVersion = "3.24";
inline constexpr const char* kManufacturerId = "0009C";

// Writes the plug-in's automation registration again.
void Register();
// Removes the plug-in's automation registration.
void Unregister();
// Deletes the plug-in's own key (PlugInKey) under HKEY_LOCAL_MACHINE.
void DeleteOwnRegistryKey();
// Registers the plug-in's commands in the LNS networks (command 50).
void RegisterInNetworks(const std::string& objectName, int16_t accessMode);

}  // namespace host::M_PlugIn
