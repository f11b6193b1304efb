#pragma once
// One LON/IP datagram: the two header bytes (version, explicit source, address format,
// backlog, priority, enclosed PDU), the optional backlog byte and explicit source, the
// destination fields of the address format, the transport or session header with its
// transaction id (4 bits, or 12 in the enhanced version), and the APDU.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/lonip/lon_address.h"

namespace platform::lonip {

enum class AddressFormat : uint8_t {
  SubnetNode = 1,          // no destination bytes: the IP is the address
  DomainBroadcast = 2,     // to 239.192.0.0
  SubnetBroadcast = 3,     // + subnet, to 239.192.0.S
  Group = 4,               // + group, to 239.192.1.G
  GroupResponse = 5,       // + group, member
  NeuronId = 6,            // + subnet, Neuron ID, to 239.192.0.0
  ExplicitSubnetNode = 7,  // + subnet, node (bit 7: group and member follow)
};

enum class PduFormat : uint8_t { Tpdu = 0, Spdu = 1, AuthPdu = 2, Apdu = 3 };

// The type field of a transport (TPDU) or session (SPDU) header.
enum class PduType : uint8_t {
  Acknowledged = 0,  // TPDU; a request in an SPDU
  Request = 0,
  UnackedRepeat = 1,  // TPDU
  Ack = 2,            // TPDU; a response in an SPDU
  Response = 2,
  Reminder = 4,
  ReminderMessage = 5,
};

constexpr uint8_t kLegacyVersion = 0;
constexpr uint8_t kEnhancedVersion = 1;  // 12-bit transaction ids

struct ExplicitSource {
  uint8_t subnet = 0;
  uint8_t node = 0;                // 7 bits
  std::optional<DomainId> domain;  // absent: inferred from the sender's IP
  bool operator==(const ExplicitSource&) const = default;
};

struct Datagram {
  uint8_t version = kLegacyVersion;
  bool priority = false;
  std::optional<uint8_t> backlog;
  std::optional<ExplicitSource> source;
  AddressFormat format = AddressFormat::SubnetNode;
  uint8_t subnet = 0;           // SubnetBroadcast, NeuronId, ExplicitSubnetNode
  uint8_t node = 0;             // ExplicitSubnetNode
  bool groupResponse = false;   // ExplicitSubnetNode: group and member follow
  uint8_t group = 0;            // Group, GroupResponse, ExplicitSubnetNode with groupResponse
  uint8_t member = 0;           // GroupResponse, ExplicitSubnetNode with groupResponse
  NeuronId neuronId{};          // NeuronId
  PduFormat pdu = PduFormat::Apdu;
  bool authenticated = false;   // TPDU/SPDU header bit 7
  uint8_t pduType = 0;          // TPDU/SPDU bits 6-4; AuthPDU bits 5-4
  uint16_t transaction = 0;     // 1..15, or 1..4095 in the enhanced version
  uint8_t authFormat = 0;       // AuthPDU bits 7-6
  std::vector<uint8_t> apdu;    // what follows the headers: message code and data
  bool operator==(const Datagram&) const = default;
};

// The datagram's bytes. Raises LonIpError(Usage) for values the fields cannot carry.
std::vector<uint8_t> EncodeDatagram(const Datagram& datagram);
// Reads a datagram. Raises LonIpError(Malformed), naming what is wrong, for a truncated
// datagram and an unknown version or address format.
Datagram DecodeDatagram(std::span<const uint8_t> bytes);

}  // namespace platform::lonip
