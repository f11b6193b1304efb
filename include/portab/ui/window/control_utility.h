#pragma once
// Helpers the parameter kinds use on their controls: range marking of a text box and the key
// filters for numeric typing.

#include <cstdint>

#include "ui/window/value_controls.h"

namespace ui::window {

// Marks the text box red when `value` lies outside min .. max (compared in single
// precision, as the range is kept), in the normal text colour otherwise.
TextBox& MarkRange(TextBox& textBox, double value, float rangeMax, float rangeMin);

// Key filters: each returns the key to use, 0 to drop it. Control keys (below 32, such as
// backspace) always pass. A comma counts as decimal separator and becomes the point.
namespace KeyUtility {
int16_t Numbers(int16_t keyAscii);
int16_t NumbersNeg(int16_t keyAscii);
int16_t NumbersFloat(int16_t keyAscii);
int16_t NumbersFloatNeg(int16_t keyAscii);
}  // namespace KeyUtility

}  // namespace ui::window
