#include "platform/lonip/nm_messages.h"

#include <algorithm>
#include <span>

#include "platform/lonip/lonip_error.h"

namespace platform::lonip {

namespace {

constexpr uint8_t kDomainLengthMask = 0x07;

// The head bytes, then the tail's (a loop: GCC 12 misreads range inserts into small vectors).
std::vector<uint8_t> Joined(std::vector<uint8_t> head, std::span<const uint8_t> tail) {
  head.reserve(head.size() + tail.size());
  for (const uint8_t byte : tail) head.push_back(byte);
  return head;
}

[[noreturn]] void Malformed(const std::string& what) { throw LonIpError(LonIpError::Kind::Malformed, what); }

std::string Hex2(uint8_t value) { return "0x" + HexText(std::span<const uint8_t>(&value, 1)); }

}  // namespace

namespace {

struct NodeStateName {
  uint8_t state;
  const char* text;
  const char* word;
};
constexpr NodeStateName kNodeStates[] = {
    {node_state::kUnconfigured, "unconfigured", "unconfigured"},
    {node_state::kApplicationless, "applicationless", "applicationless"},
    {node_state::kConfiguredOnline, "configured, online", "online"},
    {node_state::kHardOffline, "configured, hard offline", "hard-offline"},
    {node_state::kSoftOffline, "configured, soft offline", "offline"},
};

const NodeStateName* NameOf(uint8_t state) {
  for (const auto& name : kNodeStates) {
    if (name.state == state) return &name;
  }
  return nullptr;
}

}  // namespace

std::string NodeStateText(uint8_t state) {
  const auto* name = NameOf(state);
  return name != nullptr ? name->text : "state " + Hex2(state);
}

std::string NodeStateWord(uint8_t state) {
  const auto* name = NameOf(state);
  return name != nullptr ? name->word : "state-" + HexText(std::span<const uint8_t>(&state, 1));
}

uint8_t SuccessCode(uint8_t requestCode) {
  return static_cast<uint8_t>(requestCode - ((requestCode & 0xF0) == 0x50 ? 0x20 : 0x40));
}

uint8_t FailureCode(uint8_t requestCode) {
  return static_cast<uint8_t>(requestCode - ((requestCode & 0xF0) == 0x50 ? 0x40 : 0x60));
}

std::vector<uint8_t> NvIndexBytes(uint16_t index) {
  if (index < 0xFF) return {static_cast<uint8_t>(index)};
  return {0xFF, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index & 0xFF)};
}

std::vector<uint8_t> EncodeDomainEntry(const DomainEntry& entry) {
  if (!IsDomainLength(entry.id.size()) || entry.node > 0x7F) {
    throw LonIpError(LonIpError::Kind::Usage, "a domain entry needs a domain of 0, 1, 3 or 6 bytes and a node up to 127");
  }
  std::vector<uint8_t> bytes(entry.id.begin(), entry.id.end());
  bytes.resize(6, 0);
  bytes.push_back(entry.subnet);
  bytes.push_back(static_cast<uint8_t>((entry.nonClone ? 0x80 : 0) | entry.node));
  bytes.push_back(static_cast<uint8_t>((entry.invalid ? 0x80 : 0) | entry.id.size()));
  bytes.insert(bytes.end(), entry.key.begin(), entry.key.end());
  return bytes;
}

DomainEntry DecodeDomainEntry(const std::vector<uint8_t>& bytes, size_t offset) {
  if (bytes.size() < offset + 15) Malformed("a domain entry of " + std::to_string(bytes.size() - offset) + " bytes (15 expected)");
  DomainEntry entry;
  const size_t length = bytes[offset + 8] & kDomainLengthMask;
  if (!IsDomainLength(length)) Malformed("a domain entry with a domain length of " + std::to_string(length));
  entry.id.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                  bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
  entry.subnet = bytes[offset + 6];
  entry.node = bytes[offset + 7] & 0x7F;
  entry.nonClone = (bytes[offset + 7] & 0x80) != 0;
  entry.invalid = (bytes[offset + 8] & 0x80) != 0;
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(offset + 9), bytes.begin() + static_cast<std::ptrdiff_t>(offset + 15),
            entry.key.begin());
  return entry;
}

std::vector<uint8_t> EncodeNvConfig(const NvConfig& c) {
  return {static_cast<uint8_t>((c.priority ? 0x80 : 0) | (c.output ? 0x40 : 0) | ((c.selector >> 8) & 0x3F)),
          static_cast<uint8_t>(c.selector & 0xFF),
          static_cast<uint8_t>((c.turnaround ? 0x80 : 0) | (c.service & 0x03) << 5 | (c.authenticated ? 0x10 : 0) |
                               (c.addressIndex & 0x0F))};
}

NvConfig DecodeNvConfig(const std::vector<uint8_t>& bytes, size_t offset) {
  if (bytes.size() < offset + 3) Malformed("an NV configuration of fewer than 3 bytes");
  NvConfig c;
  c.priority = (bytes[offset] & 0x80) != 0;
  c.output = (bytes[offset] & 0x40) != 0;
  c.selector = static_cast<uint16_t>((bytes[offset] & 0x3F) << 8 | bytes[offset + 1]);
  c.turnaround = (bytes[offset + 2] & 0x80) != 0;
  c.service = (bytes[offset + 2] >> 5) & 0x03;
  c.authenticated = (bytes[offset + 2] & 0x10) != 0;
  c.addressIndex = bytes[offset + 2] & 0x0F;
  return c;
}

std::vector<uint8_t> QueryStatusRequest() { return {code::kQueryStatus}; }
std::vector<uint8_t> QueryIdRequest(QueryIdSelector selector) { return {code::kQueryId, static_cast<uint8_t>(selector)}; }
std::vector<uint8_t> RespondToQueryRequest(bool selected) { return {code::kRespondToQuery, static_cast<uint8_t>(selected)}; }
std::vector<uint8_t> QueryDomainRequest(uint8_t index) { return {code::kQueryDomain, index}; }
std::vector<uint8_t> UpdateDomainRequest(uint8_t index, const DomainEntry& entry) {
  return Joined({code::kUpdateDomain, index}, EncodeDomainEntry(entry));
}
std::vector<uint8_t> SetNodeModeRequest(NodeMode mode) { return {code::kSetNodeMode, static_cast<uint8_t>(mode)}; }
std::vector<uint8_t> ChangeStateRequest(uint8_t state) { return {code::kSetNodeMode, 3, state}; }
std::vector<uint8_t> QueryAddressRequest(uint8_t index) { return {code::kQueryAddress, index}; }
std::vector<uint8_t> UpdateAddressRequest(uint8_t index, const std::array<uint8_t, 5>& entry) {
  return Joined({code::kUpdateAddress, index}, entry);
}
std::vector<uint8_t> QueryNvConfigRequest(uint16_t index) {
  return Joined({code::kQueryNvConfig}, NvIndexBytes(index));
}
std::vector<uint8_t> ReadMemoryRequest(MemoryMode mode, uint16_t offset, uint8_t count) {
  return {code::kReadMemory, static_cast<uint8_t>(mode), static_cast<uint8_t>(offset >> 8),
          static_cast<uint8_t>(offset & 0xFF), count};
}
std::vector<uint8_t> WriteMemoryRequest(MemoryMode mode, uint16_t offset, const std::vector<uint8_t>& data, uint8_t form) {
  if (data.size() > 255) throw LonIpError(LonIpError::Kind::Usage, "Write Memory takes at most 255 bytes");
  return Joined({code::kWriteMemory, static_cast<uint8_t>(mode), static_cast<uint8_t>(offset >> 8),
                 static_cast<uint8_t>(offset & 0xFF), static_cast<uint8_t>(data.size()), form},
                data);
}
std::vector<uint8_t> QuerySiDataRequest(uint16_t offset, uint8_t count) {
  return {code::kQuerySiData, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset & 0xFF), count};
}
std::vector<uint8_t> NvFetchRequest(uint16_t index) {
  return Joined({code::kNvFetch}, NvIndexBytes(index));
}
std::vector<uint8_t> WinkMessage() { return {code::kWink}; }

std::vector<uint8_t> NvUpdateMessage(uint16_t selector, const std::vector<uint8_t>& value) {
  if (selector > 0x3FFF) throw LonIpError(LonIpError::Kind::Usage, "an NV selector above 0x3FFF");
  return Joined({static_cast<uint8_t>(0x80 | (selector >> 8)), static_cast<uint8_t>(selector & 0xFF)}, value);
}

std::string MessageName(const std::vector<uint8_t>& apdu) {
  if (apdu.empty()) return "an empty message";
  if ((apdu[0] & 0x80) != 0) return "an NV update";
  switch (apdu[0]) {
    case code::kQueryStatus: return "Query Status";
    case code::kExpanded: return "an expanded request";
    case code::kQueryId: return "Query ID";
    case code::kRespondToQuery: return "Respond to Query";
    case code::kUpdateDomain: return "Update Domain";
    case code::kUpdateAddress: return "Update Address";
    case code::kQueryAddress: return "Query Address";
    case code::kQueryNvConfig: return "Query NV Config";
    case code::kQueryDomain: return "Query Domain";
    case code::kSetNodeMode: return "Set Node Mode";
    case code::kReadMemory: return "Read Memory";
    case code::kWriteMemory: return "Write Memory";
    case code::kWink: return "Wink";
    case code::kQuerySiData: return "Query SI data";
    case code::kNvFetch: return "NV Fetch";
    case code::kServicePin: return "a service-pin message";
    default: return "message " + Hex2(apdu[0]);
  }
}

std::vector<uint8_t> AnswerData(const std::vector<uint8_t>& request, const std::vector<uint8_t>& answer,
                                const std::string& device, size_t minimumData) {
  const uint8_t success = SuccessCode(request.at(0));
  const uint8_t failure = FailureCode(request.at(0));
  const std::string name = MessageName(request);
  if (answer.empty()) Malformed(device + " answered " + name + " with nothing");
  if (answer[0] == failure) {
    throw LonIpError(LonIpError::Kind::Refused,
                     device + " refused " + name + " (failure code " + Hex2(failure) + ")");
  }
  if (answer[0] != success) {
    Malformed(device + " answered " + name + " with code " + Hex2(answer[0]) + " (expected " + Hex2(success) + ")");
  }
  if (answer.size() - 1 < minimumData) {
    Malformed(device + " answered " + name + " with " + std::to_string(answer.size() - 1) + " data bytes (expected " +
              std::to_string(minimumData) + ")");
  }
  return {answer.begin() + 1, answer.end()};
}

DeviceStatus ParseStatus(const std::vector<uint8_t>& data) {
  if (data.size() < 15) Malformed("a Query Status answer of " + std::to_string(data.size()) + " data bytes (15 expected)");
  DeviceStatus status;
  for (size_t i = 0; i < 5; ++i) status.counters[i] = static_cast<uint16_t>(data[2 * i] << 8 | data[2 * i + 1]);
  status.resetCause = data[10];
  status.state = data[11];
  status.version = data[12];
  status.errorLog = data[13];
  status.architecture = data[14];
  return status;
}

DeviceIdentity ParseIdentity(const std::vector<uint8_t>& data) {
  if (data.size() < 14) Malformed("an identity of " + std::to_string(data.size()) + " bytes (14 expected)");
  DeviceIdentity identity;
  std::copy(data.begin(), data.begin() + 6, identity.neuronId.begin());
  std::copy(data.begin() + 6, data.begin() + 14, identity.programId.begin());
  return identity;
}

std::optional<DeviceIdentity> ParseServicePin(const std::vector<uint8_t>& apdu) {
  if (apdu.size() < 15 || apdu[0] != code::kServicePin) return std::nullopt;
  return ParseIdentity({apdu.begin() + 1, apdu.end()});
}

std::vector<uint8_t> NvFetchValue(uint16_t index, const std::vector<uint8_t>& data, const std::string& device) {
  const auto expected = NvIndexBytes(index);
  if (data.size() < expected.size() || !std::equal(expected.begin(), expected.end(), data.begin())) {
    Malformed(device + " answered NV Fetch of NV " + std::to_string(index) + " for another NV");
  }
  return {data.begin() + static_cast<std::ptrdiff_t>(expected.size()), data.end()};
}

}  // namespace platform::lonip
