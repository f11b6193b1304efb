#include "base/collection.h"

#include <gtest/gtest.h>

#include "support/matchers.h"

using testing_support::ThrowsError;

namespace {

base::Collection<int> ThreeItems() {
  base::Collection<int> c;
  c.Add(10, "Alpha");
  c.Add(20);
  c.Add(30, "Gamma");
  return c;
}

TEST(CollectionTest, PositionsStartAtOneAndKeysIgnoreCase) {
  auto c = ThreeItems();
  EXPECT_EQ(std::vector<int>(c.begin(), c.end()), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(c.Item(3), 30);
  EXPECT_EQ(c.Item("ALPHA"), 10);
  EXPECT_TRUE(c.Exists("aLpHa"));
  EXPECT_EQ(c.PositionOf("gamma"), 3);
  base::Collection<int> umlauts;
  umlauts.Add(1, "Größe");
  EXPECT_EQ(umlauts.Item("GRÖßE"), 1);  // Latin-1 letters fold too
}

TEST(CollectionTest, ErrorsForMissingKeyPositionAndDuplicate) {
  auto c = ThreeItems();
  EXPECT_THAT([&] { c.Item("Beta"); }, ThrowsError(5));
  EXPECT_THAT([&] { c.Item(""); }, ThrowsError(5));
  EXPECT_THAT([&] { c.Item(0); }, ThrowsError(9));
  EXPECT_THAT([&] { c.Item(4); }, ThrowsError(9));
  EXPECT_THAT([&] { c.Remove(-1); }, ThrowsError(9));
  EXPECT_THAT([&] { c.Remove("Beta"); }, ThrowsError(5));
  // A duplicate key raises 457 and adds nothing.
  EXPECT_THAT([&] { c.Add(99, "ALPHA"); }, ThrowsError(457));
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Item("Alpha"), 10);
}

TEST(CollectionTest, RemoveShiftsPositionsAndFreesTheKey) {
  auto c = ThreeItems();
  c.Remove("alpha");
  EXPECT_EQ(c.PositionOf("Gamma"), 2);
  c.Add(11, "Alpha");  // the key can be used again
  EXPECT_EQ(std::vector<int>(c.begin(), c.end()), (std::vector<int>{20, 30, 11}));
  EXPECT_EQ(c.PositionOf("alpha"), 3);
  c.Remove(2);
  EXPECT_EQ(c.Item(2), 11);
  EXPECT_FALSE(c.Exists("gamma"));
}

}  // namespace
