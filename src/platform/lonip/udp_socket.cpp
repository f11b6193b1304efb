#include "platform/lonip/udp_socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/lonip/lonip_error.h"

namespace platform::lonip {

namespace {

[[noreturn]] void SystemRefused(const std::string& what) {
  throw LonIpError(LonIpError::Kind::Network, what + ": " + std::strerror(errno));
}

sockaddr_in SocketAddress(const Ipv4& address, uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(port);
  socketAddress.sin_addr.s_addr = address.NetworkOrder();
  return socketAddress;
}

}  // namespace

UdpSocket::UdpSocket(const Ipv4& address, uint16_t port, bool shared) : address_(address) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) SystemRefused("cannot open a UDP socket");
  const int on = 1;
  if (shared && ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    ::close(fd_);
    SystemRefused("cannot share UDP port " + std::to_string(port));
  }
  const sockaddr_in local = SocketAddress(address, port);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = errno;
    ::close(fd_);
    if (error == EADDRINUSE) {
      throw LonIpError(LonIpError::Kind::Busy, address.Text() + ":" + std::to_string(port) + " is in use by another program");
    }
    errno = error;
    SystemRefused("cannot use " + address.Text() + ":" + std::to_string(port) +
                  " (is the address one of this machine's, and is the port free?)");
  }
}

UdpSocket::~UdpSocket() {
  if (fd_ >= 0) ::close(fd_);
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_), address_(other.address_) { other.fd_ = -1; }

void UdpSocket::JoinGroup(const Ipv4& group, const Ipv4& interfaceAddress) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = group.NetworkOrder();
  request.imr_interface.s_addr = interfaceAddress.NetworkOrder();
  if (::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
    SystemRefused("cannot join multicast group " + group.Text() + " on the interface of " + interfaceAddress.Text());
  }
}

void UdpSocket::SetMulticastInterface(const Ipv4& interfaceAddress) {
  in_addr address{};
  address.s_addr = interfaceAddress.NetworkOrder();
  if (::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address) != 0) {
    SystemRefused("cannot send multicast from " + interfaceAddress.Text());
  }
}

void UdpSocket::SendTo(std::span<const uint8_t> bytes, const Ipv4& to, uint16_t port) {
  const sockaddr_in remote = SocketAddress(to, port);
  ssize_t sent = -1;
  do {
    sent = ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) SystemRefused("cannot send from " + address_.Text() + " to " + to.Text());
}

std::optional<ReceivedDatagram> UdpSocket::Receive() {
  std::vector<uint8_t> buffer(1500);
  sockaddr_in remote{};
  socklen_t length = sizeof remote;
  for (;;) {
    const ssize_t received =
        ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC, reinterpret_cast<sockaddr*>(&remote), &length);
    if (received >= 0) {
      // A datagram larger than any LON/IP datagram is cut to the buffer; decoding then refuses it
      // or reads its start, never past the buffer.
      buffer.resize(std::min(static_cast<size_t>(received), buffer.size()));
      return ReceivedDatagram{std::move(buffer), Ipv4::FromNetworkOrder(remote.sin_addr.s_addr), ntohs(remote.sin_port)};
    }
    if (errno == EINTR) continue;
    // Nothing waiting, or an ICMP error of an earlier send (a port nobody listens on): neither
    // is a datagram.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED) return std::nullopt;
    SystemRefused("cannot receive on " + address_.Text());
  }
}

bool WaitForDatagram(std::span<UdpSocket* const> sockets, std::chrono::steady_clock::time_point deadline) {
  std::vector<pollfd> fds;
  for (UdpSocket* socket : sockets) fds.push_back({socket->Descriptor(), POLLIN, 0});
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int timeout = static_cast<int>(std::max<int64_t>(0, left.count() + (left.count() >= 0 ? 1 : 0)));
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) SystemRefused("cannot wait for datagrams");
  }
}

}  // namespace platform::lonip
