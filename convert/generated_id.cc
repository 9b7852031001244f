#include "convert/generated_id.h"

#include <array>
#include <charconv>
#include <string_view>

namespace varnex {

namespace {

long Power10(int exponent) {
  long power = 1;
  for (int i = 0; i < exponent; ++i) {
    power *= 10;
  }
  return power;
}

// Collects a short text of digits on the stack.
class StampWriter {
 public:
  void Put(char c) {
    if (size_ < buffer_.size()) {
      buffer_[size_++] = c;
    }
  }

  // `value` with at least `width` digits, zero-padded on the left and preceded by '-' when
  // negative: printf's "%W.Wld".
  void Number(long value, int width) {
    // The common case, a value of at most `width` digits, is written from the right.
    auto room = static_cast<std::size_t>(width);
    if (value >= 0 && width <= 9 && room <= buffer_.size() - size_ && value < Power10(width)) {
      for (std::size_t i = size_ + room; i > size_; --i) {
        buffer_[i - 1] = static_cast<char>('0' + value % 10);
        value /= 10;
      }
      size_ += room;
      return;
    }
    unsigned long magnitude =
        value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    if (value < 0) {
      Put('-');
    }
    std::array<char, 24> digits;
    auto result = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude);
    auto length = static_cast<int>(result.ptr - digits.data());
    for (int i = length; i < width; ++i) {
      Put('0');
    }
    for (const char* p = digits.data(); p != result.ptr; ++p) {
      Put(*p);
    }
  }

  // "%Y%m%d%H%M%S".
  void DateTime(const LocalTime& t) {
    Number(t.year, 4);
    Number(t.month, 2);
    Number(t.day, 2);
    Number(t.hour, 2);
    Number(t.minute, 2);
    Number(t.second, 2);
  }

  std::string_view view() const { return std::string_view(buffer_.data(), size_); }

 private:
  std::array<char, 48> buffer_{};
  std::size_t size_ = 0;
};

}  // namespace

void AssignGeneratedId(const LocalTime& now, std::int32_t& sequence, FixedText<36>& out) {
  StampWriter id;
  id.Put('B');
  id.DateTime(now);
  id.Number(now.millisecond, 3);
  id.Number(sequence, 6);
  ++sequence;
  out.Assign(id.view());
}

void AssignCreationTime(const LocalTime& now, FixedText<24>& out) {
  StampWriter stamp;
  stamp.DateTime(now);
  int offset = now.utcOffsetMinutes;
  stamp.Put(offset < 0 ? '-' : '+');
  if (offset < 0) {
    offset = -offset;
  }
  stamp.Number(offset / 60, 2);
  stamp.Number(offset % 60, 2);
  out.Assign(stamp.view());
}

}  // namespace varnex
