// The parameter set with the kinds that have a control: lookups, control events and the shared read pass.

#include <gtest/gtest.h>

#include "params/params.h"
#include "support/fake_cp.h"
#include "support/matchers.h"
#include "support/recording_log.h"

using namespace params::cParamEnums;
using testing_support::NamedCp;
using testing_support::ThrowsError;
using namespace ui::window;

namespace {

TEST(ParamsControlsTest, FindingByControlIndex) {
  params::cParams set;
  set.AddTextBoxParameter("Hold", std::make_shared<TextBox>("txt", 4), NamedCp("A"), "A");
  auto delay = set.AddTextBoxParameter("Delay", std::make_shared<TextBox>("txt", 7), NamedCp("B"), "B");
  auto mode = set.AddComboBoxParameter("Mode", std::make_shared<ComboBox>("cbo", 2), NamedCp("C"), "C");
  // 2 is a combo box's index, 4 a text box's.
  EXPECT_EQ(std::tuple(set.TextBoxParameterByControlIndex(7), set.TextBoxParameterByControlIndex(2),
                       set.ComboBoxParameterByControlIndex(2), set.ComboBoxParameterByControlIndex(4)),
            std::tuple(delay, nullptr, mode, nullptr));
}

// Without a CP (or on a buffer without one) a parameter is unavailable, grey and empty, whatever is done to it.
TEST(ParamsControlsTest, AvailabilityComesFromTheCpOrItsBuffer) {
  params::cParams set;
  auto lost = set.AddConfigProp("Lost", nullptr, "Lost");
  for (bool onBuffer : {false, true}) {
    auto text = std::make_shared<TextBox>("txt");
    auto p = onBuffer ? set.AddTextBoxParameterExtCp("OnLost", text, lost)
                      : set.AddTextBoxParameter("Missing", text, nullptr, "Cp");
    p->SetValue(5);
    p->WriteToLns();
    p->ReadFromLns();
    EXPECT_EQ(std::tuple(text->Tag(), p->Available(), p->LockMode(), text->Enabled(), text->BackColor(), p->Factor(),
                         p->RangeMax(), text->Text()),
              std::tuple(p->Name(), false, LM_DISABLED_GREY_NO_VALUE, false, colours::kButtonFace, 1, 65535.0F, ""));
  }
  auto check = std::make_shared<CheckBox>("chk");
  check->SetValue(1);
  auto missing = set.AddCheckBoxParameter("Unchecked", check, nullptr, "Cp");
  missing->SetLockMode(LM_UNLOCKED);  // refused while the CP is missing
  missing->SetValue(1);
  EXPECT_EQ(std::tuple(missing->LockMode(), check->Value(), check->Enabled(), missing->Value(), missing->Changed()),
            std::tuple(LM_DISABLED_GREY_NO_VALUE, 0, false, 0, false));

  auto combo = std::make_shared<ComboBox>("cbo");
  auto onBuffer = set.AddComboBoxParameterExtCp("OnBuffer", combo, set.AddConfigProp("Buf", NamedCp("Buf", {0, 3}), "B"));
  EXPECT_EQ(std::tuple(onBuffer->Available(), onBuffer->CpIsExternal(), onBuffer->CpIniName(), combo->Tag()),
            std::tuple(true, true, "", "OnBuffer"));
  onBuffer->AddComboBoxItem("Three", 3);
  onBuffer->ConsiderPartOfCpOnly(1, 2);
  set.ReadFromLns();
  EXPECT_EQ(combo->Text(), "Three");
}

TEST(ParamsControlsTest, ControlEventsReachTheOwningParameter) {
  params::cParams set;
  auto text = std::make_shared<TextBox>("txt");
  set.AddTextBoxParameter("Hold", text, NamedCp("A"), "A")->SetLockMode(LM_UNLOCKED);
  // The events called by hand, as a window's handlers would (typing is in the input tests).
  int16_t key = 'a';
  set.TextBox_KeyPress_Event(*text, key);
  EXPECT_EQ(key, 0);
  bool cancel = false;
  text->SetText("70000");
  set.TextBox_Validate_Event(*text, cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(text->Text(), "65535");
  ComboBox stranger("cbo");
  set.ComboBox_Change_Event(stranger);  // a control of no parameter is ignored
  TextBox unknown("txt");
  unknown.SetTag("Nobody");
  EXPECT_THAT([&] { set.TextBox_Change_Event(unknown); }, ThrowsError(5));  // without a logger it surfaces
  testing_support::RecordingLog log;
  set.TextBox_Change_Event(unknown);  // with one, it goes to the error operation
  EXPECT_EQ(log.errors.size(), 1u);
}

// A missing CP's empty combo box holds no value, so nothing is invalid.
TEST(ParamsControlsTest, AnyParameterValueIsInvalidSkipsMissingCps) {
  params::cParams set;
  set.AddComboBoxParameter("Missing", std::make_shared<ComboBox>("cbo"), nullptr, "M");
  EXPECT_FALSE(set.AnyParameterValueIsInvalid());
}

TEST(ParamsControlsTest, OneServerReadPerCpInAReadPass) {
  params::cParams set;
  auto cp = NamedCp("Shared", {1, 2, 3, 4});
  auto text = set.AddTextBoxParameter("Text", std::make_shared<TextBox>("txt"), cp, "S");
  text->ConsiderPartOfCpOnly(1, 2);
  auto combo = set.AddComboBoxParameter("Combo", std::make_shared<ComboBox>("cbo"), cp, "S");
  combo->ConsiderPartOfCpOnly(3, 1);
  auto check = set.AddCheckBoxParameter("Check", std::make_shared<CheckBox>("chk"), cp, "S");
  check->ConsiderPartOfCpOnly(4, 1);
  set.ReadFromLns();
  EXPECT_EQ(std::tuple(cp->valueReads, text->Value(), combo->Value(), check->Value()), std::tuple(1, 0x0102, 3, 4));
  // Outside a pass every read goes to the server, and a write is never served from a pass.
  combo->ReadFromLns();
  EXPECT_EQ(cp->valueReads, 2);
  check->SetValue(9);
  check->WriteToLns();
  combo->ConsiderPartOfCpOnly(4, 1);
  set.ReadFromLns();
  EXPECT_EQ(combo->Value(), 9);
}

TEST(ParamsControlsTest, AControlGivenLaterIsConnectedOnce) {
  params::cParams set;
  auto p = set.AddTextBoxParameter("Hold", nullptr, NamedCp("A"), "A");
  auto later = std::make_shared<TextBox>("txt");
  later->SetTag("Hold");
  p->SetTextBoxControl(later);
  p->SetTextBoxControl(later);
  int changes = 0;
  later->Change.Connect([&](TextBox&) { ++changes; });
  later->UserType("7");
  EXPECT_EQ(p->Value(), 7);
  EXPECT_EQ(changes, 1);
  auto combo = std::make_shared<ComboBox>("cbo");
  auto c = set.AddComboBoxParameter("Mode", nullptr, NamedCp("B"), "B");
  c->SetComboBoxControl(combo);
  c->AddComboBoxItem("Two", 2);
  combo->UserSelect(0);
  EXPECT_EQ(c->Value(), 2);
}

TEST(ParamsControlsTest, ADestroyedSetLeavesItsControlsQuiet) {
  auto text = std::make_shared<TextBox>("txt");
  {
    params::cParams set;
    set.AddTextBoxParameter("Hold", text, NamedCp("A"), "A");
  }
  text->UserType("5");  // no handler of the gone set runs
  EXPECT_EQ(text->Text(), "5");
}

}  // namespace
