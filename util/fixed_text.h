// Fixed-capacity, zero-terminated text fields of the payment records.
//
// A record field of capacity N holds at most N-1 bytes followed by zeros. Assign cuts an
// over-long value explicitly, so a value never spills into the next field, and the record
// stays a plain value that can be zero-filled and copied whole.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "util/byte_search.h"

namespace varnex {

template <std::size_t N>
struct FixedText {
  static_assert(N >= 2, "a text field holds at least one character and its terminator");
  static constexpr std::size_t kCapacity = N;

  std::array<char, N> bytes{};

  // Replaces the content with the first N-1 bytes of `value` (up to an embedded zero).
  void Assign(std::string_view value) {
    std::size_t n = value.size() < N - 1 ? value.size() : N - 1;
    n = std::min(n, FindByte(value.substr(0, n), '\0'));
    // An empty field is all zeros, so only its new bytes need writing; most fields are
    // assigned once, into a record just zero-filled.
    bool wasEmpty = empty();
    if (n) {
      std::memcpy(bytes.data(), value.data(), n);
    }
    if (!wasEmpty) {
      std::memset(bytes.data() + n, 0, N - n);
    }
  }

  // Appends as much of `value` as fits.
  void Append(std::string_view value) {
    std::size_t len = size();
    std::size_t room = N - 1 - len;
    std::size_t n = value.size() < room ? value.size() : room;
    if (n) {
      std::memcpy(bytes.data() + len, value.data(), n);
    }
    bytes[len + n] = '\0';
  }

  void Clear() { bytes.fill('\0'); }

  // The text up to the first zero byte.
  std::string_view view() const { return std::string_view(bytes.data(), size()); }
  std::size_t size() const {
    if (bytes[0] == '\0') {
      return 0;  // most fields of a record are empty
    }
    return std::min(N, FindByte(std::string_view(bytes.data(), N), '\0'));
  }
  // "Empty" in the records' sense: the first byte is zero.
  bool empty() const { return bytes[0] == '\0'; }
};

}  // namespace varnex
