#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace varnex {
namespace {

TEST(CodePageTest, ConvertsAndReplacesWhatIsMissing) {
  CodePages pages = *CodePages::Open();
  struct Case {
    const char* text;
    CodePage from;
    CodePage to;
    const char* want;
  } cases[] = {
      {"\x82", CodePage::k852, CodePage::kUtf8, "\xc3\xa9"},  // e-acute
      {"\x8b", CodePage::k852, CodePage::kUtf8, "\xc5\x91"},  // o-double-acute
      {"\x8b", CodePage::k852, CodePage::k1250, "\xf5"},
      {"\xf5", CodePage::k1250, CodePage::k852, "\x8b"},
      {"\x9b", CodePage::k437, CodePage::k852, "?"},  // cent sign: none in 852
      {"\xc3\xa9x", CodePage::kUtf8, CodePage::k852, "\x82x"},
      {"\xe2\x82\xac", CodePage::kUtf8, CodePage::k852, "?"},  // euro sign: none in 852
      {"\xff\xc3", CodePage::kUtf8, CodePage::k1250, "??"},    // malformed UTF-8
      {"\x81", CodePage::k1250, CodePage::kUtf8, "?"},         // undefined in 1250
      {"plain", CodePage::k437, CodePage::k852, "plain"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, pages.Recode(c.text, c.from, c.to)) << c.text;
  }
}

TEST(CodePageTest, UpperHalfNeverMapsOntoAscii) {
  // The reader converts whole INT files before cutting them; that is only sound when no
  // non-ASCII byte becomes a character the cutting looks for.
  CodePages pages = *CodePages::Open();
  for (int b = 0x80; b < 0x100; ++b) {
    unsigned char to = pages.MapByte(static_cast<unsigned char>(b), CodePage::k437, CodePage::k852);
    EXPECT_TRUE(to >= 0x80 || to == '?') << b;
  }
}

}  // namespace
}  // namespace varnex
