#include "ui/window/control_utility.h"

#include "base/number_text.h"

namespace ui::window {

TextBox& MarkRange(TextBox& textBox, double value, float rangeMax, float rangeMin) {
  const auto shown = static_cast<float>(value);
  const bool outside = shown > rangeMax || shown < rangeMin;
  textBox.SetForeColor(outside ? colours::kRed : colours::kWindowText);
  return textBox;
}

namespace KeyUtility {
namespace {

// A point or comma typed as decimal separator becomes the user's separator.
int16_t Filter(int16_t key, bool negative, bool decimal) {
  if (key >= 0 && key < 32) return key;
  if (key >= '0' && key <= '9') return key;
  if (negative && key == '-') return key;
  if (decimal && (key == '.' || key == ',')) return base::UserDecimalSeparator();
  return 0;
}

}  // namespace

int16_t Numbers(int16_t keyAscii) { return Filter(keyAscii, false, false); }
int16_t NumbersNeg(int16_t keyAscii) { return Filter(keyAscii, true, false); }
int16_t NumbersFloat(int16_t keyAscii) { return Filter(keyAscii, false, true); }
int16_t NumbersFloatNeg(int16_t keyAscii) { return Filter(keyAscii, true, true); }

}  // namespace KeyUtility
}  // namespace ui::window
