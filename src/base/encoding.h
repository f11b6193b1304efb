#pragma once
// Conversions of file contents to the UTF-8 texts used throughout the program.

#include <string>
#include <string_view>

namespace base {

// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or codes past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// Windows-1252 bytes to UTF-8 (the five unassigned bytes map to U+FFFD).
std::string Windows1252ToUtf8(std::string_view bytes);
// UTF-8 text to Windows-1252 bytes; characters without a Windows-1252 byte (and broken
// UTF-8) become "?".
std::string Utf8ToWindows1252(std::string_view text);
// UTF-16 little-endian bytes (without byte-order mark) to UTF-8; broken pairs become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-8 text to UTF-16 little-endian bytes (without byte-order mark); broken UTF-8 becomes
// U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text);
// Appends the UTF-8 bytes of one code point to `out` (the code is not checked).
void AppendUtf8(std::string& out, char32_t code);

// File bytes to UTF-8: a UTF-8 or UTF-16LE byte-order mark is honoured; text that is not
// valid UTF-8 is read as Windows-1252.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace base
