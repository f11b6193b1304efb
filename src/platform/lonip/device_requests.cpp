#include "platform/lonip/device_requests.h"

#include <algorithm>
#include <set>

#include "platform/lonip/lonip_error.h"

namespace platform::lonip {

namespace {

std::string Who(const LonChannel& channel, const LonTarget& device) { return device.Text() + " on " + channel.Name(); }

std::vector<uint8_t> Ask(LonChannel& channel, const LonTarget& device, const std::vector<uint8_t>& request,
                         size_t minimumData = 0) {
  auto answer = channel.Request(device, request);
  // An answer to another request is the device's cached answer to one that had the same id
  // (another program's, whose ids this one could not know): asked once more, under a new id.
  if (!answer.empty() && answer[0] != SuccessCode(request[0]) && answer[0] != FailureCode(request[0])) {
    answer = channel.Request(device, request);
  }
  return AnswerData(request, answer, Who(channel, device), minimumData);
}

}  // namespace

DeviceStatus QueryStatus(LonChannel& channel, const LonTarget& device) {
  return ParseStatus(Ask(channel, device, QueryStatusRequest(), 15));
}

DeviceIdentity QueryId(LonChannel& channel, const LonTarget& device, QueryIdSelector selector) {
  return ParseIdentity(Ask(channel, device, QueryIdRequest(selector), 14));
}

void RespondToQuery(LonChannel& channel, const LonTarget& device, bool selected) {
  Ask(channel, device, RespondToQueryRequest(selected));
}

DomainEntry QueryDomain(LonChannel& channel, const LonTarget& device, uint8_t index) {
  return DecodeDomainEntry(Ask(channel, device, QueryDomainRequest(index), 15), 0);
}

void UpdateDomain(LonChannel& channel, const LonTarget& device, uint8_t index, const DomainEntry& entry) {
  Ask(channel, device, UpdateDomainRequest(index, entry));
}

void SetNodeMode(LonChannel& channel, const LonTarget& device, NodeMode mode) {
  if (mode == NodeMode::Reset) {
    channel.SendUnacknowledged(device, SetNodeModeRequest(mode));
  } else {
    channel.SendAcknowledged(device, SetNodeModeRequest(mode));
  }
}

void ChangeState(LonChannel& channel, const LonTarget& device, uint8_t state) {
  Ask(channel, device, ChangeStateRequest(state));
}

std::array<uint8_t, 5> QueryAddress(LonChannel& channel, const LonTarget& device, uint8_t index) {
  const auto data = Ask(channel, device, QueryAddressRequest(index), 5);
  std::array<uint8_t, 5> entry{};
  std::copy(data.begin(), data.begin() + 5, entry.begin());
  return entry;
}

void UpdateAddress(LonChannel& channel, const LonTarget& device, uint8_t index, const std::array<uint8_t, 5>& entry) {
  Ask(channel, device, UpdateAddressRequest(index, entry));
}

NvConfig QueryNvConfig(LonChannel& channel, const LonTarget& device, uint16_t index) {
  return DecodeNvConfig(Ask(channel, device, QueryNvConfigRequest(index), 3), 0);
}

std::vector<uint8_t> ReadMemory(LonChannel& channel, const LonTarget& device, MemoryMode mode, uint16_t offset,
                                uint8_t count) {
  auto data = Ask(channel, device, ReadMemoryRequest(mode, offset, count), count);
  data.resize(count);
  return data;
}

void WriteMemory(LonChannel& channel, const LonTarget& device, MemoryMode mode, uint16_t offset,
                 const std::vector<uint8_t>& data, uint8_t form) {
  Ask(channel, device, WriteMemoryRequest(mode, offset, data, form));
}

ProgramId ReadProgramId(LonChannel& channel, const LonTarget& device) {
  const auto bytes = ReadMemory(channel, device, MemoryMode::ReadOnly, 13, 8);
  ProgramId id{};
  std::copy(bytes.begin(), bytes.end(), id.begin());
  return id;
}

std::vector<uint8_t> QuerySiData(LonChannel& channel, const LonTarget& device, uint16_t offset, uint8_t count) {
  auto data = Ask(channel, device, QuerySiDataRequest(offset, count), count);
  data.resize(count);
  return data;
}

std::vector<uint8_t> NvFetch(LonChannel& channel, const LonTarget& device, uint16_t index) {
  return NvFetchValue(index, Ask(channel, device, NvFetchRequest(index)), Who(channel, device));
}

void Wink(LonChannel& channel, const LonTarget& device) { channel.SendAcknowledged(device, WinkMessage()); }

void UpdateNv(LonChannel& channel, const LonTarget& device, uint16_t selector, const std::vector<uint8_t>& value) {
  channel.SendAcknowledged(device, NvUpdateMessage(selector, value));
}

std::vector<FoundDevice> Discover(LonChannel& channel, const DomainId& domain, std::chrono::milliseconds listen,
                                  size_t enough) {
  const auto request = QueryIdRequest(QueryIdSelector::Unconfigured);
  std::vector<FoundDevice> found;
  std::set<NeuronId> seen;
  for (const auto& answer : channel.RequestAll(LonTarget::Broadcast(domain), request, listen, enough)) {
    try {
      const auto identity = ParseIdentity(AnswerData(request, answer.apdu, "the device at " + answer.from.Text(), 14));
      if (seen.insert(identity.neuronId).second) found.push_back({answer.from, answer.source, identity, false});
    } catch (const LonIpError&) {
      // A device that refused or answered garbage is not one discovery can report.
    }
  }
  for (const auto& heard : channel.Listen(std::chrono::milliseconds(0))) {
    const auto identity = ParseServicePin(heard.apdu);
    if (identity && seen.insert(identity->neuronId).second) found.push_back({heard.from, heard.source, *identity, true});
  }
  return found;
}

}  // namespace platform::lonip
