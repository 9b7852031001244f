#include "convert/account_utils.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace varnex {
namespace {

// The non-empty lines of a file of tests/data/refdata.
std::vector<std::string> ReadVectors(const std::string& name) {
  std::string text = ReadFileBytes(std::string(VARNEX_TEST_DATA_DIR) + "/refdata/" + name);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty()) {
      lines.push_back(line);
    }
    start = end + 1;
  }
  return lines;
}

// A Hungarian account number of two or three 8-digit blocks: the bank block carries its own
// check digit, the rest (8 or 16 digits) is checked as one account block.
bool IsHungarianAccount(std::string_view number) {
  if (number.size() == 16) {
    return CheckDomestic8(number.substr(0, 8)) && CheckDomestic16(number);
  }
  if (number.size() == 24) {
    return CheckDomestic8(number.substr(0, 8)) && CheckDomestic16(number.substr(8));
  }
  return false;
}

TEST(SafeMidTest, CutsAtBothEnds) {
  struct Row {
    std::string_view text;
    long start;
    long count;
    std::string_view mid;
  };
  const Row rows[] = {
      {"abc", 4, 1, ""},    {"abc", 3, 1, ""},        {"abc", 2, 5, "c"},
      {"abc", -2, 2, "ab"}, {"abc", 1, 0, ""},        {"abc", 1, -1, ""},
      {"", 0, 3, ""},       {"HUF1234", 0, 3, "HUF"}, {"HUF1234", 3, 100, "1234"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SafeMid(row.text, row.start, row.count), row.mid)
        << row.text << " " << row.start << " " << row.count;
  }
  EXPECT_EQ(SafeMidFrom("abc", -1), "abc");
  EXPECT_EQ(SafeMidFrom("abc", 3), "");
  EXPECT_EQ(SafeMidFrom("/DE89", 1), "DE89");
}

TEST(MatchTemplateTest, CharacterClassesAndLengths) {
  struct Row {
    std::string_view value;
    std::string_view pattern;
    std::size_t minLength;
    bool match;
  };
  const Row rows[] = {
      {"AZ", "AA", 0, true},   {"Az", "AA", 0, false},  {"az", "aa", 0, true},
      {"aZ", "$$", 0, true},   {"09", "99", 0, true},   {"A9", "##", 0, true},
      {"a9", "##", 0, false},  {"-x", "??", 0, true},   {"X-", "X-", 0, true},
      {"X+", "X-", 0, false},  {"AB", "AAAA", 2, true},  // a value shorter than the template
      {"ABC", "AA", 0, false},                           // longer than the template
      {"A", "AAAA", 2, false},                           // shorter than the minimum
      {"AB", "AB", 3, false},                            // template shorter than the minimum
      {"\xC1", "$", 0, false},                           // upper-half bytes are no letters
      {"\xB9", "?", 0, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MatchTemplate(row.value, row.pattern, row.minLength), row.match)
        << row.value << " / " << row.pattern << " / " << row.minLength;
  }
}

TEST(IbanTest, PublicValidIbansPass) {
  std::vector<std::string> ibans = ReadVectors("iban/valid.txt");
  ASSERT_GT(ibans.size(), 500u);
  for (const std::string& iban : ibans) {
    EXPECT_TRUE(IsValidIban(iban)) << iban;
  }
}

TEST(IbanTest, PublicInvalidIbansFail) {
  std::vector<std::string> ibans = ReadVectors("iban/invalid.txt");
  ASSERT_GT(ibans.size(), 40u);
  for (const std::string& iban : ibans) {
    EXPECT_FALSE(IsValidIban(iban)) << iban;
  }
}

TEST(IbanTest, CheckIsTemplateAndMod97Only) {
  // Unknown countries and wrong national lengths are not looked at.
  std::vector<std::string> ibans = ReadVectors("iban/not-registered-but-pass-mod97.txt");
  ASSERT_GT(ibans.size(), 10u);
  for (const std::string& iban : ibans) {
    EXPECT_TRUE(IsValidIban(iban)) << iban;
  }
}

TEST(IbanTest, EdgeCases) {
  struct Row {
    std::string_view candidate;
    bool valid;
  };
  const Row rows[] = {
      {"HU42117730161111101800000000", true},
      {"HU42117730161111101800000010", false},  // one digit changed
      {"HU421177301611111018", true},           // 16 account digits, zeros assumed
      {"HU421177301611111019", false},
      {"HU42117730161111101800000000000000", true},  // cut to 28 before the check
      {"hu42117730161111101800000000", false},       // lower case
      {"DE89370400440532013000", true},
      {"de89370400440532013000", false},
      {"DE89", false},                                 // 4 characters
      {"MT84MALT011000012345MTLCAST001S0000", false},  // 35 characters
      {"DE00370400440532013050", false},               // check digits 00 never pass
      {"DE8937040044053201300 ", false},
      {"", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsValidIban(row.candidate), row.valid) << row.candidate;
  }
}

TEST(IbanTest, Mod97CheckDigits) {
  EXPECT_EQ(Mod97CheckDigits("370400440532013000DE00"), "89");
  EXPECT_EQ(Mod97CheckDigits("117730161111101800000000HU00"), "42");
  // Check digits below 10 keep their leading zero.
  EXPECT_EQ(Mod97CheckDigits("00000016HU00"), "05");
  EXPECT_EQ(Mod97CheckDigits("HU"), "00");
  EXPECT_EQ(Mod97CheckDigits(""), "00");
}

TEST(IbanTest, MakeHuIbanMatchesPublishedIbans) {
  std::vector<std::string> rows = ReadVectors("hu-accounts/make-hu-iban.tsv");
  ASSERT_GT(rows.size(), 5u);
  for (std::size_t i = 1; i < rows.size(); ++i) {  // row 0 names the columns
    const std::string& row = rows[i];
    std::size_t tab1 = row.find('\t');
    std::size_t tab2 = row.find('\t', tab1 + 1);
    std::size_t tab3 = row.find('\t', tab2 + 1);
    ASSERT_NE(tab3, std::string::npos) << row;
    std::string bankCode = row.substr(0, tab1);
    std::string account = row.substr(tab1 + 1, tab2 - tab1 - 1);
    std::string expected = row.substr(tab2 + 1, tab3 - tab2 - 1);
    std::string iban = MakeHuIban(bankCode, account);
    EXPECT_EQ(iban, expected) << row;
    EXPECT_TRUE(IsValidIban(iban)) << row;
  }
}

TEST(IbanTest, MakeHuIbanPadsOrCutsTheAccountTo16) {
  EXPECT_EQ(MakeHuIban("11773016", "11111018"), "HU42117730161111101800000000");
  EXPECT_EQ(MakeHuIban("11773016", "1111101800000000999"), "HU42117730161111101800000000");
  for (const std::string& number : ReadVectors("hu-accounts/valid.txt")) {
    if (number.size() == 24) {
      std::string iban = MakeHuIban(number.substr(0, 8), number.substr(8));
      EXPECT_TRUE(IsValidIban(iban)) << number;
      EXPECT_EQ(iban.substr(4), number);
    }
  }
}

TEST(IbanTest, HuIbanSourceIsDigitsOnly) {
  struct Row {
    const char* bankCode;
    const char* account;
    bool source;
  } rows[] = {
      {"11773016", "11111018", true},
      {"11773016", "1111101800000000", true},
      {"11773016", "", false},
      {"11773016", "11111018-", false},
      {"11773016", "11773016-11111018", false},
      {"11773016", "KOVACS", false},
      {"11773016", "1111 018", false},
      {"11773016", "111110180", false},
      {"1177301", "11111018", false},
      {"117730160", "11111018", false},
      {"1177301A", "11111018", false},
      {"", "11111018", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsHuIbanSource(row.bankCode, row.account), row.source)
        << row.bankCode << " " << row.account;
  }
}

TEST(DomesticAccountTest, PublicAccountNumbers) {
  std::vector<std::string> valid = ReadVectors("hu-accounts/valid.txt");
  ASSERT_GT(valid.size(), 10u);
  for (const std::string& number : valid) {
    EXPECT_TRUE(IsHungarianAccount(number)) << number;
  }
  std::vector<std::string> invalid = ReadVectors("hu-accounts/invalid.txt");
  ASSERT_GT(invalid.size(), 20u);
  for (const std::string& number : invalid) {
    EXPECT_FALSE(IsHungarianAccount(number)) << number;
  }
}

TEST(DomesticAccountTest, BlockChecks) {
  struct Row {
    std::string_view digits;
    bool valid;
  };
  // 11773016: 9*1 + 7*1 + 3*7 + 1*7 + 9*3 + 7*0 + 3*1 = 74, so the check digit is 10 - 4;
  // 10032000: the sum is 30, so the check digit is 0.
  const Row rows8[] = {
      {"11773016", true}, {"11773017", false},  {"10032000", true},  {"00000000", true},
      {"1177301", false}, {"117730160", false}, {"1177301O", false}, {"1177 016", false},
  };
  for (const Row& row : rows8) {
    EXPECT_EQ(CheckDomestic8(row.digits), row.valid) << row.digits;
  }
  const Row rows16[] = {
      {"1111101800000000", true},  {"1111101800000001", false}, {"6667654851100005", true},
      {"6667654851100006", false}, {"111110180000000", false},  {"11111018-0000000", false},
  };
  for (const Row& row : rows16) {
    EXPECT_EQ(CheckDomestic16(row.digits), row.valid) << row.digits;
  }
}

TEST(BicTest, PublicVectors) {
  std::vector<std::string> valid = ReadVectors("bic/valid.txt");
  ASSERT_GT(valid.size(), 400u);
  for (const std::string& bic : valid) {
    EXPECT_TRUE(IsWellFormedBic(bic)) << bic;
  }
  // The form check is letters and digits only; the schema's stricter pattern is not its job.
  for (const std::string& bic : ReadVectors("bic/schema-invalid-but-well-formed.txt")) {
    EXPECT_TRUE(IsWellFormedBic(bic)) << bic;
  }
  std::vector<std::string> invalid = ReadVectors("bic/invalid.txt");
  ASSERT_GT(invalid.size(), 10u);
  for (const std::string& bic : invalid) {
    EXPECT_FALSE(IsWellFormedBic(bic)) << bic;
  }
}

TEST(BicTest, FormAndBlanks) {
  struct Row {
    std::string_view field;
    bool valid;
  };
  const Row rows[] = {
      {"OTPVHUHB", true},   {"OTPVHUHBXXX", true}, {"OTPVHUHB123", true},
      {"OTPVHUHB ", true},  {"OTPVHUHB XX", true},  // a blank ends the text
      {"OTPVHUHBX", false}, {"OTP1HUHB", false},   {"OTP", false},
      {"", false},          {" OTPVHUHB", false},  {std::string_view("OTPVHUHB\0XX", 11), true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsWellFormedBic(row.field), row.valid) << row.field;
  }
}

}  // namespace
}  // namespace varnex
