#include "output/epc_characters.h"

#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace varnex {
namespace {

const CodePages& Pages() {
  static const std::optional<CodePages> pages = CodePages::Open();
  return *pages;
}

constexpr std::string_view kSet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/-?:().,'+ ";

TEST(EpcCharactersTest, SetIsExactlyTheBasicLatinCharacters) {
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    EXPECT_EQ(kSet.find(c) != std::string_view::npos, IsEpcCharacter(c)) << b;
  }
  EXPECT_TRUE(IsEpcText(kSet));
  EXPECT_FALSE(IsEpcText("ab_c"));
}

TEST(EpcCharactersTest, EveryByteOfBothCodePagesBecomesSetCharacters) {
  // Only these become nothing: the soft hyphen and the spacing diacritics.
  constexpr std::u32string_view kDropped = U"\u00AD\u00A8\u00B8\u02C7\u02D8\u02D9\u02DB\u02DD";
  for (CodePage page : {CodePage::k437, CodePage::k852}) {
    EpcTransliterator epc(Pages(), page);
    for (int b = 0; b < 256; ++b) {
      auto byte = static_cast<unsigned char>(b);
      char32_t codePoint = Pages().CodePoint(byte, page);
      std::string_view r = epc.Of(byte);
      EXPECT_TRUE(HasEpcReplacement(codePoint)) << b;
      EXPECT_EQ(EpcReplacement(codePoint), r) << b;
      EXPECT_TRUE(IsEpcText(r)) << b;
      EXPECT_LE(r.size(), kMaxEpcExpansion) << b;
      EXPECT_EQ(r.empty(), kDropped.find(codePoint) != std::u32string_view::npos) << b;
      if (b < 0x80 && IsEpcCharacter(static_cast<char>(b))) {
        EXPECT_EQ(std::string(1, static_cast<char>(b)), r);
      }
    }
  }
}

TEST(EpcCharactersTest, ReplacementsByClass) {
  struct Case {
    char32_t codePoint;
    const char* want;
  } cases[] = {
      {U'ő', "o"},    {U'Ű', "U"},      {U'Ä', "A"},  {U'č', "c"},   {U'ł', "l"},   {U'Đ', "D"},
      {U'ø', "o"},    {U'ı', "i"},      {U'ß', "ss"}, {U'Æ', "AE"},  {U'œ', "oe"},  {U'þ', "th"},
      {U'&', "+"},    {U'"', "'"},      {U'«', "'"},  {U'[', "("},   {U'>', ")"},   {U'_', "-"},
      {U'\\', "/"},   {U';', ","},      {U'@', "."},  {U'£', "GBP"}, {U'½', "1/2"}, {U'±', "+-"},
      {U'Θ', "TH"},   {U'─', "-"},      {U'║', "/"},  {U'╬', "+"},   {U'▓', "."},   {U'\t', " "},
      {U'\x7F', " "}, {U'\u00A0', " "}, {U'?', "?"},  {U'€', "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, EpcReplacement(c.codePoint)) << static_cast<std::uint32_t>(c.codePoint);
  }
  EXPECT_FALSE(HasEpcReplacement(U'€'));
}

TEST(EpcCharactersTest, IdentifierRules) {
  constexpr const char* kChars =
      "csak az EPC karakterkészlet karakterei lehetnek "
      "(a–z, A–Z, 0–9, / - ? : ( ) . , ' + és szóköz)";
  constexpr const char* kSlashEdge = "nem kezdődhet és nem végződhet „/” jellel";
  struct Case {
    const char* id;
    const char* want;
  } cases[] = {
      {"MSG-2024/001 (A)", ""}, {"A/B", ""},
      {"/ABC", kSlashEdge},     {"ABC/", kSlashEdge},
      {"/", kSlashEdge},        {"A//B", "nem tartalmazhat „//” jelet"},
      {"A_B", kChars},          {"\xc3\xa4", kChars},  // ä in UTF-8
      {"A\x84", kChars},                               // ä in CP852
      {"/_", kChars},           {"", "nem lehet üres"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, EpcIdentifierRule(c.id)) << c.id;
  }
}

// What Append gives for `utf8` written in CP852: the text appended after "X:", the bytes
// it took, and whether it changed or cut the text.
std::string Append(std::string_view utf8, std::size_t maxChars) {
  std::string out = "X:";
  EpcTransliteration r =
      EpcTransliterator(Pages(), CodePage::k852)
          .Append(Pages().Recode(utf8, CodePage::kUtf8, CodePage::k852), maxChars, &out);
  return out + "|" + std::to_string(r.bytes) + (r.changed ? " changed" : "") +
         (r.cut ? " cut" : "");
}

TEST(EpcCharactersTest, AppendCutsOnlyBetweenWholeReplacements) {
  struct Case {
    const char* utf8;
    std::size_t maxChars;
    const char* want;
  } cases[] = {
      {"Árvíztűrő tükörfúrógép", 40, "X:Arvizturo tukorfurogep|22 changed"},
      {"Straße", 7, "X:Strasse|6 changed"},
      {"Straße", 6, "X:Strass|5 changed cut"},
      {"Straße", 5, "X:Stra|4 cut"},
      {"Kft.", 4, "X:Kft.|4"},
      {"A&B_C", 3, "X:A+B|3 changed cut"},
      {"ab\u00ADc", 2, "X:ab|3 changed cut"},  // the dropped soft hyphen still fits
      {"", 0, "X:|0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, Append(c.utf8, c.maxChars)) << c.utf8 << " " << c.maxChars;
  }
}

}  // namespace
}  // namespace varnex
