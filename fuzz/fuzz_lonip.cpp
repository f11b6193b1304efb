// LON/IP datagrams from anywhere: the decoder must refuse what is not a datagram with its own
// error and re-encode what it accepts to the same meaning; the tool's readers of answers must
// take any APDU as an answer or refuse it with their own error; and a device must answer any
// datagram without failing.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/lonip/datagram.h"
#include "platform/lonip/lonip_error.h"
#include "platform/lonip/nm_messages.h"
#include "platform/lonip/simulated_device.h"

namespace {

platform::lonip::SimulatedDevice& Device() {
  static platform::lonip::SimulatedDevice device(platform::lonip::ReadDeviceDescription(
      R"({"ip": "127.1.1.1", "neuronId": "02FC00000011", "programId": "9FFFFF0000000001", "state": "configured",
          "domain": "7F0100", "subnet": 1, "node": 1,
          "nvs": [{"name": "a", "direction": "output", "value": "0190"}, {"name": "b", "value": "00"}]})"));
  return device;
}

}  // namespace

// Every reader of an answer, on `apdu` as the answer: its own error or a value, nothing else.
void ReadAsAnswers(const std::vector<uint8_t>& apdu) {
  using namespace platform::lonip;
  const std::vector<std::vector<uint8_t>> requests = {QueryStatusRequest(), QueryIdRequest(QueryIdSelector::Selected),
                                                      QueryDomainRequest(0), QueryNvConfigRequest(300), NvFetchRequest(5),
                                                      ReadMemoryRequest(MemoryMode::ReadOnly, 0, 21)};
  for (const auto& request : requests) {
    try {
      ParseStatus(AnswerData(request, apdu, "device", 0));
    } catch (const LonIpError&) {
    }
  }
  const std::function<void()> reads[] = {
      [&] { ParseIdentity(apdu); }, [&] { DecodeDomainEntry(apdu, 1); }, [&] { DecodeNvConfig(apdu, 1); },
      [&] { NvFetchValue(300, apdu, "device"); }, [&] { ParseServicePin(apdu); }};
  for (const auto& read : reads) {
    try {
      read();
    } catch (const LonIpError&) {
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform::lonip;
  const std::vector<uint8_t> bytes(data, data + size);
  ReadAsAnswers(bytes);
  try {
    const Datagram datagram = DecodeDatagram(bytes);
    if (DecodeDatagram(EncodeDatagram(datagram)) != datagram) std::abort();
  } catch (const LonIpError& error) {
    if (error.ErrorKind() != LonIpError::Kind::Malformed) std::abort();
  }
  const Ipv4 sender{{127, 1, 1, 127}};
  for (const auto& reply : Device().Receive(bytes, sender, SimulatedDevice::Clock::now())) DecodeDatagram(reply);
  return 0;
}
