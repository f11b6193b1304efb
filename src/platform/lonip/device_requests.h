#pragma once
// The requests a tool makes of one device (or, for discovery, of all), over any LonChannel,
// with their answers read and checked. Every error is a LonIpError naming the device, the
// interface and the request.

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/lonip/lon_channel.h"
#include "platform/lonip/nm_messages.h"

namespace platform::lonip {

DeviceStatus QueryStatus(LonChannel& channel, const LonTarget& device);
DeviceIdentity QueryId(LonChannel& channel, const LonTarget& device, QueryIdSelector selector);
void RespondToQuery(LonChannel& channel, const LonTarget& device, bool selected);
DomainEntry QueryDomain(LonChannel& channel, const LonTarget& device, uint8_t index);
void UpdateDomain(LonChannel& channel, const LonTarget& device, uint8_t index, const DomainEntry& entry);
// Online and offline are acknowledged messages; a reset is sent unacknowledged, since a device
// that resets answers nothing.
void SetNodeMode(LonChannel& channel, const LonTarget& device, NodeMode mode);
// Sets the node state (configured, unconfigured, ...) and waits for the device's answer.
void ChangeState(LonChannel& channel, const LonTarget& device, uint8_t state);
std::array<uint8_t, 5> QueryAddress(LonChannel& channel, const LonTarget& device, uint8_t index);
void UpdateAddress(LonChannel& channel, const LonTarget& device, uint8_t index, const std::array<uint8_t, 5>& entry);
NvConfig QueryNvConfig(LonChannel& channel, const LonTarget& device, uint16_t index);
std::vector<uint8_t> ReadMemory(LonChannel& channel, const LonTarget& device, MemoryMode mode, uint16_t offset,
                                uint8_t count);
void WriteMemory(LonChannel& channel, const LonTarget& device, MemoryMode mode, uint16_t offset,
                 const std::vector<uint8_t>& data, uint8_t form = 0);
// The program ID, from the device's read-only data (bytes 13 to 20).
ProgramId ReadProgramId(LonChannel& channel, const LonTarget& device);
std::vector<uint8_t> QuerySiData(LonChannel& channel, const LonTarget& device, uint16_t offset, uint8_t count);
// The NV's value as the device holds it.
std::vector<uint8_t> NvFetch(LonChannel& channel, const LonTarget& device, uint16_t index);
void Wink(LonChannel& channel, const LonTarget& device);
// Updates an input NV (acknowledged): its selector comes from Query NV Config.
void UpdateNv(LonChannel& channel, const LonTarget& device, uint16_t selector, const std::vector<uint8_t>& value);

// A device found by discovery or heard by its service pin.
struct FoundDevice {
  Ipv4 ip;
  LonAddress source;  // as it sent it (0/0 for an unconfigured device)
  DeviceIdentity identity;
  bool servicePin = false;  // heard by its service pin rather than answering Query ID
};
// Sends Query ID for unconfigured devices as a broadcast in `domain` and listens for answers
// and service-pin messages for `listen` (or until `enough` devices answered, when not 0); one
// entry per Neuron ID, in the order heard.
std::vector<FoundDevice> Discover(LonChannel& channel, const DomainId& domain, std::chrono::milliseconds listen,
                                  size_t enough = 0);

}  // namespace platform::lonip
