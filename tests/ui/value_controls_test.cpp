#include "ui/window/value_controls.h"

#include <gtest/gtest.h>

#include "support/matchers.h"

using namespace ui::window;
using testing_support::ThrowsError;

namespace {

TEST(ValueControlsTest, TypingEditsAtTheCursorWithinTheMaximumLength) {
  TextBox box("txt");
  int changes = 0, updates = 0;
  box.Change.Connect([&](TextBox&) { ++changes; });
  box.Updated.Connect([&] { ++updates; });
  box.SetMaxLength(4);
  box.UserType("12345");
  EXPECT_EQ(std::tuple(box.Text(), changes), std::tuple("1234", 4));
  box.SetSelStart(2);
  box.UserKeyPress(8);  // backspace removes the character before the cursor
  EXPECT_EQ(box.Text(), "134");
  box.UserSelectAll();
  box.UserType("9");
  EXPECT_EQ(box.Text(), "9");
  box.SetText("9");  // unchanged: no event
  box.SetEnabled(false);
  box.UserType("1");
  EXPECT_EQ(std::tuple(box.Text(), changes), std::tuple("9", 6));
  EXPECT_GT(updates, 6);
  box.KeyPress.Connect([](TextBox&, int16_t& key) { key = key == 'a' ? 'b' : key; });
  box.SetEnabled(true);
  box.SetSelStart(1);
  box.UserType("a\xC3\xA4");  // the key handler changes keys; a Windows-1252 key becomes UTF-8
  EXPECT_EQ(box.Text(), "9b\xC3\xA4");
  box.UserKeyPress(8);
  EXPECT_EQ(box.Text(), "9b");
  box.SetMaxLength(4);
  box.UserPaste("x\xC3\xA4yz");  // two bytes of room: "x" and not half of the umlaut
  EXPECT_EQ(box.Text(), "9bx");
}

TEST(ValueControlsTest, ComboBoxKeepsItsSelectionWhileTheListChanges) {
  ComboBox combo("cbo");
  int clicks = 0;
  combo.Click.Connect([&](ComboBox&) { ++clicks; });
  combo.AddItem("a");
  combo.AddItem("c");
  combo.SetItemData(1, 30);
  combo.UserSelect(1);
  combo.AddItem("b", 1);  // inserted before the selection: it moves along
  EXPECT_EQ(std::tuple(combo.ListIndex(), combo.Text(), combo.ItemData(2)), std::tuple(2, "c", 30));
  combo.RemoveItem(2);
  EXPECT_EQ(std::tuple(combo.ListIndex(), clicks), std::tuple(-1, 1));
  EXPECT_THAT([&] { combo.SetListIndex(5); }, ThrowsError(380));
  EXPECT_THAT([&] { combo.List(-1); }, ThrowsError(380));
}

TEST(ValueControlsTest, OptionButtonsOfAGroupExcludeEachOther) {
  auto group = std::make_shared<OptionGroup>();
  auto a = std::make_shared<OptionButton>("opt", 0);
  auto b = std::make_shared<OptionButton>("opt", 1);
  OptionGroup::Join(group, a);
  OptionGroup::Join(group, b);
  int clicks = 0;
  a->Click.Connect([&](OptionButton&) { ++clicks; });
  a->UserClick();
  b->SetValue(true);
  EXPECT_EQ(std::tuple(a->Value(), b->Value()), std::tuple(false, true));
  a->SetValue(false);  // clearing raises nothing
  a->UserClick();
  a->UserClick();  // clicking the selected button raises Click again
  EXPECT_EQ(clicks, 3);
  CheckBox check("chk");
  check.UserClick();
  EXPECT_EQ(check.Value(), 1);
  check.SetValue(2);
  check.UserClick();
  EXPECT_EQ(check.Value(), 1);
  EXPECT_THAT([&] { check.SetValue(3); }, ThrowsError(380));
}

}  // namespace
