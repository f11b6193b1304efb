#pragma once
// Reading a device's interface from the device itself: its read-only data (program ID, where
// the self-identification data live), the self-identification data (by Query SI Data or Read
// Memory), Query NV Config and NV Fetch for each NV, and, for a device with a direct-memory
// window, the file directory behind its nvoFileDirectory, the CP template file and both value
// files (cp_files.h).

#include <cstdint>
#include <span>
#include <vector>

#include "platform/device_interface/device_interface.h"
#include "platform/lonip/cp_files.h"
#include "platform/lonip/lon_channel.h"

namespace platform::lonip {

// What a device that offers its CP files only by file transfer is told.
inline constexpr const char* kFileTransferOnly =
    "this device offers its CP files only by file transfer, which portab does not speak yet";

// The device's interface with its NVs' and CPs' values. Raises LonIpError naming the device,
// the interface and the request that did not answer or was refused, or (Malformed) the damaged
// self-identification data. CP files that cannot be read (a damaged template or directory,
// files offered only by file transfer) leave `cpProblem` saying why, with the NVs read.
device_interface::DeviceInterface ReadDeviceInterface(LonChannel& channel, const LonTarget& device);

}  // namespace platform::lonip
