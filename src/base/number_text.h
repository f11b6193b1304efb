#pragma once
// Numbers as the user sees and types them. Files, CP bytes, the registry and the automation
// channel always use the point; what the user sees in a text box and in its messages uses the
// decimal separator of the user's locale (LC_ALL, else LC_NUMERIC, else LANG, as the C
// library and Qt read them), whatever the plug-in's own language setting. A comma or a point
// typed as decimal separator is read as the point. Formatting never goes through the process
// locale, so a library that calls setlocale cannot change what is shown.

#include <string>
#include <string_view>

namespace base {

// The separator of every number in files and on the wire.
inline constexpr char kDecimalSeparator = '.';

// The decimal separator of the user's locale: "," for a locale whose language writes the
// comma (de_DE.UTF-8, fr_FR, ...), else "." (C, POSIX, en_US, no locale at all).
char UserDecimalSeparator();

// A number formatted with the point (FormatFixed, FormatSingle) as the user reads it.
std::string ForUser(std::string numberText);

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
