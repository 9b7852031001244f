// Searching the short texts of payment orders for one byte, or either of two.
//
// memchr is fastest on long texts, but each call has a fixed cost that dominates on lines and
// values of a few dozen bytes, which are searched by the hundred per order. FindByte reads
// eight bytes at a time in plain, inlined code.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The text up to its first zero byte, as a zero-terminated field would read.
inline std::string_view UpToZero(std::string_view text) {
  return text.substr(0, FindByte(text, '\0'));
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

// The index of the first `pattern` in `text` at or after `from`, as text.find(pattern, from)
// gives it. Markers of a few bytes that start and end with rarer bytes than the text's own
// (":20:", "{1:") are found sixteen places at a time: only where both the first and the last
// byte of the pattern stand in their places is the rest compared.
inline std::size_t FindText(std::string_view text, std::string_view pattern, std::size_t from = 0) {
#if defined(__SSE2__)
  const std::size_t n = pattern.size();
  if (n >= 2 && from < text.size() && text.size() - from >= n + 15) {
    const __m128i first = _mm_set1_epi8(pattern.front());
    const __m128i last = _mm_set1_epi8(pattern.back());
    const char* data = text.data();
    std::size_t i = from;
    for (; i + n - 1 + 16 <= text.size(); i += 16) {
      __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
      __m128i atLast = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1));
      auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_and_si128(_mm_cmpeq_epi8(atFirst, first), _mm_cmpeq_epi8(atLast, last))));
      while (candidates != 0) {
        std::size_t at = i + static_cast<std::size_t>(std::countr_zero(candidates));
        if (std::memcmp(data + at + 1, pattern.data() + 1, n - 2) == 0) {
          return at;
        }
        candidates &= candidates - 1;
      }
    }
    return text.find(pattern, i);
  }
#endif
  return text.find(pattern, from);
}

// The places of two bytes in one short text, kept as bits: built in one pass over the text,
// after which each step from one place to the next costs a few instructions, where a search
// per step would start afresh each time. A message is cut this way.
class BytePlaces {
 public:
  static constexpr std::size_t kMaxBytes = 4096;

  // Marks the places of `a` and `b` in `text`; false (and nothing marked) when the text is
  // longer than kMaxBytes.
  bool Mark(std::string_view text, char a, char b) {
    if (text.size() > kMaxBytes) {
      return false;
    }
    size_ = text.size();
    std::size_t words = (size_ + 63) / 64;
    std::memset(a_.data(), 0, words * sizeof(std::uint64_t));
    std::memset(b_.data(), 0, words * sizeof(std::uint64_t));
    const char* data = text.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; i + 16 <= size_; i += 16) {
      __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
      auto bitsA = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, va)));
      auto bitsB = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, vb)));
      a_[i / 64] |= static_cast<std::uint64_t>(bitsA) << (i % 64);
      b_[i / 64] |= static_cast<std::uint64_t>(bitsB) << (i % 64);
    }
#endif
    for (; i < size_; ++i) {
      a_[i / 64] |= static_cast<std::uint64_t>(data[i] == a) << (i % 64);
      b_[i / 64] |= static_cast<std::uint64_t>(data[i] == b) << (i % 64);
    }
    return true;
  }
  // The first place of `a` (or `b`) at or after `from`; npos when there is none.
  std::size_t NextA(std::size_t from) const {
    return Next(a_, from);
  }
  std::size_t NextB(std::size_t from) const {
    return Next(b_, from);
  }

 private:
  using Bits = std::array<std::uint64_t, kMaxBytes / 64>;

  std::size_t Next(const Bits& bits, std::size_t from) const {
    if (from >= size_) {
      return std::string_view::npos;
    }
    std::size_t word = from / 64;
    std::uint64_t rest = bits[word] & (~std::uint64_t{0} << (from % 64));
    const std::size_t words = (size_ + 63) / 64;
    while (rest == 0) {
      if (++word == words) {
        return std::string_view::npos;
      }
      rest = bits[word];
    }
    return word * 64 + static_cast<std::size_t>(std::countr_zero(rest));
  }

  std::size_t size_ = 0;
  Bits a_;
  Bits b_;
};

}  // namespace varnex
