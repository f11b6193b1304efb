#include "platform/lonip/datagram.h"

#include <string>

#include "platform/lonip/lonip_error.h"

namespace platform::lonip {

namespace {

constexpr uint8_t kDomainLengths[4] = {0, 1, 3, 6};

uint8_t DomainLengthCode(size_t length) {
  for (uint8_t code = 0; code < 4; ++code) {
    if (kDomainLengths[code] == length) return code;
  }
  throw LonIpError(LonIpError::Kind::Usage, "a domain id of " + std::to_string(length) + " bytes does not exist");
}

void Require(bool condition, const char* what) {
  if (!condition) throw LonIpError(LonIpError::Kind::Usage, std::string("cannot encode a datagram: ") + what);
}

void EncodeSource(const ExplicitSource& source, std::vector<uint8_t>& out) {
  Require(source.node < 0x80, "a source node above 127");
  out.push_back(source.subnet);
  out.push_back(static_cast<uint8_t>(source.node | (source.domain ? 0x80 : 0)));
  if (source.domain) {
    out.push_back(DomainLengthCode(source.domain->size()));
    out.insert(out.end(), source.domain->begin(), source.domain->end());
  }
}

void EncodeDestination(const Datagram& d, std::vector<uint8_t>& out) {
  switch (d.format) {
    case AddressFormat::SubnetNode:
    case AddressFormat::DomainBroadcast: break;
    case AddressFormat::SubnetBroadcast: out.push_back(d.subnet); break;
    case AddressFormat::Group: out.push_back(d.group); break;
    case AddressFormat::GroupResponse: out.insert(out.end(), {d.group, d.member}); break;
    case AddressFormat::NeuronId:
      out.push_back(d.subnet);
      out.insert(out.end(), d.neuronId.begin(), d.neuronId.end());
      break;
    case AddressFormat::ExplicitSubnetNode:
      Require(d.node < 0x80, "a destination node above 127");
      out.push_back(d.subnet);
      out.push_back(static_cast<uint8_t>(d.node | (d.groupResponse ? 0x80 : 0)));
      if (d.groupResponse) out.insert(out.end(), {d.group, d.member});
      break;
    default: Require(false, "an unknown address format");
  }
}

void EncodeTransportHeader(const Datagram& d, std::vector<uint8_t>& out) {
  const bool enhanced = d.version == kEnhancedVersion;
  Require(d.transaction <= (enhanced ? 0x0FFF : 0x0F), "a transaction id too large for the version");
  if (d.pdu == PduFormat::AuthPdu) {
    Require(d.authFormat < 4 && d.pduType < 4, "an authentication header field out of range");
    out.push_back(static_cast<uint8_t>(d.authFormat << 6 | d.pduType << 4 | (d.transaction & 0x0F)));
    return;
  }
  Require(d.pduType < 8, "a PDU type above 7");
  const uint8_t high = enhanced ? static_cast<uint8_t>(d.transaction >> 8) : static_cast<uint8_t>(d.transaction);
  out.push_back(static_cast<uint8_t>((d.authenticated ? 0x80 : 0) | d.pduType << 4 | high));
  if (enhanced) out.push_back(static_cast<uint8_t>(d.transaction & 0xFF));
}

// Reads the bytes of a datagram in order; running past the end is a malformed datagram.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t Byte(const char* field) {
    if (at_ >= bytes_.size()) {
      throw LonIpError(LonIpError::Kind::Malformed,
                       "malformed LON/IP datagram (" + std::to_string(bytes_.size()) + " bytes): it ends before the " +
                           field);
    }
    return bytes_[at_++];
  }
  std::vector<uint8_t> Bytes(size_t count, const char* field) {
    std::vector<uint8_t> out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) out.push_back(Byte(field));
    return out;
  }
  std::vector<uint8_t> Rest() const { return {bytes_.begin() + static_cast<std::ptrdiff_t>(at_), bytes_.end()}; }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

[[noreturn]] void Malformed(const std::string& what) {
  throw LonIpError(LonIpError::Kind::Malformed, "malformed LON/IP datagram: " + what);
}

void DecodeDestination(Reader& in, Datagram& d) {
  switch (d.format) {
    case AddressFormat::SubnetNode:
    case AddressFormat::DomainBroadcast: break;
    case AddressFormat::SubnetBroadcast: d.subnet = in.Byte("destination subnet"); break;
    case AddressFormat::Group: d.group = in.Byte("destination group"); break;
    case AddressFormat::GroupResponse:
      d.group = in.Byte("group");
      d.member = in.Byte("group member");
      break;
    case AddressFormat::NeuronId: {
      d.subnet = in.Byte("destination subnet");
      const auto id = in.Bytes(6, "Neuron ID");
      std::copy(id.begin(), id.end(), d.neuronId.begin());
      break;
    }
    case AddressFormat::ExplicitSubnetNode: {
      d.subnet = in.Byte("destination subnet");
      const uint8_t node = in.Byte("destination node");
      d.node = node & 0x7F;
      d.groupResponse = (node & 0x80) != 0;
      if (d.groupResponse) {
        d.group = in.Byte("group");
        d.member = in.Byte("group member");
      }
      break;
    }
  }
}

}  // namespace

std::vector<uint8_t> EncodeDatagram(const Datagram& d) {
  Require(d.version <= kEnhancedVersion, "a version other than 0 or 1");
  std::vector<uint8_t> out;
  out.reserve(16 + d.apdu.size());
  out.push_back(static_cast<uint8_t>(d.version << 4 | (d.source ? 1 : 0)));
  out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(d.format) << 4 | (d.backlog ? 0x08 : 0) |
                                     (d.priority ? 0x04 : 0) | static_cast<uint8_t>(d.pdu)));
  if (d.backlog) out.push_back(*d.backlog);
  if (d.source) EncodeSource(*d.source, out);
  EncodeDestination(d, out);
  if (d.pdu != PduFormat::Apdu) EncodeTransportHeader(d, out);
  out.insert(out.end(), d.apdu.begin(), d.apdu.end());
  return out;
}

Datagram DecodeDatagram(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  Datagram d;
  const uint8_t first = in.Byte("header");
  d.version = first >> 4;
  if (d.version > kEnhancedVersion) Malformed("unknown version " + std::to_string(d.version));
  const uint8_t second = in.Byte("header");
  const uint8_t format = second >> 4;
  if (format < 1 || format > 7) Malformed("unknown address format " + std::to_string(format));
  d.format = static_cast<AddressFormat>(format);
  d.priority = (second & 0x04) != 0;
  d.pdu = static_cast<PduFormat>(second & 0x03);
  if ((second & 0x08) != 0) d.backlog = in.Byte("backlog");
  if ((first & 0x01) != 0) {
    ExplicitSource source;
    source.subnet = in.Byte("source subnet");
    const uint8_t node = in.Byte("source node");
    source.node = node & 0x7F;
    if ((node & 0x80) != 0) {
      const uint8_t code = in.Byte("source domain length");
      source.domain = in.Bytes(kDomainLengths[code & 0x03], "source domain");
    }
    d.source = source;
  }
  DecodeDestination(in, d);
  if (d.pdu != PduFormat::Apdu) {
    const uint8_t header = in.Byte("transport header");
    if (d.pdu == PduFormat::AuthPdu) {
      d.authFormat = header >> 6;
      d.pduType = (header >> 4) & 0x03;
      d.transaction = header & 0x0F;
    } else {
      d.authenticated = (header & 0x80) != 0;
      d.pduType = (header >> 4) & 0x07;
      d.transaction = header & 0x0F;
      if (d.version == kEnhancedVersion) {
        d.transaction = static_cast<uint16_t>(d.transaction << 8 | in.Byte("enhanced transaction id"));
      }
    }
  }
  d.apdu = in.Rest();
  return d;
}

}  // namespace platform::lonip
