// Character classes of 7-bit ASCII only: bytes of a code page's upper half are never letters
// or digits here, whatever the locale.
#pragma once

namespace varnex {

inline bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
inline bool IsLower(char c) {
  return c >= 'a' && c <= 'z';
}
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
inline bool IsLetter(char c) {
  return IsUpper(c) || IsLower(c);
}

}  // namespace varnex
