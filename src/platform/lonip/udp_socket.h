#pragma once
// A UDP socket for LON/IP: bound to one address and port, sending datagrams to an address and
// port, joining the multicast groups broadcasts arrive on, and reading without blocking.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/lonip/lon_address.h"

namespace platform::lonip {

struct ReceivedDatagram {
  std::vector<uint8_t> bytes;
  Ipv4 from;
  uint16_t port = 0;
};

class UdpSocket {
 public:
  // Binds address:port. `shared` lets other sockets bind the same address and port, as every
  // listener of a multicast group must. Raises LonIpError(Network) naming the address.
  UdpSocket(const Ipv4& address, uint16_t port, bool shared);
  ~UdpSocket();
  UdpSocket(UdpSocket&& other) noexcept;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  UdpSocket& operator=(UdpSocket&&) = delete;

  // Receives the datagrams sent to `group` on the interface that holds `interfaceAddress`.
  void JoinGroup(const Ipv4& group, const Ipv4& interfaceAddress);
  // Sends multicast datagrams out of the interface that holds `interfaceAddress`.
  void SetMulticastInterface(const Ipv4& interfaceAddress);
  // Raises LonIpError(Network) when the system refuses the datagram.
  void SendTo(std::span<const uint8_t> bytes, const Ipv4& to, uint16_t port);
  // The next waiting datagram, or nullopt when none waits.
  std::optional<ReceivedDatagram> Receive();
  // The socket's file descriptor, for poll.
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
  Ipv4 address_;
};

// Waits until one of `sockets` has a datagram or `deadline` passes; true when one has.
bool WaitForDatagram(std::span<UdpSocket* const> sockets, std::chrono::steady_clock::time_point deadline);

}  // namespace platform::lonip
