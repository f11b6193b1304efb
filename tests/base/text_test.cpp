// Text, number and encoding conversions, the standard options, and stale temporaries.

#include "base/text.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <utility>

#include "base/encoding.h"
#include "base/error.h"
#include "base/number_text.h"
#include "base/paths.h"
#include "base/standard_options.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using base::StandardOption;
using testing_support::ThrowsError;

namespace {

TEST(TextTest, ValReadsTheLongestLeadingNumber) {
  const std::pair<const char*, double> cases[] = {
      {"28", 28},       {"  28", 28},    {"\t13abc", 13},  {"28/", 28},   {"abc", 0},
      {"", 0},          {"-5", -5},      {"+7", 7},        {"1.5", 1.5},  {".5", 0.5},
      {"1.2.3", 1.2},   {"1e3", 1000},   {"2E-1", 0.2},    {"1e", 1},     {"1d2", 100},
      {"&H1F", 31},     {"&hff", 255},   {"&O17", 15},     {"-", 0},      {"1,5", 1},
      {"1000 ", 1000},  {" -0012", -12}, {"3 4", 3},       {"&Hxyz", 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(base::Val(c.first), c.second) << "Val(\"" << c.first << "\")";
  EXPECT_THAT([] { base::Val("1e999"); }, ThrowsError(6));
}

TEST(TextTest, WholeNumberConversionsRoundHalvesToEvenAndCheckOverflow) {
  for (const auto& [value, rounded] : {std::pair{28.5, 28}, {29.5, 30}, {-2.5, -2}, {32767.0, 32767}, {-32768.0, -32768}}) {
    EXPECT_EQ(base::CInt(value), rounded) << value;
  }
  EXPECT_THAT([] { base::CInt(32768); }, ThrowsError(6));
  EXPECT_THAT([] { base::CInt(-32768.6); }, ThrowsError(6));
  EXPECT_EQ(base::CLng(2147483647.0), 2147483647);
  EXPECT_THAT([] { base::CLng(2147483648.0); }, ThrowsError(6));
  EXPECT_EQ(base::CByte(255.4), 255);
  EXPECT_THAT([] { base::CByte(-1); }, ThrowsError(6));
}

TEST(TextTest, FieldsKeepEmptyPiecesTokensSkipThem) {
  const char* fields[] = {"", "a", "", "c", ""};  // fields 0 to 4 of "a,,c"
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(base::Field("a,,c", i, ","), fields[i]) << i;
  EXPECT_EQ(base::Field("x\ty", 2, "\t"), "y");
  EXPECT_EQ(base::Field("a¦b¦c", 2, "¦"), "b");  // multi-byte separator
  EXPECT_EQ(base::TokenFromLeft("  one  two three ", 2), "two");
  EXPECT_EQ(base::TokenFromRight("  one  two three ", 1), "three");
  EXPECT_EQ(base::TokenFromRight("one two", 3), "");
  EXPECT_EQ(base::TokenFromLeft("a/b/c", 3, "/"), "c");
}

TEST(TextTest, PlaceholdersAreFilledInOnePass) {
  EXPECT_EQ(base::FormatPlaceholders("%2%1", {"x", "y"}), "yx");
  EXPECT_EQ(base::FormatPlaceholders("%1 %3", {"%2", "b"}), "%2 %3");  // not filled again; missing ones stay
  EXPECT_EQ(base::FormatPlaceholders("50 % %1", {"ok"}), "50 % ok");
  EXPECT_EQ(base::FormatPlaceholders("%9", {"1", "2", "3", "4", "5", "6", "7", "8", "nine"}), "nine");
  EXPECT_EQ(base::FormatPlaceholders("%10", {"one"}), "one0");
}

TEST(TextTest, CaseFoldingAndTrimming) {
  EXPECT_TRUE(base::EqualsNoCase("OBJECTNAME", "objectName"));
  EXPECT_TRUE(base::EqualsNoCase("ÄÖÜ", "äöü"));
  EXPECT_FALSE(base::EqualsNoCase("a", "ab"));
  EXPECT_EQ(base::ToUpperAscii("classid:28"), "CLASSID:28");
  EXPECT_EQ(base::TrimBlanks("  REG \t"), "REG \t");
  EXPECT_EQ(base::TrimWhitespace(" \tx y\r\n"), "x y");
}

TEST(NumberTextTest, FixedPatternsRoundTiesToEven) {
  const std::tuple<double, int, const char*> rows[] = {
      {2.5, 0, "2"},   {3.5, 0, "4"},        {-2.5, 0, "-2"},   {0.125, 2, "0.12"}, {0.375, 2, "0.38"},
      {-0.004, 2, "0.00"}, {100.0, 1, "100.0"}, {-273.17, 2, "-273.17"}, {65.535, 3, "65.535"},
  };
  for (const auto& [value, decimals, text] : rows) EXPECT_EQ(base::FormatFixed(value, decimals), text) << value;
}

TEST(NumberTextTest, SinglesShowTheirShortestText) {
  const std::pair<float, const char*> rows[] = {
      {0.1F, "0.1"},   {327.67F + 0.01F, "327.68002"}, {65535.0F, "65535"}, {-0.0F, "0"},
      {1e7F, "10000000"}, {-359.9F, "-359.9"},        {4294967296.0F, "4294967296"}};
  for (const auto& [value, text] : rows) EXPECT_EQ(base::FormatSingle(value), text);
}

TEST(NumberTextTest, TypedTextIsNormalisedForVal) { EXPECT_EQ(base::NormalizeNumberText(" 1 234,5 "), "1234.5"); }

TEST(EncodingTest, DecodesFileContents) {
  EXPECT_EQ(base::DecodeTextFile("plain"), "plain");
  EXPECT_EQ(base::DecodeTextFile("\xEF\xBB\xBF" "Gr\xC3\xB6\xC3\x9F" "e"), "Größe");  // BOM skipped
  EXPECT_EQ(base::DecodeTextFile("Gr\xF6\xDF" "e \x80"), "Größe €");                    // Windows-1252
  EXPECT_EQ(base::DecodeTextFile(std::string("\xFF\xFE" "A\0\xE4\0", 6)), "Aä");        // UTF-16LE
  EXPECT_EQ(base::DecodeTextFile(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)), "\xF0\x9F\x98\x80");  // pair
}

TEST(EncodingTest, EncodesUtf16Le) {
  EXPECT_EQ(base::Utf8ToUtf16Le("A\xC3\xA4\xE2\x82\xAC"), std::string("A\0\xE4\0\xAC\x20", 6));
  EXPECT_EQ(base::Utf8ToUtf16Le("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));  // pair
  EXPECT_EQ(base::Utf8ToUtf16Le("\xC3" "A"), std::string("\xFD\xFF" "A\0", 4));  // broken
}

TEST(EncodingTest, RejectsBrokenUtf8) {
  EXPECT_TRUE(base::IsValidUtf8("ä¶¦"));
  for (const char* broken : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\x81"}) {  // cut short, overlong, surrogate, stray
    EXPECT_FALSE(base::IsValidUtf8(broken)) << broken;
  }
}

// The separator comes from the first set and non-empty of LC_ALL, LC_NUMERIC and LANG, not the process locale.
TEST(NumberTextTest, TheUserSeesTheSeparatorOfTheirLocale) {
  struct Row { const char* all; const char* numeric; const char* lang; const char* shown; };
  const Row rows[] = {
      {"de_DE.UTF-8", nullptr, nullptr, "50,0"},      {nullptr, "de_DE.UTF-8", "C.UTF-8", "50,0"},
      {nullptr, nullptr, "de_DE.UTF-8", "50,0"},      {"C.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8", "50.0"},
      {"", "", "de_DE.UTF-8", "50,0"},                {nullptr, "en_US.UTF-8", "de_DE.UTF-8", "50.0"},
      {nullptr, nullptr, nullptr, "50.0"},            {"POSIX", nullptr, nullptr, "50.0"},
      {"fr_CA.UTF-8", nullptr, nullptr, "50,0"},      {"de_CH.UTF-8", nullptr, nullptr, "50.0"},
      {"en_GB.UTF-8", nullptr, nullptr, "50.0"},
  };
  for (const auto& row : rows) {
    testing_support::ScopedEnv env{{"LC_ALL", row.all}, {"LC_NUMERIC", row.numeric}, {"LANG", row.lang}};
    EXPECT_EQ(base::ForUser(base::FormatFixed(50.0, 1)), row.shown)
        << (row.all ? row.all : "-") << " " << (row.numeric ? row.numeric : "-") << " " << (row.lang ? row.lang : "-");
    EXPECT_EQ(base::ForUser("50"), "50");
    EXPECT_DOUBLE_EQ(base::Val(base::NormalizeNumberText("1.5")), 1.5);  // both separators read
    EXPECT_DOUBLE_EQ(base::Val(base::NormalizeNumberText("1,5")), 1.5);
  }
}

TEST(ErrorNumberTextTest, NegativeNumbersInHexOthersInDecimal) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "0"}, {321, "321"}, {std::numeric_limits<int32_t>::max(), "2147483647"}, {-2147217503, "0x80040FA1"},
      {-1, "0xFFFFFFFF"}, {std::numeric_limits<int32_t>::min(), "0x80000000"}};
  for (const auto& [number, text] : cases) EXPECT_EQ(base::ErrorNumberText(number), text) << number;
}

// Only a whole command line of one of the options counts: anything with it is the program's own.
TEST(StandardOptionsTest, OnlyAWholeCommandLineCounts) {
  const std::pair<const char*, StandardOption> cases[] = {
      {"--help", StandardOption::Help}, {"-h", StandardOption::Help}, {" --version ", StandardOption::Version},
      {"--version", StandardOption::Version}, {"--help /REG:1000", StandardOption::None},
      {"/OBJECTNAME:--help", StandardOption::None}, {"--HELP", StandardOption::None}, {"-help", StandardOption::None},
      {"/h", StandardOption::None}, {"-V", StandardOption::None}, {"", StandardOption::None},
  };
  for (const auto& c : cases) EXPECT_EQ(base::StandardOptionOf(c.first), c.second) << c.first;
}

// Temporary files of processes that no longer run go; those of running processes stay.
TEST(PathsTest, StaleTemporariesOfEndedProcessesAreRemoved) {
  testing_support::TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);  // its id now names no running process
  const std::string ended = std::to_string(child);
  const std::string running = std::to_string(::getpid());
  for (const std::string& name : {"registry.reg.tmp." + ended, "registry.reg.tmp." + running, "Demo.db.new-" + ended,
                                 "Demo.db.new-" + ended + "-wal", std::string("registry.reg.tmp.x"), std::string("Demo.db")}) {
    testing_support::WriteFile(dir / name, "x");
  }
  base::RemoveStaleTemporaries(dir.Path(), "registry.reg.tmp.");
  base::RemoveStaleTemporaries(dir.Path(), ".db.new-");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Demo.db", "registry.reg.tmp." + running, "registry.reg.tmp.x"}));
}

}  // namespace
