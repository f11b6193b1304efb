// Tab models: hiding tabs and showing them again at the place they had when modelled.

#include "ui/tabs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using ::testing::ElementsAre;

namespace {

ui::window::TabStrip Strip(int count) {
  ui::window::TabStrip strip;
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    strip.tabs.push_back({"KEY:" + n, "tag" + n, "Tab " + n, "tip " + n});
  }
  return strip;
}

std::vector<std::string> Keys(const ui::window::TabStrip& strip) {
  std::vector<std::string> keys;
  for (const auto& tab : strip.tabs) keys.push_back(tab.key.substr(4));
  return keys;
}

TEST(TabsTest, HiddenTabsComeBackAtTheirFirstPlace) {
  auto control = Strip(5);
  ui::cTabStrips strips;
  auto& strip = strips.Add(control);
  auto& tabs = strip.Tabs();
  EXPECT_EQ(strips.Count(), 1);
  EXPECT_EQ(strips.Item(control), &strip);
  EXPECT_EQ(tabs.Count(), 5);
  tabs.HideTabByKeyNo(3);
  tabs.HideTabByKeyNo(4);
  tabs.HideTabByKeyNo(9);  // not there: nothing
  EXPECT_THAT(Keys(control), ElementsAre("1", "2", "5"));
  tabs.ShowTabByKeyNo(4);
  EXPECT_THAT(Keys(control), ElementsAre("1", "2", "4", "5"));
  tabs.ShowTabByKeyNo(3);
  EXPECT_THAT(Keys(control), ElementsAre("1", "2", "3", "4", "5"));
  tabs.ShowTabByKeyNo(3);  // shown already: nothing changes
  EXPECT_THAT(Keys(control), ElementsAre("1", "2", "3", "4", "5"));
  tabs.HideTabByKeyNo(5);
  tabs.ShowTabByKeyNo(5);
  EXPECT_THAT(Keys(control), ElementsAre("1", "2", "3", "4", "5"));
  EXPECT_EQ(control.tabs[2].caption, "Tab 3");
  EXPECT_EQ(control.tabs[2].toolTip, "tip 3");
  EXPECT_EQ(control.tabs[2].tag, "tag3");
}

TEST(TabsTest, ShowTabsLeavesExactlyTheGivenTabs) {
  auto control = Strip(5);
  ui::cTabStrips strips;
  auto& strip = strips.Add(control);
  strip.ShowTabs({2, 4});
  EXPECT_THAT(Keys(control), ElementsAre("2", "4"));
  strip.ShowTabs({1, 2, 4});
  EXPECT_THAT(Keys(control), ElementsAre("1", "2", "4"));
  // Item looks up the index a tab had when modelled, not its position now.
  ASSERT_NE(strip.Tabs().Item(4), nullptr);
  EXPECT_EQ(strip.Tabs().Item(4)->Key(), "KEY:4");
  EXPECT_EQ(strip.Tabs().ItemByKey("KEY:5")->Index(), 5);
  EXPECT_EQ(strip.Tabs().Item(6), nullptr);
}

// The selected tab stays selected whatever is hidden or shown around it; only when it goes
// itself does the tab in its place (or the last one) take the selection.
TEST(TabsTest, TheSelectionFollowsTheTabNotItsPosition) {
  using Change = std::function<void(ui::cTabStrip&)>;
  const auto show = [](std::vector<int16_t> keys) { return Change([=](ui::cTabStrip& s) { s.ShowTabs(keys); }); };
  const auto hide = [](int16_t key) { return Change([=](ui::cTabStrip& s) { s.Tabs().HideTabByKeyNo(key); }); };
  const auto back = [](int16_t key) { return Change([=](ui::cTabStrip& s) { s.Tabs().ShowTabByKeyNo(key); }); };
  struct Row { int selectedKey; std::vector<Change> changes; std::string expectedKey; };
  const Row rows[] = {
      {2, {show({2, 4})}, "2"},
      {4, {show({2, 4})}, "4"},
      {3, {show({3, 4, 5})}, "3"},
      {5, {hide(1), hide(2)}, "5"},
      {2, {hide(1), back(1)}, "2"},
      {4, {hide(3), hide(1), back(3), back(1)}, "4"},
      {3, {hide(3)}, "4"},       // the selected tab goes: the next one takes its place
      {5, {hide(5)}, "4"},       // ... or the one before when it was last
      {2, {show({4, 5})}, "5"},  // ... the one now at its position
  };
  for (const auto& row : rows) {
    auto control = Strip(5);
    ui::cTabStrips strips;
    auto& strip = strips.Add(control);
    control.selected = row.selectedKey - 1;
    for (const auto& change : row.changes) change(strip);
    ASSERT_LT(static_cast<size_t>(control.selected), control.tabs.size());
    EXPECT_EQ(Keys(control)[static_cast<size_t>(control.selected)], row.expectedKey) << "selected " << row.selectedKey;
  }
}

TEST(TabsTest, ACaptionRenamesTheControlsTabAndARelayoutReachesTheWindow) {
  auto control = Strip(3);
  ui::cTabStrips strips;
  std::vector<std::string> relayouts;
  strips.SetRelayoutHandler([&](ui::window::TabStrip& strip) { relayouts.push_back(strip.tabs[0].key); });
  auto& strip = strips.Add(control);
  strip.Tabs().ItemByKey("KEY:2")->SetCaption("Tab");
  EXPECT_EQ(control.tabs[1].caption, "Tab");
  EXPECT_TRUE(relayouts.empty());  // a shorter caption takes no more room
  strip.Tabs().ItemByKey("KEY:2")->SetCaption("The second tab");
  EXPECT_EQ(relayouts.size(), 1u);
  strip.Tabs().HideTabByKeyNo(2);
  strip.Tabs().ShowTabByKeyNo(2);  // the tab back takes more room
  EXPECT_EQ(relayouts.size(), 2u);
}

}  // namespace
