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

// How often `byte` occurs in `text`, eight bytes at a time. The hits of each byte lane are
// summed in that lane (no population count instruction is assumed), and the lanes are added
// up before any of them can overflow.
inline std::size_t CountByte(std::string_view text, char byte) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFu;
  const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
  std::size_t count = 0;
  std::size_t i = 0;
  while (i + 8 <= text.size()) {
    std::uint64_t lanes = 0;  // at most 255 hits per byte lane
    for (int words = 0; words < 255 && i + 8 <= text.size(); ++words, i += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, sizeof word);
      std::uint64_t x = word ^ pattern;
      lanes += ~(((x & kLow7) + kLow7) | x | kLow7) >> 7;
    }
    std::uint64_t pairs = (lanes & kEvenBytes) + ((lanes >> 8) & kEvenBytes);
    count += static_cast<std::size_t>((pairs * 0x0001000100010001u) >> 48);
  }
  for (; i < text.size(); ++i) {
    count += text[i] == byte ? 1 : 0;
  }
  return count;
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
