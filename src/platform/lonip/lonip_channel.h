#pragma once
// The LON channel over UDP: the tool binds port 2541 of its own address (answers come there),
// listens on 239.192.0.0 for broadcasts such as service-pin messages, and keeps the map from
// LON addresses to IP addresses it learns from the explicit sources of what it hears. Not
// thread-safe: one thread uses one channel.

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>

#include "platform/lonip/lon_channel.h"
#include "platform/lonip/transaction_ids.h"
#include "platform/lonip/udp_socket.h"

namespace platform::lonip {

class LonIpChannel final : public LonChannel {
 public:
  // Binds the sockets, waiting up to the timeout and its retries while another program of this
  // machine uses the address. Raises LonIpError(Busy) when it still does, LonIpError(Network)
  // when the address is not this machine's, LonIpError(Usage) for settings out of range.
  // `ids`: transaction ids shared with earlier channels of this program (a fresh set when none);
  // either way the count goes on from the state file, where the last program left it.
  explicit LonIpChannel(ChannelSettings settings, std::shared_ptr<TransactionIds> ids = nullptr);
  // Keeps the last transaction ids for the next program on this address.
  ~LonIpChannel() override;
  LonIpChannel(const LonIpChannel&) = delete;
  LonIpChannel& operator=(const LonIpChannel&) = delete;

  std::vector<uint8_t> Request(const LonTarget& target, const std::vector<uint8_t>& apdu) override;
  std::vector<HeardMessage> RequestAll(const LonTarget& target, const std::vector<uint8_t>& apdu,
                                       std::chrono::milliseconds listen, size_t enough) override;
  void SendAcknowledged(const LonTarget& target, const std::vector<uint8_t>& apdu) override;
  void SendUnacknowledged(const LonTarget& target, const std::vector<uint8_t>& apdu) override;
  std::vector<HeardMessage> Listen(std::chrono::milliseconds listen) override;
  bool HearsBroadcasts() const override { return broadcast_.has_value(); }
  const LonAddress& OwnAddress() const override { return own_; }
  const std::string& Name() const override { return settings_.name; }

  // The IP a subnet/node address is reached at: learned, else derived.
  std::optional<Ipv4> IpOf(const LonAddress& address) const;
  // Retries of the requests from now on (0 to 20), for questions that must not take long.
  void SetRetries(int retries) { settings_.retries = std::clamp(retries, 0, 20); }
  // Where a device that keeps an IP of its own is reached (learned by an earlier program).
  void Remember(const LonAddress& address, const Ipv4& ip) { learned_[address.Text()] = ip; }
  // The transaction ids this channel counts with, for the next channel of the program.
  const std::shared_ptr<TransactionIds>& TransactionIdsInUse() const { return ids_; }
  // Where the answer to the last request or acknowledged message came from.
  std::optional<Ipv4> LastAnswerFrom() const { return lastAnswerFrom_; }
  // How many datagrams were dropped as malformed.
  uint64_t MalformedCount() const { return malformed_; }

 private:
  struct Outgoing {
    std::vector<uint8_t> bytes;
    Ipv4 ip;
    std::optional<Ipv4> expectedFrom;          // answers of a unicast request come from there,
    std::optional<LonAddress> expectedSource;  // or name the device in their explicit source
    uint16_t transaction = 0;
  };
  Outgoing Prepare(const LonTarget& target, PduFormat pdu, uint8_t pduType, const std::vector<uint8_t>& apdu);
  // Sends and waits for the answer of type `answerType` matching the transaction; nullopt after
  // the retries.
  std::optional<HeardMessage> Exchange(const Outgoing& out, uint8_t answerType, PduFormat pdu);
  // Reads one datagram that waits; nullopt when none does or it was not for us.
  std::optional<std::pair<HeardMessage, Datagram>> ReadOne();
  void WaitAndRead(std::chrono::steady_clock::time_point deadline,
                   const std::function<bool(const HeardMessage&, const Datagram&)>& accept);
  void Learn(const Ipv4& from, const Datagram& datagram, LonAddress& source);
  void Hold(HeardMessage message);
  void LoadState();
  void SaveState() const;
  void WriteState(std::ostream& out) const;
  [[noreturn]] void NoAnswer(const LonTarget& target, const std::vector<uint8_t>& apdu, const char* what) const;

  ChannelSettings settings_;
  LonAddress own_;
  UdpSocket unicast_;
  std::optional<UdpSocket> broadcast_;
  std::shared_ptr<TransactionIds> ids_;
  std::map<std::string, Ipv4> learned_;  // by LonAddress::Text()
  std::deque<HeardMessage> heard_;
  uint64_t malformed_ = 0;
  std::optional<Ipv4> lastAnswerFrom_;
};

}  // namespace platform::lonip
