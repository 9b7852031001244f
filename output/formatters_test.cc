#include "output/formatters.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "util/string_printf.h"

namespace varnex {
namespace {

const CodePages& Pages() {
  static const std::optional<CodePages> pages = CodePages::Open();
  return *pages;
}

TEST(FormatIsoDateTest, SeparatorsAlwaysWritten) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"20160315", "2016-03-15"}, {"", "--"},
      {"2016", "2016--"},         {"201603", "2016-03-"},
      {"2016031", "2016-03-1"},   {"2016031599", "2016-03-15"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FormatIsoDate(c.input)) << c.input;
  }
}

TEST(FormatIsoDateTimeTest, OffsetComesFromTheStamp) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"20160115083005+0100", "2016-01-15T08:30:05+01:00"},  // winter, Central Europe
      {"20160715083005+0200", "2016-07-15T08:30:05+02:00"},  // summer
      {"20160315083005-0330", "2016-03-15T08:30:05-03:30"},
      {"20160315083005+0000", "2016-03-15T08:30:05+00:00"},
      {"20160315083005", "2016-03-15T08:30:05"},
      {"20160315083005+01", "2016-03-15T08:30:05"},
      {"", "--T::"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FormatIsoDateTime(c.input)) << c.input;
  }
}

TEST(FormatIntegerTest, SignedDecimal) {
  EXPECT_EQ("-3", FormatInteger(-3));
  EXPECT_EQ("0", FormatInteger(0));
  EXPECT_EQ("200", FormatInteger(200));
  EXPECT_EQ("-9223372036854775808", FormatInteger(std::numeric_limits<std::int64_t>::min()));
}

TEST(FormatAmountTest, TwoDecimalsFromACountOfCents) {
  struct Case {
    std::int64_t cents;
    const char* expected;
  } cases[] = {
      {0, "0.00"},
      {5, "0.05"},
      {-5, "-0.05"},
      {100, "1.00"},
      {123450, "1234.50"},
      {-310, "-3.10"},
      {std::numeric_limits<std::int64_t>::max(), "92233720368547758.07"},
      {std::numeric_limits<std::int64_t>::min(), "-92233720368547758.08"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FormatAmount(c.cents)) << c.cents;
    std::string comma = c.expected;
    comma[comma.size() - 3] = ',';
    EXPECT_EQ(comma, FormatAmountComma(c.cents)) << c.cents;
  }
}

TEST(EscapeXmlTest, FiveCharactersAmpersandFirst) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"&<>'\"", "&amp;&lt;&gt;&apos;&quot;"},
      {"&amp;", "&amp;amp;"},  // an entity in the record text is escaped again
      {"A & B", "A &amp; B"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, EscapeXml(c.input)) << c.input;
  }
}

TEST(StripAccentsTest, HungarianVowelsOnly) {
  // Árvíztűrő tükörfúrógép in CP1250.
  EXPECT_EQ("Arvizturo tukorfurogep",
            StripAccents("\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p"));
  EXPECT_EQ("AEIOOOUUU", StripAccents("\xC1\xC9\xCD\xD3\xD5\xD6\xDA\xDB\xDC"));
  EXPECT_EQ("aeiooouuu", StripAccents("\xE1\xE9\xED\xF3\xF5\xF6\xFA\xFB\xFC"));
  // Every other byte stays: ä, ß and ASCII among them.
  const std::string stripped =
      "\xC1\xC9\xCD\xD3\xD5\xD6\xDA\xDB\xDC\xE1\xE9\xED\xF3\xF5\xF6\xFA\xFB\xFC";
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    if (stripped.find(c) == std::string::npos) {
      EXPECT_EQ(std::string(1, c), StripAccents(std::string(1, c))) << b;
    }
  }
}

TEST(ConvertCodePageTest, CodePage852Letters) {
  // é of CP852 in UTF-8.
  EXPECT_EQ("\xC3\xA9", ConvertCodePage("\x82", CodePage::k852, CodePage::kUtf8, Pages()));
  // ő of CP852 in CP1250 and back.
  EXPECT_EQ("\xF5", ConvertCodePage("\x8B", CodePage::k852, CodePage::k1250, Pages()));
  EXPECT_EQ("\x8B", ConvertCodePage("\xF5", CodePage::k1250, CodePage::k852, Pages()));
  // A box-drawing character has no counterpart in CP1250.
  EXPECT_EQ("a?b", ConvertCodePage("a\xC4"
                                   "b",
                                   CodePage::k852, CodePage::k1250, Pages()));
}

}  // namespace
}  // namespace varnex
