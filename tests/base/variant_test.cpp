#include <gtest/gtest.h>

#include "base/variant.h"
#include "support/matchers.h"

using testing_support::ThrowsError;

namespace {

TEST(VariantTest, ConversionsAndTheirErrors) {
  EXPECT_EQ(base::Variant("13").ToInt32(), 13);
  EXPECT_EQ(base::Variant(" 28 ").ToInt16(), 28);
  EXPECT_EQ(base::Variant(true).ToInt16(), -1);
  EXPECT_TRUE(base::Variant("True").ToBool());
  EXPECT_FALSE(base::Variant(0).ToBool());
  EXPECT_EQ(base::Variant(2.5).ToInt16(), 2);
  EXPECT_EQ(base::Variant(int64_t{42}).ToString(), "42");
  EXPECT_EQ(base::Variant().ToString(), "");
  EXPECT_EQ(base::Variant().ToObject(), nullptr);
  EXPECT_THAT([] { base::Variant("abc").ToInt32(); }, ThrowsError(13));
  EXPECT_THAT([] { base::Variant("").ToInt32(); }, ThrowsError(13));
  EXPECT_THAT([] { base::Variant(40000).ToInt16(); }, ThrowsError(6));
  EXPECT_THAT([] { base::Variant(5).ToObject(); }, ThrowsError(13));
}

}  // namespace
