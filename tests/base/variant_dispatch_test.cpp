#include <gtest/gtest.h>

#include "base/dispatch.h"
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

class Sample final : public base::DispatchTable {
 public:
  Sample() : base::DispatchTable("Sample") {
    AddProperty("Value", [this] { return base::Variant(value); }, [this](const base::Variant& v) { value = v.ToInt32(); });
    AddProperty("WriteOnly", nullptr, [](const base::Variant&) {});
    AddMethod("Twice", [](std::vector<base::Variant>& args) {
      args.at(0) = args.at(0).ToInt32() * 2;  // by reference
      return base::Variant("done");
    });
  }
  int32_t value = 0;
};

TEST(DispatchTableTest, MembersByNameWithoutRegardToCase) {
  Sample sample;
  sample.Put("VALUE", 7);
  EXPECT_EQ(sample.Get("value").ToInt32(), 7);
  std::vector<base::Variant> args{21};
  EXPECT_EQ(sample.Invoke("twice", args).ToString(), "done");
  EXPECT_EQ(args[0].ToInt32(), 42);
  EXPECT_THAT([&] { sample.Get("Nothing"); }, ThrowsError(438));
  EXPECT_THAT([&] { sample.Get("WriteOnly"); }, ThrowsError(438));
  EXPECT_THAT([&] { sample.Put("Value", "seven"); }, ThrowsError(13));
  EXPECT_THAT([&] { sample.Invoke("Value", args); }, ThrowsError(438));
}

}  // namespace
