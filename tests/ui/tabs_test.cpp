// Tab models: hiding tabs and showing them again at the place they had when modelled.

#include "ui/tabs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
