#include "base/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "base/text.h"

namespace base {
namespace {

// The locale that decides numbers: the first of LC_ALL, LC_NUMERIC and LANG that is set.
std::string NumericLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

// The separator a locale name stands for, by its language (and a few territories that differ
// from their language). Read from the name, not from the locale's installed data: a static
// program cannot load that data, and Qt, which brings its own, answers the same way, so the
// window and the console front end always agree.
bool LanguageWritesComma(std::string_view name) {
  static constexpr std::array<std::string_view, 47> kComma{
      "af", "az", "be", "bg", "bs", "ca", "cs", "da", "de", "el", "es", "et", "eu", "fi", "fo", "fr",
      "gl", "hr", "hu", "hy", "id", "is", "it", "ka", "kk", "ky", "lt", "lv", "mk", "mn", "nb", "nl",
      "nn", "no", "pl", "pt", "ro", "ru", "sk", "sl", "sq", "sr", "sv", "tr", "uk", "uz", "vi"};
  static constexpr std::array<std::string_view, 8> kPointTerritories{
      "de_CH", "de_LI", "it_CH", "es_MX", "es_US", "es_PR", "es_DO", "es_GT"};
  for (const auto territory : kPointTerritories) {
    if (name.substr(0, territory.size()) == territory) return false;
  }
  const std::string_view language = name.substr(0, name.find_first_of("_.@"));
  for (const auto comma : kComma) {
    if (language == comma) return true;
  }
  return false;
}

}  // namespace

char UserDecimalSeparator() { return LanguageWritesComma(NumericLocaleName()) ? ',' : kDecimalSeparator; }

std::string ForUser(std::string numberText) {
  const size_t point = numberText.find(kDecimalSeparator);
  if (point != std::string::npos) numberText[point] = UserDecimalSeparator();
  return numberText;
}

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
