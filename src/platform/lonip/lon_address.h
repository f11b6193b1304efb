#pragma once
// LON addresses and the IPv4 addresses LON/IP derives from them: a device with subnet S and
// node N in domain d1 d2 00 lives at d1.d2.S.N, in the one-byte domain d1 at 10.d1.S.N, in the
// zero-length domain at 192.168.S.N; broadcasts and groups go to 239.192.x.x.

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::lonip {

using NeuronId = std::array<uint8_t, 6>;
using ProgramId = std::array<uint8_t, 8>;
// A domain id of 0, 1, 3 or 6 bytes.
using DomainId = std::vector<uint8_t>;

constexpr uint16_t kLonIpPort = 2541;

struct Ipv4 {
  std::array<uint8_t, 4> bytes{};
  auto operator<=>(const Ipv4&) const = default;
  // Dotted text, "127.1.1.1".
  std::string Text() const;
  // The address in network byte order, as sockets take it.
  uint32_t NetworkOrder() const;
  static Ipv4 FromNetworkOrder(uint32_t address);
  // Parses dotted text; nullopt for anything else.
  static std::optional<Ipv4> Parse(std::string_view text);
};

struct LonAddress {
  DomainId domain;
  uint8_t subnet = 0;
  uint8_t node = 0;  // 7 bits
  bool operator==(const LonAddress&) const = default;
  // "7F0100/1/1"
  std::string Text() const;
};

// True for the domain lengths the protocol has (0, 1, 3, 6).
bool IsDomainLength(size_t length);
// The unicast IP of a subnet/node address; nullopt where none is derived (6-byte domains,
// 3-byte domains whose last byte is not 0).
std::optional<Ipv4> UnicastIpOf(const LonAddress& address);
// The LON address an IP stands for, its domain inferred from the prefix.
LonAddress LonAddressOfIp(const Ipv4& ip);
// 239.192.0.0 (the whole domain, and Neuron-ID addressed messages) or 239.192.0.S.
Ipv4 BroadcastIp(uint8_t subnet = 0);
// 239.192.1.G
Ipv4 GroupIp(uint8_t group);

// Upper-case hex without separators, "02FC00000011".
std::string HexText(std::span<const uint8_t> bytes);
// Parses hex digits (either case, no separators) of exactly `length` bytes.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, size_t length);
std::optional<NeuronId> ParseNeuronId(std::string_view text);
std::optional<ProgramId> ParseProgramId(std::string_view text);

}  // namespace platform::lonip
