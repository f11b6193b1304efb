#include "params/cp_part.h"

#include <gtest/gtest.h>

#include "params/params.h"
#include "support/fake_cp.h"

namespace params {
// Lets the tests call the part operations, which are otherwise for parameters only.
struct CpPartTestAccess {
  static CpPartKey Key() { return {}; }
};
}  // namespace params

namespace {

using params::CpPartTestAccess;
using testing_support::FakeCp;
using Bytes = std::vector<uint8_t>;

struct ReadRow { Bytes bytes; bool isSigned; int16_t bytePos, byteLength; uint8_t usedBytes; int32_t expected; };

// The same rows hold for an LNS CP and for a CP value buffer.
const ReadRow kReadRows[] = {
    {{0, 1, 255, 0}, false, 2, 2, 0, 511}, {{0, 1, 255, 0}, true, 2, 2, 0, 511},  // below 2^15 the sign changes nothing
    {{255, 254}, true, 1, 2, 0, -2},       {{7, 0xFF, 7}, true, 2, 1, 0, -1},
    {{255, 255, 0, 0}, true, 1, 4, 2, -1}, {{255, 255, 0, 0}, false, 1, 4, 2, 65535},  // narrowed to the first two bytes
    {{0x80, 0x00}, true, 1, 2, 0, -32768}, {{0x80, 0x00}, false, 1, 2, 0, 32768},
    {{1, 2, 3, 4}, false, 0, 0, 0, 0x01020304},     // BytePos 0: the whole CP
    {{0xFF, 0xFF, 0xFF, 0xFF}, false, 1, 4, 0, 0},  // does not fit 32 bits: nothing read
    {{0xFF, 0xFF, 0xFF, 0xFF}, true, 1, 4, 0, -1},  {{1, 2}, false, 2, 2, 0, 0},  // part past the end: nothing read
};

TEST(CpPartTest, ReadNumbersFromAnLnsCpAndFromACpBuffer) {
  for (const auto& row : kReadRows) {
    SCOPED_TRACE("pos " + std::to_string(row.bytePos) + " len " + std::to_string(row.byteLength));
    FakeCp cp(row.bytes);
    int32_t value = 12345;
    params::cp_part::ReadCpPart(CpPartTestAccess::Key(), &cp, value, row.isSigned, row.bytePos, row.byteLength,
                                row.usedBytes);
    EXPECT_EQ(std::tuple(value, cp.ValueFormat()), std::tuple(row.expected, "HEX"));  // the format is restored
    params::cParams set;
    auto buffer = set.AddConfigProp("B", std::make_shared<FakeCp>(row.bytes), "B");
    value = 12345;
    params::cp_part::ReadExtCpPart(CpPartTestAccess::Key(), buffer.get(), value, row.isSigned, row.bytePos,
                                   row.byteLength, row.usedBytes);
    EXPECT_EQ(value, row.expected);
  }
}

struct WriteRow { Bytes before; int32_t value; bool isSigned; int16_t bytePos, byteLength; uint8_t usedBytes; Bytes after; };

const WriteRow kWriteRows[] = {
    {{9, 9, 9, 9}, 511, false, 2, 2, 0, {9, 1, 255, 9}},           // neighbours keep their bytes
    {{9, 9, 9, 9}, -1, true, 1, 4, 2, {255, 255, 0, 0}},           // narrowed, zeros after
    {{9, 9}, -1, true, 1, 2, 0, {255, 255}}, {{9, 9, 9}, -2, true, 3, 1, 0, {9, 9, 254}},
    {{9, 9, 9, 9}, 0x01020304, false, 0, 0, 0, {1, 2, 3, 4}},      // BytePos 0: from byte 1
    {{9, 9}, 300, false, 1, 1, 0, {9, 9}},                         // does not fit: not written
    {{9, 9}, -1, false, 1, 1, 0, {9, 9}},                          // negative, unsigned: not written
    {{9, 9}, 1, false, 2, 2, 0, {9, 9}},                           // past the end: not written
    {{0, 0, 0, 0}, -32768, true, 2, 2, 0, {0, 0x80, 0, 0}},
};

TEST(CpPartTest, WriteNumbersIntoAnLnsCpAndIntoACpBufferOnly) {
  for (const auto& row : kWriteRows) {
    SCOPED_TRACE("value " + std::to_string(row.value) + " at " + std::to_string(row.bytePos));
    FakeCp cp(row.before);
    params::cp_part::WriteCpPart(CpPartTestAccess::Key(), &cp, row.value, row.isSigned, row.bytePos, row.byteLength,
                                 row.usedBytes);
    EXPECT_EQ(std::tuple(cp.Bytes(), cp.ValueFormat()), std::tuple(row.after, "HEX"));
    params::cParams set;
    auto lns = std::make_shared<FakeCp>(row.before);
    auto buffer = set.AddConfigProp("B", lns, "B");
    buffer->ByteValue(1);  // the first read
    params::cp_part::WriteExtCpPart(CpPartTestAccess::Key(), buffer.get(), row.value, row.isSigned, row.bytePos,
                                    row.byteLength, row.usedBytes);
    EXPECT_EQ(std::tuple(buffer->ByteValueArray(), lns->Bytes()), std::tuple(row.after, row.before));  // nothing to the server
  }
}

// Padding with zeros and reading up to the first 0 are checked on the embedded server.
TEST(CpPartTest, TextsAreOneWindows1252ByteACharacterCutToThePart) {
  FakeCp cp(Bytes(12, 9));
  std::string text = "old";
  params::cp_part::WriteCpAsciiPart(CpPartTestAccess::Key(), &cp, "Größe€ and more", 3, 6);
  EXPECT_EQ(cp.Bytes(), (Bytes{9, 9, 'G', 'r', 0xF6, 0xDF, 'e', 0x80, 9, 9, 9, 9}));
  params::cp_part::ReadCpAsciiPart(CpPartTestAccess::Key(), &cp, text, 3, 6);
  EXPECT_EQ(text, "Größe€");
  params::cp_part::WriteCpAsciiPart(CpPartTestAccess::Key(), &cp, "Ωx", 1, 2);  // no Windows-1252 byte: "?"
  EXPECT_EQ(cp.Bytes()[0], '?');
}

TEST(CpPartTest, AServerThatFailsMidTransferChangesNothingAndRaisesNothing) {
  FakeCp cp({1, 2, 3, 4});
  cp.failValueWrite = true;
  params::cp_part::WriteCpPart(CpPartTestAccess::Key(), &cp, 7, false, 1, 1, 0);
  EXPECT_EQ(std::tuple(cp.Bytes(), cp.ValueFormat()), std::tuple(Bytes{1, 2, 3, 4}, "HEX"));  // restored after the failure
  cp.failValueWrite = false;
  cp.failValueRead = true;
  int32_t value = 99;
  params::cp_part::ReadCpPart(CpPartTestAccess::Key(), &cp, value, false, 1, 1, 0);
  EXPECT_EQ(std::tuple(value, cp.ValueFormat()), std::tuple(0, "HEX"));
  cp.failValueRead = false;
  cp.failFormat = true;  // even the switch to RAW fails
  params::cp_part::WriteCpPart(CpPartTestAccess::Key(), &cp, 7, false, 1, 1, 0);
  EXPECT_EQ(cp.Bytes(), (Bytes{1, 2, 3, 4}));
  params::cp_part::ReadCpPart(CpPartTestAccess::Key(), nullptr, value, false, 1, 1, 0);
  EXPECT_EQ(value, 0);
}

}  // namespace
