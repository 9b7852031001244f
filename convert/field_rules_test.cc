#include "convert/field_rules.h"

#include <array>

#include <gtest/gtest.h>

#include "convert/record_test_util.h"

namespace varnex {
namespace {

TEST(ReadAmountTest, OnlySwiftAmountsCarryTheirExactCents) {
  constexpr std::int64_t kNone = -1;
  struct Row {
    std::string_view text;
    std::int64_t cents;  // kNone: not an amount
  };
  const Row rows[] = {
      {"1250", 125000},
      {"1250,", 125000},
      {"1250,5", 125050},
      {"1250.50", 125050},
      {"0,07", 7},
      {"007,07", 707},
      {"1250,00  ", 125000},         // blanks after the amount
      {"0", 0},                      // zero is an amount; the instructed amount rule refuses it
      {"90071992547409,93", kNone},  // 17 characters
      {"999999999999,99", 99999999999999},  // no double holds it exactly
      {"999999999999999", 99999999999999900},
      {"1.250,00", kNone},
      {"1 250,00", kNone},
      {" 1250", kNone},
      {"-5,00", kNone},
      {"+5", kNone},
      {"2500,001", kNone},
      {"1250,009", kNone},
      {",50", kNone},
      {"12abc", kNone},
      {"abc", kNone},
      {"1e5", kNone},
      {"", kNone},
      {"   ", kNone},
      {"12,5\r", kNone},
  };
  for (const Row& row : rows) {
    AmountReading amount = ReadAmount(row.text);
    EXPECT_EQ(amount.problem.empty() ? amount.cents : kNone, row.cents) << '"' << row.text << '"';
    EXPECT_EQ(amount.problem.empty() || amount.cents == 0, true) << '"' << row.text << '"';
  }
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
