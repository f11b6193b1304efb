// LON/IP datagrams, addresses and transaction ids, as bytes on the wire.
#include "platform/lonip/datagram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/lonip/lonip_error.h"
#include "platform/lonip/nm_messages.h"
#include "platform/lonip/transaction_ids.h"
#include "expect_lonip_error.h"

namespace platform::lonip {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) { return {values.begin(), values.end()}; }

Datagram Session(uint8_t type, uint16_t transaction, std::vector<uint8_t> apdu) {
  Datagram d;
  d.pdu = PduFormat::Spdu;
  d.pduType = type;
  d.transaction = transaction;
  d.apdu = std::move(apdu);
  return d;
}

struct Row {
  const char* name;
  std::vector<uint8_t> bytes;
  Datagram datagram;
};

std::vector<Row> Rows() {
  std::vector<Row> rows;
  // Exchanges seen between a tool at 127.1.1.127 and a device at 127.1.1.1.
  rows.push_back({"query status", Bytes({0x00, 0x11, 0x0C, 0x51}), Session(0, 12, {0x51})});
  rows.push_back({"its answer",
                  Bytes({0x00, 0x11, 0x2C, 0x31, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x04, 0x04, 0x00, 0xA8}),
                  Session(2, 12, Bytes({0x31, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x04, 0x04, 0x00, 0xA8}))});
  rows.push_back({"query id", Bytes({0x00, 0x11, 0x0E, 0x61, 0x01}), Session(0, 14, {0x61, 0x01})});
  rows.push_back({"read memory", Bytes({0x00, 0x11, 0x02, 0x6D, 0x01, 0x00, 0x00, 0x15}),
                  Session(0, 2, {0x6D, 0x01, 0x00, 0x00, 0x15})});
  rows.push_back({"nv fetch answer", Bytes({0x00, 0x11, 0x24, 0x33, 0x05, 0x01, 0x90}), Session(2, 4, {0x33, 0x05, 0x01, 0x90})});
  Datagram byId = Session(0, 6, {0x51});
  byId.format = AddressFormat::NeuronId;
  byId.neuronId = {0x02, 0xFC, 0x00, 0x00, 0x00, 0x12};
  rows.push_back({"by Neuron ID", Bytes({0x00, 0x61, 0x00, 0x02, 0xFC, 0x00, 0x00, 0x00, 0x12, 0x06, 0x51}), byId});
  // Every other field once.
  Datagram full = Session(2, 0xABC, {0x2D});
  full.version = kEnhancedVersion;
  full.priority = true;
  full.backlog = 0x05;
  full.source = ExplicitSource{3, 7, DomainId{0x7F, 0x01, 0x00}};
  full.format = AddressFormat::ExplicitSubnetNode;
  full.subnet = 9;
  full.node = 4;
  full.groupResponse = true;
  full.group = 2;
  full.member = 6;
  full.authenticated = true;
  rows.push_back({"enhanced, explicit source, backlog, priority, group response",
                  Bytes({0x11, 0x7D, 0x05, 0x03, 0x87, 0x02, 0x7F, 0x01, 0x00, 0x09, 0x84, 0x02, 0x06, 0xAA, 0xBC, 0x2D}), full});
  Datagram ack;
  ack.pdu = PduFormat::Tpdu;
  ack.pduType = 2;
  ack.transaction = 3;
  ack.source = ExplicitSource{0, 0, std::nullopt};
  rows.push_back({"acknowledgement from 0/0", Bytes({0x01, 0x10, 0x00, 0x00, 0x23}), ack});
  Datagram pin;
  pin.format = AddressFormat::SubnetBroadcast;
  pin.subnet = 4;
  pin.apdu = {0x7F};
  rows.push_back({"subnet broadcast APDU", Bytes({0x00, 0x33, 0x04, 0x7F}), pin});
  Datagram group;
  group.format = AddressFormat::GroupResponse;
  group.group = 1;
  group.member = 2;
  group.pdu = PduFormat::Tpdu;
  group.transaction = 1;
  rows.push_back({"group response", Bytes({0x00, 0x50, 0x01, 0x02, 0x01}), group});
  return rows;
}

TEST(DatagramTest, EncodesAndDecodesEveryFormatAsOnTheWire) {
  for (const auto& row : Rows()) {
    EXPECT_EQ(EncodeDatagram(row.datagram), row.bytes) << row.name;
    EXPECT_EQ(DecodeDatagram(row.bytes), row.datagram) << row.name;
  }
}

TEST(DatagramTest, RefusesMalformedDatagramsNamingWhatIsWrong) {
  const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
      {{}, "ends before the header"},
      {{0x00}, "ends before the header"},
      {{0x20, 0x11, 0x0C}, "unknown version 2"},
      {{0x00, 0x01}, "unknown address format 0"},
      {{0x00, 0x81}, "unknown address format 8"},
      {{0x01, 0x11, 0x03}, "ends before the source node"},
      {{0x01, 0x11, 0x03, 0x87, 0x03, 0x7F}, "ends before the source domain"},
      {{0x00, 0x61, 0x00, 0x02, 0xFC}, "ends before the Neuron ID"},
      {{0x10, 0x11, 0x0C}, "ends before the enhanced transaction id"},
      {{0x00, 0x18}, "ends before the backlog"},
      {{0x00, 0x71, 0x01, 0x81}, "ends before the group"},
  };
  for (const auto& c : cases) {
    ExpectLonIpError([&] { DecodeDatagram(c.first); }, LonIpError::Kind::Malformed, c.second);
  }
}

TEST(DatagramTest, RefusesToEncodeWhatTheFieldsCannotCarry) {
  Datagram d = Session(0, 16, {0x51});
  EXPECT_THROW(EncodeDatagram(d), LonIpError);  // a 4-bit id
  d.version = kEnhancedVersion;
  EXPECT_NO_THROW(EncodeDatagram(d));
  d.source = ExplicitSource{1, 1, DomainId{1, 2}};
  EXPECT_THROW(EncodeDatagram(d), LonIpError);  // no 2-byte domains
}

TEST(LonAddressTest, DerivesIpAddressesBothWays) {
  struct Case {
    const char* domain;
    uint8_t subnet, node;
    const char* ip;  // "" where none is derived
  };
  for (const Case& c : {Case{"7F0100", 1, 1, "127.1.1.1"}, Case{"2A", 3, 9, "10.42.3.9"}, Case{"", 5, 6, "192.168.5.6"},
                        Case{"7F0102", 1, 1, ""}, Case{"010203040506", 1, 1, ""}}) {
    const std::string domain = c.domain;
    const LonAddress address{*ParseHex(domain, domain.size() / 2), c.subnet, c.node};
    const auto ip = UnicastIpOf(address);
    EXPECT_EQ(ip ? ip->Text() : "", c.ip) << address.Text();
    if (ip) {
      EXPECT_EQ(LonAddressOfIp(*ip), address);
    }
  }
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 ", "1.2.3.010"}) {
    EXPECT_FALSE(Ipv4::Parse(bad)) << bad;
  }
  EXPECT_EQ(ParseNeuronId("02fc00000011"), (NeuronId{0x02, 0xFC, 0, 0, 0, 0x11}));
  EXPECT_FALSE(ParseNeuronId("02FC0000001"));
  EXPECT_FALSE(ParseNeuronId("02FC0000001G"));
}

TEST(TransactionIdsTest, CountOneToFifteenPerLaneAndNeverRepeatTheLastIdOfADestination) {
  TransactionIds ids(false);
  const auto now = TransactionIds::Clock::now();
  std::vector<uint16_t> normal;
  for (int i = 0; i < 16; ++i) normal.push_back(ids.Next(false, "device " + std::to_string(i), now));
  EXPECT_EQ(normal.front(), 1);
  EXPECT_EQ(normal[14], 15);
  EXPECT_EQ(normal[15], 1);  // 0 is skipped
  EXPECT_EQ(ids.Next(true, "a", now), 1);  // priority counts on its own
  // Fifteen requests later the same device would get its last id again: it gets the next one.
  TransactionIds again(false);
  const uint16_t first = again.Next(false, "a", now);
  for (int i = 0; i < 14; ++i) again.Next(false, "b" + std::to_string(i), now);
  EXPECT_NE(again.Next(false, "a", now), first);
  // After the receive timer the id is free again; a broadcast's id is avoided for everyone.
  TransactionIds later(false);
  const uint16_t broadcast = later.Next(false, "*", now);
  for (int i = 0; i < 14; ++i) later.Next(false, "c", now);
  EXPECT_NE(later.Next(false, "d", now), broadcast);
  // A later process that takes over the recent ids avoids them as well (and forgets old ones):
  // fifteen requests after "a" last had id n, a new one to "a" does not get n.
  TransactionIds first1(false), second(false);
  const uint16_t forA = first1.Next(false, "a", now);
  second.ContinueFrom(first1.Last(false), first1.Last(true));
  for (const auto& recent : first1.RecentIds(now)) second.Remember(recent, now);
  second.Remember({false, "old", 3, std::chrono::seconds(9)}, now);
  EXPECT_EQ(second.RecentIds(now).size(), 1u);
  for (int i = 0; i < 14; ++i) second.Next(false, "e" + std::to_string(i), now);
  EXPECT_NE(second.Next(false, "a", now), forA);
  TransactionIds enhanced(true);
  uint16_t last = 0;
  for (int i = 0; i < 4095; ++i) last = enhanced.Next(false, "x" + std::to_string(i % 2), now);
  EXPECT_EQ(last, 4095);
}

TEST(NmMessagesTest, EncodesRequestsAndReadsAnswers) {
  EXPECT_EQ(NvFetchRequest(300), Bytes({0x73, 0xFF, 0x01, 0x2C}));
  EXPECT_EQ(NvUpdateMessage(0x3FFE, {0x01, 0x90}), Bytes({0xBF, 0xFE, 0x01, 0x90}));
  const DomainEntry entry{{0x7F, 0x01, 0x00}, 3, 7, true, false, {}};
  EXPECT_EQ(UpdateDomainRequest(0, entry),
            Bytes({0x63, 0x00, 0x7F, 0x01, 0x00, 0, 0, 0, 0x03, 0x87, 0x03, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(DecodeDomainEntry(EncodeDomainEntry(entry), 0), entry);
  const NvConfig config{true, true, 0x3ABC, true, 2, true, 9};
  EXPECT_EQ(DecodeNvConfig(EncodeNvConfig(config), 0), config);

  const auto status = ParseStatus(AnswerData(QueryStatusRequest(),
                                             Bytes({0x31, 0, 1, 0, 2, 0, 3, 0, 4, 1, 0, 0x01, 0x04, 0x04, 0x00, 0xA8}), "d"));
  EXPECT_EQ(status.counters, (std::array<uint16_t, 5>{1, 2, 3, 4, 256}));
  EXPECT_EQ(status.state, node_state::kConfiguredOnline);
  EXPECT_EQ(status.architecture, 0xA8);
  EXPECT_EQ(NvFetchValue(5, {0x05, 0x01, 0x90}, "d"), Bytes({0x01, 0x90}));
  EXPECT_THROW(NvFetchValue(5, {0x06, 0x01}, "d"), LonIpError);

  struct Refusal {
    std::vector<uint8_t> request, answer;
    LonIpError::Kind kind;
    const char* text;
  };
  const std::vector<Refusal> refusals = {
      {QueryDomainRequest(0), {0x0A}, LonIpError::Kind::Refused, "device 1 refused Query Domain (failure code 0x0A)"},
      {QueryStatusRequest(), {0x11}, LonIpError::Kind::Refused, "refused Query Status (failure code 0x11)"},
      {NvFetchRequest(1), {0x21}, LonIpError::Kind::Malformed, "with code 0x21 (expected 0x33)"},
      {QueryStatusRequest(), {0x31, 0}, LonIpError::Kind::Malformed, "with 1 data bytes (expected 15)"},
  };
  for (const auto& r : refusals) {
    ExpectLonIpError([&] { ParseStatus(AnswerData(r.request, r.answer, "device 1", 15)); }, r.kind, r.text);
  }
}

}  // namespace
}  // namespace platform::lonip
