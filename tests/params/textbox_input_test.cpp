// Typing into a text box parameter: key filters, Value, range messages, snapping and the locale.

#include <clocale>

#include <gtest/gtest.h>

#include "params/params.h"
#include "support/fake_cp.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "ui/res_strings.h"
#include "ui/window/control_utility.h"

using namespace params::cParamEnums;
using testing_support::FakeCp;
using ui::window::TextBox;
using Bytes = std::vector<uint8_t>;

namespace {

class TextBoxInputTest : public ::testing::Test {
 protected:
  void SetUp() override { set.SetUserInterface(&dialogs, "Switch 1 / Omnal 1"); }
  void TearDown() override { ui::SetLanguageOffset(ui::kEnglishOffset); }

  // A parameter for the shown range min .. max, unlocked so that its keys are derived.
  std::shared_ptr<params::cParamTextBox> Make(int32_t resolution, int32_t factor, float min, float max) {
    control = std::make_shared<TextBox>("txtParam", count);
    auto p = set.AddTextBoxParameter("Level" + std::to_string(count++), control, cp, "Cp");
    p->SetFactor(factor);
    p->SetResolution(resolution);
    p->SetRangeMin(min);
    p->SetRangeMax(max);
    p->SetUnit(UNIT_Percent);
    p->SetTextBoxTitle("Level");
    p->SetLockMode(LM_UNLOCKED);
    return p;
  }
  // Pastes `text` into the field and leaves it; answers whether the focus could go.
  bool TypeAndLeave(const std::string& text) {
    control->UserFocus();
    control->SetText(text);
    return control->UserLeave();
  }

  testing_support::Records records;
  testing_support::RecordingDialogs dialogs{records};
  params::cParams set;
  std::shared_ptr<FakeCp> cp = std::make_shared<FakeCp>(Bytes{0, 0, 0, 0});
  std::shared_ptr<TextBox> control = std::make_shared<TextBox>("txtParam");
  int count = 0;
};

TEST_F(TextBoxInputTest, ValidationClampsSnapsAndReports) {
  struct Row { int32_t resolution; float min, max; std::string typed, text; bool refused; };
  const Row rows[] = {
      {RES_0_5, 0, 100, "33.3", "33.5", false}, {RES_0_5, 0, 100, "33,3", "33.5", false},  // comma too
      {RES_0_5, 0, 100, "120", "100.0", true},   {RES_0_5, 0, 100, "-5", "0.0", true},
      {RES_0_5, 0, 100, "", "0.0", false},      {RES_0_5, 0, 100, "abc", "0.0", false},  // empty: 0
      {RES_50, 0, 1000, "125", "100", false},   {RES_50, 0, 1000, "175", "200", false},  // ties to even
      {RES_1, 0, 100, "12.5", "12", false},     {RES_1, 0, 100, "13.5", "14", false},
      {RES_0_2, 0, 100, "0.3", "0.4", false},   {RES_0_1, 0, 100, "0.05", "0.0", false},
      {RES_0_0_5, 0, 1, "0.125", "0.10", false}, {RES_0_0_2, 0, 1, "0.05", "0.04", false},
      {RES_0_0_1, 0, 1, "0.125", "0.12", false}, {RES_0_0_0_5, 0, 1, "0.0625", "0.060", false},
      {RES_0_0_0_2, 0, 1, "0.001", "0.000", false}, {RES_0_0_0_1, 0, 1, "0.0005", "0.000", false},
      {RES_0_1, 0.1F, 10, "0.1", "0.1", false},  // compared in single precision: not too low
      {RES_0_5, -10, 10, "-3.3", "-3.5", false},
  };
  for (const auto& row : rows) {
    auto p = Make(row.resolution, 1000, row.min, row.max);
    records.messages.clear();
    const bool left = TypeAndLeave(row.typed);
    const auto value = static_cast<int32_t>(std::stod(row.text) * 1000 + (row.text[0] == '-' ? -0.5 : 0.5));
    EXPECT_EQ(std::tuple(control->Text(), left, p->Value(), p->Changed(), records.messages.size()),
              std::tuple(row.text, !row.refused, value, true, row.refused ? 1u : 0u))
        << row.typed;
    if (row.refused) {  // an exclamation box; the focus stays, with the cursor at the end
      EXPECT_EQ(std::tuple(records.messages[0].icon, records.messages[0].buttons, records.messages[0].title,
                           control->HasFocus(), control->SelStart()),
                std::tuple(services::dialogs::Icon::Exclamation, services::dialogs::Buttons::Ok, "Switch 1 / Omnal 1", true,
                           static_cast<int32_t>(control->Text().size())));
    }
    control->UserLeave(false);
  }
}

TEST_F(TextBoxInputTest, RangeMessagesAreFilledExactlyInBothLanguages) {
  struct Row { int16_t language; float max; std::string typed, message, text; };
  const Row rows[] = {
      {ui::kEnglishOffset, 100, "120",
       "The value 120 % is too high. The valid range is from -0.5 up to 100 %.\r\n\r\n\"Level\" is set to 100 %.",
       "100.0"},
      {ui::kEnglishOffset, 100, "-7.25",
       "The value -7.25 % is too low. The valid range is from -0.5 up to 100 %.\r\n\r\n\"Level\" is set to -0.5 %.",
       "-0.5"},
      // The message names the limit; the text box shows it snapped to the resolution.
      {ui::kEnglishOffset, 100.3F, "200",
       "The value 200 % is too high. The valid range is from -0.5 up to 100.3 %.\r\n\r\n\"Level\" is set to 100.3 %.",
       "100.5"},
      {ui::kGermanOffset, 100, "120",
       "Der Wert 120 % ist zu hoch. Der g\xC3\xBCltige Bereich reicht von -0.5 bis 100 %.\r\n\r\n\"Level\" wird auf "
       "100 % gesetzt.",
       "100.0"},
      {ui::kGermanOffset, 100, "-7,25",
       "Der Wert -7.25 % ist zu niedrig. Der g\xC3\xBCltige Bereich reicht von -0.5 bis 100 %.\r\n\r\n\"Level\" wird "
       "auf -0.5 % gesetzt.",
       "-0.5"},
  };
  for (const auto& row : rows) {
    ui::SetLanguageOffset(row.language);
    Make(RES_0_5, 2, -0.5F, row.max);
    records.messages.clear();
    TypeAndLeave(row.typed);
    ASSERT_EQ(records.messages.size(), 1u);
    EXPECT_EQ(records.messages[0].text, row.message);
    EXPECT_EQ(control->Text(), row.text);
    control->UserLeave(false);
  }
}

// Unlocking derives the keys mode from the resolution and the range; the key filter follows it.
TEST_F(TextBoxInputTest, KeyFiltersFollowTheKeysMode) {
  struct Row { int32_t resolution; float min; int32_t keysMode; std::string typed, text; };
  const Row rows[] = {
      {RES_50, 0, KA_Numbers, "1a-2.5", "125"},              // digits only
      {RES_1, -1, KA_NumbersNeg, "-1a.2", "-12"},            // digits and minus
      {RES_0_5, 0, KA_NumbersFloat, "-1,5x", "1.5"},         // digits and separator (a comma becomes the point)
      {RES_0_0_0_1, -5, KA_NumbersFloatNeg, "-1,5x", "-1.5"},  // all three
      {RES_0_1, -10, KA_NumbersFloatNeg, "-12\b3", "-13"},    // backspace passes
  };
  for (const auto& row : rows) {
    auto p = Make(row.resolution, 10, row.min, 100);
    control->UserSelectAll();
    control->SetMaxLength(0);
    control->UserType(row.typed);
    EXPECT_EQ(std::tuple(p->KeysMode(), control->Text()), std::tuple(row.keysMode, row.text)) << row.typed;
  }
}

TEST_F(TextBoxInputTest, TypingSetsTheValueAndMarksTheRange) {
  auto p = Make(RES_0_5, 2, 0, 100);
  control->UserSelectAll();
  control->UserType("101");  // the maximum length of "100.0" allows it
  EXPECT_EQ(std::tuple(p->Value(), control->ForeColor(), set.AnyParameterValueIsInvalid()),
            std::tuple(202, ui::window::colours::kRed, true));
  control->UserKeyPress(8);
  EXPECT_EQ(std::tuple(p->Value(), control->ForeColor(), set.AnyParameterValueIsInvalid()),
            std::tuple(20, ui::window::colours::kWindowText, false));
}

TEST_F(TextBoxInputTest, TheValidatedFlagKeepsLostFocusFromCheckingTwice) {
  Make(RES_0_5, 2, 0, 100);
  control->UserFocus();
  control->SetText("300");
  control->UserLeave(false);  // the focus goes without a validate: lost focus checks
  EXPECT_EQ(std::tuple(records.messages.size(), control->Text()), std::tuple(1u, "100.0"));
  control->UserFocus();
  control->SetText("500");
  EXPECT_FALSE(control->UserLeave());  // validate (message); the cancel keeps the focus
  EXPECT_EQ(records.messages.size(), 2u);
  control->SetText("700");
  control->UserLeave(false);  // validated already: lost focus does not check again
  EXPECT_EQ(std::tuple(records.messages.size(), control->Text()), std::tuple(2u, "700"));
  control->UserFocus();
  control->SetText("50");
  EXPECT_TRUE(control->UserLeave());
  EXPECT_EQ(std::tuple(records.messages.size(), control->Text()), std::tuple(2u, "50.0"));
}

TEST_F(TextBoxInputTest, SetValidTextBoxValue) {
  auto p = Make(RES_0_5, 2, 0, 100);
  control->SetText("40");
  p->SetValidTextBoxValue(20.0F);  // within the range: the text decides
  EXPECT_EQ(std::tuple(control->Text(), p->Value()), std::tuple("40.0", 80));
  control->SetText("140");
  p->SetValidTextBoxValue(20.0F);  // outside: the given value, without a message
  EXPECT_EQ(std::tuple(control->Text(), p->Value()), std::tuple("20.0", 40));
  control->SetText("140");
  p->SetValidTextBoxValue(params::cParamTextBox::kNoCalculatedValue);  // absent: the limit stays
  EXPECT_EQ(control->Text(), "100.0");
  EXPECT_TRUE(records.messages.empty());
  p->SetValue(10);
  p->SetChanged(false);
  p->SetValidTextBoxValue(std::nullopt, true);  // forced: the change handler runs
  EXPECT_TRUE(p->Changed());
}

// A German user locale shows commas in either language; the process locale does not matter; "." still reads.
TEST_F(TextBoxInputTest, NumbersShowWithTheSeparatorOfTheUsersLocale) {
  testing_support::ScopedEnv env{{"LC_ALL", "de_DE.UTF-8"}};
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  auto p = Make(RES_0_0_1, 100, -273.17F, 327.67F);
  p->SetConfigProperty(std::make_shared<FakeCp>(Bytes{0x08, 0x66}));
  p->ConsiderPartOfCpOnly(1, 2);
  p->ReadFromLns();
  EXPECT_EQ(control->Text(), "21,50");
  TypeAndLeave("400.5");
  EXPECT_EQ(control->Text(), "327,67");
  ASSERT_EQ(records.messages.size(), 1u);
  EXPECT_NE(records.messages[0].text.find("400,5 % is too high. The valid range is from -273,17 up to 327,67"),
            std::string::npos);
  EXPECT_EQ(p->Value(), 32767);
  control->UserLeave(false);
  TypeAndLeave("12,5");
  EXPECT_EQ(p->Value(), 1250);
  EXPECT_EQ(ui::window::KeyUtility::NumbersFloat('.'), ',');
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
