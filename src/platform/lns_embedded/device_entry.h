#pragma once
// A device's interface, as read from the device, turned into an entry of a network
// description's "devices" list (what `device add` reads and `export` writes), and compared with
// the shape of a device the network already has for the same program ID (its template).

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/device_interface/device_interface.h"

namespace platform::lns_embedded {

// The entry: the NVs in index order with their types and values, one LonMark object per
// functional block with its member NVs, and the CPs on what they apply to, each with where the
// device keeps it ("deviceNv", or "deviceFile" and "deviceOffset") and its value. CPs are named
// after their types ("SCPTmaxSendTime", "SCPT 52", "UCPT 9"). The template is named
// `templateName`, or after the program ID when that is "". Raises base::Error(kBadValue)
// naming the NV or CP record the entry cannot hold (an NV of unknown length, a CP of a block or
// NV the device does not have).
nlohmann::ordered_json DeviceEntryOf(const device_interface::DeviceInterface& device, const std::string& name,
                                     const std::string& templateName);

// How `entry` differs in shape from `templ` (another device's entry): its NVs (names, types,
// sizes, whether their types change), LonMark objects (profiles, members) and each owner's CPs
// (sizes, dimensions, configuration NVs), one line each; none when they agree.
std::vector<std::string> ShapeDifferences(const nlohmann::ordered_json& templ, const nlohmann::ordered_json& entry);

// Gives `entry`, whose shape agrees with `templ`, the template's names of LonMark objects and
// CPs and its order of each owner's CPs, keeping the device's values and places.
void TakeTemplateNames(const nlohmann::ordered_json& templ, nlohmann::ordered_json& entry);

}  // namespace platform::lns_embedded
