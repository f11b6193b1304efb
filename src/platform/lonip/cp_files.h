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

// The most bytes one Read Memory or Write Memory moves: what every device takes.
inline constexpr uint8_t kMemoryPiece = 11;

// `count` bytes at `address` (absolute), in pieces; LonIpError(Usage) past the end of memory.
std::vector<uint8_t> ReadMemoryBytes(LonChannel& channel, const LonTarget& device, uint32_t address, uint32_t count);

// The directory that `address` (the value of the device's file directory NV) points at.
// Raises device_interface::InterfaceError for a damaged one, LonIpError for the device's failures.
device_interface::FileDirectory ReadFileDirectory(LonChannel& channel, const LonTarget& device, const std::vector<uint8_t>& address,
                                                  uint16_t* at);

// The value files the directory behind NV `directoryNv` lists. Raises LonIpError naming the
// device and the interface (Malformed for a damaged directory).
device_interface::CpFiles FindCpFiles(LonChannel& channel, const LonTarget& device, uint16_t directoryNv);

// The CP files with the template's records placed in them (their values not read).
struct DeviceCpFiles {
  device_interface::CpFiles files;
  std::vector<device_interface::InterfaceCp> cps;
};
// Raises as FindCpFiles, and LonIpError(Malformed) naming the template when it is damaged.
DeviceCpFiles ReadDeviceCpFiles(LonChannel& channel, const LonTarget& device, uint16_t directoryNv);
// The record of the device's own template whose item's part (the whole record, or one item's
// share of it) is exactly the `count` bytes at `offset` of a value file (the read-only one when
// `readOnly`). Raises LonIpError(Refused) saying that the
// device keeps its CPs otherwise when there is none: nothing is read or written at such a place.
const device_interface::InterfaceCp& RecordAt(const DeviceCpFiles& files, bool readOnly, uint32_t offset, uint32_t count,
                                              const std::string& device);

// The `count` bytes at `offset` of `file`; LonIpError(Usage) when they lie past its end.
std::vector<uint8_t> ReadFileBytes(LonChannel& channel, const LonTarget& device, const device_interface::FileEntry& file,
                                   uint32_t offset, uint32_t count);

// Writes `bytes` at `offset` of the writable value file `file`, with the CP's `flags`.
// LonIpError(Usage) for bytes past its end; failures of the device as LonIpError.
void WriteFileBytes(LonChannel& channel, const LonTarget& device, const device_interface::FileEntry& file,
                    uint32_t offset, const std::vector<uint8_t>& bytes, uint8_t flags);

}  // namespace platform::lonip
