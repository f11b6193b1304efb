#pragma once
// The channel to LON devices, as the object server and the engineer's commands use it: a
// request and its answer, acknowledged and unacknowledged messages, a broadcast request with
// every answer heard, and the messages devices send on their own (service pin, NV updates).
// LonIpChannel (lonip_channel.h) carries it over UDP; a test may put a fake in its place.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/lonip/datagram.h"
#include "platform/lonip/lon_address.h"

namespace platform::lonip {

// Where a message goes.
struct LonTarget {
  enum class Kind { SubnetNode, NeuronId, Broadcast };
  Kind kind = Kind::SubnetNode;
  LonAddress address;  // SubnetNode: the device; Broadcast: the domain and subnet (0: all)
  NeuronId neuronId{};  // NeuronId

  static LonTarget Node(LonAddress address) { return {Kind::SubnetNode, std::move(address), {}}; }
  static LonTarget ByNeuronId(const NeuronId& id) { return {Kind::NeuronId, {}, id}; }
  static LonTarget Broadcast(DomainId domain, uint8_t subnet = 0) {
    return {Kind::Broadcast, {std::move(domain), subnet, 0}, {}};
  }
  // "device 7F0100/1/1", "Neuron ID 02FC00000011", "broadcast in domain 7F0100"
  std::string Text() const;
};

// A message heard: who sent it and what.
struct HeardMessage {
  Ipv4 from;
  LonAddress source;  // the explicit source, else the address of the sender's IP
  std::vector<uint8_t> apdu;
};

struct ChannelSettings {
  Ipv4 ownIp;                                  // the tool's address: its LON address follows
  std::chrono::milliseconds timeout{600};      // of one try
  int retries = 3;                             // tries after the first
  uint8_t version = kLegacyVersion;            // of the datagrams sent
  std::string name;                            // the interface's name, for messages
  // Where the last transaction ids are kept between programs that use the address ("" none).
  std::string stateFile;
  // Whether to hear broadcasts (service pins); a channel that only asks devices does not need to.
  bool hearBroadcasts = true;
};

class LonChannel {
 public:
  virtual ~LonChannel() = default;
  // Sends a request and returns the answer's APDU. Raises LonIpError(NoAnswer) when no answer
  // came after the retries, naming the target, the interface and the request.
  virtual std::vector<uint8_t> Request(const LonTarget& target, const std::vector<uint8_t>& apdu) = 0;
  // Sends a request to a broadcast target and returns every answer heard within `listen`, one
  // per device (retries go out while listening; repeated answers are dropped); it stops early
  // once `enough` devices answered (0: never).
  virtual std::vector<HeardMessage> RequestAll(const LonTarget& target, const std::vector<uint8_t>& apdu,
                                               std::chrono::milliseconds listen, size_t enough) = 0;
  // Sends an acknowledged message and waits for its acknowledgement; LonIpError(NoAnswer) without.
  virtual void SendAcknowledged(const LonTarget& target, const std::vector<uint8_t>& apdu) = 0;
  // Sends an unacknowledged message, repeated as often as a request is retried.
  virtual void SendUnacknowledged(const LonTarget& target, const std::vector<uint8_t>& apdu) = 0;
  // The messages devices sent on their own, heard within `listen` and before.
  virtual std::vector<HeardMessage> Listen(std::chrono::milliseconds listen) = 0;
  // Whether broadcasts (service pins) reach this channel: false when the machine refused to
  // join the multicast group.
  virtual bool HearsBroadcasts() const = 0;
  // The tool's own LON address and the interface's name.
  virtual const LonAddress& OwnAddress() const = 0;
  virtual const std::string& Name() const = 0;
};

}  // namespace platform::lonip
