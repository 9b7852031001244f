#include "convert/field_rules.h"

#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "convert/record_test_util.h"

namespace varnex {
namespace {

TEST(ReadAmountTest, LongestLeadingDecimalNumber) {
  struct Row {
    std::string_view text;
    double amount;
  };
  const Row rows[] = {
      {"12500,50", 12500.5},
      {"12500.50", 12500.5},
      {"1234,00", 1234.0},
      {"-3", -3.0},
      {"+2,1", 2.1},
      {".5", 0.5},
      {",5", 0.5},
      {"-,25", -0.25},
      {"12,", 12.0},
      {"12,x", 12.0},
      {"1.2.3", 1.2},
      {"1,2,3", 1.2},
      {"1e5", 1.0},
      {"0x1A", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"abc", 0.0},
      {"", 0.0},
      {"-", 0.0},
      {".", 0.0},
      {" 12", 0.0},  // no blanks skipped
      {"12 34", 12.0},
      {"007,07", 7.07},
      {"0,07", 0.07},
      {"99999999999,99", 99999999999.99},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ReadAmount(row.text), row.amount) << '"' << row.text << '"';
  }
}

TEST(ReadAmountTest, ExtremeValues) {
  EXPECT_FALSE(std::signbit(ReadAmount("-0,00")));
  EXPECT_EQ(ReadAmount(std::string(400, '9')), HUGE_VAL);
  EXPECT_EQ(ReadAmount("-" + std::string(400, '9') + ",5"), -HUGE_VAL);
  EXPECT_EQ(ReadAmount("0," + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(ReadAmount(std::string(100, '0') + "42,5"), 42.5);
}

TEST(WordTest, PiecesBetweenSingleBlanks) {
  struct Row {
    std::string_view line;
    std::string_view words;  // words 1-4 joined by "|"
  };
  const Row rows[] = {
      {"HU N I X", "HU|N|I|X"}, {"HU N I X Y", "HU|N|I|X"},
      {"HU N", "HU|N||"},       {"A  B", "A||B|"},
      {"A ", "A|||"},           {"", "|||"},
      {" A", "|A||"},           {"ABC", "ABC|||"},
      {"A B  ", "A|B||"},
  };
  for (const Row& row : rows) {
    std::array<std::string_view, 4> words;
    words.fill("stale");
    SplitWords(row.line, words);
    std::string joined = std::string(words[0]) + "|" + std::string(words[1]) + "|" +
                         std::string(words[2]) + "|" + std::string(words[3]);
    EXPECT_EQ(joined, row.words) << '"' << row.line << '"';
  }
}

TEST(WordTest, TrimBlanks) {
  EXPECT_EQ(TrimBlanks("  T AB  "), "T AB");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  EXPECT_EQ(TrimBlanks("X"), "X");
}

TEST(FieldReaderTest, StopsBeforeTheBlockTrailer) {
  MtMessage message = MakeMessage({{"72", {"A", "B", "-}", "$"}},
                                   {"70", {"X -} Y", "Z"}},
                                   {"59", {"/IBAN", "NAME"}},
                                   {"71A", {}}});
  FieldReader asRead(&message, false);
  FieldReader mapped(&message, true);
  EXPECT_EQ(asRead.Find("72").count(), 4);
  EXPECT_EQ(mapped.Find("72").count(), 2);
  EXPECT_EQ(mapped.Find("72").line(3), "");
  EXPECT_TRUE(mapped.Find("70").present());
  EXPECT_EQ(mapped.Find("70").count(), 0);
  EXPECT_EQ(mapped.Find("59").count(), 2);
  EXPECT_TRUE(mapped.Find("71A").present());
  EXPECT_FALSE(mapped.Find("71a").present());
  EXPECT_FALSE(FieldReader(nullptr, true).Find("72").present());
}

TEST(KeywordRuleTest, SplitTrimAndMatch) {
  MtMessage message = MakeMessage({{"72", {"/BNF/INVOICE 12", "SURGOS EXPRESS"}}, {"70", {}}});
  FieldLines info = FieldReader(&message, false).Find("72");
  FieldLines empty = FieldReader(&message, false).Find("70");
  FieldLines absent = FieldReader(&message, false).Find("23E");
  struct Row {
    std::string_view keywords;
    const FieldLines* field;
    bool match;
  };
  const Row rows[] = {
      {"EXPRESS", &info, true},
      {"URGENT, EXPRESS", &info, true},  // second item, trimmed
      {"URGENT,EXPRESS ", &info, true},
      {",EXPRESS", &info, false},  // an empty first item ends the list
      {"URGENT,,EXPRESS", &info, false},
      {"URGENT,", &info, false},
      {"URGENT,   ", &info, true},  // an all-blank item matches any line
      {"express", &info, false},    // case-sensitive
      {"INVOICE 12", &info, true},
      {"", &info, false},
      {"EXPRESS", &absent, false},
      {"   ", &empty, false},  // a field without lines matches nothing
  };
  for (const Row& row : rows) {
    EXPECT_EQ(KeywordRuleMatches(*row.field, row.keywords), row.match)
        << '"' << row.keywords << '"';
  }
}

}  // namespace
}  // namespace varnex
