#include "convert/generated_id.h"

#include <gtest/gtest.h>

#include "util/string_printf.h"

namespace varnex {
namespace {

TEST(GeneratedIdTest, DigitsAsPrintfWritesThem) {
  // Fields within their widths are written digit by digit; wider and negative ones as printf
  // would write them.
  const LocalTime times[] = {
      {2016, 3, 15, 9, 5, 7, 45, 60},     {2026, 12, 31, 23, 59, 59, 999, -90},
      {0, 0, 0, 0, 0, 0, 0, 0},           {12345, 1, 2, 3, 4, 5, 6, 0},
      {-7, -1, 100, 24, 60, 61, 1000, 5}, {999999999, 99, 99, 99, 99, 99, 9999, -1},
  };
  for (const LocalTime& t : times) {
    for (std::int32_t sequence : {0, 7, 999999, 1000000, 2147483646, -3}) {
      std::string row = StringPrintf("%d-%d-%d %d:%d:%d.%d seq %d", t.year, t.month, t.day, t.hour,
                                     t.minute, t.second, t.millisecond, sequence);
      std::int32_t advanced = sequence;
      FixedText<36> id;
      AssignGeneratedId(t, advanced, id);
      std::string expected =
          StringPrintf("B%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%3.3d%6.6d", t.year, t.month, t.day, t.hour,
                       t.minute, t.second, t.millisecond, sequence);
      EXPECT_EQ(expected.substr(0, 35), id.view()) << row;
      EXPECT_EQ(sequence + 1, advanced) << row;
    }
    FixedText<24> stamp;
    AssignCreationTime(t, stamp);
    int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    std::string expected = StringPrintf(
        "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%c%2.2d%2.2d", t.year, t.month, t.day, t.hour, t.minute,
        t.second, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    EXPECT_EQ(expected.substr(0, 23), stamp.view()) << t.year;
  }
}

}  // namespace
}  // namespace varnex
