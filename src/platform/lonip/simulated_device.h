#pragma once
// A LON device of our own, for tests and the demo: it answers the network-management and
// diagnostic requests a tool sends over LON/IP and holds NVs, configuration NVs among them,
// described in JSON. The logic takes datagrams and returns the datagrams to send back, so that
// the program around it (portab-lon-device) only moves bytes.
//
// Its description:
//   {"ip": "127.1.1.1", "neuronId": "02FC00000011", "programId": "9FFFFF0000000001",
//    "state": "unconfigured" | "configured" | "offline", "domain": "7F0100", "subnet": 1, "node": 1,
//    "selfDoc": "&3.4@0NodeObject,3200Omnal",
//    "nvs": [{"name": "nviSetpoint", "direction": "input", "config": true, "type": 105,
//             "value": "0190", "selfDoc": "&1,1,0\\x80,105"}],
//    "cps": [{"appliesTo": "device" | "block" | "nv", "select": "1~2", "scope": 0, "flags": "80",
//             "type": 49, "size": 2, "dimension": 1, "range": "0:100", "value": "0032"}],
//    "window": "A100", "templateText": "1.1;...", "maxMemoryWrite": 11, "silentAfterResetMs": 0,
//    "silentAfterMemoryWrites": 0,
//    "dropFirst": 0, "servicePinAtStart": false}
// A device with "cps" keeps them in CP files in a direct-memory window (at "window", 0xA100 when
// not given): the file directory at its start, then a template file made from the records (or
// "templateText" as given), the writable value file and, when a record is constant, the
// read-only one. An NV of type 114 in its Node Object should point at the directory. Absolute
// Read Memory and Write Memory reach that window only; a write takes at most "maxMemoryWrite"
// bytes. Each memory write and each change of mode (offline, online, reset) is logged. After
// "silentAfterMemoryWrites" writes (0: never) the device answers nothing more, as one unplugged.

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/lonip/datagram.h"
#include "platform/lonip/lon_address.h"
#include "platform/lonip/nm_messages.h"

namespace platform::lonip {

struct DeviceNv {
  std::string name;
  bool output = false;
  bool config = false;  // a configuration NV: a CP the device holds
  uint8_t type = 0;     // standard type index, 0 for none
  std::vector<uint8_t> value;
  uint16_t selector = 0;
  std::string selfDoc;
};

// A CP the device keeps in its CP files: a template record and its value.
struct DeviceCp {
  std::string record;  // "1,1,0\x80,49,2" with the flags as one raw byte
  bool constant = false;
  std::vector<uint8_t> value;
};

struct DeviceDescription {
  Ipv4 ip;
  NeuronId neuronId{};
  ProgramId programId{};
  uint8_t state = node_state::kUnconfigured;
  bool offline = false;
  DomainEntry domains[2];
  std::vector<DeviceNv> nvs;
  std::string selfDoc;             // the node's self-documentation string
  std::vector<DeviceCp> cps;
  uint16_t window = 0xA100;        // where the CP files are
  std::optional<std::string> templateText;
  uint8_t maxMemoryWrite = 11;
  std::chrono::milliseconds silentAfterReset{0};
  int silentAfterMemoryWrites = 0;
  int dropFirst = 0;  // requests and acknowledged messages ignored before the device answers
  bool servicePinAtStart = false;
};

// Reads a description. Raises std::runtime_error naming the field that is missing or wrong.
DeviceDescription ReadDeviceDescription(const std::string& jsonText);

class SimulatedDevice {
 public:
  using Clock = std::chrono::steady_clock;
  explicit SimulatedDevice(DeviceDescription description);

  // Takes a datagram from `from` and returns what the device sends back to it.
  std::vector<std::vector<uint8_t>> Receive(const std::vector<uint8_t>& bytes, const Ipv4& from, Clock::time_point now);
  // The unacknowledged broadcast a device sends when its service pin is pressed.
  std::vector<uint8_t> ServicePinDatagram() const;
  // The device as it is now (its state, domain and NV values change as it is asked).
  const DeviceDescription& Description() const { return d_; }
  bool Configured() const { return d_.state != node_state::kUnconfigured && d_.state != node_state::kApplicationless; }
  // The device's LON address in its first domain (0/0 while unconfigured).
  LonAddress Address() const;
  int Winks() const { return winks_; }
  // What the device did since the last call, a line each ("offline", "memory write at 0xA152,
  // 3 bytes, writable value file", "reset").
  std::vector<std::string> TakeLog() { return std::exchange(log_, {}); }
  // The direct-memory window as it is now (empty for a device without CP files).
  const std::vector<uint8_t>& Window() const { return window_; }

 private:
  struct Record {
    uint16_t transaction = 0;
    Clock::time_point at;
    Clock::duration timer{};
    std::vector<uint8_t> reply;  // empty: the request had no answer
  };
  bool Accepts(const Datagram& d, const Ipv4& from) const;
  std::optional<std::vector<uint8_t>> Execute(const std::vector<uint8_t>& apdu, bool request);
  std::optional<std::vector<uint8_t>> NetworkManagement(const std::vector<uint8_t>& apdu, bool request);
  std::vector<uint8_t> ReadOnlyData() const;
  std::vector<uint8_t> SiData() const;
  void BuildWindow();
  bool InWindow(size_t address, size_t count) const;
  std::string FileAt(size_t address) const;
  std::optional<std::vector<uint8_t>> WriteWindow(const std::vector<uint8_t>& apdu);
  void UpdateNv(const std::vector<uint8_t>& apdu);
  std::vector<uint8_t> Reply(const Datagram& request, PduFormat pdu, uint8_t type, std::vector<uint8_t> apdu) const;

  DeviceDescription d_;
  bool selected_ = false;
  int winks_ = 0;
  uint16_t missed_ = 0;
  std::array<std::array<uint8_t, 5>, 15> addresses_{};
  std::vector<uint8_t> configData_ = std::vector<uint8_t>(32, 0);
  std::map<std::pair<Ipv4, bool>, Record> records_;
  std::vector<uint8_t> window_;
  std::vector<size_t> fileStarts_;  // the addresses of the template and the value files
  std::vector<std::string> log_;
  Clock::time_point silentUntil_{};
  int memoryWrites_ = 0;
};

}  // namespace platform::lonip
