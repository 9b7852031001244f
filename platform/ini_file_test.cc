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

TEST(IniFileTest, LineEnds) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    std::string e = end;
    IniFile ini = IniFile::Parse("; note" + e + "[S]" + e + "A=1" + e + e + "B = two " + e + "[T]" +
                                 e + "C=3");
    EXPECT_EQ("1", ini.GetString("S", "A", "<none>")) << e.size();
    EXPECT_EQ("two", ini.GetString("S", "B", "<none>")) << e.size();
    EXPECT_EQ("3", ini.GetString("T", "C", "<none>")) << e.size();
    std::vector<IniLine> lines = ini.Lines();
    ASSERT_EQ(5u, lines.size()) << e.size();
    EXPECT_EQ(5, lines[2].number);  // the empty line counts, CR LF is one line end
  }
}

// UTF-16 code units as the bytes of the file, little or big endian.
std::string Utf16(std::u16string_view units, bool bigEndian = false) {
  std::string bytes;
  for (char16_t u : units) {
    char low = static_cast<char>(u & 0xFF);
    char high = static_cast<char>(u >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST(IniFileTest, TextAsUtf8) {
  const std::string le =
      Utf16(u"\uFEFF[General]\r\nBankBIC=ABCDHUHB\r\n; \u00e1rv\u0171z\U0001F600");
  const std::string utf8 = "[General]\r\nBankBIC=ABCDHUHB\r\n; \xC3\xA1rv\xC5\xB1z\xF0\x9F\x98\x80";
  const std::string saveAs = ": mentse UTF-8 vagy Unicode (UTF-16 LE) kódolásban";
  struct Case {
    const char* name;
    std::string bytes;
    std::string want;  // the text, or the reason it is refused
    bool read;
  } cases[] = {
      {"UTF-16 LE with mark", le, utf8, true},
      {"UTF-16 BE with mark", Utf16(u"\uFEFF[S]\nK=\u0151", true), "[S]\nK=\xC5\x91", true},
      {"UTF-8 with mark, as it is", "\xEF\xBB\xBF[S]\n", "\xEF\xBB\xBF[S]\n", true},
      {"CP1250, as it is", "[S]\nK=\xE1\xF5\r\n", "[S]\nK=\xE1\xF5\r\n", true},
      {"empty", "", "", true},
      {"UTF-16 LE without mark", le.substr(2),
       "UTF-16 LE kódolású, bájtsorrend-jel nélkül" + saveAs, false},
      {"UTF-16 BE without mark", Utf16(u"[General]\r\nInputPath=C:\\in\r\n", true),
       "UTF-16 BE kódolású, bájtsorrend-jel nélkül" + saveAs, false},
      {"UTF-32 LE", std::string("\xFF\xFE\0\0[\0\0\0", 8), "UTF-32 kódolású" + saveAs, false},
      {"UTF-16 LE cut", le.substr(0, le.size() - 1),
       "UTF-16 LE kódolású, de csonka vagy hibás" + saveAs, false},
      {"unpaired surrogate", Utf16(u"\uFEFF[S]\nK=") + std::string("\x00\xD8", 2) + Utf16(u"x"),
       "UTF-16 LE kódolású, de csonka vagy hibás" + saveAs, false},
      {"NUL in UTF-16", Utf16(u"\uFEFF[S]") + std::string(2, '\0'),
       "UTF-16 LE kódolású, de csonka vagy hibás" + saveAs, false},
      {"NUL in 8-bit text", std::string("[General]\nInputPath=in\0\n", 23),
       "NUL bájtot tartalmaz, nem szövegfájl", false},
  };
  for (const Case& c : cases) {
    std::string refused;
    std::optional<std::string> text = IniTextAsUtf8(c.bytes, &refused);
    EXPECT_EQ(c.read, text.has_value()) << c.name;
    EXPECT_EQ(c.want, text ? *text : refused) << c.name;
  }
}

}  // namespace
}  // namespace varnex
