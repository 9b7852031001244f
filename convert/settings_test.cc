#include "convert/settings.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

TEST(SettingsTest, PathRule) {
  struct Case {
    const char* value;
    const char* want;
  } cases[] = {
      {"in", "/prog/in/"},            // relative to the program directory
      {"./in/../out", "/prog/out/"},  // folded
      {"/data/in/", "/data/in/"},     // no doubled separator
      {"/data/in", "/data/in/"},
      {"/data//in//", "/data/in/"},
      {"", ""},  // empty stays empty
      {"..", "/"},
  };
  for (const Case& c : cases) {
    Settings s;
    s.Load("/prog/varnex.ini", std::string("[General]\nInputPath=") + c.value + "\n", "/prog/");
    EXPECT_EQ(c.want, s.inputPath) << c.value;
  }
}

TEST(SettingsTest, DefaultsAndQuirks) {
  Settings missing;
  missing.Load("/prog/varnex.ini", "", "/prog/");
  EXPECT_EQ("CCU", missing.urgentTrgtExtension);
  EXPECT_EQ("", missing.outputPath);
  EXPECT_EQ(0, missing.convertIntToHua);

  Settings s;
  s.Load("/prog/varnex.ini",
         "[PrioUrgent]\nTrgtExtension=\nTrgtField=Cd\n[INT2HUA]\nConvertINTToHUA=1\n"
         "[PrioNormal]\nTrgtField=Prtry\n[ExchRate]\nSrcField=72\n",
         "/prog/");
  EXPECT_EQ("", s.urgentTrgtExtension);  // present but empty stays empty
  EXPECT_EQ(1, s.convertIntToHua);
  EXPECT_EQ(0, s.autofillChargesAccount);
  EXPECT_EQ("Cd", s.urgentTrgtField);
  EXPECT_EQ("Prtry", s.normalTrgtField);
  EXPECT_EQ("72", s.xchgSrcField);
}

TEST(SettingsTest, KeywordsReachTheRecordCodePage) {
  CodePages pages = *CodePages::Open();
  // "SÜRGŐS" in UTF-8, as a Linux editor writes it, and in CP1250, as copied from Windows.
  Settings utf8;
  utf8.Load("/p/varnex.ini", "[PrioUrgent]\nSrcKeyword=S\xc3\x9cRG\xc5\x90S, X\n", "/p/");
  Settings cp1250;
  cp1250.Load("/p/varnex.ini", "[PrioUrgent]\nSrcKeyword=S\xdcRG\xd5S, X\n", "/p/");
  utf8.ToRecordCodePage(pages);
  cp1250.ToRecordCodePage(pages);
  EXPECT_EQ("S\x9aRG\x8aS, X", utf8.urgentSrcKeyword);  // CP852: U-umlaut 0x9A, O-double 0x8A
  EXPECT_EQ(utf8.urgentSrcKeyword, cp1250.urgentSrcKeyword);
}

// "Section/Key" for every key of an INI text, in file order; comments and blank lines skipped.
std::vector<std::string> KeysOf(const std::string& text) {
  std::vector<std::string> keys;
  std::istringstream lines(text);
  std::string line;
  std::string section;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.empty() || line.front() == ';') {
      continue;
    }
    if (line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
    } else {
      keys.push_back(section + "/" + line.substr(0, line.find('=')));
    }
  }
  return keys;
}

// The shipped example documents exactly the keys the program reads, each once.
TEST(SettingsTest, ExampleFileHasEveryKeyTheProgramReads) {
  std::vector<std::string> read;
  for (const SettingsKey& k : Settings::KeysRead()) {
    read.push_back(std::string(k.section) + "/" + std::string(k.key));
  }
  std::vector<std::string> documented = KeysOf(ReadFileBytes(VARNEX_SETTINGS_EXAMPLE));
  ASSERT_FALSE(documented.empty());
  std::sort(read.begin(), read.end());
  std::sort(documented.begin(), documented.end());
  EXPECT_EQ(read, documented);
  EXPECT_EQ(documented.end(), std::adjacent_find(documented.begin(), documented.end()));
}

}  // namespace
}  // namespace varnex
