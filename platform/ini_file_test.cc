#include "platform/ini_file.h"

#include <gtest/gtest.h>

namespace varnex {
namespace {

TEST(IniFileTest, ProfileRules) {
  IniFile ini = IniFile::Parse(
      "; comment\r\n"
      "[general]\r\n"
      "  InputPath =  in  \r\n"
      "quoted=\"  a b  \"\n"
      "single='x'\n"
      "mixed=\"x'\n"
      "eq=a=b\n"
      ";BankBIC=COMMENTED\n"
      "InputPath=second\n"
      "Empty=\n"
      "[Other]\n"
      "Key=other\n"
      "[GENERAL]\n"
      "Late=ignored\n");
  struct Case {
    const char* key;
    const char* want;
  } cases[] = {
      {"INPUTPATH", "in"},    // names without regard to case, value trimmed, first key wins
      {"quoted", "  a b  "},  // one pair of quotes removed, the blanks inside stay
      {"single", "x"},       {"mixed", "\"x'"},  // unmatched quotes stay
      {"eq", "a=b"},                             // the value is the text after the first '='
      {"BankBIC", "<none>"},                     // comment lines are not keys
      {"Empty", ""},                             // present but empty
      {"Late", "<none>"},                        // only the first matching section counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, ini.GetString("General", c.key, "<none>")) << c.key;
  }
  EXPECT_EQ("other", ini.GetString("other", "key", ""));
  EXPECT_EQ("d", ini.GetString("Missing", "Key", "d"));
}

TEST(IniFileTest, IntegersFromLeadingDigits) {
  IniFile ini =
      IniFile::Parse("[S]\nA=1\nB=01\nC=1x\nD=2\nE=yes\nF=-1\nG=\nH= 7 \nI=99999999999\n");
  struct Case {
    const char* key;
    int want;
  } cases[] = {{"A", 1}, {"B", 1}, {"C", 1}, {"D", 2},          {"E", 0},
               {"F", 0}, {"G", 0}, {"H", 7}, {"I", 2147483647}, {"Missing", -5}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, ini.GetInt("S", c.key, -5)) << c.key;
  }
}

TEST(IniFileTest, ValuesCutAt4096Characters) {
  IniFile ini = IniFile::Parse("[S]\nK=" + std::string(5000, 'v') + "\n");
  EXPECT_EQ(4096u, ini.GetString("S", "K", "").size());
}

}  // namespace
}  // namespace varnex
