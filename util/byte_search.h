// Searching the short texts of payment orders for one byte, or either of two.
//
// memchr is fastest on long texts, but each call has a fixed cost that dominates on lines and
// values of a few dozen bytes, which are searched by the hundred per order. FindByte reads
// eight bytes at a time in plain, inlined code.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace varnex {

// The index of the first `byte` in `text` at or after `from`, as text.find(byte, from) gives
// it; npos when there is none.
inline std::size_t FindByte(std::string_view text, char byte, std::size_t from = 0) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    std::uint64_t x = word ^ pattern;
    // The high bit of each byte of `zero` is set exactly where that byte of x is zero.
    std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
    if (zero != 0) {
      int bit = std::endian::native == std::endian::little ? std::countr_zero(zero)
                                                           : std::countl_zero(zero);
      return i + static_cast<std::size_t>(bit / 8);
    }
  }
  for (; i < text.size(); ++i) {
    if (text[i] == byte) {
      return i;
    }
  }
  return std::string_view::npos;
}

// The index of the first byte in `text` at or after `from` that is `a` or `b`, as
// text.find_first_of of the two gives it; npos when there is none.
inline std::size_t FindEitherByte(std::string_view text, char a, char b, std::size_t from = 0) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  const std::uint64_t patternA = kOnes * static_cast<unsigned char>(a);
  const std::uint64_t patternB = kOnes * static_cast<unsigned char>(b);
  // The high bit of each byte of the result is set exactly where that byte of x is zero.
  auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    std::uint64_t zero = zeroBytes(word ^ patternA) | zeroBytes(word ^ patternB);
    if (zero != 0) {
      int bit = std::endian::native == std::endian::little ? std::countr_zero(zero)
                                                           : std::countl_zero(zero);
      return i + static_cast<std::size_t>(bit / 8);
    }
  }
  for (; i < text.size(); ++i) {
    if (text[i] == a || text[i] == b) {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace varnex
