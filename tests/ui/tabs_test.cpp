// Tab models: hiding tabs and showing them again at the place they had when modelled.

#include "ui/tabs.h"

#include <gtest/gtest.h>

#include <functional>

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

// Hidden tabs come back at their modelled place; the selection stays with its tab until that tab goes.
TEST(TabsTest, TheSelectionFollowsTheTabNotItsPosition) {
  using Change = std::function<void(ui::cTabStrip&)>;
  const auto show = [](std::vector<int16_t> keys) { return Change([=](ui::cTabStrip& s) { s.ShowTabs(keys); }); };
  const auto hide = [](int16_t key) { return Change([=](ui::cTabStrip& s) { s.Tabs().HideTabByKeyNo(key); }); };
  const auto back = [](int16_t key) { return Change([=](ui::cTabStrip& s) { s.Tabs().ShowTabByKeyNo(key); }); };
  struct Row { int selectedKey; std::vector<Change> changes; std::string expectedKey; std::string keys; };
  const Row rows[] = {
      {2, {show({2, 4})}, "2", "24"}, {4, {show({2, 4}), show({1, 2, 4})}, "4", "124"},
      {3, {show({3, 4, 5})}, "3", "345"}, {5, {hide(1), hide(2)}, "5", "345"}, {2, {hide(1), back(1)}, "2", "12345"},
      {4, {hide(3), hide(1), back(3), back(1)}, "4", "12345"},
      {1, {hide(3), hide(4), hide(9), back(4)}, "1", "1245"},  // an unknown key changes nothing
      {1, {hide(5), back(5), back(5)}, "1", "12345"},           // shown already: nothing changes
      {3, {hide(3)}, "4", "1245"}, {5, {hide(5)}, "4", "1234"}, {2, {show({4, 5})}, "5", "45"},  // the selected goes
  };
  for (const auto& row : rows) {
    auto control = Strip(5);
    ui::cTabStrips strips;
    auto& strip = strips.Add(control);
    control.selected = row.selectedKey - 1;
    for (const auto& change : row.changes) change(strip);
    std::string keys;
    for (const auto& key : Keys(control)) keys += key;
    EXPECT_EQ(keys, row.keys) << "selected " << row.selectedKey;
    ASSERT_LT(static_cast<size_t>(control.selected), control.tabs.size());
    EXPECT_EQ(Keys(control)[static_cast<size_t>(control.selected)], row.expectedKey) << "selected " << row.selectedKey;
    // A tab shown again keeps its texts; Item looks up the modelled index, not the position.
    const std::string last = keys.substr(keys.size() - 1);
    EXPECT_EQ(std::tuple(control.tabs.back().caption, control.tabs.back().toolTip, control.tabs.back().tag),
              std::tuple("Tab " + last, "tip " + last, "tag" + last));
    EXPECT_EQ(std::tuple(strip.Tabs().Item(4)->Key(), strip.Tabs().ItemByKey("KEY:5")->Index(), strip.Tabs().Item(6),
                         strips.Item(control)),
              std::tuple("KEY:4", 5, nullptr, &strip));
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
