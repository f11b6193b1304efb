// The input side of cParamTextBox: accepted keys, typed text into Value, the range check
// with its messages when the user leaves the field, and snapping to the resolution.

#include "base/number_text.h"
#include "base/text.h"
#include "params/param_textbox.h"
#include "params/params.h"
#include "services/dialogs.h"
#include "ui/res_strings.h"
#include "ui/window/control_utility.h"

namespace params {
namespace {

using namespace cParamEnums;

constexpr int16_t kTooHigh = 1421;
constexpr int16_t kTooLow = 1422;
constexpr int16_t kTheValue = 1411;

double ReadNumber(const std::string& text, bool normalised) {
  return base::Val(normalised ? base::NormalizeNumberText(text) : text);
}

// c snapped to the step of `resolution`, rounded to nearest with ties to even.
double Snap(double c, int32_t resolution) {
  using base::RoundHalfEven;
  using base::RoundToDecimals;
  switch (resolution) {
    case RES_50: return RoundHalfEven(c / 50) * 50;
    case RES_1: return c;
    case RES_0_5: return RoundHalfEven(2 * c) / 2;
    case RES_0_2: return RoundHalfEven(5 * c) / 5;
    case RES_0_1: return RoundToDecimals(c, 1);
    case RES_0_0_5: return RoundToDecimals(2 * c, 1) / 2;
    case RES_0_0_2: return RoundToDecimals(5 * c, 1) / 5;
    case RES_0_0_1: return RoundToDecimals(c, 2);
    case RES_0_0_0_5: return RoundToDecimals(2 * c, 2) / 2;
    case RES_0_0_0_2: return RoundToDecimals(5 * c, 2) / 5;
    default: return RoundToDecimals(c, 3);
  }
}

int DecimalsOf(int32_t resolution) {
  if (resolution <= RES_1) return 0;
  if (resolution <= RES_0_1) return 1;
  if (resolution <= RES_0_0_1) return 2;
  return 3;
}

}  // namespace

void cParamTextBox::TextBox_KeyPress_Event(int16_t& keyAscii) {
  namespace keys = ui::window::KeyUtility;
  switch (KeysMode()) {
    case KA_Numbers: keyAscii = keys::Numbers(keyAscii); break;
    case KA_NumbersNeg: keyAscii = keys::NumbersNeg(keyAscii); break;
    case KA_NumbersFloat: keyAscii = keys::NumbersFloat(keyAscii); break;
    case KA_NumbersFloatNeg: keyAscii = keys::NumbersFloatNeg(keyAscii); break;
    default: break;  // every key
  }
}

void cParamTextBox::TextBox_Change_Event() {
  if (updatingControl_ || !control_) return;
  const double typed = ReadNumber(control_->Text(), true);
  ui::window::MarkRange(*control_, typed, TextBoxRangeMax(), TextBoxRangeMin());
  value_ = base::CLng(ReadNumber(control_->Text(), true) * Factor());
  SetChanged(true);
}

void cParamTextBox::TextBox_Validate_Event(bool& cancel) {
  if (updatingControl_ || !control_) return;
  if (control_->Text().empty()) control_->SetText("0");
  Validation(true, cancel);
  validated_ = true;
  if (cancel) control_->SetSelStart(static_cast<int32_t>(control_->Text().size()));
}

void cParamTextBox::TextBox_LostFocus_Event() {
  if (!validated_) {
    bool cancel = false;  // the focus has gone already: the result is dropped
    TextBox_Validate_Event(cancel);
  }
  validated_ = false;
}

void cParamTextBox::SetValidTextBoxValue(std::optional<float> calculatedValue, bool forceCpValueSetting) {
  bool cancel = false;
  Validation(false, cancel);
  if (calculatedValue && *calculatedValue != kNoCalculatedValue && cancel) SetValueCalc(*calculatedValue);
  if (forceCpValueSetting) TextBox_Change_Event();
}

void cParamTextBox::Validation(bool withMessages, bool& cancel) {
  const int32_t resolution = Resolution();
  if (resolution < RES_50 || resolution > RES_0_0_0_1 || !control_) return;
  const bool whole = resolution == RES_50 || resolution == RES_1;
  const double typed = ReadNumber(control_->Text(), !whole);
  const auto typedSingle = static_cast<float>(typed);
  double corrected = typed;
  if (typedSingle > TextBoxRangeMax()) {
    if (withMessages) ShowRangeMessage(kTooHigh, typed, TextBoxRangeMax());
    cancel = true;
    corrected = TextBoxRangeMax();
  } else if (typedSingle < TextBoxRangeMin()) {
    if (withMessages) ShowRangeMessage(kTooLow, typed, TextBoxRangeMin());
    cancel = true;
    corrected = TextBoxRangeMin();
  }
  control_->SetText(base::ForUser(base::FormatFixed(Snap(corrected, resolution), DecimalsOf(resolution))));
}

void cParamTextBox::ShowRangeMessage(int16_t messageId, double typed, float limit) const {
  const cParams* set = Parent();
  if (set == nullptr || set->Dialogs() == nullptr) return;
  const std::string& unit = UnitMnemonic();
  const auto shown = [](float number) { return base::ForUser(base::FormatSingle(number)); };
  const std::string text = base::FormatPlaceholders(
      ui::ResString(messageId), {ui::ResString(kTheValue), shown(static_cast<float>(typed)), unit,
                                 shown(TextBoxRangeMin()), shown(TextBoxRangeMax()), unit, TextBoxTitle(), shown(limit), unit});
  set->Dialogs()->Show({text, set->MessageTitle(), services::dialogs::Icon::Exclamation,
                        services::dialogs::Buttons::Ok, 1});
}

}  // namespace params
