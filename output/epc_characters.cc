#include "output/epc_characters.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>

namespace varnex {
namespace {

constexpr bool IsSetCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
    return true;
  }
  switch (c) {
  case '/':
  case '-':
  case '?':
  case ':':
  case '(':
  case ')':
  case '.':
  case ',':
  case '\'':
  case '+':
  case ' ':
    return true;
  default:
    return false;
  }
}

struct EpcMapping {
  char32_t codePoint;
  std::string_view replacement;
};

// Every character of CP437 and CP852 that is not of the set, and the Latin letters Ð ð Ø ø
// Þ þ Œ œ ı, which neither page holds; sorted by code point.
constexpr EpcMapping kTable[] = {
    {0x0000, " "},    // NUL
    {0x0001, " "},    // control
    {0x0002, " "},    // control
    {0x0003, " "},    // control
    {0x0004, " "},    // control
    {0x0005, " "},    // control
    {0x0006, " "},    // control
    {0x0007, " "},    // control
    {0x0008, " "},    // control
    {0x0009, " "},    // tab
    {0x000A, " "},    // line feed
    {0x000B, " "},    // control
    {0x000C, " "},    // control
    {0x000D, " "},    // carriage return
    {0x000E, " "},    // control
    {0x000F, " "},    // control
    {0x0010, " "},    // control
    {0x0011, " "},    // control
    {0x0012, " "},    // control
    {0x0013, " "},    // control
    {0x0014, " "},    // control
    {0x0015, " "},    // control
    {0x0016, " "},    // control
    {0x0017, " "},    // control
    {0x0018, " "},    // control
    {0x0019, " "},    // control
    {0x001A, " "},    // end of file
    {0x001B, " "},    // escape
    {0x001C, " "},    // control
    {0x001D, " "},    // control
    {0x001E, " "},    // control
    {0x001F, " "},    // control
    {0x0021, "."},    // !
    {0x0022, "'"},    // "
    {0x0023, "."},    // #
    {0x0024, "."},    // $
    {0x0025, "."},    // %
    {0x0026, "+"},    // &
    {0x002A, "."},    // *
    {0x003B, ","},    // ;
    {0x003C, "("},    // <
    {0x003D, "."},    // =
    {0x003E, ")"},    // >
    {0x0040, "."},    // @
    {0x005B, "("},    // [
    {0x005C, "/"},    // backslash
    {0x005D, ")"},    // ]
    {0x005E, "."},    // ^
    {0x005F, "-"},    // _
    {0x0060, "'"},    // `
    {0x007B, "("},    // {
    {0x007C, "/"},    // |
    {0x007D, ")"},    // }
    {0x007E, "-"},    // ~
    {0x007F, " "},    // delete
    {0x00A0, " "},    // no-break space
    {0x00A1, "."},    // ¡
    {0x00A2, "."},    // ¢
    {0x00A3, "GBP"},  // £
    {0x00A4, "."},    // ¤
    {0x00A5, "JPY"},  // ¥
    {0x00A7, "."},    // §
    {0x00A8, ""},     // ¨
    {0x00AA, "a"},    // ª
    {0x00AB, "'"},    // «
    {0x00AC, "-"},    // ¬
    {0x00AD, ""},     // soft hyphen
    {0x00B0, "."},    // °
    {0x00B1, "+-"},   // ±
    {0x00B2, "2"},    // ²
    {0x00B4, "'"},    // ´
    {0x00B5, "u"},    // µ
    {0x00B7, "."},    // ·
    {0x00B8, ""},     // ¸
    {0x00BA, "o"},    // º
    {0x00BB, "'"},    // »
    {0x00BC, "1/4"},  // ¼
    {0x00BD, "1/2"},  // ½
    {0x00BF, "?"},    // ¿
    {0x00C1, "A"},    // Á
    {0x00C2, "A"},    // Â
    {0x00C4, "A"},    // Ä
    {0x00C5, "A"},    // Å
    {0x00C6, "AE"},   // Æ
    {0x00C7, "C"},    // Ç
    {0x00C9, "E"},    // É
    {0x00CB, "E"},    // Ë
    {0x00CD, "I"},    // Í
    {0x00CE, "I"},    // Î
    {0x00D0, "D"},    // Ð
    {0x00D1, "N"},    // Ñ
    {0x00D3, "O"},    // Ó
    {0x00D4, "O"},    // Ô
    {0x00D6, "O"},    // Ö
    {0x00D7, "x"},    // ×
    {0x00D8, "O"},    // Ø
    {0x00DA, "U"},    // Ú
    {0x00DC, "U"},    // Ü
    {0x00DD, "Y"},    // Ý
    {0x00DE, "TH"},   // Þ
    {0x00DF, "ss"},   // ß
    {0x00E0, "a"},    // à
    {0x00E1, "a"},    // á
    {0x00E2, "a"},    // â
    {0x00E4, "a"},    // ä
    {0x00E5, "a"},    // å
    {0x00E6, "ae"},   // æ
    {0x00E7, "c"},    // ç
    {0x00E8, "e"},    // è
    {0x00E9, "e"},    // é
    {0x00EA, "e"},    // ê
    {0x00EB, "e"},    // ë
    {0x00EC, "i"},    // ì
    {0x00ED, "i"},    // í
    {0x00EE, "i"},    // î
    {0x00EF, "i"},    // ï
    {0x00F0, "d"},    // ð
    {0x00F1, "n"},    // ñ
    {0x00F2, "o"},    // ò
    {0x00F3, "o"},    // ó
    {0x00F4, "o"},    // ô
    {0x00F6, "o"},    // ö
    {0x00F7, "/"},    // ÷
    {0x00F8, "o"},    // ø
    {0x00F9, "u"},    // ù
    {0x00FA, "u"},    // ú
    {0x00FB, "u"},    // û
    {0x00FC, "u"},    // ü
    {0x00FD, "y"},    // ý
    {0x00FE, "th"},   // þ
    {0x00FF, "y"},    // ÿ
    {0x0102, "A"},    // Ă
    {0x0103, "a"},    // ă
    {0x0104, "A"},    // Ą
    {0x0105, "a"},    // ą
    {0x0106, "C"},    // Ć
    {0x0107, "c"},    // ć
    {0x010C, "C"},    // Č
    {0x010D, "c"},    // č
    {0x010E, "D"},    // Ď
    {0x010F, "d"},    // ď
    {0x0110, "D"},    // Đ
    {0x0111, "d"},    // đ
    {0x0118, "E"},    // Ę
    {0x0119, "e"},    // ę
    {0x011A, "E"},    // Ě
    {0x011B, "e"},    // ě
    {0x0131, "i"},    // ı
    {0x0139, "L"},    // Ĺ
    {0x013A, "l"},    // ĺ
    {0x013D, "L"},    // Ľ
    {0x013E, "l"},    // ľ
    {0x0141, "L"},    // Ł
    {0x0142, "l"},    // ł
    {0x0143, "N"},    // Ń
    {0x0144, "n"},    // ń
    {0x0147, "N"},    // Ň
    {0x0148, "n"},    // ň
    {0x0150, "O"},    // Ő
    {0x0151, "o"},    // ő
    {0x0152, "OE"},   // Œ
    {0x0153, "oe"},   // œ
    {0x0154, "R"},    // Ŕ
    {0x0155, "r"},    // ŕ
    {0x0158, "R"},    // Ř
    {0x0159, "r"},    // ř
    {0x015A, "S"},    // Ś
    {0x015B, "s"},    // ś
    {0x015E, "S"},    // Ş
    {0x015F, "s"},    // ş
    {0x0160, "S"},    // Š
    {0x0161, "s"},    // š
    {0x0162, "T"},    // Ţ
    {0x0163, "t"},    // ţ
    {0x0164, "T"},    // Ť
    {0x0165, "t"},    // ť
    {0x016E, "U"},    // Ů
    {0x016F, "u"},    // ů
    {0x0170, "U"},    // Ű
    {0x0171, "u"},    // ű
    {0x0179, "Z"},    // Ź
    {0x017A, "z"},    // ź
    {0x017B, "Z"},    // Ż
    {0x017C, "z"},    // ż
    {0x017D, "Z"},    // Ž
    {0x017E, "z"},    // ž
    {0x0192, "f"},    // ƒ
    {0x02C7, ""},     // ˇ
    {0x02D8, ""},     // ˘
    {0x02D9, ""},     // ˙
    {0x02DB, ""},     // ˛
    {0x02DD, ""},     // ˝
    {0x0393, "G"},    // Γ
    {0x0398, "TH"},   // Θ
    {0x03A3, "S"},    // Σ
    {0x03A6, "F"},    // Φ
    {0x03A9, "O"},    // Ω
    {0x03B1, "a"},    // α
    {0x03B4, "d"},    // δ
    {0x03B5, "e"},    // ε
    {0x03C0, "p"},    // π
    {0x03C3, "s"},    // σ
    {0x03C4, "t"},    // τ
    {0x03C6, "f"},    // φ
    {0x207F, "n"},    // ⁿ
    {0x20A7, "ESP"},  // ₧
    {0x2219, "."},    // ∙
    {0x221A, "."},    // √
    {0x221E, "."},    // ∞
    {0x2229, "."},    // ∩
    {0x2248, "."},    // ≈
    {0x2261, "."},    // ≡
    {0x2264, "."},    // ≤
    {0x2265, "."},    // ≥
    {0x2310, "-"},    // ⌐
    {0x2320, "."},    // ⌠
    {0x2321, "."},    // ⌡
    {0x2500, "-"},    // ─
    {0x2502, "/"},    // │
    {0x250C, "+"},    // ┌
    {0x2510, "+"},    // ┐
    {0x2514, "+"},    // └
    {0x2518, "+"},    // ┘
    {0x251C, "+"},    // ├
    {0x2524, "+"},    // ┤
    {0x252C, "+"},    // ┬
    {0x2534, "+"},    // ┴
    {0x253C, "+"},    // ┼
    {0x2550, "-"},    // ═
    {0x2551, "/"},    // ║
    {0x2552, "+"},    // ╒
    {0x2553, "+"},    // ╓
    {0x2554, "+"},    // ╔
    {0x2555, "+"},    // ╕
    {0x2556, "+"},    // ╖
    {0x2557, "+"},    // ╗
    {0x2558, "+"},    // ╘
    {0x2559, "+"},    // ╙
    {0x255A, "+"},    // ╚
    {0x255B, "+"},    // ╛
    {0x255C, "+"},    // ╜
    {0x255D, "+"},    // ╝
    {0x255E, "+"},    // ╞
    {0x255F, "+"},    // ╟
    {0x2560, "+"},    // ╠
    {0x2561, "+"},    // ╡
    {0x2562, "+"},    // ╢
    {0x2563, "+"},    // ╣
    {0x2564, "+"},    // ╤
    {0x2565, "+"},    // ╥
    {0x2566, "+"},    // ╦
    {0x2567, "+"},    // ╧
    {0x2568, "+"},    // ╨
    {0x2569, "+"},    // ╩
    {0x256A, "+"},    // ╪
    {0x256B, "+"},    // ╫
    {0x256C, "+"},    // ╬
    {0x2580, "."},    // ▀
    {0x2584, "."},    // ▄
    {0x2588, "."},    // █
    {0x258C, "."},    // ▌
    {0x2590, "."},    // ▐
    {0x2591, "."},    // ░
    {0x2592, "."},    // ▒
    {0x2593, "."},    // ▓
    {0x25A0, "."},    // ■
};

constexpr bool TableIsSound() {
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    if (i > 0 && kTable[i - 1].codePoint >= kTable[i].codePoint) {
      return false;
    }
    if (kTable[i].codePoint < 0x80 && IsSetCharacter(static_cast<char>(kTable[i].codePoint))) {
      return false;
    }
    if (kTable[i].replacement.size() > kMaxEpcExpansion ||
        !std::all_of(kTable[i].replacement.begin(), kTable[i].replacement.end(), IsSetCharacter)) {
      return false;
    }
  }
  return true;
}
static_assert(TableIsSound(),
              "kTable: sorted, no set character, short replacements of set characters");

constexpr std::string_view kUnknown = ".";

// Each ASCII character once, so that a set character can be its own replacement view.
constexpr std::array<char, 128> kAscii = [] {
  std::array<char, 128> a{};
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = static_cast<char>(i);
  }
  return a;
}();

const EpcMapping* Find(char32_t codePoint) {
  const EpcMapping* end = std::end(kTable);
  const EpcMapping* it =
      std::lower_bound(std::begin(kTable), end, codePoint,
                       [](const EpcMapping& m, char32_t cp) { return m.codePoint < cp; });
  return it != end && it->codePoint == codePoint ? it : nullptr;
}

bool IsOwnCharacter(char32_t codePoint) {
  return codePoint < 0x80 && IsSetCharacter(static_cast<char>(codePoint));
}

}  // namespace

bool IsEpcCharacter(char c) {
  return IsSetCharacter(c);
}

bool IsEpcText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsSetCharacter);
}

std::string_view EpcReplacement(char32_t codePoint) {
  if (IsOwnCharacter(codePoint)) {
    return std::string_view(&kAscii[codePoint], 1);
  }
  const EpcMapping* m = Find(codePoint);
  return m != nullptr ? m->replacement : kUnknown;
}

bool HasEpcReplacement(char32_t codePoint) {
  return IsOwnCharacter(codePoint) || Find(codePoint) != nullptr;
}

std::string_view EpcIdentifierRule(std::string_view id) {
  if (id.empty()) {
    return "nem lehet üres";
  }
  if (!IsEpcText(id)) {
    return "csak az EPC karakterkészlet karakterei lehetnek "
           "(a–z, A–Z, 0–9, / - ? : ( ) . , ' + és szóköz)";
  }
  if (id.front() == '/' || id.back() == '/') {
    return "nem kezdődhet és nem végződhet „/” jellel";
  }
  if (id.find("//") != std::string_view::npos) {
    return "nem tartalmazhat „//” jelet";
  }
  return {};
}

EpcTransliterator::EpcTransliterator(const CodePages& codePages, CodePage page) {
  assert(page != CodePage::kUtf8);
  for (std::size_t b = 0; b < table_.size(); ++b) {
    auto byte = static_cast<unsigned char>(b);
    char32_t codePoint = codePages.CodePoint(byte, page);
    std::string_view r = codePoint == CodePages::kUndefined ? kUnknown : EpcReplacement(codePoint);
    Entry& e = table_[b];
    std::memcpy(e.chars.data(), r.data(), r.size());
    e.size = static_cast<std::uint8_t>(r.size());
    e.same = r.size() == 1 && static_cast<unsigned char>(r[0]) == byte;
  }
}

EpcTransliteration EpcTransliterator::Append(std::string_view text, std::size_t maxChars,
                                             std::string* out) const {
  EpcTransliteration result;
  std::size_t room = maxChars;
  // Written through a pointer into room made once, with slack for a whole entry's copy.
  const std::size_t start = out->size();
  out->resize(start + std::min(maxChars, text.size() * kMaxEpcExpansion) + kMaxEpcExpansion);
  char* w = out->data() + start;
  for (char c : text) {
    const Entry& e = table_[static_cast<unsigned char>(c)];
    if (e.size > room) {
      result.cut = true;
      break;
    }
    std::memcpy(w, e.chars.data(), kMaxEpcExpansion);
    w += e.size;
    room -= e.size;
    result.changed = result.changed || !e.same;
    ++result.bytes;
  }
  out->resize(static_cast<std::size_t>(w - out->data()));
  return result;
}

}  // namespace varnex
