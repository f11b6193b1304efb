#include "base/number_text.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"

namespace {

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

TEST(NumberTextTest, TypedTextIsNormalisedForVal) {
  EXPECT_EQ(base::NormalizeNumberText(" 1 234,5 "), "1234.5");
  EXPECT_DOUBLE_EQ(base::Val(base::NormalizeNumberText("-12,75")), -12.75);
}

// The separator comes from LC_ALL, else LC_NUMERIC, else LANG (the first that is set and not
// empty), never from the process locale; a locale whose data is missing answers by language.
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

}  // namespace
