// The combo box, check box and option button parameters.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "params/params.h"
#include "support/fake_cp.h"
#include "support/matchers.h"
#include "support/recording_log.h"

using namespace params::cParamEnums;
using testing_support::FakeCp;
using testing_support::ThrowsError;
using namespace ui::window;
using Bytes = std::vector<uint8_t>;

namespace {

std::shared_ptr<FakeCp> Cp(Bytes bytes) { return testing_support::NamedCp("Cp", std::move(bytes)); }

struct Combo {
  params::cParams set;
  std::shared_ptr<FakeCp> cp;
  std::shared_ptr<ComboBox> control = std::make_shared<ComboBox>("cbo", 3);
  std::shared_ptr<params::cParamComboBox> p;

  explicit Combo(Bytes bytes) : cp(Cp(std::move(bytes))) {
    control->AddItem("left over");  // binding the control clears its list
    p = set.AddComboBoxParameter("Mode", control, cp, "Cp");
    for (int32_t value = 0; const char* item : {"Off", "On", "Auto"}) p->AddComboBoxItem(item, value++);
    p->SetInvalidItemString("<invalid>");
    p->ConsiderPartOfCpOnly(1, 1);
  }
};

TEST(ComboBoxParameterTest, SelectsTheEntryOfTheDeviceValue) {
  Combo c({1});
  c.p->ReadFromLns();
  EXPECT_EQ(std::tuple(c.control->Tag(), c.control->ListIndex(), c.control->Text(), c.p->Changed()),
            std::tuple("Mode", 1, "On", false));
  c.control->UserSelect(2);  // the user chooses: Value follows
  EXPECT_EQ(std::tuple(c.p->Value(), c.p->Changed()), std::tuple(2, true));
  c.p->WriteToLns();
  EXPECT_EQ(c.cp->Bytes(), Bytes{2});
  c.p->SetValueByComboListItemIndex(0);
  EXPECT_EQ(c.p->Value(), 0);

  Combo negative({0xFF});  // negative item data make the part signed
  negative.p->AddComboBoxItem("Minus one", -1);
  negative.p->ReadFromLns();
  EXPECT_EQ(std::tuple(negative.p->Value(), negative.control->Text()), std::tuple(-1, "Minus one"));
}

TEST(ComboBoxParameterTest, AValueOutsideTheListIsInvalidAndCanBeShown) {
  Combo c({7});
  c.p->ReadFromLns();
  EXPECT_EQ(std::tuple(c.control->ListIndex(), c.p->CurrentValueIsInComboList(), c.set.AnyParameterValueIsInvalid()),
            std::tuple(-1, false, true));
  c.p->ShowInvalidItem();  // selecting the entry takes its item datum
  EXPECT_EQ(std::tuple(c.control->List(0), c.control->ItemData(0), c.control->ListIndex(), c.control->ForeColor(),
                       c.p->Value(), c.p->Changed()),
            std::tuple("<invalid>", 0, 0, colours::kRed, 0, true));
  c.p->SetChanged(false);
  c.control->SetListIndex(-1);  // no entry selected: Value and Changed stay
  EXPECT_EQ(std::tuple(c.p->Value(), c.p->Changed()), std::tuple(0, false));
}

TEST(ComboBoxParameterTest, ControlUpdatesAndLockModes) {
  Combo c({2});
  c.p->SetControlUpdatesEnabled(false);
  c.p->ReadFromLns();
  EXPECT_EQ(std::tuple(c.p->Value(), c.control->ListIndex()), std::tuple(2, -1));
  c.p->SetControlUpdatesEnabled(true);
  EXPECT_EQ(std::tuple(c.control->ListIndex(), c.p->Changed()), std::tuple(2, true));

  struct Row { int32_t mode; bool enabled; uint32_t back; int32_t listIndex; };
  const Row rows[] = {
      {LM_UNLOCKED, true, colours::kWindowBackground, 2},  {LM_LOCKED, false, 99, -1},
      {LM_DISABLED, false, colours::kWindowBackground, 2}, {LM_DISABLED_NO_VALUE, false, colours::kWindowBackground, -1},
      {LM_DISABLED_GREY, false, colours::kButtonFace, 2},  {LM_DISABLED_GREY_NO_VALUE, false, colours::kButtonFace, -1},
      {LM_DISABLED_GREY_TEXT, false, 99, -1},
  };
  for (const auto& row : rows) {
    c.p->SetLockMode(LM_DISABLED_NO_VALUE);  // no selection, Value kept apart from the control
    c.control->SetBackColor(99);
    c.p->SetValue(2);
    c.p->SetChanged(false);
    c.p->SetLockMode(row.mode);
    // Clearing the selection changes neither Value nor Changed.
    EXPECT_EQ(std::tuple(c.control->Enabled(), c.control->BackColor(), c.control->ListIndex(), c.p->Value(),
                         row.listIndex < 0 && c.p->Changed()),
              std::tuple(row.enabled, row.back, row.listIndex, 2, false))
        << row.mode;
  }
  c.p->SetLockMode(LM_DISABLED_GREY_NO_VALUE);
  c.p->SetValue(0);
  EXPECT_EQ(c.control->ListIndex(), -1);  // no selection while no value is shown
}

struct Check {
  params::cParams set;
  std::shared_ptr<FakeCp> cp;
  std::shared_ptr<CheckBox> control = std::make_shared<CheckBox>("chk");
  std::shared_ptr<params::cParamCheckBox> p;

  explicit Check(Bytes bytes, int32_t checked = 1, int32_t unchecked = 0) : cp(Cp(std::move(bytes))) {
    p = set.AddCheckBoxParameter("Enable", control, cp, "Cp");
    p->SetValueChecked(checked);
    p->SetValueUnchecked(unchecked);
    p->ConsiderPartOfCpOnly(1, 1);
  }
};

TEST(CheckBoxParameterTest, ShowsCheckedUncheckedOrRed) {
  struct Row { Bytes bytes; int32_t checked, unchecked, controlValue; uint32_t foreColour; };
  const Row rows[] = {
      {{1}, 1, 0, 1, colours::kWindowText}, {{0}, 1, 0, 0, colours::kWindowText},
      {{5}, 1, 0, 1, colours::kRed},  // neither: red, the check state stays
      {{0xFF}, -1, 0, 1, colours::kWindowText},  // a negative checked value makes the part signed
      {{3}, 3, 3, 1, colours::kWindowText},      // equal numbers show as checked
  };
  for (const auto& row : rows) {
    Check c(row.bytes, row.checked, row.unchecked);
    c.control->SetValue(1);
    c.p->ReadFromLns();
    EXPECT_EQ(std::tuple(c.control->Value(), c.control->ForeColor(), c.p->Changed()),
              std::tuple(row.controlValue, row.foreColour, false));
  }
}

TEST(CheckBoxParameterTest, ClicksWritesAndLockModes) {
  Check c({0}, 1, 0);
  c.p->ReadFromLns();
  c.control->UserClick();
  EXPECT_EQ(std::tuple(c.p->Value(), c.p->Changed()), std::tuple(1, true));
  c.p->WriteToLns();
  EXPECT_EQ(std::tuple(c.cp->Bytes(), c.p->Changed()), std::tuple(Bytes{1}, false));
  c.control->SetValue(2);  // grey: the value stays
  EXPECT_EQ(std::tuple(c.p->Value(), c.p->WritingToLnsIsRequired()), std::tuple(1, true));

  c.control->SetValue(1);
  c.p->SetChanged(false);
  c.p->SetLockMode(LM_DISABLED);
  EXPECT_EQ(std::tuple(c.control->Enabled(), c.control->Value()), std::tuple(false, 1));
  c.p->SetLockMode(LM_UNLOCKED);
  EXPECT_TRUE(c.control->Enabled());
  c.p->SetLockMode(LM_DISABLED_GREY_NO_VALUE);  // unchecked without touching Value
  EXPECT_EQ(std::tuple(c.control->Value(), c.p->Value(), c.p->Changed()), std::tuple(0, 1, false));
}

struct Options {
  params::cParams set;
  std::shared_ptr<FakeCp> cp = Cp({0, 2});
  std::shared_ptr<OptionGroup> group = std::make_shared<OptionGroup>();
  std::vector<std::shared_ptr<OptionButton>> buttons;
  std::shared_ptr<params::cParamOptBtn> p;

  Options() {
    p = set.AddOptionButtonParameter("Speed", cp, "Cp");
    for (const char* data : {"0\t1", "0\t2", "1\t0"}) {
      buttons.push_back(std::make_shared<OptionButton>("opt", static_cast<int32_t>(buttons.size())));
      OptionGroup::Join(group, buttons.back());
      p->AddOptionButton(buttons.back(), data);
    }
  }
};

TEST(OptionButtonParameterTest, ReadsClicksAndWritesTheWholeCpAndLogsAFailure) {
  testing_support::RecordingLog log;
  Options o;
  EXPECT_EQ(std::tuple(o.buttons[0]->Tag(), o.p->OptionButtonsCount()), std::tuple("Speed", 3));
  o.p->ReadFromLns();  // the format is restored after each transfer
  EXPECT_EQ(std::tuple(o.p->Value(), o.buttons[1]->Value(), o.p->Changed(), o.cp->ValueFormat()),
            std::tuple("0\t2", true, false, "HEX"));
  o.buttons[2]->UserClick();
  EXPECT_EQ(std::tuple(o.p->Value(), o.buttons[1]->Value(), o.p->Changed()), std::tuple("1\t0", false, true));
  o.p->WriteToLns();
  EXPECT_EQ(std::tuple(o.cp->Bytes(), o.cp->ValueFormat()), std::tuple(Bytes{1, 0}, "HEX"));
  EXPECT_THAT([&] { o.p->OptionButton(4); }, ThrowsError(9));
  // A failing server is logged and ignored.
  o.p->SetValue("0\t1");
  o.cp->failValueWrite = true;
  o.p->WriteToLns();
  EXPECT_EQ(std::tuple(o.p->Changed(), o.cp->ValueFormat()), std::tuple(false, "HEX"));
  ASSERT_EQ(log.redLines.size(), 1u);
  EXPECT_THAT(log.redLines[0], ::testing::HasSubstr("\"Speed\""));
}

TEST(OptionButtonParameterTest, LockModes) {
  struct Row { int32_t mode; bool enabled, selected; };
  const Row rows[] = {{LM_UNLOCKED, true, true},      {LM_LOCKED, false, true},
                      {LM_DISABLED, false, true},     {LM_DISABLED_NO_VALUE, false, false},
                      {LM_DISABLED_GREY, false, true}, {LM_DISABLED_GREY_NO_VALUE, false, false},
                      {LM_DISABLED_GREY_TEXT, false, true}};
  for (const auto& row : rows) {
    Options o;
    o.p->ReadFromLns();
    o.buttons[1]->SetValue(false);
    o.p->SetLockMode(row.mode);
    for (const auto& button : o.buttons) EXPECT_EQ(button->Enabled(), row.enabled) << row.mode;
    EXPECT_EQ(o.buttons[1]->Value(), row.selected) << row.mode;
  }
}

}  // namespace
