#pragma once
// The fetch routines: the position of a CP or NV comes from the plug-in INI file, the walk
// through the LNS objects finds it. With `succeed` given a missing entry sets it false;
// without, error 10000 "INI - File Error : <name>" is raised. The result is left unchanged
// when nothing is found. Unexpected errors (a position past a collection's end) go to the
// error operation.

#include <memory>
#include <string>

#include "portab/lns/ini_file.h"
#include "portab/lns/lns_objects.h"

namespace lns::M_PlugIn {

// The plug-in INI file's sections of CP and NV positions (the trailing blank is part of the name).
inline constexpr const char* kCpSection = "velta Porta CPs 1.0 ";
inline constexpr const char* kNvSection = "velta Porta NVs 1.0 ";

// CP position only, from the LonMark object's own CPs.
void FetchLmoCp(const std::string& name, const std::string& section, const IniFile& ini,
                std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<LonMarkObject>& owner,
                std::shared_ptr<ConfigProperty>& result, bool* succeed = nullptr);
// CP position; field 2 = the LonMark object's NV that holds the CP.
void FetchLmoCp2(const std::string& name, const std::string& section, const IniFile& ini,
                 std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<LonMarkObject>& owner,
                 std::shared_ptr<ConfigProperty>& result, bool* succeed = nullptr);
// Field 1 = CP position; field 2 = the device's LonMark object that holds the CP.
void FetchDevCp(const std::string& name, const std::string& section, const IniFile& ini,
                std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<AppDevice>& owner,
                std::shared_ptr<ConfigProperty>& result, bool* succeed = nullptr);
// Field 1 = NV position in the LonMark object.
void FetchNv(const std::string& name, const std::string& section, const IniFile& ini,
             std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<LonMarkObject>& owner,
             std::shared_ptr<NetworkVariable>& result, bool* succeed = nullptr);
// Field 1 = NV position; field 2 = the device's LonMark object that holds it.
void FetchDevNv(const std::string& name, const std::string& section, const IniFile& ini,
                std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<AppDevice>& owner,
                std::shared_ptr<NetworkVariable>& result, bool* succeed = nullptr);

}  // namespace lns::M_PlugIn
