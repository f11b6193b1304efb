#pragma once
// Helpers the parameter kinds use on their controls: range marking of a text box and the key
// filters for numeric typing.

#include <cstdint>

#include "portab/ui/window/value_controls.h"

namespace ui::window {

// Marks the text box red when `value` lies outside min .. max (compared in single
// precision, as the range is kept), in the normal text colour otherwise.
TextBox& MarkRange(TextBox& textBox, double value, float rangeMax, float rangeMin);

// Key filters: each returns the key to use, 0 to drop it. Control keys (below 32, such as
// backspace) always pass. A point or a comma typed as decimal separator becomes the user's
// decimal separator.
namespace KeyUtility {
int16_t Numbers(int16_t keyAscii);          // digits
int16_t NumbersNeg(int16_t keyAscii);       // digits and minus
int16_t NumbersFloat(int16_t keyAscii);     // digits and the decimal separator
int16_t NumbersFloatNeg(int16_t keyAscii);  // digits, minus and the decimal separator
}  // namespace KeyUtility

}  // namespace ui::window
