#pragma once
// The network-management and diagnostic requests a tool sends, as APDUs (message code and
// data), and the reading of their answers. A request with code 0x6n succeeds with 0x2n and
// fails with 0x0n; a diagnostic request 0x5n succeeds with 0x3n and fails with 0x1n.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/lonip/lon_address.h"

namespace platform::lonip {

namespace code {
constexpr uint8_t kQueryStatus = 0x51;
constexpr uint8_t kExpanded = 0x60;
constexpr uint8_t kQueryId = 0x61;
constexpr uint8_t kRespondToQuery = 0x62;
constexpr uint8_t kUpdateDomain = 0x63;
constexpr uint8_t kUpdateAddress = 0x66;
constexpr uint8_t kQueryAddress = 0x67;
constexpr uint8_t kQueryNvConfig = 0x68;
constexpr uint8_t kQueryDomain = 0x6A;
constexpr uint8_t kSetNodeMode = 0x6C;
constexpr uint8_t kReadMemory = 0x6D;
constexpr uint8_t kWriteMemory = 0x6E;
constexpr uint8_t kWink = 0x70;
constexpr uint8_t kQuerySiData = 0x72;
constexpr uint8_t kNvFetch = 0x73;
constexpr uint8_t kServicePin = 0x7F;
}  // namespace code

// Node states of Query Status and Set Node Mode.
namespace node_state {
constexpr uint8_t kUnconfigured = 2;
constexpr uint8_t kApplicationless = 3;
constexpr uint8_t kConfiguredOnline = 4;
constexpr uint8_t kHardOffline = 6;
constexpr uint8_t kSoftOffline = 0x0C;
}  // namespace node_state
// "unconfigured", "configured, online", ... or "state 0x07".
std::string NodeStateText(uint8_t state);
// The same as one word: "unconfigured", "applicationless", "online", "offline", "hard-offline",
// "state-07".
std::string NodeStateWord(uint8_t state);
// The answer codes of a request: 0x6n succeeds with 0x2n and fails with 0x0n, a diagnostic
// request 0x5n with 0x3n and 0x1n.
uint8_t SuccessCode(uint8_t requestCode);
uint8_t FailureCode(uint8_t requestCode);
// An NV index as NV Fetch and Query NV Config carry it: one byte, or FF and two.
std::vector<uint8_t> NvIndexBytes(uint16_t index);

enum class NodeMode : uint8_t { Offline = 0, Online = 1, Reset = 2 };
enum class QueryIdSelector : uint8_t { Unconfigured = 0, Selected = 1, SelectedUnconfigured = 2 };
enum class MemoryMode : uint8_t { Absolute = 0, ReadOnly = 1, Configuration = 2, Statistics = 3 };

struct DeviceStatus {
  std::array<uint16_t, 5> counters{};  // transmission errors, transaction timeouts, receive transactions full, lost, missed
  uint8_t resetCause = 0;
  uint8_t state = 0;
  uint8_t version = 0;
  uint8_t errorLog = 0;
  uint8_t architecture = 0;
};

struct DeviceIdentity {
  NeuronId neuronId{};
  ProgramId programId{};
};

// A domain table entry as Query Domain reports it and Update Domain writes it.
struct DomainEntry {
  DomainId id;
  uint8_t subnet = 0;
  uint8_t node = 0;
  bool nonClone = false;
  bool invalid = false;
  std::array<uint8_t, 6> key{};
  bool operator==(const DomainEntry&) const = default;
};
std::vector<uint8_t> EncodeDomainEntry(const DomainEntry& entry);
// Raises LonIpError(Malformed) for fewer than 15 bytes or a domain length that does not exist.
DomainEntry DecodeDomainEntry(const std::vector<uint8_t>& bytes, size_t offset);

// An NV configuration entry (Query NV Config): priority, direction, selector, service, address index.
struct NvConfig {
  bool priority = false;
  bool output = false;
  uint16_t selector = 0;  // 14 bits
  bool turnaround = false;
  uint8_t service = 0;
  bool authenticated = false;
  uint8_t addressIndex = 0;
  bool operator==(const NvConfig&) const = default;
};
std::vector<uint8_t> EncodeNvConfig(const NvConfig& config);
NvConfig DecodeNvConfig(const std::vector<uint8_t>& bytes, size_t offset);

// Requests.
std::vector<uint8_t> QueryStatusRequest();
std::vector<uint8_t> QueryIdRequest(QueryIdSelector selector);
std::vector<uint8_t> RespondToQueryRequest(bool selected);
std::vector<uint8_t> QueryDomainRequest(uint8_t index);
std::vector<uint8_t> UpdateDomainRequest(uint8_t index, const DomainEntry& entry);
std::vector<uint8_t> SetNodeModeRequest(NodeMode mode);
std::vector<uint8_t> ChangeStateRequest(uint8_t state);
std::vector<uint8_t> QueryAddressRequest(uint8_t index);
std::vector<uint8_t> UpdateAddressRequest(uint8_t index, const std::array<uint8_t, 5>& entry);
std::vector<uint8_t> QueryNvConfigRequest(uint16_t index);
std::vector<uint8_t> ReadMemoryRequest(MemoryMode mode, uint16_t offset, uint8_t count);
std::vector<uint8_t> WriteMemoryRequest(MemoryMode mode, uint16_t offset, const std::vector<uint8_t>& data, uint8_t form);
std::vector<uint8_t> QuerySiDataRequest(uint16_t offset, uint8_t count);
std::vector<uint8_t> NvFetchRequest(uint16_t index);
std::vector<uint8_t> WinkMessage();
// The NV message that updates an input NV: selector and value.
std::vector<uint8_t> NvUpdateMessage(uint16_t selector, const std::vector<uint8_t>& value);

// "Query Status", "NV Fetch", "an NV update"; "message 0x4F" for others.
std::string MessageName(const std::vector<uint8_t>& apdu);
// The answer's data after its code. Raises LonIpError(Refused) for the failure code, naming
// `device` and the request, and LonIpError(Malformed) for any other code or fewer data
// bytes than `minimumData`.
std::vector<uint8_t> AnswerData(const std::vector<uint8_t>& request, const std::vector<uint8_t>& answer,
                                const std::string& device, size_t minimumData = 0);

// The data of a Query Status answer, of a Query ID answer (Neuron ID and program ID); each
// raises LonIpError(Malformed) for too few bytes.
DeviceStatus ParseStatus(const std::vector<uint8_t>& data);
DeviceIdentity ParseIdentity(const std::vector<uint8_t>& data);
// The service-pin message's identity; nullopt when the APDU is not one.
std::optional<DeviceIdentity> ParseServicePin(const std::vector<uint8_t>& apdu);
// NV Fetch's answer data: the index as sent, then the value.
std::vector<uint8_t> NvFetchValue(uint16_t index, const std::vector<uint8_t>& data, const std::string& device);

}  // namespace platform::lonip
