#include <gtest/gtest.h>

#include "params/params.h"
#include "support/demo_network.h"
#include "support/fake_cp.h"
#include "support/matchers.h"

using testing_support::FakeCp;
using testing_support::ThrowsError;
using testing_support::ThrowsErrorFrom;
using Bytes = std::vector<uint8_t>;

namespace {

TEST(RawParametersTest, TwoByteValueSplitsTowardZero) {
  params::cParams set;
  auto p = set.Add2ByteParameter("P", nullptr, "");
  const std::tuple<int32_t, int32_t, int32_t> rows[] = {
      {0x1234, 0x12, 0x34}, {-1, 0, -1}, {-256, -1, 0}, {-257, -1, -1}, {65535, 255, 255}, {0, 0, 0}};
  for (const auto& [value, first, second] : rows) {
    p->SetValue(value);
    EXPECT_EQ(std::tuple(p->Value1(), p->Value2(), p->Value()), std::tuple(first, second, value));
  }
  p->SetValue1(0x7FFFFFFF);
  EXPECT_THAT([&] { p->Value(); }, ThrowsError(6));
}

// The kind gives the width, the parameter its signedness and place; read values are not changes.
TEST(RawParametersTest, ReadSignedAndUnsignedParts) {
  struct Row { Bytes bytes; bool twoBytes; int16_t bytePos; bool isSigned; int32_t expected; };
  const Row rows[] = {
      {{0x80, 0x00}, true, 1, true, -32768}, {{0x80, 0x00}, true, 1, false, 32768}, {{7, 0xFF}, false, 2, true, -1},
      {{7, 0xFF}, false, 2, false, 255},     {{0x12, 0x34, 9}, true, 1, false, 0x1234},
  };
  for (const auto& row : rows) {
    params::cParams set;
    auto cp = std::make_shared<FakeCp>(row.bytes);
    std::shared_ptr<params::cRawNumber> p;
    if (row.twoBytes) {
      p = set.Add2ByteParameter("P", cp, "CP");
    } else {
      auto one = set.Add1ByteParameter("P", cp, "CP");
      one->SetValue(5);
      p = one;
    }
    p->SetSignedValue(row.isSigned);
    p->ConsiderPartOfCpOnly(row.bytePos);
    p->ReadFromLns();
    EXPECT_EQ(row.twoBytes ? std::static_pointer_cast<params::cParam2Byte>(p)->Value()
                           : std::static_pointer_cast<params::cParam1Byte>(p)->Value(),
              row.expected);
    EXPECT_FALSE(p->Changed());
  }
}

TEST(RawParametersTest, WriteOnlyWhenRequiredButAlwaysClearChanged) {
  params::cParams set;
  auto cp = std::make_shared<FakeCp>(Bytes{1, 2});
  auto p = set.Add2ByteParameter("P", cp, "CP");
  p->ConsiderPartOfCpOnly(1);
  p->ReadFromLns();
  p->SetWriteToLnsIfRequiredOnly(true);
  p->SetValue(0x0102);  // the value last read
  EXPECT_EQ(std::tuple(p->Changed(), p->WritingToLnsIsRequired()), std::tuple(true, false));
  p->WriteToLns();
  EXPECT_EQ(std::tuple(cp->valueWrites, p->Changed()), std::tuple(0, false));
  p->SetValue(-1);
  p->SetSignedValue(true);
  EXPECT_TRUE(p->WritingToLnsIsRequired());
  p->WriteToLns();
  EXPECT_EQ(cp->Bytes(), (Bytes{255, 255}));
  p->SetWriteToLnsIfRequiredOnly(false);
  p->WriteToLns();  // unrestricted: written again
  EXPECT_EQ(cp->valueWrites, 2);
}

TEST(RawParametersTest, UnavailableParametersAreLeftAlone) {
  params::cParams set;
  auto p = set.Add1ByteParameter("P", nullptr, "CP");
  p->SetValue(3);
  p->ReadFromLns(true);
  p->WriteToLns();
  EXPECT_EQ(std::tuple(p->Available(), p->CpIniName(), p->Value(), p->Changed()), std::tuple(false, "", 3, true));
  EXPECT_FALSE(p->FetchCp());
}

TEST(RawParametersTest, PartsOutsideTheCpAreRefused) {
  params::cParams set;
  auto cp = std::make_shared<FakeCp>(Bytes{0, 0, 0, 0});
  auto two = set.Add2ByteParameter("Two", cp, "CP");
  EXPECT_THAT([&] { two->ConsiderPartOfCpOnly(4); },
              ThrowsErrorFrom(static_cast<int32_t>(0x800403E8), "ConsiderPartOfCpOnly", "invalid parameters"));
  two->ConsiderPartOfCpOnly(3);
  auto one = set.Add1ByteParameter("One", cp, "CP");
  EXPECT_THAT([&] { one->ConsiderPartOfCpOnly(0); }, ThrowsError(static_cast<int32_t>(0x800403E8)));
  EXPECT_THAT([&] { one->ConsiderPartOfCpOnly(5); }, ThrowsError(static_cast<int32_t>(0x800403E8)));
  auto text = set.AddAsciiParameter("Text", cp, "CP");
  text->ConsiderPartOfCpOnly(2, 3);
  EXPECT_THAT([&] { text->ConsiderPartOfCpOnly(3, 3); }, ThrowsError(static_cast<int32_t>(0x800403E8)));
  EXPECT_THAT([&] { text->ConsiderPartOfCpOnly(32767, 3); }, ThrowsError(6));
  // A part on a CP buffer is not checked against the server.
  auto buffer = set.AddConfigProp("B", cp, "CP");
  set.Add1ByteParameterExtCp("Ext", buffer)->ConsiderPartOfCpOnly(9);
}

TEST(RawParametersTest, ParametersSharingACpKeepEachOthersBytesOnTheServer) {
  testing_support::DemoNetwork demo;
  params::cParams set;
  auto cp = demo.DeviceCp(2);  // "DeviceOptions": 0 10 0 20
  auto high = set.Add1ByteParameter("High", cp, "DeviceOptions");
  high->ConsiderPartOfCpOnly(1);
  auto word = set.Add2ByteParameter("Word", cp, "DeviceOptions");
  word->ConsiderPartOfCpOnly(3);
  auto low = set.Add1ByteParameter("Low", cp, "DeviceOptions");
  low->ConsiderPartOfCpOnly(4);
  set.ReadFromLns();
  EXPECT_EQ(std::tuple(word->Value(), low->Value()), std::tuple(20, 20));
  word->SetValue(0x1234);
  word->WriteToLns();
  high->SetValue(7);
  high->WriteToLns();
  EXPECT_EQ(cp->RawRead(0, 2, 0), (Bytes{7, 10, 0x12, 0x34}));
  EXPECT_EQ(cp->ValueFormat(), "HEX");
  low->ReadFromLns();
  EXPECT_EQ(low->Value(), 0x34);
}

TEST(RawParametersTest, AsciiOnTheServerAndOnABuffer) {
  testing_support::DemoNetwork demo;
  params::cParams set;
  auto label = set.AddAsciiParameter("Label", demo.ObjectCp(3), "Label");  // "Omnal" in 8 bytes
  label->ConsiderPartOfCpOnly(1, 8);
  label->ReadFromLns();
  EXPECT_EQ(std::tuple(label->Value(), label->WritingToLnsIsRequired()), std::tuple("Omnal", true));
  label->SetValue("Küche 2");
  label->WriteToLns();
  EXPECT_FALSE(label->Changed());
  EXPECT_EQ(demo.ObjectCp(3)->RawRead(0, 8, 0), (Bytes{'K', 0xFC, 'c', 'h', 'e', ' ', '2', 0}));

  auto cp = std::make_shared<FakeCp>(Bytes(12, 9));
  auto buffer = set.AddConfigProp("B", cp, "B");
  buffer->ByteValue(1);  // the buffer's first read, as the set's read pass does it
  auto text = set.AddAsciiParameterExtCp("T", buffer);
  text->ConsiderPartOfCpOnly(3, 8);
  text->SetValue("Omnal");
  text->WriteToExtCp();
  EXPECT_EQ(buffer->ByteValueArray(), (Bytes{9, 9, 'O', 'm', 'n', 'a', 'l', 0, 0, 0, 9, 9}));
  text->ReadFromExtCp();
  EXPECT_EQ(text->Value(), "Omnal");
  text->WriteToLns();  // on a buffer the LNS transfers do nothing
  EXPECT_EQ(cp->valueWrites, 0);
}

}  // namespace
