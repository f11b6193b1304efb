// The parsers of a device's interface: template records, configuration NVs' "&..." strings, the
// node's and NVs' self-documentation, self-identification data and the file directory, each a table of byte or text
// cases, good ones with what they hold and damaged ones with the error that names them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/device_interface/cp_records.h"
#include "platform/device_interface/device_interface.h"
#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/self_doc.h"
#include "platform/device_interface/si_data.h"

namespace {

using namespace platform::device_interface;
using testing::HasSubstr;

// The message of the InterfaceError `parse` raises ("" when it raises none).
template <typename F>
std::string ErrorOf(F parse) {
  try {
    parse();
  } catch (const InterfaceError& e) {
    return e.what();
  }
  return "";
}

// A device's template: raw flag bytes, a range and a list, a NUL after the last record.
TEST(CpRecordsTest, ATemplateFileGivesItsRecordsAndTheirPlacesInTheValueFiles) {
  const std::string file = std::string("1.1;0,,0\x84,165,1;1,3,1\x80,9,58,3;1,1~5,0\x80,49,2,5;2,4.6~7,0\xA4,64,2,1,0:100;") +
                           std::string(1, '\0');
  const auto records = ParseTemplateFile(file);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].appliesTo, AppliesTo::Device);
  EXPECT_TRUE(records[0].select.empty());
  EXPECT_EQ(std::tuple(records[0].flags, records[0].typeIndex, records[0].Bytes()), std::tuple(uint8_t{0x84}, uint16_t{165}, 1u));
  EXPECT_EQ(std::tuple(records[1].scope, records[1].typeIndex, records[1].size, records[1].dimension),
            std::tuple(uint8_t{1}, uint16_t{9}, uint16_t{58}, uint16_t{3}));
  EXPECT_EQ(records[2].select, (std::vector<uint16_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(records[3].appliesTo, AppliesTo::Nvs);
  EXPECT_EQ(records[3].select, (std::vector<uint16_t>{4, 6, 7}));
  EXPECT_EQ(records[3].range, "0:100");
  EXPECT_TRUE(records[3].Constant());
  // In record order, without padding; the constants in the read-only file when there is one.
  const auto places = ValueFileLayout(records, true);
  using Kind = CpPlace::Kind;
  const std::vector<std::pair<Kind, uint32_t>> expected{
      {Kind::ReadOnlyFile, 0}, {Kind::WritableFile, 0}, {Kind::WritableFile, 174}, {Kind::ReadOnlyFile, 1}};
  for (size_t i = 0; i < places.size(); ++i) EXPECT_EQ(std::pair(places[i].kind, places[i].offset), expected[i]) << i;
  EXPECT_EQ(ValueFileLayout(records, false)[3].offset, 185u);  // 1 + 174 + 10
  // An interface file writes the flags as text.
  EXPECT_EQ(ParseTemplateFile("1.1;1,0,0\\xa0,25,2;")[0].flags, 0xA0);
}

TEST(CpRecordsTest, ADamagedTemplateNamesTheRecordAndWhatIsWrong) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "template file: it is empty"},
      {"2.0;0,,0\x80,1,1", "not a format version 1.x"},
      {"1.1;0,,0\x80,1,1;1,,0\x80,9,2", "record 2 \"1,,0\\x80,9,2\": the block it applies to is missing"},
      {"1.1;0,,0\x80,9", "4 fields instead of"},
      {"1.1;3,0,0\x80,9,2", "the header 3 is above 2"},
      {"1.1;0,3,0\x80,1,1", "a record of the device has an index \"3\""},
      {"1.1;1,5~3,0\x80,9,2", "the range 5~3 ends before it begins"},
      {"1.1;2,0~70000,0\x80,9,2", "the index 70000 is above 65535"},
      {"1.1;1,0~9999,0\x80,9,2", "more than 4096 indexes"},
      {"1.1;1,1,x\x80,9,2", "does not begin with a scope digit"},
      {"1.1;1,1,0\x80\x81,9,2", "the flags are not one byte"},
      {"1.1;1,1,0\\xZZ,9,2", "the flags are not one byte"},
      {"1.1;1,1,0\x80,nine,2", "the type index \"nine\" is not a number"},
      {"1.1;1,1,0\x80,9,0", "the size is 0"},
      {"1.1;1,1,0\x80,9,2,0", "the dimension is 0"},
      {"1.1;1,1,0\x80,9,2,3,12", "the range \"12\" is not min:max"},
  };
  for (const auto& row : cases) EXPECT_THAT(ErrorOf([&] { ParseTemplateFile(row.first); }), HasSubstr(row.second)) << row.first;
}

TEST(CpRecordsTest, AConfigurationNvStringIsARecordWithoutASize) {
  struct Case {
    std::string text;
    AppliesTo appliesTo;
    std::vector<uint16_t> select;
    uint8_t scope, flags;
    uint16_t type, dimension;
    std::string range;
    bool changeable;
  };
  const Case cases[] = {
      {"&1,0,0\\xA0,25", AppliesTo::Blocks, {0}, 0, 0xA0, 25, 1, "", false},
      {"&2,4,0\x80,64", AppliesTo::Nvs, {4}, 0, 0x80, 64, 1, "", false},
      {"&1,0,4\\x80,8;the hold time", AppliesTo::Blocks, {0}, 4, 0x80, 8, 1, "", false},
      {"&0,,0\\x84,17,3,?", AppliesTo::Device, {}, 0, 0x84, 17, 3, "", true},
      {"&1,1~2,0\\x80,8,1:5", AppliesTo::Blocks, {1, 2}, 0, 0x80, 8, 1, "1:5", false},
  };
  for (const Case& c : cases) {
    const CpRecord r = ParseConfigNvSelfDoc(c.text, "NV 3");
    EXPECT_EQ(std::tuple(r.appliesTo, r.select, r.scope, r.flags, r.typeIndex, r.dimension, r.range, r.changeableType, r.size),
              std::tuple(c.appliesTo, c.select, c.scope, c.flags, c.type, c.dimension, c.range, c.changeable, uint16_t{0}))
        << c.text;
  }
  EXPECT_THAT(ErrorOf([] { ParseConfigNvSelfDoc("1,0,0\\x80,8", "NV 3"); }), HasSubstr("NV 3: it does not begin with \"&\""));
  EXPECT_THAT(ErrorOf([] { ParseConfigNvSelfDoc("&1,0,0\\x80", "NV 3"); }), HasSubstr("3 fields"));
  EXPECT_THAT(ErrorOf([] { ParseConfigNvSelfDoc("&1,0,0\\x80,8,3,x", "NV 3"); }), HasSubstr("\"x\" is not min:max"));
}

TEST(SelfDocTest, TheNodeStringListsItsBlocksInOrderACountStandingForThatMany) {
  const auto doc = ParseNodeSelfDoc("&3.4@0NodeObject, 1040TempSensor, 1[4DI], 3[5DO];SC100-MP 4 in", "node");
  EXPECT_EQ(std::tuple(doc.major, doc.minor, doc.text), std::tuple(uint8_t{3}, uint8_t{4}, std::string("SC100-MP 4 in")));
  ASSERT_EQ(doc.blocks.size(), 11u);
  EXPECT_EQ(std::tuple(doc.blocks[1].index, doc.blocks[1].profileKey, doc.blocks[1].name),
            std::tuple(uint16_t{1}, 1040u, std::string("TempSensor")));
  EXPECT_EQ(std::tuple(doc.blocks[5].profileKey, doc.blocks[5].name), std::tuple(1u, std::string("DI")));
  EXPECT_EQ(std::tuple(doc.blocks[10].index, doc.blocks[10].profileKey, doc.blocks[10].name),
            std::tuple(uint16_t{10}, 3u, std::string("DO")));
  const auto unclosed = ParseNodeSelfDoc("&3.4@0nodeObject,4[2volts,20003[4load", "node");
  ASSERT_EQ(unclosed.blocks.size(), 7u);
  EXPECT_EQ(std::tuple(unclosed.blocks[6].profileKey, unclosed.blocks[6].name), std::tuple(20003u, std::string("load")));
  EXPECT_EQ(ParseNodeSelfDoc("&3.3@4VoltActuator", "node").blocks.at(0).name, "VoltActuator");
  EXPECT_TRUE(ParseNodeSelfDoc("&3.4@", "node").blocks.empty());
  const std::pair<std::string, std::string> damaged[] = {
      {"3.4@0", "does not begin with"}, {"&3.4 0", "no \"@\""}, {"&3@0", "no \".\""},
      {"&3.4@0Node,Lamp", "block entry 2 \"Lamp\": the profile key is missing"},
      {"&3.4@4[0a", "the block count is 0"}, {"&3.4@4[5000a", "above 4096"},
  };
  for (const auto& row : damaged) {
    EXPECT_THAT(ErrorOf([&] { ParseNodeSelfDoc(row.first, "node"); }), HasSubstr(row.second)) << row.first;
  }
}

TEST(SelfDocTest, AnNvStringNamesItsBlockAndMemberOrNothing) {
  const auto member = [](const std::string& text) { return ParseNvSelfDoc(text, "NV 2").value(); };
  EXPECT_EQ(std::tuple(member("@0|1").block, member("@0|1").member, member("@0|1").standardMember),
            std::tuple(uint16_t{0}, uint16_t{1}, true));
  EXPECT_FALSE(member("@0#1").standardMember);
  EXPECT_TRUE(member("@7|1?").changeableType);
  const auto shared = member("@1-3|2[4];set point");
  EXPECT_EQ(std::tuple(shared.block, shared.lastBlock, shared.arrayIndex, shared.text),
            std::tuple(uint16_t{1}, uint16_t{3}, std::optional<uint16_t>(4), std::string("set point")));
  for (const std::string none : {"", "*", "a text", ";text"}) EXPECT_FALSE(ParseNvSelfDoc(none, "NV 2").has_value()) << none;
  const std::pair<std::string, std::string> damaged[] = {
      {"@0", "no \"|\" or \"#\""}, {"@0|", "the member number is missing"}, {"@0|1x", "\"x\" follows the member"},
      {"@3-1|1", "the blocks end before they begin"}, {"@0|1[2", "the array index has no \"]\""},
  };
  for (const auto& row : damaged) {
    EXPECT_THAT(ErrorOf([&] { ParseNvSelfDoc(row.first, "NV 2"); }), HasSubstr("NV 2: " + row.second)) << row.first;
  }
}

// Self-identification data of version 1: three entries, the second an array of three NVs with
// a name, the third with rates and its "&..." string; the alias count in two bytes; what a stack
// appends after the alias field is not read.
std::vector<uint8_t> SiVersion1() {
  std::vector<uint8_t> data{0, 60, 3, 1, 0, 2, 0x20, 95, 0x81, 0, 0x81, 79};
  for (const char c : std::string("&3.4@0NodeObject")) data.push_back(static_cast<uint8_t>(c));
  data.push_back(0);
  data.insert(data.end(), {0x28, 'n', 'v', 'o', 'A', 0, 0, 3});
  data.insert(data.end(), {0xD0, 5, 7, '&', '1', ',', '0', ',', '0', 0x80, ',', '8', 0});
  data.insert(data.end(), {0x3F, 1, 2, 0xEE, 0xEE});
  return data;
}

TEST(SiDataTest, EveryVersionGivesTheNvsTheNodeStringAndTheAliases) {
  const SiData v1 = ParseSiData(SiVersion1());
  EXPECT_EQ(std::tuple(v1.version, v1.nvEntries, v1.messageTags, v1.nodeSelfDoc, v1.aliases),
            std::tuple(uint8_t{1}, uint16_t{3}, uint8_t{2}, std::string("&3.4@0NodeObject"), uint16_t{0x102}));
  ASSERT_EQ(v1.nvs.size(), 3u);
  EXPECT_EQ(std::tuple(v1.nvs[0].index, v1.nvs[0].flags, v1.nvs[0].typeIndex), std::tuple(uint16_t{0}, uint8_t{0x20}, uint8_t{95}));
  EXPECT_EQ(std::tuple(v1.nvs[1].index, v1.nvs[1].name, v1.nvs[1].arrayCount), std::tuple(uint16_t{1}, std::string("nvoA"), uint16_t{3}));
  EXPECT_EQ(std::tuple(v1.nvs[2].index, v1.nvs[2].maxRate, v1.nvs[2].rate, v1.nvs[2].selfDoc),
            std::tuple(uint16_t{4}, std::optional<uint8_t>(5), std::optional<uint8_t>(7), std::string("&1,0,0\x80,8")));
  // Version 0 has no high byte of the NV count; version 2 eleven bytes more of counts and flags.
  const SiData v0 = ParseSiData(std::vector<uint8_t>{0, 9, 1, 0, 4, 0x01, 3, 'x', 0, 0x85});
  EXPECT_EQ(std::tuple(v0.nvEntries, v0.messageTags, v0.nodeSelfDoc, v0.aliases, v0.bindingII),
            std::tuple(uint16_t{1}, uint8_t{4}, std::string("x"), uint16_t{5}, true));
  const SiData v2 = ParseSiData(std::vector<uint8_t>{0, 30, 1, 2, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0x00, 3, 0, 0x40});
  EXPECT_EQ(std::tuple(v2.version, v2.nvEntries, v2.nvs.at(0).typeIndex, v2.queryStatistics),
            std::tuple(uint8_t{2}, uint16_t{1}, uint8_t{3}, true));
}

TEST(SiDataTest, DataThatEndTooSoonOrOfAnotherVersionAreRefused) {
  const auto full = SiVersion1();
  const std::pair<size_t, std::string> cut[] = {
      {1, "the length missing"},  {5, "the message tag count missing"}, {9, "an NV entry's type missing"},
      {20, "the node self-documentation string missing"}, {35, "an array count missing"},
      {41, "an NV self-documentation string missing"}, {52, "the alias count missing"},
  };
  for (const auto& [size, message] : cut) {
    const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_THAT(ErrorOf([&] { ParseSiData(part); }), HasSubstr(message)) << size;
  }
  EXPECT_THAT(ErrorOf([] { ParseSiData(std::vector<uint8_t>{0, 5, 0, 3, 0}); }), HasSubstr("version 3 (known: 0, 1 and 2)"));
}

// Entries of 5 bytes before version 2.0 and of 6 from it; the template first, then the value files.
TEST(FileDirectoryTest, EntriesOfBothVersionsGiveTheTemplateAndTheValueFiles) {
  const std::vector<uint8_t> v1{0x03, 0x05, 2, 0xA1, 0x14, 0x0A, 0x6D, 1, 0xA4, 0x19, 0x00, 0x02, 1, 0xAE, 0x86};
  const std::vector<uint8_t> v2{0x03, 0x05, 0, 2, 0xA1, 0x14, 0x0A, 0x6D, 0, 1, 0xA4, 0x19, 0x00, 0x02, 0, 1, 0xAE, 0x86};
  for (const auto& [version, bytes] : {std::pair{uint8_t{0x10}, v1}, std::pair{uint8_t{0x20}, v2}}) {
    const auto files = CpFilesOf(ParseFileDirectory(version, 3, bytes), 0xA100);
    EXPECT_EQ(std::tuple(files.templateFile.size, files.templateFile.address), std::tuple(uint16_t{773}, uint16_t{0xA114}));
    ASSERT_TRUE(files.writable && files.readOnly);
    EXPECT_EQ(std::tuple(files.writable->size, files.writable->address), std::tuple(uint16_t{2669}, uint16_t{0xA419}));
    EXPECT_EQ(std::tuple(files.readOnly->size, files.readOnly->address), std::tuple(uint16_t{2}, uint16_t{0xAE86}));
  }
  // Two files: no read-only one. A third file of another kind is no CP file.
  const std::vector<uint8_t> log{0x00, 0x10, 0, 2, 0xA1, 0x00, 0x00, 0x04, 0, 1, 0xA1, 0x10, 0x00, 0x20, 0, 3, 0xA2, 0x00};
  EXPECT_FALSE(CpFilesOf(ParseFileDirectory(0x20, 3, log), 0x9000).readOnly);
  EXPECT_THAT(ErrorOf([&] { ParseFileDirectory(0x20, 3, std::vector<uint8_t>(v2.begin(), v2.end() - 1)); }),
              HasSubstr("3 entries of 6 bytes announced, 17 bytes there"));
  EXPECT_THAT(ErrorOf([&] { CpFilesOf(ParseFileDirectory(0x20, 2, std::vector<uint8_t>(v2.begin() + 6, v2.end())), 0xA100); }),
              HasSubstr("its first file is of type 1, not the CP template file"));
  EXPECT_THAT(ErrorOf([] { CpFilesOf(ParseFileDirectory(0x20, 0, {}), 0xA100); }), HasSubstr("its first file is missing"));
  // Files that a write into the value file could reach beyond it.
  EXPECT_THAT(ErrorOf([&] { CpFilesOf(ParseFileDirectory(0x20, 3, v2), 0xA110); }),
              HasSubstr("the template file at 0xA114 overlaps the file directory at 0xA110"));
  std::vector<uint8_t> wraps = v2;
  wraps[10] = 0xFF;  // the writable file at 0xFF19, 2669 bytes long
  EXPECT_THAT(ErrorOf([&] { CpFilesOf(ParseFileDirectory(0x20, 3, wraps), 0xA100); }),
              HasSubstr("the writable value file at 0xFF19 runs past the end of memory"));
}

// Values come out of the file their record's place names; a file too short names the record.
TEST(FileDirectoryTest, ValuesAreTakenFromTheirValueFilesAndAShortFileNamesTheRecord) {
  auto cps = TemplateCps(ParseTemplateFile("1.1;0,,0\x80,1,2;0,,0\x84,2,1;1,1,0\x80,3,1,3;"), true);
  const std::vector<uint8_t> writable{1, 2, 3, 4, 5}, readOnly{9};
  TakeValues(cps, writable, readOnly);
  EXPECT_EQ(cps[0].value, (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(cps[1].value, (std::vector<uint8_t>{9}));
  EXPECT_EQ(cps[2].value, (std::vector<uint8_t>{3, 4, 5}));
  EXPECT_THAT(ErrorOf([&] { TakeValues(cps, std::vector<uint8_t>(4), readOnly); }),
              HasSubstr("record 3: its 3 bytes at 2 lie past the end of the writable value file (4 bytes)"));
}

// A record for several items: its elements split among them when they divide evenly, else shared.
TEST(FileDirectoryTest, ARecordForSeveralItemsGivesEachItsElementsOrSharesOne) {
  struct Case {
    const char* record;
    std::vector<std::tuple<uint16_t, uint32_t, uint16_t, bool>> shares;  // index, offset, dimension, shared
  };
  const Case cases[] = {
      {"0,,0\x80,1,2,3", {{0, 0, 3, false}}},
      {"1,1~5,0\x80,49,2,5", {{1, 0, 1, false}, {2, 2, 1, false}, {3, 4, 1, false}, {4, 6, 1, false}, {5, 8, 1, false}}},
      {"2,4.6,0\x80,49,2,4", {{4, 0, 2, false}, {6, 4, 2, false}}},
      {"1,1~2,0\x80,49,2", {{1, 0, 1, true}, {2, 0, 1, true}}},
  };
  for (const auto& c : cases) {
    std::vector<std::tuple<uint16_t, uint32_t, uint16_t, bool>> shares;
    for (const auto& share : SharesOf(ParseCpRecord(c.record, "test"))) {
      shares.emplace_back(share.index, share.offset, share.dimension, share.shared);
    }
    EXPECT_EQ(shares, c.shares) << c.record;
  }
}

}  // namespace
