#include "convert/postal_address.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

#include "util/ascii.h"

namespace varnex {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kTownMax = 35;
constexpr int kTownWordsMax = 3;

// A postcode form, one character per character of the postcode: '#' a digit, '@' a capital
// letter, '%' an Eircode routing letter, '*' an Eircode letter or digit, '_' an optional
// blank; anything else stands for itself.
struct PostcodeForm {
  std::string_view country;
  std::string_view form;
  bool townFirst;  // the town is written before the postcode
};

// clang-format off
constexpr PostcodeForm kForms[] = {
    {"AD", "AD###", false},   {"AT", "####", false},      {"BE", "####", false},
    {"BG", "####", false},    {"CH", "####", false},      {"CY", "####", false},
    {"CZ", "###_##", false},  {"DE", "#####", false},     {"DK", "####", false},
    {"EE", "#####", false},   {"ES", "#####", false},     {"FI", "#####", false},
    {"FR", "#####", false},   {"GR", "###_##", false},    {"HR", "#####", false},
    {"HU", "####", false},    {"IS", "###", false},       {"IT", "#####", false},
    {"LI", "94##", false},    {"LT", "LT-#####", false},  {"LT", "#####", false},
    {"LU", "####", false},    {"LV", "LV-####", false},   {"LV", "####", false},
    {"MC", "980##", false},   {"NL", "####_@@", false},   {"NO", "####", false},
    {"PL", "##-###", false},  {"PT", "####-###", false},  {"RO", "######", false},
    {"SE", "###_##", false},  {"SI", "####", false},      {"SK", "###_##", false},
    {"SM", "4789#", false},   {"VA", "00120", false},
    // The British forms: outward code, then inward code.
    {"GB", "@#_#@@", true},   {"GB", "@##_#@@", true},    {"GB", "@@#_#@@", true},
    {"GB", "@@##_#@@", true}, {"GB", "@#@_#@@", true},    {"GB", "@@#@_#@@", true},
    {"GG", "GY#_#@@", true},  {"GG", "GY##_#@@", true},   {"GI", "GX11_1AA", true},
    {"IM", "IM#_#@@", true},  {"IM", "IM##_#@@", true},   {"JE", "JE#_#@@", true},
    {"IE", "%##_****", true}, {"IE", "D6W_****", true},   {"MT", "@@@_####", true},
};
// clang-format on

// The country codes written before a postcode, ISO and car-sign ones.
struct Prefix {
  std::string_view prefix;
  std::string_view country;
};

constexpr Prefix kPrefixes[] = {
    {"A", "AT"},  {"AT", "AT"},  {"B", "BE"},  {"BE", "BE"},  {"BG", "BG"}, {"CH", "CH"},
    {"CY", "CY"}, {"CZ", "CZ"},  {"D", "DE"},  {"DE", "DE"},  {"DK", "DK"}, {"E", "ES"},
    {"ES", "ES"}, {"EE", "EE"},  {"F", "FR"},  {"FR", "FR"},  {"FI", "FI"}, {"FIN", "FI"},
    {"FL", "LI"}, {"LI", "LI"},  {"GR", "GR"}, {"H", "HU"},   {"HU", "HU"}, {"HR", "HR"},
    {"I", "IT"},  {"IT", "IT"},  {"IS", "IS"}, {"L", "LU"},   {"LU", "LU"}, {"LT", "LT"},
    {"LV", "LV"}, {"MC", "MC"},  {"MT", "MT"}, {"N", "NO"},   {"NO", "NO"}, {"NL", "NL"},
    {"P", "PT"},  {"PT", "PT"},  {"PL", "PL"}, {"RO", "RO"},  {"S", "SE"},  {"SE", "SE"},
    {"SI", "SI"}, {"SLO", "SI"}, {"SK", "SK"}, {"RSM", "SM"}, {"SM", "SM"},
};

// clang-format off
// Words of streets, buildings, floors, post boxes, regions and firms, in lower case (CP852),
// without dots; a word of the town that equals one is none of a town.
constexpr std::string_view kWords[] = {
    // Hungarian: utca, u., út, útja, tér, tere, körút, krt., köz, sor, fasor, rakpart,
    // sétány, ltp., lakótelep, dűlő, tanya, hrsz., pf., postafiók, emelet, em., ajtó, fszt.,
    // földszint, lph., lépcsőház, épület, ép., megye; "ker." of a district stays a town word.
    "utca", "u", "u\xA3t", "u\xA3tja", "t\x82r", "t\x82re", "k\x94r\xA3t", "krt", "k\x94z",
    "sor", "fasor", "rakpart", "s\x82t\xA0ny", "ltp", "lak\xA2telep", "d\xFBl\x8B", "tanya",
    "hrsz", "pf", "postafi\xA2k", "emelet", "em", "ajt\xA2", "fszt", "f\x94ldszint", "lph",
    "l\x82pcs\x8Bh\xA0z", "\x82p\x81let", "\x82p", "megye",
    // German, Austrian, Swiss.
    "ring", "damm", "ufer", "chaussee", "postfach", "stock", "stockwerk", "etage", "og", "eg",
    "top", "stiege", "t\x81r", "kanton", "landkreis",
    // French, Belgian, Luxembourgish.
    "rue", "avenue", "av", "ave", "bd", "boulevard", "place", "pl", "chemin", "impasse", "quai",
    "route", "rte", "cours", "all\x82" "e", "passage", "r\x82sidence", "bp", "cp", "cedex",
    "b\x83timent", "bat", "\x82tage", "r\x82gion", "d\x82partement",
    // Italian, Spanish, Portuguese.
    "via", "viale", "piazza", "piazzale", "corso", "vicolo", "largo", "strada", "localita",
    "loc", "frazione", "fraz", "casella", "calle", "avenida", "avda", "plaza", "pza", "paseo",
    "camino", "carretera", "ronda", "apartado", "apdo", "piso", "planta", "piano", "provincia",
    "rua", "pra\x87" "a", "travessa", "estrada", "lote",
    // Dutch, Nordic.
    "postbus", "vei", "gate", "v\x84g", "tori", "postboks", "box", "lgh", "etg",
    // Polish, Czech, Slovak, Slovenian, Croatian, Romanian, Bulgarian, Greek.
    "ulica", "ul", "aleja", "al", "plac", "os", "osiedle", "skrytka", "ulice", "n\xA0m",
    "cesta", "trg", "bulevardul", "bdul", "calea", "aleea", "piata", "sos", "sector", "bul",
    "odos",
    // English, Irish, Maltese.
    "street", "road", "rd", "lane", "ln", "square", "sq", "drive", "close", "court", "crescent",
    "terrace", "way", "gardens", "house", "tower", "po", "pobox", "postbox", "building", "bldg",
    "floor", "apt", "apartment", "flat", "unit", "suite", "room", "rm", "county", "province",
    "region", "triq",
    // Firms and the rest of a name line.
    "ltd", "limited", "gmbh", "kft", "bt", "zrt", "nyrt", "rt", "kkt", "ev", "ag", "kg", "ohg",
    "ug", "sa", "sas", "sarl", "eurl", "srl", "spa", "snc", "sl", "slu", "lda", "bv", "nv",
    "vof", "ab", "as", "asa", "aps", "oy", "oyj", "sro", "sp", "oo", "plc", "llc", "inc",
    "corp", "co", "company", "bank", "attn", "zhd", "invoice", "sz\xA0mla", "ref",
};
// clang-format on

// clang-format off
// Endings of compound street names ("Hauptstraße", "Goethestr.", "Drottninggatan").
constexpr std::string_view kEndings[] = {
    "stra\xE1" "e", "strasse", "str", "weg", "gasse", "platz", "allee", "straat", "laan",
    "plein", "gracht", "kade", "singel", "gatan", "gata", "v\x84gen", "torget", "gr\x84nd",
    "vej", "gade", "plads", "veien", "katu", "tie", "kuja", "polku", "n\xA0m\xD8st\xA1",
    "n\xA0mestie", "t\xFD\xA1" "da", "trieda",
};
// clang-format on

// clang-format off
// Names of the countries, a line by itself not naming a town (English, own, Hungarian).
constexpr std::string_view kCountryNames[] = {
    "austria", "\x94sterreich", "ausztria", "belgium", "belgi\x89", "belgie", "belgique",
    "belgien", "bulgaria", "bulg\xA0ria", "balgariya", "switzerland", "schweiz", "suisse",
    "svizzera", "sv\xA0jc", "cyprus", "kypros", "ciprus", "czech republic", "czechia",
    "\x9f" "esko", "\x9f" "esk\xA0 republika", "csehorsz\xA0g", "germany", "deutschland",
    "n\x82metorsz\xA0g", "allemagne", "denmark", "danmark", "d\xA0nia", "estonia", "eesti",
    "\x82sztorsz\xA0g", "spain", "espana", "spanyolorsz\xA0g", "finland", "suomi",
    "finnorsz\xA0g", "france", "franciaorsz\xA0g", "united kingdom", "great britain", "england",
    "scotland", "wales", "northern ireland", "nagy-britannia", "egyes\x81lt kir\xA0lys\xA0g",
    "anglia", "greece", "hellas", "ellada", "g\x94r\x94gorsz\xA0g", "croatia", "hrvatska",
    "horv\xA0torsz\xA0g", "hungary", "magyarorsz\xA0g", "ungarn", "ireland", "eire", "\x82ire",
    "\xA1rorsz\xA0g", "iceland", "\xA1sland", "izland", "italy", "italia", "olaszorsz\xA0g",
    "liechtenstein", "lithuania", "lietuva", "litv\xA0nia", "luxembourg", "luxemburg",
    "l\x89tzebuerg", "latvia", "latvija", "lettorsz\xA0g", "monaco", "malta", "m\xA0lta",
    "netherlands", "the netherlands", "nederland", "holland", "hollandia", "norway", "norge",
    "norv\x82gia", "poland", "polska", "lengyelorsz\xA0g", "portugal", "portug\xA0lia",
    "romania", "rom\x83nia", "rom\xA0nia", "sweden", "sverige", "sv\x82" "dorsz\xA0g",
    "slovenia", "slovenija", "szlov\x82nia", "slovakia", "slovensko", "szlov\xA0kia",
    "san marino", "andorra", "vatican", "vatican city", "vatik\xA0n", "gibraltar", "jersey",
    "guernsey", "isle of man", "europe", "europa",
};
// clang-format on

// The lower-case letter of a CP852 capital, for the upper half of the code page.
constexpr std::array<unsigned char, 128> LowerHalf() {
  constexpr unsigned char kPairs[][2] = {
      {0x80, 0x87}, {0x8A, 0x8B}, {0x8D, 0xAB}, {0x8E, 0x84}, {0x8F, 0x86}, {0x90, 0x82},
      {0x91, 0x92}, {0x95, 0x96}, {0x97, 0x98}, {0x99, 0x94}, {0x9A, 0x81}, {0x9B, 0x9C},
      {0x9D, 0x88}, {0xA4, 0xA5}, {0xA6, 0xA7}, {0xA8, 0xA9}, {0xAC, 0x9F}, {0xB5, 0xA0},
      {0xB6, 0x83}, {0xB7, 0xD8}, {0xB8, 0xAD}, {0xBD, 0xBE}, {0xC6, 0xC7}, {0xD1, 0xD0},
      {0xD2, 0xD4}, {0xD3, 0x89}, {0xD5, 0xE5}, {0xD6, 0xA1}, {0xD7, 0x8C}, {0xDD, 0xEE},
      {0xDE, 0x85}, {0xE0, 0xA2}, {0xE2, 0x93}, {0xE3, 0xE4}, {0xE6, 0xE7}, {0xE8, 0xEA},
      {0xE9, 0xA3}, {0xEB, 0xFB}, {0xED, 0xEC}, {0xFC, 0xFD},
  };
  std::array<unsigned char, 128> lower{};
  for (std::size_t i = 0; i < lower.size(); ++i) {
    lower[i] = static_cast<unsigned char>(0x80 + i);
  }
  for (const auto& pair : kPairs) {
    lower[pair[0] - 0x80u] = pair[1];
  }
  return lower;
}

constexpr std::array<unsigned char, 128> kLowerHalf = LowerHalf();

char Lower(char c) {
  unsigned char b = static_cast<unsigned char>(c);
  if (b >= 0x80) {
    return static_cast<char>(kLowerHalf[b - 0x80u]);
  }
  return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsTownLetter(char c) {
  return IsLetter(c) || static_cast<unsigned char>(c) >= 0x80;
}

bool HasDigit(std::string_view text) {
  return std::any_of(text.begin(), text.end(), IsDigit);
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == kNone) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsSeparatorAt(std::string_view text, std::size_t i) {
  if (text[i] == ',' || text[i] == ';') {
    return true;
  }
  return text[i] == '-' && i > 0 && i + 1 < text.size() && text[i - 1] == ' ' && text[i + 1] == ' ';
}

// `text` trimmed of blanks and of the separators at either end.
std::string_view TrimSeparators(std::string_view text) {
  for (;;) {
    text = TrimBlanks(text);
    if (!text.empty() && (text.front() == ',' || text.front() == ';' ||
                          (text.front() == '-' && (text.size() == 1 || text[1] == ' ')))) {
      text.remove_prefix(1);
    } else if (!text.empty() &&
               (text.back() == ',' || text.back() == ';' ||
                (text.back() == '-' && (text.size() == 1 || text[text.size() - 2] == ' ')))) {
      text.remove_suffix(1);
    } else {
      return text;
    }
  }
}

// `text` in lower case without its dots, in `buffer`; a text too long for it gives "".
std::string_view Folded(std::string_view text, std::array<char, kTownMax>& buffer) {
  std::size_t n = 0;
  for (char c : text) {
    if (c == '.') {
      continue;
    }
    if (n == buffer.size()) {
      return {};
    }
    buffer[n++] = Lower(c);
  }
  return std::string_view(buffer.data(), n);
}

// "St" before the rest of a town is a saint ("St. Gallen"); anywhere else, a street. `word` is
// folded.
bool IsVocabularyWord(std::string_view word, bool first) {
  return std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords) ||
         std::any_of(std::begin(kEndings), std::end(kEndings),
                     [word](std::string_view ending) { return word.ends_with(ending); }) ||
         (!first && word == "st");
}

// True when `text` may be a town: see the header's `town`.
bool IsTownText(std::string_view text) {
  if (text.empty() || text.size() > kTownMax || !IsTownLetter(text.front())) {
    return false;
  }
  int words = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (!IsTownLetter(c) && c != ' ' && c != '-' && c != '.' && c != '\'' && c != '(' && c != ')') {
      return false;
    }
    if (c != ' ' && (i == 0 || text[i - 1] == ' ')) {
      ++words;
    }
  }
  if (words > kTownWordsMax) {
    return false;
  }
  // Vocabulary words, split at blanks, hyphens and brackets.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(" -()", start);
    if (end == kNone) {
      end = text.size();
    }
    std::array<char, kTownMax> buffer;
    std::string_view word = Folded(text.substr(start, end - start), buffer);
    bool first = start == 0 && text.find_first_not_of(" -().", end) != kNone;
    if (!word.empty() && IsVocabularyWord(word, first)) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// True when a line by itself is a town: see the header's `bare town`.
bool IsBareTown(std::string_view line) {
  if (!IsTownText(line)) {
    return false;
  }
  if (line.size() <= 3 && std::all_of(line.begin(), line.end(), IsUpper)) {
    return false;
  }
  std::array<char, kTownMax> buffer;
  std::string_view folded = Folded(line, buffer);
  return std::find(std::begin(kCountryNames), std::end(kCountryNames), folded) ==
         std::end(kCountryNames);
}

bool IsEircodeLetter(char c) {
  return std::string_view("ACDEFHKNPRTVWXY").find(c) != kNone;
}

// The length of `form` matched at the start of `text`, followed by a blank or the end;
// kNone when it does not match.
std::size_t MatchForm(std::string_view text, std::string_view form) {
  std::size_t at = 0;
  for (char f : form) {
    if (f == '_') {
      if (at < text.size() && text[at] == ' ') {
        ++at;
      }
      continue;
    }
    if (at == text.size()) {
      return kNone;
    }
    char c = text[at];
    bool ok = f == '#'   ? IsDigit(c)
              : f == '@' ? IsUpper(c)
              : f == '%' ? IsEircodeLetter(c)
              : f == '*' ? IsDigit(c) || IsEircodeLetter(c)
                         : c == f;
    if (!ok) {
      return kNone;
    }
    ++at;
  }
  return at == text.size() || text[at] == ' ' ? at : kNone;
}

struct Postcode {
  std::string_view country;
  std::string_view code;   // as PstCd carries it
  std::size_t length = 0;  // of the text taken, prefix included; 0: no postcode
  bool townFirst = false;
  bool conflict = false;  // a prefix names a country other than the party's
};

// The postcode of `country` at the start of `text`, or after `skip` characters.
Postcode MatchCountry(std::string_view text, std::string_view country, std::size_t skip) {
  for (const PostcodeForm& form : kForms) {
    if (form.country[0] != country[0] || form.country[1] != country[1]) {
      continue;
    }
    std::size_t length = MatchForm(text.substr(skip), form.form);
    if (length != kNone) {
      return {form.country, text.substr(skip, length), skip + length, form.townFirst, false};
    }
  }
  return {};
}

// The postcode at the start of `text`, of the prefix's country when it has one, else of the
// party's country.
Postcode ReadPostcode(std::string_view text, std::string_view party) {
  std::size_t dash = text.find('-');
  if (dash >= 1 && dash <= 3 &&
      std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(dash), IsUpper)) {
    std::string_view prefix = text.substr(0, dash);
    for (const Prefix& p : kPrefixes) {
      if (p.prefix != prefix) {
        continue;
      }
      // A national form that holds the prefix keeps it.
      Postcode found = MatchCountry(text, p.country, 0);
      if (found.length == 0) {
        found = MatchCountry(text, p.country, dash + 1);
      }
      found.conflict = found.length != 0 && !party.empty() && party != p.country;
      return found;
    }
    return {};
  }
  return party.empty() ? Postcode{} : MatchCountry(text, party, 0);
}

struct TownPiece {
  std::string_view country;
  std::string_view postcode;
  std::string_view town;
};

// The postcode and town that make up `piece` in its country's order.
std::optional<TownPiece> ReadPiece(std::string_view piece, std::string_view party, bool* conflict) {
  Postcode first = ReadPostcode(piece, party);
  *conflict = *conflict || first.conflict;
  if (first.length != 0 && !first.townFirst) {
    std::string_view town = TrimBlanks(piece.substr(first.length));
    if (IsTownText(town)) {
      return TownPiece{first.country, first.code, town};
    }
  }
  for (std::size_t blank = piece.find(' '); blank != kNone; blank = piece.find(' ', blank + 1)) {
    // Every form written after the town, and every prefix, begins with a capital.
    if (blank + 1 == piece.size() || !IsUpper(piece[blank + 1])) {
      continue;
    }
    Postcode last = ReadPostcode(piece.substr(blank + 1), party);
    *conflict = *conflict || last.conflict;
    if (last.townFirst && blank + 1 + last.length == piece.size()) {
      std::string_view town = TrimBlanks(piece.substr(0, blank));
      if (IsTownText(town)) {
        return TownPiece{last.country, last.code, town};
      }
    }
  }
  return std::nullopt;
}

bool IsCountryCode(std::string_view code) {
  return code.size() == 2 && IsUpper(code[0]) && IsUpper(code[1]);
}

}  // namespace

std::optional<HybridAddress> FindTown(std::string_view country, std::string_view line1,
                                      std::string_view line2) {
  if (!country.empty() && !IsCountryCode(country)) {
    return std::nullopt;
  }
  const std::array<std::string_view, 2> lines = {TrimBlanks(line1), TrimBlanks(line2)};
  HybridAddress address;
  std::size_t townLine = 0;
  std::string_view rest;
  int found = 0;
  bool conflict = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    std::size_t firstSep = kNone;
    std::size_t lastSep = kNone;
    for (std::size_t at = 0; at < line.size(); ++at) {
      if (IsSeparatorAt(line, at)) {
        firstSep = std::min(firstSep, at);
        lastSep = at;
      }
    }
    // The piece before the first separator, then the one after the last.
    std::string_view heads[2] = {line.substr(0, firstSep), {}};
    std::string_view rests[2] = {firstSep == kNone ? std::string_view() : line.substr(firstSep),
                                 {}};
    if (lastSep != kNone) {
      heads[1] = line.substr(lastSep + 1);
      rests[1] = line.substr(0, lastSep);
    }
    for (int k = 0; k < 2; ++k) {
      std::string_view piece = TrimBlanks(heads[k]);
      if (piece.empty()) {
        continue;
      }
      if (std::optional<TownPiece> town = ReadPiece(piece, country, &conflict)) {
        ++found;
        address.country = town->country;
        address.postcode = town->postcode;
        address.town = town->town;
        townLine = i;
        rest = TrimSeparators(rests[k]);
      }
    }
  }
  if (conflict || found > 1) {
    return std::nullopt;
  }
  if (found == 0) {
    if (country.empty()) {
      return std::nullopt;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string_view other = lines[1 - i];
      if (IsBareTown(lines[i]) && (other.empty() || HasDigit(other))) {
        address.town = lines[i];
        townLine = i;
        rest = {};
        found = 1;
      }
    }
    if (found == 0) {
      return std::nullopt;
    }
  }
  if (!country.empty()) {
    address.country = country;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = i == townLine ? rest : lines[i];
    if (!line.empty()) {
      address.lines[kept++] = line;
    }
  }
  return address;
}

}  // namespace varnex
