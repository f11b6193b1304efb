#include "base/number_text.h"

#include <charconv>
#include <cmath>

#include "base/text.h"

namespace base {

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return value != value ? "NaN" : (value < 0 ? "-Inf" : "Inf");
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  // A negative number that rounds to zero shows as zero.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string FormatSingle(float value) {
  if (!std::isfinite(value)) return value != value ? "NaN" : (value < 0 ? "-Inf" : "Inf");
  char buffer[64];
  const float magnitude = std::fabs(value);
  const bool plain = magnitude == 0.0F || (magnitude >= 1e-6F && magnitude < 1e16F);
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    plain ? std::chars_format::fixed : std::chars_format::general);
  if (std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)) == "-0") return std::string(1, '0');
  return std::string(buffer, result.ptr);
}

std::string NormalizeNumberText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    out += c == ',' ? kDecimalSeparator : c;
  }
  return out;
}

double RoundToDecimals(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double scaled = value * scale;
  if (!std::isfinite(scaled)) return value;
  return RoundHalfEven(scaled) / scale;
}

}  // namespace base
