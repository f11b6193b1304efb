#include "platform/lonip/lon_address.h"

#include <algorithm>
#include <charconv>

namespace platform::lonip {

std::string Ipv4::Text() const {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

uint32_t Ipv4::NetworkOrder() const {
  uint32_t address = 0;
  auto* out = reinterpret_cast<uint8_t*>(&address);
  std::copy(bytes.begin(), bytes.end(), out);
  return address;
}

Ipv4 Ipv4::FromNetworkOrder(uint32_t address) {
  Ipv4 ip;
  const auto* in = reinterpret_cast<const uint8_t*>(&address);
  std::copy(in, in + 4, ip.bytes.begin());
  return ip;
}

std::optional<Ipv4> Ipv4::Parse(std::string_view text) {
  Ipv4 ip;
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const size_t digits = static_cast<size_t>(end - text.data());
    // "010" could be read as octal by other programs: a leading zero is refused.
    if (error != std::errc() || digits == 0 || digits > 3 || value > 255 || (digits > 1 && text.front() == '0')) {
      return std::nullopt;
    }
    ip.bytes[i] = static_cast<uint8_t>(value);
    text.remove_prefix(digits);
  }
  if (!text.empty()) return std::nullopt;
  return ip;
}

std::string LonAddress::Text() const {
  return (domain.empty() ? std::string("-") : HexText(domain)) + "/" + std::to_string(subnet) + "/" +
         std::to_string(node);
}

bool IsDomainLength(size_t length) { return length == 0 || length == 1 || length == 3 || length == 6; }

std::optional<Ipv4> UnicastIpOf(const LonAddress& address) {
  const auto& d = address.domain;
  switch (d.size()) {
    case 0: return Ipv4{{192, 168, address.subnet, address.node}};
    case 1: return Ipv4{{10, d[0], address.subnet, address.node}};
    case 3:
      if (d[2] != 0) return std::nullopt;
      return Ipv4{{d[0], d[1], address.subnet, address.node}};
    default: return std::nullopt;
  }
}

LonAddress LonAddressOfIp(const Ipv4& ip) {
  const auto& b = ip.bytes;
  if (b[0] == 192 && b[1] == 168) return {{}, b[2], static_cast<uint8_t>(b[3] & 0x7F)};
  if (b[0] == 10) return {{b[1]}, b[2], static_cast<uint8_t>(b[3] & 0x7F)};
  return {{b[0], b[1], 0}, b[2], static_cast<uint8_t>(b[3] & 0x7F)};
}

Ipv4 BroadcastIp(uint8_t subnet) { return Ipv4{{239, 192, 0, subnet}}; }
Ipv4 GroupIp(uint8_t group) { return Ipv4{{239, 192, 1, group}}; }

std::string HexText(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, size_t length) {
  if (text.size() != length * 2) return std::nullopt;
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
    if (error != std::errc() || end != text.data() + 2 * i + 2) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(value);
  }
  return bytes;
}

namespace {
template <size_t N>
std::optional<std::array<uint8_t, N>> ParseFixed(std::string_view text) {
  const auto bytes = ParseHex(text, N);
  if (!bytes) return std::nullopt;
  std::array<uint8_t, N> fixed{};
  std::copy(bytes->begin(), bytes->end(), fixed.begin());
  return fixed;
}
}  // namespace

std::optional<NeuronId> ParseNeuronId(std::string_view text) { return ParseFixed<6>(text); }
std::optional<ProgramId> ParseProgramId(std::string_view text) { return ParseFixed<8>(text); }

}  // namespace platform::lonip
