// The channel against portab-lon-device processes on 127.1.1.x, inside the test's own network
// namespace: requests and answers, retries, the cache of repeated ids, discovery,
// commissioning, NV updates, and devices that refuse, vanish or send garbage.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/lonip/device_requests.h"
#include "platform/lonip/lonip_channel.h"
#include "platform/lonip/lonip_error.h"
#include "expect_lonip_error.h"
#include "support/lon_devices.h"

namespace platform::lonip {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing_support::DeviceProcess;

const DomainId kDomain{0x7F, 0x01, 0x00};

std::string Description(int node, const std::string& state, const std::string& extra = "") {
  char nid[13];
  std::snprintf(nid, sizeof nid, "02FC000000%02X", node);
  return R"({"ip": "127.1.1.)" + std::to_string(node) + R"(", "neuronId": ")" + nid +
         R"(", "programId": "9FFFFF0000000001", "state": ")" + state + R"(", "domain": "7F0100", "subnet": 1, "node": )" +
         std::to_string(node) +
         R"(, "nvs": [{"name": "nvoTemp", "direction": "output", "value": "0190"},
                      {"name": "nciSetpoint", "direction": "input", "config": true, "value": "00C8"}])" +
         extra + "}";
}

LonTarget Device(int node) { return LonTarget::Node({kDomain, 1, static_cast<uint8_t>(node)}); }

class LonIpChannelTest : public testing::Test {
 protected:
  void SetUp() override {
    PORTAB_PRIVATE_NETWORK_OR_SKIP();
    channel_ = std::make_unique<LonIpChannel>(Settings(kLegacyVersion));
  }
  static ChannelSettings Settings(uint8_t version) {
    ChannelSettings settings;
    settings.ownIp = *Ipv4::Parse("127.1.1.127");
    settings.timeout = 150ms;
    settings.retries = 2;
    settings.version = version;
    return settings;
  }
  std::unique_ptr<DeviceProcess> Start(int node, const std::string& state = "configured", const std::string& extra = "") {
    return std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, Description(node, state, extra));
  }
  std::unique_ptr<LonIpChannel> channel_;
};

TEST_F(LonIpChannelTest, AsksSeveralDevicesInBothVersions) {
  const auto one = Start(1);
  const auto two = Start(2, "offline");
  EXPECT_EQ(QueryStatus(*channel_, Device(1)).state, node_state::kConfiguredOnline);
  EXPECT_EQ(QueryStatus(*channel_, Device(2)).state, node_state::kSoftOffline);
  EXPECT_EQ(NvFetch(*channel_, Device(1), 0), (std::vector<uint8_t>{0x01, 0x90}));
  const auto readOnly = ReadMemory(*channel_, Device(2), MemoryMode::ReadOnly, 0, 21);
  EXPECT_EQ(HexText(std::span(readOnly).first(6)), "02FC00000002");
  EXPECT_EQ(HexText(std::span(readOnly).subspan(13, 8)), "9FFFFF0000000001");
  EXPECT_EQ(QueryDomain(*channel_, Device(1), 0).id, kDomain);
  // The enhanced version: 12-bit ids, answered in kind.
  channel_.reset();
  LonIpChannel enhanced(Settings(kEnhancedVersion));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(NvFetch(enhanced, Device(2), 1), (std::vector<uint8_t>{0x00, 0xC8}));
}

TEST_F(LonIpChannelTest, NamesTheDeviceTheInterfaceAndTheRequestInEveryFailure) {
  const auto one = Start(1);
  ExpectLonIpError([&] { QueryDomain(*channel_, Device(1), 5); }, LonIpError::Kind::Refused,
                   "device 7F0100/1/1 on lonip:127.1.1.127 refused Query Domain");
  ExpectLonIpError([&] { QueryStatus(*channel_, Device(9)); }, LonIpError::Kind::NoAnswer,
                   "device 7F0100/1/9 on lonip:127.1.1.127 did not answer Query Status (no response, 3 tries of 150 ms)");
  ExpectLonIpError([&] { Wink(*channel_, Device(9)); }, LonIpError::Kind::NoAnswer, "did not answer Wink (no acknowledgement");
  // A configured device says nothing to "Query ID, unconfigured only".
  ExpectLonIpError([&] { QueryId(*channel_, LonTarget::ByNeuronId(*ParseNeuronId("02FC00000001")), QueryIdSelector::Unconfigured); },
                   LonIpError::Kind::NoAnswer, "Neuron ID 02FC00000001");
  // A second program on the same address waits its turn, then gives up.
  ExpectLonIpError([] { LonIpChannel second(Settings(kLegacyVersion)); }, LonIpError::Kind::Busy,
                   "lonip:127.1.1.127: 127.1.1.127:2541 is in use by another program");
}

TEST_F(LonIpChannelTest, RetriesWithTheSameIdAndTheDeviceAnswersARepeatFromItsCache) {
  // A device that drops the first try still gets the NV update exactly once.
  const auto lossy = Start(3, "configured", R"(, "dropFirst": 1)");
  const uint16_t selector = QueryNvConfig(*channel_, Device(3), 1).selector;
  EXPECT_EQ(selector, 0x3FFE);
  UpdateNv(*channel_, Device(3), selector, {0x01, 0x2C});
  EXPECT_EQ(NvFetch(*channel_, Device(3), 1), (std::vector<uint8_t>{0x01, 0x2C}));

  // On the wire: a retry repeats the id, the next request takes another, and the device answers
  // a repeated id from its cache even after the value changed.
  UdpSocket tool(*Ipv4::Parse("127.1.1.126"), kLonIpPort, false);
  const auto fetch = [&](uint8_t id) {
    tool.SendTo(std::vector<uint8_t>{0x00, 0x11, id, 0x73, 0x01}, *Ipv4::Parse("127.1.1.3"), kLonIpPort);
    EXPECT_TRUE(WaitForDatagram(std::vector<UdpSocket*>{&tool}, std::chrono::steady_clock::now() + 2s));
    return tool.Receive()->bytes;
  };
  EXPECT_EQ(fetch(5), (std::vector<uint8_t>{0x00, 0x11, 0x25, 0x33, 0x01, 0x01, 0x2C}));
  UpdateNv(*channel_, Device(3), selector, {0x00, 0x01});
  EXPECT_EQ(fetch(5), (std::vector<uint8_t>{0x00, 0x11, 0x25, 0x33, 0x01, 0x01, 0x2C}));
  EXPECT_EQ(fetch(6), (std::vector<uint8_t>{0x00, 0x11, 0x26, 0x33, 0x01, 0x00, 0x01}));

  UdpSocket fake(*Ipv4::Parse("127.1.1.8"), kLonIpPort, false);
  std::vector<Datagram> tries;
  std::thread device([&] {
    while (tries.size() < 2 && WaitForDatagram(std::vector<UdpSocket*>{&fake}, std::chrono::steady_clock::now() + 2s)) {
      tries.push_back(DecodeDatagram(fake.Receive()->bytes));
    }
    Datagram answer = tries.back();
    answer.pduType = static_cast<uint8_t>(PduType::Response);
    answer.apdu = {0x33, 0x00, 0x42};
    fake.SendTo(EncodeDatagram(answer), *Ipv4::Parse("127.1.1.127"), kLonIpPort);
  });
  EXPECT_EQ(NvFetch(*channel_, Device(8), 0), (std::vector<uint8_t>{0x42}));
  device.join();
  ASSERT_EQ(tries.size(), 2u);
  EXPECT_EQ(tries[0].transaction, tries[1].transaction);
  EXPECT_NE(tries[0].transaction, 0);
}

TEST_F(LonIpChannelTest, DiscoversUnconfiguredDevicesAndServicePinsAndCommissionsOne) {
  const auto configured = Start(1);
  const auto fresh = Start(4, "unconfigured");
  const auto other = Start(5, "unconfigured");
  const auto pressed = Start(6);
  pressed->ServicePin();
  std::this_thread::sleep_for(100ms);
  auto found = Discover(*channel_, kDomain, 400ms);
  std::vector<std::string> lines;
  for (const auto& device : found) {
    lines.push_back(HexText(device.identity.neuronId) + " " + device.ip.Text() + (device.servicePin ? " pin" : ""));
  }
  EXPECT_THAT(lines, testing::UnorderedElementsAre("02FC00000004 127.1.1.4", "02FC00000005 127.1.1.5",
                                                   "02FC00000006 127.1.1.6 pin"));

  // Commissioning by Neuron ID: the domain, the state, online; the device keeps its IP and says
  // its new address in its answers, from which the tool learns where 3/7 lives.
  const auto byId = LonTarget::ByNeuronId(*ParseNeuronId("02FC00000004"));
  UpdateDomain(*channel_, byId, 0, {kDomain, 3, 7, true, false, {}});
  ChangeState(*channel_, byId, node_state::kConfiguredOnline);
  SetNodeMode(*channel_, byId, NodeMode::Online);
  const LonTarget commissioned = LonTarget::Node({kDomain, 3, 7});
  EXPECT_EQ(channel_->IpOf(commissioned.address)->Text(), "127.1.1.4");
  EXPECT_EQ(QueryStatus(*channel_, commissioned).state, node_state::kConfiguredOnline);
  SetNodeMode(*channel_, commissioned, NodeMode::Offline);
  EXPECT_EQ(QueryStatus(*channel_, commissioned).state, node_state::kSoftOffline);
  EXPECT_EQ(Discover(*channel_, kDomain, 300ms).size(), 1u);  // only 02FC00000005 is left
}

TEST_F(LonIpChannelTest, RefusedUpdatesAndGarbageChangeNothing) {
  const auto one = Start(1);
  // An update marked for an output NV is acknowledged and ignored.
  UpdateNv(*channel_, Device(1), 0x3FFF, {0x00, 0x01});
  EXPECT_EQ(NvFetch(*channel_, Device(1), 0), (std::vector<uint8_t>{0x01, 0x90}));
  EXPECT_EQ(NvFetch(*channel_, Device(1), 1), (std::vector<uint8_t>{0x00, 0xC8}));
  // Garbage from a "device" is dropped and counted; the tool goes on.
  UdpSocket noise(*Ipv4::Parse("127.1.1.9"), kLonIpPort, false);
  for (const auto& bytes : std::vector<std::vector<uint8_t>>{{}, {0xFF}, {0x00, 0x11}, {0x01, 0x11, 0x03}, {0x00, 0x71}}) {
    noise.SendTo(bytes, *Ipv4::Parse("127.1.1.127"), kLonIpPort);
  }
  EXPECT_EQ(QueryStatus(*channel_, Device(1)).state, node_state::kConfiguredOnline);
  EXPECT_GE(channel_->MalformedCount(), 4u);
  // A plain wink asked as a request is refused; as a message it is acknowledged.
  ExpectLonIpError([&] { AnswerData(WinkMessage(), channel_->Request(Device(1), WinkMessage()), "device 1"); },
                   LonIpError::Kind::Refused, "device 1 refused Wink (failure code 0x10)");
  Wink(*channel_, Device(1));
}

}  // namespace
}  // namespace platform::lonip
