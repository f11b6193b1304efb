#include "base/error.h"

#include <cstdint>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

namespace {

TEST(ErrorNumberTextTest, NegativeNumbersInHexOthersInDecimal) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "0"},
      {5, "5"},
      {321, "321"},
      {base::err::kCpNvNotPlaced, "10000"},
      {std::numeric_limits<int32_t>::max(), "2147483647"},
      {-2147217503, "0x80040FA1"},
      {base::err::kRefusedArguments, "0x800403E8"},
      {-1, "0xFFFFFFFF"},
      {std::numeric_limits<int32_t>::min(), "0x80000000"},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(base::ErrorNumberText(number), text) << number;
}

}  // namespace
