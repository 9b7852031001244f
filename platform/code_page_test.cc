#include "platform/code_page.h"

#include <gtest/gtest.h>

#include "testing/sha256.h"

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

// The tables come from the operating system (iconv, or MultiByteToWideChar on Windows); both
// builds must read every byte of every code page alike, or their outputs would differ.
TEST(CodePageTest, EveryByteDecodesAsOnEveryPlatform) {
  CodePages pages = *CodePages::Open();
  struct Case {
    CodePage page;
    const char* sha256;
  } cases[] = {
      {CodePage::k437, "8a89493fb6f0c2e27bb2375a5980ee2f7fbc7713413d9a59e9980d888ef77e64"},
      {CodePage::k852, "c62756759a799f5d8744af2dfb49e852f35729db913e43eb4f11328c83580b3b"},
      {CodePage::k1250, "1e5578c74b0d0e90996527efda8fce37aab3ee7c8e32c54a93d6940ac7b177b4"},
  };
  for (const Case& c : cases) {
    std::string table;
    for (int b = 0; b < 256; ++b) {
      table.append(pages.Utf8Of(static_cast<unsigned char>(b), c.page)).push_back('|');
    }
    EXPECT_EQ(c.sha256, Sha256Hex(table)) << static_cast<int>(c.page) << ": " << table;
  }
}

}  // namespace
}  // namespace varnex
