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

TEST(FormatAmountTest, TwoDecimalsWithPointOrComma) {
  struct Case {
    double value;
    const char* point;
    const char* comma;
  } cases[] = {
      {1234.5, "1234.50", "1234,50"},
      {0, "0.00", "0,00"},
      {-3.1, "-3.10", "-3,10"},
      {1000000, "1000000.00", "1000000,00"},
      {0.07, "0.07", "0,07"},
      {1234.56, "1234.56", "1234,56"},
      {99999999.99, "99999999.99", "99999999,99"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.point, FormatAmount(c.value)) << c.value;
    EXPECT_EQ(c.comma, FormatAmountComma(c.value)) << c.value;
  }
}

TEST(FormatAmountTest, SameDigitsAsPrintfAcrossRangesAndTies) {
  // Amounts as files hold them (whole cents), values just beside and on ties of the third
  // decimal, and values around the bounds of the short way through the cents.
  std::vector<double> values;
  for (std::int64_t cents = 0; cents < 200000; cents += 7) {
    values.push_back(static_cast<double>(cents) / 100);
    values.push_back(static_cast<double>(cents) / 100 + 0.005);
    values.push_back(static_cast<double>(cents) / 100 + 0.0049999);
    values.push_back(static_cast<double>(cents) / 1000);
  }
  for (double base : {1e7, 9999999.995, 123456.785, 0.125, 0.375, 2.675, 1.005}) {
    for (double value = base - 1e-6; value <= base + 1e-6; value += 1e-8) {
      values.push_back(value);
    }
    values.push_back(std::nextafter(base, 0.0));
    values.push_back(base);
    values.push_back(std::nextafter(base, 1e300));
  }
  std::uint64_t state = 42;
  for (int i = 0; i < 100000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    values.push_back(static_cast<double>(state >> 24) / 1e3);
  }
  for (double value : values) {
    std::string expected = StringPrintf("%1.2f", value);
    ASSERT_EQ(expected, FormatAmount(value)) << StringPrintf("%.17g", value);
    long long cents = 0;
    for (char c : expected) {
      if (c >= '0' && c <= '9') {
        cents = cents * 10 + (c - '0');
      }
    }
    ASSERT_EQ(cents, AmountCents(value)) << StringPrintf("%.17g", value);
  }
}

TEST(FormatIntegerTest, SignedDecimal) {
  EXPECT_EQ("-3", FormatInteger(-3));
  EXPECT_EQ("0", FormatInteger(0));
  EXPECT_EQ("200", FormatInteger(200));
  EXPECT_EQ("-9223372036854775808", FormatInteger(std::numeric_limits<std::int64_t>::min()));
}

TEST(FormatCentsTest, TwoDecimalsFromACountOfCents) {
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
    EXPECT_EQ(c.expected, FormatCents(c.cents)) << c.cents;
  }
  EXPECT_EQ("-0,05", FormatCentsComma(-5));
}

TEST(AmountCentsTest, CountsTheDigitsThatArePrinted) {
  EXPECT_EQ(123450, AmountCents(1234.5));
  EXPECT_EQ(30, AmountCents(0.1 + 0.2));  // 0.30000000000000004 prints as 0.30
  EXPECT_EQ(-310, AmountCents(-3.1));
  EXPECT_EQ(0, AmountCents(-0.001));
  EXPECT_EQ(1000000000000000000, AmountCents(1e16));
  EXPECT_EQ(std::nullopt, AmountCents(1e17));
  EXPECT_EQ(std::nullopt, AmountCents(-1e17));
  EXPECT_EQ(std::nullopt, AmountCents(std::nan("")));
  EXPECT_EQ(std::nullopt, AmountCents(std::numeric_limits<double>::infinity()));
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
