#include "params/config_prop.h"

#include <gtest/gtest.h>

#include "params/params.h"
#include "platform/ini/profile_ini_file.h"
#include "support/demo_network.h"
#include "support/fake_cp.h"
#include "support/matchers.h"

using testing_support::FakeCp;
using testing_support::ThrowsError;
using Bytes = std::vector<uint8_t>;

namespace {

TEST(ConfigPropTest, WithoutServerCpNothingHappens) {
  params::cParams set;
  auto buffer = set.AddConfigProp("None", nullptr, "None");
  buffer->ReadFromLns(false, true);
  buffer->WriteToLns(true);
  EXPECT_EQ(std::tuple(buffer->Available(), buffer->CpFetched(), buffer->ByteLength(), buffer->Dimension(),
                       buffer->ElementByteLength(), buffer->ByteValueStringForDebuggging(), buffer->ByteValues(1, -1)),
            std::tuple(false, false, -1, -1, -1, "", Bytes{}));
  EXPECT_THAT([&] { buffer->ByteValue(1); }, ThrowsError(9));
  EXPECT_FALSE(buffer->FetchCp(true));
}

TEST(ConfigPropTest, LazyFirstReadHappensOnceAndAnExplicitReadDoesNotCount) {
  params::cParams set;
  auto cp = std::make_shared<FakeCp>(Bytes{12, 0, 255});
  auto buffer = set.AddConfigProp("C", cp, "C");
  EXPECT_EQ(buffer->ByteValueStringForDebuggging(), "0,0,0");  // created with zeros, never reads
  EXPECT_EQ(cp->rawReads, 0);
  buffer->ReadFromLns();
  EXPECT_EQ(cp->rawReads, 1);
  EXPECT_EQ(buffer->ByteValue(3), 255);  // the explicit read did not count as the first read
  EXPECT_EQ(cp->rawReads, 2);
  EXPECT_EQ(buffer->ByteValue(1), 12);
  buffer->ByteValueArray();
  buffer->ByteValues(1, 2);
  EXPECT_EQ(cp->rawReads, 2);
  buffer->SetByteValue(2, 7);  // a let never reads
  EXPECT_EQ(buffer->ByteValueStringForDebuggging(), "12,7,255");
  EXPECT_THAT([&] { buffer->ByteValue(0); }, ThrowsError(9));
  EXPECT_THAT([&] { buffer->ByteValue(4); }, ThrowsError(9));
}

TEST(ConfigPropTest, WriteFlagsDecideWhatReachesTheServer) {
  struct Row { bool ifRequiredOnly, dontWrite, change, force; int expectedWrites; };
  const Row rows[] = {
      {false, false, false, false, 1}, {true, false, false, false, 0}, {true, false, false, true, 1},  // forced
      {true, false, true, false, 1}, {false, true, true, true, 0},  // DontWriteToLns: not even when forced
  };
  for (const auto& row : rows) {
    params::cParams set;
    auto cp = std::make_shared<FakeCp>(Bytes{1, 2});
    auto buffer = set.AddConfigProp("C", cp, "C");
    buffer->ByteValue(1);
    buffer->SetWriteToLnsIfRequiredOnly(row.ifRequiredOnly);
    buffer->SetDontWriteToLns(row.dontWrite);
    if (row.change) buffer->SetByteValue(2, 9);
    buffer->WriteToLns(row.force);
    EXPECT_EQ(cp->rawWrites, row.expectedWrites) << row.ifRequiredOnly << row.dontWrite << row.change << row.force;
  }
}

TEST(ConfigPropTest, ReadFlagAndTheSyncedCopy) {
  params::cParams set;
  auto cp = std::make_shared<FakeCp>(Bytes{1, 2});
  auto buffer = set.AddConfigProp("C", cp, "C");
  buffer->SetDontReadFromLns(true);
  buffer->ReadFromLns();
  EXPECT_EQ(cp->rawReads, 0);
  buffer->ReadFromLns(false, true);
  EXPECT_EQ(cp->rawReads, 1);
  buffer->SetWriteToLnsIfRequiredOnly(true);
  EXPECT_FALSE(buffer->WritingToLnsIsRequired());  // synced with what was read
  buffer->SetByteValue(1, 5);
  EXPECT_TRUE(buffer->WritingToLnsIsRequired());
  // A failed write is not reported, and not repeated: the synced copy follows anyway.
  cp->failRaw = true;
  buffer->WriteToLns();
  EXPECT_EQ(std::tuple(cp->rawWrites, buffer->WritingToLnsIsRequired()), std::tuple(1, false));
  // A failed read keeps the bytes.
  buffer->ReadFromLns(false, true);
  EXPECT_EQ(buffer->ByteValueStringForDebuggging(), "5,2");
}

TEST(ConfigPropTest, ByteRangesAndBufferLifetime) {
  params::cParams set;
  auto buffer = set.AddConfigProp("C", std::make_shared<FakeCp>(Bytes{1, 2, 3, 4}), "C");
  EXPECT_FALSE(buffer->SetByteValues(3, std::vector<int32_t>{7, 8, 9}));
  EXPECT_EQ(buffer->ByteValueStringForDebuggging(), "0,0,0,0");
  EXPECT_TRUE(buffer->SetByteValues(2, std::vector<int32_t>{7, 8, 9}));
  EXPECT_EQ(buffer->ByteValueStringForDebuggging(), "0,7,8,9");
  EXPECT_THAT([&] { buffer->SetByteValues(1, std::vector<int32_t>{256}); }, ThrowsError(6));
  EXPECT_EQ(buffer->ByteValues(2, -1), (Bytes{2, 3, 4}));  // the first get reads the server
  EXPECT_EQ(buffer->ByteValues(1, 2), (Bytes{1, 2}));
  EXPECT_THAT([&] { buffer->ByteValues(3, 3); }, ThrowsError(9));
  // A second CP of another length keeps the buffers as they are.
  buffer->SetConfigProperty(std::make_shared<FakeCp>(Bytes{5, 5}));  // the length is cached for the object's life
  EXPECT_EQ(std::tuple(buffer->ByteValueStringForDebuggging(), buffer->ByteLength()), std::tuple("1,2,3,4", 4));
}

TEST(ConfigPropTest, ByteLengthOverflowRaises) {
  auto big = std::make_shared<FakeCp>(Bytes(255, 0), 255);
  big->dimensionOverride = 255;
  EXPECT_THAT([&] { params::cParams().AddConfigProp("Big", big, "Big"); }, ThrowsError(6));
}

TEST(ConfigPropTest, IndexOwnerAndFetchOnTheEmbeddedServer) {
  testing_support::DemoNetwork demo;
  params::cParams set;
  auto deviceBuffer = set.AddConfigProp("Options", demo.DeviceCp(2), "DeviceOptions");
  auto objectBuffer = set.AddConfigProp("Hold", demo.ObjectCp(2), "HoldTime");
  auto nvBuffer = set.AddConfigProp(
      "MaxSend", demo.Device()->Interface()->NetworkVariables()->ItemByName("nvoValue")->ConfigProperties()->Item(1), "");
  EXPECT_EQ(std::tuple(deviceBuffer->GetCpIndex(), objectBuffer->GetCpIndex(), deviceBuffer->GetSuperiorObject()->ClassId(),
                       objectBuffer->GetSuperiorObject()->ClassId(), nvBuffer->GetSuperiorObject()->Name()),
            std::tuple(2, 2, 7, 28, "nvoValue"));
  EXPECT_EQ(deviceBuffer->ByteValueArray(), (Bytes{0, 10, 0, 20}));

  // FetchCp looks the CP up by its INI name through the set's fetch context.
  platform::ini::ProfileIniFile ini(std::string(PORTAB_DATA_DIR) + "/PortaB.ini");
  std::shared_ptr<lns::DeviceTemplate> deviceTemplate = demo.Device()->Template();
  set.SetFetchContext(&ini, &deviceTemplate);
  auto fpt = set.AddConfigProp("Fpt", demo.ObjectCp(3), "FptIndex");
  fpt->SetSuperiorLnsObject(demo.Object());
  EXPECT_TRUE(fpt->FetchCp(false));
  EXPECT_EQ(fpt->ConfigProperty()->Name(), "Label");  // already fetched: kept
  EXPECT_TRUE(fpt->FetchCp(true));
  EXPECT_EQ(fpt->ConfigProperty()->Name(), "FptIndex");
  auto version = set.AddConfigProp("Version", demo.DeviceCp(2), "ParamVersion");
  version->SetSuperiorLnsObject(demo.Device());
  EXPECT_TRUE(version->FetchCp(true));
  EXPECT_EQ(version->ConfigProperty()->Name(), "ParamVersion");
}

}  // namespace
