#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/error.h"

namespace base {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the leading decimal number of `s` (sign, digits, point, exponent), 0 when none.
size_t DecimalPrefixLength(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && IsDigit(s[j])) ++j, ++expDigits;
    if (expDigits > 0) i = j;
  }
  return i;
}

double RadixValue(std::string_view s, int radix) {
  double value = 0;
  for (char c : s) {
    int digit;
    if (IsDigit(c)) {
      digit = c - '0';
    } else if (radix == 16 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')) {
      digit = (c | 0x20) - 'a' + 10;
    } else {
      break;
    }
    if (digit >= radix) break;
    value = value * radix + digit;
  }
  return value;
}

template <typename Int>
Int ConvertChecked(double value) {
  const double rounded = RoundHalfEven(value);
  if (std::isnan(rounded) || rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    throw Error(err::kOverflow, "Conversion");
  }
  return static_cast<Int>(rounded);
}

}  // namespace

double Val(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  std::string_view s = text.substr(start);
  if (s.size() >= 2 && s[0] == '&') {
    const char kind = static_cast<char>(s[1] | 0x20);
    if (kind == 'h' || kind == 'o') {
      const double value = RadixValue(s.substr(2), kind == 'h' ? 16 : 8);
      if (!std::isfinite(value)) throw Error(err::kOverflow, "Val");
      return value;
    }
  }
  const size_t length = DecimalPrefixLength(s);
  if (length == 0) return 0;
  // from_chars, unlike strtod, reads the point whatever the process locale is.
  std::string number(s.substr(0, length));
  for (char& c : number) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  const bool negative = number.front() == '-';
  const size_t first = (number.front() == '-' || number.front() == '+') ? 1 : 0;
  double value = 0;
  const auto result = std::from_chars(number.data() + first, number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small underflows to zero; too large is an overflow.
    const auto exponent = number.find_first_of("eE");
    const bool tiny = exponent != std::string::npos && number[exponent + 1] == '-';
    if (!tiny) throw Error(err::kOverflow, "Val");
    return 0;
  }
  return negative ? -value : value;
}

bool IsNumber(std::string_view text) {
  text = TrimBlanks(text);
  return !text.empty() && DecimalPrefixLength(text) == text.size();
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

int16_t CInt(double value) { return ConvertChecked<int16_t>(value); }
int32_t CLng(double value) { return ConvertChecked<int32_t>(value); }
uint8_t CByte(double value) { return ConvertChecked<uint8_t>(value); }

float CSng(double value) {
  if (!std::isnan(value) && std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    throw Error(err::kOverflow, "Conversion");
  }
  return static_cast<float>(value);
}

namespace {

// Folds the character starting at text[i] in place into `out` and returns how many bytes it
// took: ASCII capitals, and the Latin-1 capitals U+00C0..U+00DE of UTF-8 except U+00D7.
inline size_t FoldAt(std::string_view text, size_t i, unsigned char out[2]) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c >= 'A' && c <= 'Z') {
    out[0] = static_cast<unsigned char>(c + 32);
    return 1;
  }
  if (c == 0xC3 && i + 1 < text.size()) {
    auto next = static_cast<unsigned char>(text[i + 1]);
    if (next >= 0x80 && next <= 0x9E && next != 0x97) next = static_cast<unsigned char>(next + 0x20);
    out[0] = c;
    out[1] = next;
    return 2;
  }
  out[0] = c;
  return 1;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  unsigned char folded[2];
  for (size_t i = 0; i < text.size();) {
    const size_t n = FoldAt(text, i, folded);
    out.append(reinterpret_cast<const char*>(folded), n);
    i += n;
  }
  return out;
}

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7FULL;
constexpr uint64_t EachByte(uint8_t value) { return 0x0101010101010101ULL * value; }

// Up to eight bytes of `text` from `i` as one word (missing bytes 0).
uint64_t WordAt(std::string_view text, size_t i) {
  uint64_t word = 0;
  if (text.size() - i >= 8) {
    std::memcpy(&word, text.data() + i, 8);
    return word;
  }
  for (size_t k = 0; i + k < text.size(); ++k) word |= static_cast<uint64_t>(static_cast<unsigned char>(text[i + k])) << (8 * k);
  return word;
}

// An all-ASCII word with its capitals made small, eight bytes at a time.
uint64_t FoldAsciiWord(uint64_t word) {
  const uint64_t heptets = word & kLowSevenBits;
  const uint64_t aboveZ = heptets + EachByte(0x7F - 'Z');
  const uint64_t fromA = heptets + EachByte(0x80 - 'A');
  const uint64_t capitals = (fromA ^ aboveZ) & ~word & kHighBits;
  return word | (capitals >> 2);
}

bool EqualsNoCaseSlow(std::string_view a, std::string_view b) {
  unsigned char fa[2];
  unsigned char fb[2];
  for (size_t i = 0; i < a.size();) {
    const size_t na = FoldAt(a, i, fa);
    const size_t nb = FoldAt(b, i, fb);
    if (na != nb || fa[0] != fb[0] || (na == 2 && fa[1] != fb[1])) return false;
    i += na;
  }
  return true;
}

// Texts with other than ASCII letters: folded first, then hashed the same way. Folding keeps
// such a text non-ASCII, so equal texts always take the same path.
size_t FoldedHashSlow(std::string_view text) {
  uint64_t hash = 0x9E3779B97F4A7C15ULL ^ text.size();
  const std::string folded = FoldCase(text);
  for (size_t i = 0; i < folded.size(); i += 8) {
    hash = (hash ^ WordAt(folded, i)) * 0xFF51AFD7ED558CCDULL;
    hash ^= hash >> 32;
  }
  return static_cast<size_t>(hash);
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  for (size_t i = 0; i < a.size(); i += 8) {
    const uint64_t wa = WordAt(a, i);
    const uint64_t wb = WordAt(b, i);
    if (((wa | wb) & kHighBits) != 0) return EqualsNoCaseSlow(a, b);
    if (FoldAsciiWord(wa) != FoldAsciiWord(wb)) return false;
  }
  return true;
}

size_t FoldedHash(std::string_view text) {
  uint64_t hash = 0x9E3779B97F4A7C15ULL ^ text.size();
  for (size_t i = 0; i < text.size(); i += 8) {
    const uint64_t word = WordAt(text, i);
    if ((word & kHighBits) != 0) return FoldedHashSlow(text);
    hash = (hash ^ FoldAsciiWord(word)) * 0xFF51AFD7ED558CCDULL;
    hash ^= hash >> 32;
  }
  return static_cast<size_t>(hash);
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view TrimWhitespace(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

std::string Field(std::string_view text, int index, std::string_view separator) {
  if (index < 1) return {};
  const auto pieces = Split(text, separator);
  if (static_cast<size_t>(index) > pieces.size()) return {};
  return pieces[static_cast<size_t>(index) - 1];
}

namespace {
std::vector<std::string> Tokens(std::string_view text, std::string_view separator) {
  std::vector<std::string> tokens;
  for (auto& piece : Split(text, separator)) {
    if (!piece.empty()) tokens.push_back(std::move(piece));
  }
  return tokens;
}
}  // namespace

std::string TokenFromLeft(std::string_view text, int n, std::string_view separator) {
  const auto tokens = Tokens(text, separator);
  if (n < 1 || static_cast<size_t>(n) > tokens.size()) return {};
  return tokens[static_cast<size_t>(n) - 1];
}

std::string TokenFromRight(std::string_view text, int n, std::string_view separator) {
  const auto tokens = Tokens(text, separator);
  if (n < 1 || static_cast<size_t>(n) > tokens.size()) return {};
  return tokens[tokens.size() - static_cast<size_t>(n)];
}

std::string FormatPlaceholders(std::string_view text, const std::vector<std::string>& values) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const auto n = static_cast<size_t>(text[i + 1] - '0');
      if (n <= values.size()) {
        out += values[n - 1];
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(from, start);
    if (at == std::string_view::npos) break;
    out.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

}  // namespace base
