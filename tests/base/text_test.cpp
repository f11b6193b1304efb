#include "base/text.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/paths.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using testing_support::ThrowsError;

namespace {

struct ValCase {
  const char* text;
  double value;
};

TEST(TextTest, ValReadsTheLongestLeadingNumber) {
  const ValCase cases[] = {
      {"28", 28},       {"  28", 28},    {"\t13abc", 13},  {"28/", 28},   {"abc", 0},
      {"", 0},          {"-5", -5},      {"+7", 7},        {"1.5", 1.5},  {".5", 0.5},
      {"1.2.3", 1.2},   {"1e3", 1000},   {"2E-1", 0.2},    {"1e", 1},     {"1d2", 100},
      {"&H1F", 31},     {"&hff", 255},   {"&O17", 15},     {"-", 0},      {"1,5", 1},
      {"1000 ", 1000},  {" -0012", -12}, {"3 4", 3},       {"&Hxyz", 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(base::Val(c.text), c.value) << "Val(\"" << c.text << "\")";
  EXPECT_THAT([] { base::Val("1e999"); }, ThrowsError(6));
}

TEST(TextTest, WholeNumberConversionsRoundHalvesToEvenAndCheckOverflow) {
  EXPECT_EQ(base::CInt(28.5), 28);
  EXPECT_EQ(base::CInt(29.5), 30);
  EXPECT_EQ(base::CInt(-2.5), -2);
  EXPECT_EQ(base::CInt(32767), 32767);
  EXPECT_EQ(base::CInt(-32768), -32768);
  EXPECT_THAT([] { base::CInt(32768); }, ThrowsError(6));
  EXPECT_THAT([] { base::CInt(-32768.6); }, ThrowsError(6));
  EXPECT_EQ(base::CLng(2147483647.0), 2147483647);
  EXPECT_THAT([] { base::CLng(2147483648.0); }, ThrowsError(6));
  EXPECT_EQ(base::CByte(255.4), 255);
  EXPECT_THAT([] { base::CByte(-1); }, ThrowsError(6));
}

TEST(TextTest, FieldsKeepEmptyPiecesTokensSkipThem) {
  EXPECT_EQ(base::Field("a,,c", 1, ","), "a");
  EXPECT_EQ(base::Field("a,,c", 2, ","), "");
  EXPECT_EQ(base::Field("a,,c", 3, ","), "c");
  EXPECT_EQ(base::Field("a,,c", 4, ","), "");
  EXPECT_EQ(base::Field("a,,c", 0, ","), "");
  EXPECT_EQ(base::Field("x\ty", 2, "\t"), "y");
  EXPECT_EQ(base::Field("a¦b¦c", 2, "¦"), "b");  // multi-byte separator
  EXPECT_EQ(base::TokenFromLeft("  one  two three ", 2), "two");
  EXPECT_EQ(base::TokenFromRight("  one  two three ", 1), "three");
  EXPECT_EQ(base::TokenFromRight("one two", 3), "");
  EXPECT_EQ(base::TokenFromLeft("a/b/c", 3, "/"), "c");
}

TEST(TextTest, PlaceholdersAreFilledInOnePass) {
  EXPECT_EQ(base::FormatPlaceholders("%1 and %2", {"a", "b"}), "a and b");
  EXPECT_EQ(base::FormatPlaceholders("%2%1", {"x", "y"}), "yx");
  // A value holding a placeholder is not filled again; missing values stay as written.
  EXPECT_EQ(base::FormatPlaceholders("%1 %3", {"%2", "b"}), "%2 %3");
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

}  // namespace

namespace {

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
