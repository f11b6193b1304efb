#pragma once
// One hexadecimal digit's value, as the interface's texts write bytes ("\x80", "0xF4").

namespace platform::device_interface {

// 0 to 15, or -1 for a character that is no hexadecimal digit.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace platform::device_interface
