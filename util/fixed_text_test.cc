#include "util/fixed_text.h"

#include <string>

#include <gtest/gtest.h>

namespace varnex {
namespace {

// After each step of a sequence of assignments and appends, the field reads as expected and
// every byte after its text is zero, as a record copied or compared whole needs.
TEST(FixedTextTest, EveryStepLeavesTheTextFollowedByZeros) {
  struct Step {
    bool append;
    std::string value;
    const char* expected;
  };
  const Step steps[] = {
      {false, "ABCDEFGH", "ABCDEFG"},  // cut to the capacity less one
      {false, "XY", "XY"},             // shorter over longer: the rest zeroed
      {true, "12345", "XY12345"},      // appended up to what fits
      {false, "", ""},
      {false, std::string("P\0Q", 3), "P"},  // up to an embedded zero
      {true, "RS", "PRS"},
      {false, "LONGER", "LONGER"},
  };
  FixedText<8> field;
  for (const Step& step : steps) {
    if (step.append) {
      field.Append(step.value);
    } else {
      field.Assign(step.value);
    }
    EXPECT_EQ(step.expected, field.view()) << step.value;
    for (std::size_t i = field.size(); i < field.bytes.size(); ++i) {
      EXPECT_EQ('\0', field.bytes[i]) << step.value << " byte " << i;
    }
  }
}

}  // namespace
}  // namespace varnex
