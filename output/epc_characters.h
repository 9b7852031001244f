// The EPC basic Latin character set and the transliteration of text into it.
//
// SEPA banks guarantee each other only a-z, A-Z, 0-9, the ten signs / - ? : ( ) . , ' + and
// the space. Every other character is replaced by one to three characters of the set, or by
// none, as one table keyed by Unicode code point says. The table holds every character of
// code pages 437 and 852 (the code pages of INT and HUA files), so text from either page is
// transliterated completely. Its choices, class by class:
//
//   - Letters with diacritics become their base letters, with the case kept: ő -> o, Ű -> U,
//     ä -> a, č -> c, ł -> l, đ -> d, ø -> o. The German alternative spellings (ä -> ae) are
//     not used; the EPC's conversion table gives the base letter. Letters that are no base
//     letter with a mark are spelled out: ß -> ss, Æ -> AE, æ -> ae, Œ -> OE, þ -> th,
//     ð -> d, ı -> i, ƒ -> f, ª -> a, º -> o. (The EPC's table keeps one letter for one,
//     ß -> s, æ -> a; a name such as "Straße" would then read as another word.) The Greek
//     letters of CP437 are transliterated (Γ -> G, Θ -> TH, Σ -> S, π -> p, µ -> u).
//   - & becomes +, as banks write it.
//   - Quotation marks (" ` « ») and the acute accent used as an apostrophe become '.
//   - Brackets [ ] { } < > become ( ).
//   - _ ~ ¬ ⌐ become -; \ | ÷ become /; ; becomes ,; ¿ becomes ?.
//   - @ becomes ".": the EPC's own choice, so that a bank transliterating the same text gets
//     the same result, and one character for one, so cut lengths stay predictable.
//   - The other signs without a counterpart in the set become ".", as in the EPC's table:
//     ! # $ % * = ^ ¡ ¢ ¤ § ° · ∙, the mathematical signs of CP437 (√ ∞ ∩ ≈ ≡ ≤ ≥ ⌠ ⌡) and
//     the block elements (▀ ▄ █ ▌ ▐ ░ ▒ ▓ ■).
//   - Signs with a short spelling keep their meaning: £ -> GBP, ¥ -> JPY, ₧ -> ESP, ± -> +-,
//     × -> x, ² -> 2, ⁿ -> n, ¼ -> 1/4, ½ -> 1/2.
//   - Box drawing: horizontal lines become -, vertical lines / (as | does), corners and
//     junctions +.
//   - Control characters (below 0x20, and 0x7F) and the no-break space become a space.
//   - The soft hyphen and the spacing diacritics (¨ ¸ ˇ ˘ ˙ ˛ ˝) are dropped: they only
//     decorate the text around them.
// A code point the table does not hold becomes ".".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace varnex {

// The most characters of the set that one character becomes.
inline constexpr std::size_t kMaxEpcExpansion = 3;

// True when `c` is a character of the EPC basic Latin set.
bool IsEpcCharacter(char c);
// True when every byte of `text` is a character of the set; true for empty text.
bool IsEpcText(std::string_view text);

// The characters of the set that `codePoint` becomes: the character itself when it is of the
// set, else its replacement from the table (possibly empty), else ".".
std::string_view EpcReplacement(char32_t codePoint);
// True when `codePoint` is of the set or the table holds it.
bool HasEpcReplacement(char32_t codePoint);

// Empty when identifier `id` (a message, payment, instruction or end-to-end identifier) keeps
// the EPC rule for references: not empty, only characters of the set, no "/" at its start or
// end and no "//" in it. Else a short Hungarian text (UTF-8) naming the first rule it breaks.
std::string_view EpcIdentifierRule(std::string_view id);

// What one transliteration of a text did.
struct EpcTransliteration {
  std::size_t bytes = 0;  // bytes of the text transliterated
  bool changed = false;   // one of those bytes became something other than itself
  bool cut = false;       // bytes < the text's size: the next replacement did not fit
};

// The transliteration of one single-byte code page, precomputed per byte.
class EpcTransliterator {
 public:
  // Builds the table of `page` (k437, k852 or k1250) from the code page tables; no lookup is
  // done after this. A byte that stands for no character becomes ".".
  EpcTransliterator(const CodePages& codePages, CodePage page);

  // The characters of the set that `byte` becomes.
  std::string_view Of(unsigned char byte) const {
    const Entry& e = table_[byte];
    return std::string_view(e.chars.data(), e.size);
  }

  // Appends the transliteration of `text` to `out`, at most `maxChars` characters of it. The
  // text is cut before the first byte whose whole replacement no longer fits, never inside a
  // replacement: "Straße" with room for 5 gives "Stra", not "Stras".
  EpcTransliteration Append(std::string_view text, std::size_t maxChars, std::string* out) const;

 private:
  struct Entry {
    std::array<char, kMaxEpcExpansion> chars{};
    std::uint8_t size = 0;
    bool same = false;  // the byte is its own replacement
  };
  std::array<Entry, 256> table_;
};

}  // namespace varnex
