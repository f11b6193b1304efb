// The parameter set with the kinds that have a control: adding, lookups by name, position and
// control index, the control events, the questions over the set and the shared read pass.

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
  EXPECT_EQ(set.TextBoxParameterByControlIndex(7), delay);
  EXPECT_EQ(set.TextBoxParameterByControlIndex(2), nullptr);  // a combo box's index
  EXPECT_EQ(set.ComboBoxParameterByControlIndex(2), mode);
  EXPECT_EQ(set.ComboBoxParameterByControlIndex(4), nullptr);
}

TEST(ParamsControlsTest, ExternalKindsTakeAvailabilityFromTheirBuffer) {
  params::cParams set;
  auto buffer = set.AddConfigProp("Buf", NamedCp("Buf", {0, 3}), "Buf");
  auto lost = set.AddConfigProp("Lost", nullptr, "Lost");
  auto combo = std::make_shared<ComboBox>("cbo");
  auto onBuffer = set.AddComboBoxParameterExtCp("OnBuffer", combo, buffer);
  auto text = std::make_shared<TextBox>("txt");
  auto onLost = set.AddTextBoxParameterExtCp("OnLost", text, lost);
  EXPECT_TRUE(onBuffer->Available());
  EXPECT_TRUE(onBuffer->CpIsExternal());
  EXPECT_EQ(onBuffer->CpIniName(), "");
  EXPECT_EQ(combo->Tag(), "OnBuffer");
  EXPECT_FALSE(onLost->Available());
  EXPECT_EQ(onLost->LockMode(), LM_DISABLED_GREY_NO_VALUE);
  EXPECT_EQ(text->BackColor(), colours::kButtonFace);
  EXPECT_EQ(onLost->Factor(), 1);  // the unsigned preset, as for the bound family

  onBuffer->AddComboBoxItem("Three", 3);
  onBuffer->ConsiderPartOfCpOnly(1, 2);
  set.ReadFromLns();
  EXPECT_EQ(onBuffer->Value(), 3);
  EXPECT_EQ(combo->Text(), "Three");
}

TEST(ParamsControlsTest, ControlEventsReachTheOwningParameter) {
  params::cParams set;
  auto text = std::make_shared<TextBox>("txt");
  auto textParam = set.AddTextBoxParameter("Hold", text, NamedCp("A"), "A");
  textParam->SetLockMode(LM_UNLOCKED);
  text->UserSelectAll();
  text->UserType("12x3");  // the key filter drops the letter
  EXPECT_EQ(text->Text(), "123");
  EXPECT_EQ(textParam->Value(), 123);

  // The events called by hand, as a window's handlers would.
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

TEST(ParamsControlsTest, AnyParameterValueIsInvalidAsksTextAndComboBoxes) {
  params::cParams set;
  auto text = set.AddTextBoxParameter("Hold", std::make_shared<TextBox>("txt"), NamedCp("A"), "A");
  auto combo = set.AddComboBoxParameter("Mode", std::make_shared<ComboBox>("cbo"), NamedCp("B"), "B");
  combo->AddComboBoxItem("Zero", 0);
  auto check = set.AddCheckBoxParameter("Enable", std::make_shared<CheckBox>("chk"), NamedCp("C"), "C");
  auto missing = set.AddComboBoxParameter("Missing", std::make_shared<ComboBox>("cbo"), nullptr, "M");
  EXPECT_FALSE(set.AnyParameterValueIsInvalid());  // an unavailable combo box is not asked
  check->SetValue(9);  // check boxes are not asked
  EXPECT_FALSE(set.AnyParameterValueIsInvalid());
  combo->SetValue(4);
  EXPECT_TRUE(set.AnyParameterValueIsInvalid());
  combo->SetValue(0);
  text->SetValue(70000);
  EXPECT_TRUE(set.AnyParameterValueIsInvalid());
  text->SetValue(1);
  EXPECT_FALSE(set.AnyParameterValueIsInvalid());
  (void)missing;
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
  EXPECT_EQ(cp->valueReads, 1);
  EXPECT_EQ(text->Value(), 0x0102);
  EXPECT_EQ(combo->Value(), 3);
  EXPECT_EQ(check->Value(), 4);
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
