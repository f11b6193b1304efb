#pragma once
// A device's CP value files through its direct-memory window: found by the file directory its
// nvoFileDirectory points at, read and written with Read Memory and Write Memory (absolute
// addresses, in pieces of at most kMemoryPiece bytes). Only the writable value file is ever
// written; a write honours the CP's flags: the device offline while it changes (asked to, or to
// disable the CP's block, which the device's state covers), a reset after it.

#include <cstdint>
#include <vector>

#include "platform/device_interface/device_interface.h"
#include "platform/lonip/lon_channel.h"

namespace platform::lonip {

// The value files the directory behind NV `directoryNv` lists. Raises LonIpError naming the
// device and the interface (Malformed for a damaged directory).
device_interface::CpFiles FindCpFiles(LonChannel& channel, const LonTarget& device, uint16_t directoryNv);

// The `count` bytes at `offset` of `file`; LonIpError(Usage) when they lie past its end.
std::vector<uint8_t> ReadFileBytes(LonChannel& channel, const LonTarget& device, const device_interface::FileEntry& file,
                                   uint32_t offset, uint32_t count);

// Writes `bytes` at `offset` of the writable value file `file`, with the CP's `flags`.
// LonIpError(Usage) for bytes past its end; failures of the device as LonIpError.
void WriteFileBytes(LonChannel& channel, const LonTarget& device, const device_interface::FileEntry& file,
                    uint32_t offset, const std::vector<uint8_t>& bytes, uint8_t flags);

}  // namespace platform::lonip
