#pragma once
// Numbers as the user sees and types them. The decimal separator is always the point,
// whatever locale the process runs under (setlocale, LANG, LC_NUMERIC); a comma typed as
// decimal separator is read as the point. Formatting never goes through the C or C++
// locale, so a library that changes the process locale cannot change what is shown.

#include <string>
#include <string_view>

namespace base {

inline constexpr char kDecimalSeparator = '.';

// `value` with exactly `decimals` digits after the point (0: no point), the digit after the
// last one rounded to nearest, ties to even; "-0" is shown as "0".
std::string FormatFixed(double value, int decimals);

// The shortest text that reads back as the same single-precision number ("0.1", "327.68002",
// "65535"); plain digits for every number a range or value of a text box can hold.
std::string FormatSingle(float value);

// The text of a typed number made ready for Val: blanks removed, a comma becomes the point.
std::string NormalizeNumberText(std::string_view text);

// `value` rounded to `decimals` digits after the point, ties to even (decimals 0 to 6).
double RoundToDecimals(double value, int decimals);

}  // namespace base
