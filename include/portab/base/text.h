#pragma once
// Text helpers shared by every subsystem: the numeric value of a text, whole-number
// conversions with overflow checks, case folding, fields and tokens of separated texts,
// and "%1".."%9" placeholder formatting.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// The numeric value of a text: the longest leading part that reads as a number
// (after leading blanks and tabs), 0 when there is none. Reads an optional sign,
// digits with an optional decimal point and exponent ("E" or "D"), or "&H" hex and
// "&O" octal whole numbers. Raises the overflow error (6) when the number is too large.
double Val(std::string_view text);
// The whole text, blanks around it aside, is one decimal number (what Val reads in full).
bool IsNumber(std::string_view text);

// Conversions to whole numbers: rounding halves to the even neighbour, the overflow
// error (6) when the result does not fit.
int16_t CInt(double value);
int32_t CLng(double value);
uint8_t CByte(double value);
// Single precision; a value beyond its range raises the overflow error (6).
float CSng(double value);
// `value` rounded to a whole number, halves to the even neighbour.
double RoundHalfEven(double value);

// Case folding for keys and names: ASCII letters and the Latin-1 letters of UTF-8.
std::string FoldCase(std::string_view text);
// Whether two texts are equal after case folding.
bool EqualsNoCase(std::string_view a, std::string_view b);
// A hash of the folded text, computed without building it (equal under EqualsNoCase → equal hash).
size_t FoldedHash(std::string_view text);
// Hash and equality for unordered containers keyed without regard to case; both are
// transparent, so a string_view can be looked up without building a string.
struct FoldedHasher {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return FoldedHash(text); }
};
struct FoldedEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};
// The text with the ASCII letters a-z made capitals; every other byte stays.
std::string ToUpperAscii(std::string_view text);

// Removes leading and trailing blanks (spaces only).
std::string_view TrimBlanks(std::string_view text);
// Removes leading and trailing blanks, tabs, CR and LF.
std::string_view TrimWhitespace(std::string_view text);

// Splits at every separator; an empty text gives one empty piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// The Index-th piece (from 1) of Text between separators; empty past the last piece.
std::string Field(std::string_view text, int index, std::string_view separator);

// The n-th token (from 1) counted from the left or from the right, where tokens are the
// non-empty pieces between separators (runs of separators count as one).
std::string TokenFromLeft(std::string_view text, int n, std::string_view separator = " ");
std::string TokenFromRight(std::string_view text, int n, std::string_view separator = " ");

// Replaces "%1".."%9" by the matching value of the list in one pass, left to right;
// a placeholder without a value stays as it is.
std::string FormatPlaceholders(std::string_view text, const std::vector<std::string>& values);

// Replaces every occurrence of `from`, left to right without overlap; an empty `from` changes
// nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace base
