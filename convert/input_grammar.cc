#include "convert/input_grammar.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "convert/account_utils.h"
#include "convert/field_rules.h"
#include "mt/mt_file.h"
#include "mt/mt_message.h"
#include "platform/code_page.h"
#include "util/ascii.h"
#include "util/byte_search.h"
#include "util/string_printf.h"
#include "util/visible_text.h"

namespace varnex {

// What becomes of the non-empty lines beyond those the conversion reads.
enum class ExtraLines { kRefuse, kDrop };

// The shape of one line that the conversion takes apart; the rule it breaks, empty if none.
using GrammarLineShape = std::string_view (*)(std::string_view line);

struct FieldRule {
  std::string_view tag;
  int lines;  // the lines the conversion reads
  ExtraLines beyond;
  // The longest line each record field holds, for lines 1, 2, ...; the last entry holds for
  // the lines after it; 0: the line is only compared, never carried.
  std::array<int, 5> length;
  GrammarLineShape shapes[5] = {};  // the shapes of lines 1-5 that are taken apart
  bool accountOptional = false;     // line 1 is an account only when it starts with "/"
};

namespace {

constexpr std::array<int, 5> kNames = {70, 70, 70, 70, 70};
constexpr std::array<int, 5> kTexts = {140, 140, 140, 140, 140};

// The pieces of `line` cut at single blanks, as SplitWords cuts them: the first kMax kept,
// all counted.
struct Pieces {
  static constexpr std::size_t kMax = 8;
  explicit Pieces(std::string_view line) {
    std::size_t from = 0;
    for (;;) {
      std::size_t blank = line.find(' ', from);
      std::string_view piece =
          line.substr(from, blank == std::string_view::npos ? blank : blank - from);
      if (count < kMax) {
        pieces[count] = piece;
      }
      ++count;
      if (blank == std::string_view::npos) {
        break;
      }
      from = blank + 1;
    }
  }
  std::size_t size() const { return count; }
  std::string_view operator[](std::size_t i) const { return pieces[i]; }

  std::array<std::string_view, kMax> pieces{};
  std::size_t count = 0;
};

// :32A: value date YYMMDD and currency; the amount after them is read by ReadAmount.
std::string_view ValueDateShape(std::string_view line) {
  if (line.size() < 9 || !std::all_of(line.begin(), line.begin() + 6, IsDigit) ||
      !std::all_of(line.begin() + 6, line.begin() + 9, IsUpper)) {
    return "nem ÉÉHHNN dátummal és hárombetűs pénznemmel kezdődik";
  }
  int month = (line[2] - '0') * 10 + (line[3] - '0');
  int day = (line[4] - '0') * 10 + (line[5] - '0');
  int year = (line[0] - '0') * 10 + (line[1] - '0');
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && year % 4 != 0)) {
    return "a dátum nem létező nap";
  }
  return {};
}

// An account as the outputs carry it: printable ASCII, and an IBAN with its check digits
// right when it has the form of one (a wrapped or cut IBAN must not go out as an account).
std::string_view AccountShape(std::string_view account) {
  if (account.starts_with(' ')) {
    return "a számla szóközzel kezdődik";
  }
  if (!std::all_of(account.begin(), account.end(), [](char c) { return c >= ' ' && c <= '~'; })) {
    return "a számla nem csak ASCII karakterekből áll";
  }
  bool ibanForm = account.size() >= 5 && IsUpper(account[0]) && IsUpper(account[1]) &&
                  IsDigit(account[2]) && IsDigit(account[3]) &&
                  std::all_of(account.begin() + 4, account.end(),
                              [](char c) { return IsDigit(c) || IsLetter(c); });
  if (ibanForm && !IsValidIban(account)) {
    return "IBAN alakú számla, de az ellenőrző számjegyei nem stimmelnek (tördelt vagy csonka?)";
  }
  return {};
}

// A debtor account that must be there.
std::string_view DebtorAccountShape(std::string_view line) {
  return line.empty() ? "üres: nincs terhelendő számla" : AccountShape(line);
}

// An account after a party identifier: "/D/" and the account.
std::string_view PartyAccountShape(std::string_view line) {
  if (line.size() < 4 || line[0] != '/' || line[2] != '/') {
    return "nem \"/D/számla\" alakú (a számla a negyedik karaktertől áll)";
  }
  return AccountShape(line.substr(3));
}

// INT :53A: line 1: "/D/" and an account, or a BIC.
std::string_view CorrespondentShape(std::string_view line) {
  return line.starts_with('/') ? PartyAccountShape(line) : std::string_view();
}

// :59: line 1: "/" and the beneficiary's account.
std::string_view SlashAccountShape(std::string_view line) {
  if (line.size() < 2 || !line.starts_with('/')) {
    return "nem \"/számla\" alakú (a kedvezményezett számlája)";
  }
  return AccountShape(line.substr(1));
}

// HUA :52D: line 3: the charges currency and amount ("HUF0,00"), or nothing.
std::string_view ChargesShape(std::string_view line) {
  if (!line.empty() && (line.size() < 3 || !std::all_of(line.begin(), line.begin() + 3, IsUpper))) {
    return "nem hárombetűs pénznemmel kezdődik";
  }
  return {};
}

// HUA :52D: line 4: three words, the second and third a country code each.
std::string_view CountryWordsShape(std::string_view line) {
  Pieces words(line);
  if (line.size() > 12 || words.size() > 3 || (words.size() > 1 && words[1].size() > 2) ||
      (words.size() > 2 && words[2].size() > 2)) {
    return "nem \"szó ORSZÁG ORSZÁG\" alakú (legfeljebb 12 karakter)";
  }
  return {};
}

// HUA :72: line 1: four words.
std::string_view FourWordsShape(std::string_view line) {
  if (Pieces(line).size() > 4) {
    return "négynél több szóból áll";
  }
  return {};
}

// HUA :72: line 4: "T <text>" and "F <text>", as the HUA writer puts them back.
std::string_view TransferShape(std::string_view line) {
  std::size_t firstF = line.find('F');
  std::string_view first = line.substr(0, firstF);
  std::string_view second;
  if (firstF != std::string_view::npos) {
    std::size_t nextF = line.find('F', firstF + 1);
    second = line.substr(firstF, nextF == std::string_view::npos ? nextF : nextF - firstF);
  }
  std::string_view t = SafeMidFrom(TrimBlanks(first), 2);
  std::string_view f = SafeMidFrom(TrimBlanks(second), 2);
  std::string rebuilt;
  if (!t.empty()) {
    rebuilt.append("T ").append(t);
  }
  rebuilt.push_back(' ');
  if (!f.empty()) {
    rebuilt.append("F ").append(f);
  }
  if (TrimBlanks(rebuilt) != TrimBlanks(line) || t.size() > 35 || f.size() > 35) {
    return "nem \"T szöveg F szöveg\" alakú";
  }
  return {};
}

// HUA :72: line 5: a two-letter code and five one-character flags.
std::string_view FlagsShape(std::string_view line) {
  Pieces words(line);
  bool ok = words.size() <= 6 && words[0].size() <= 2;
  for (std::size_t i = 1; i < words.size(); ++i) {
    ok = ok && words[i].size() == 1;
  }
  if (!ok) {
    return "nem \"KK j j j j j\" alakú (kétbetűs kód, majd egykarakteres jelzők)";
  }
  return {};
}

// The header fields of both kinds; :06: carries nothing (a blank).
const FieldRule kHeaderRules[] = {
    {"01", 1, ExtraLines::kRefuse, {35}}, {"02", 1, ExtraLines::kRefuse, {0}},
    {"03", 1, ExtraLines::kRefuse, {0}},  {"04", 1, ExtraLines::kRefuse, {11}},
    {"05", 4, ExtraLines::kDrop, kNames}, {"06", 0, ExtraLines::kRefuse, {0}},
};

const FieldRule kHuaRules[] = {
    {"20", 1, ExtraLines::kRefuse, {35}},
    {"32A", 1, ExtraLines::kRefuse, {24}, {ValueDateShape}},
    {"50", 4, ExtraLines::kDrop, kNames},
    {"52D",
     4,
     ExtraLines::kRefuse,
     {34, 34, 18, 12},
     {DebtorAccountShape, AccountShape, ChargesShape, CountryWordsShape}},
    {"57A", 1, ExtraLines::kRefuse, {11}},
    {"57D", 4, ExtraLines::kDrop, kNames},
    {"59", 5, ExtraLines::kDrop, {35, 70}, {SlashAccountShape}},
    {"70", 4, ExtraLines::kRefuse, kTexts},
    {"71A", 1, ExtraLines::kRefuse, {4}},
    {"72",
     5,
     ExtraLines::kRefuse,
     {140, 35, 35, 80, 12},
     {FourWordsShape, nullptr, nullptr, TransferShape, FlagsShape}},
};

const FieldRule kIntRules[] = {
    {"20", 1, ExtraLines::kRefuse, {35}},
    {"32A", 1, ExtraLines::kRefuse, {24}, {ValueDateShape}},
    {"50", 4, ExtraLines::kDrop, kNames},
    {"52A", 2, ExtraLines::kRefuse, {37, 11}, {PartyAccountShape}},
    {"52D", 5, ExtraLines::kDrop, {37, 70}, {PartyAccountShape}},
    {"53A", 2, ExtraLines::kRefuse, {37, 11}, {CorrespondentShape}},
    {"53D", 5, ExtraLines::kDrop, {37, 70}, {PartyAccountShape}, true},
    {"57A", 1, ExtraLines::kRefuse, {11}},
    {"57D", 4, ExtraLines::kDrop, kNames},
    {"59", 5, ExtraLines::kDrop, {35, 70}, {SlashAccountShape}, true},
    {"70", 4, ExtraLines::kRefuse, kTexts},
    {"71A", 1, ExtraLines::kRefuse, {4}},
    {"72", 6, ExtraLines::kRefuse, kTexts},
};

// INT fields of which the converter reads the first only.
constexpr std::pair<std::string_view, std::string_view> kExclusive[] = {
    {"52A", "52D"}, {"53A", "53D"}, {"57A", "57D"}};

// The pieces joined (the message texts of the problems).
std::string Cat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) {
    text.append(piece);
  }
  return text;
}

// The blanks, tabs and CRs that the reader trimmed off `line`, a view into `text`, hold a
// control character: a tab, or a CR that does not end the line.
bool TrimmedControl(std::string_view text, std::string_view line) {
  for (std::size_t i = static_cast<std::size_t>(line.data() + line.size() - text.data());
       i < text.size() && text[i] != '\n'; ++i) {
    if (text[i] == '\t' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      return true;
    }
  }
  return false;
}

// A tag of up to three characters and its length in one number; 0 for a longer one.
constexpr std::uint32_t TagKey(std::string_view tag) {
  if (tag.size() > 3) {
    return 0;
  }
  std::uint32_t key = static_cast<std::uint32_t>(tag.size());
  for (std::size_t i = 0; i < tag.size(); ++i) {
    key |= static_cast<std::uint32_t>(static_cast<unsigned char>(tag[i])) << (8 * (i + 1));
  }
  return key;
}

const FieldRule* RuleOf(std::span<const FieldRule> rules, std::string_view tag) {
  std::uint32_t key = TagKey(tag);
  if (key == 0) {
    return nullptr;
  }
  for (const FieldRule& rule : rules) {
    if (TagKey(rule.tag) == key) {
      return &rule;
    }
  }
  return nullptr;
}

// The bits of `seen` that stand for the fields `tags` (none for a tag without a rule).
std::uint32_t Bits(std::span<const FieldRule> rules, std::initializer_list<std::string_view> tags) {
  std::uint32_t bits = 0;
  for (std::string_view tag : tags) {
    if (const FieldRule* rule = RuleOf(rules, tag)) {
      bits |= 1u << (rule - rules.data());
    }
  }
  return bits;
}

// Control characters but the line ends, or a bare LF among lines that end in CR LF, eight
// bytes at a time: the masks have the high bit of a byte set exactly where the byte is one.
struct ControlScan {
  bool controls = false;  // a control character that is no part of CR LF
  std::size_t loneLineFeeds = 0;
  std::size_t firstLoneLineFeed = std::string_view::npos;

  explicit ControlScan(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    auto equal = [](std::uint64_t word, unsigned char b) {
      std::uint64_t x = word ^ (kOnes * b);
      return ~(((x & kLow7) + kLow7) | x | kLow7);
    };
    bool crBefore = false;  // the byte before the word is CR
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, sizeof word);
      std::uint64_t below = ~(((word & kLow7) + kOnes * (0x80 - 0x20)) | word) & kHighs;
      std::uint64_t del = equal(word, 0x7F);
      if ((below | del) == 0) {
        crBefore = false;
        continue;
      }
      std::uint64_t lf = equal(word, '\n');
      std::uint64_t cr = equal(word, '\r');
      controls = controls || ((below & ~lf & ~cr) | del) != 0;
      // A CR that no LF follows in the word; its last byte is looked at below.
      controls = controls || (cr & ~(lf >> 8) & ~(kOnes << 63)) != 0;
      if ((cr >> 63) != 0 && (i + 8 == text.size() || text[i + 8] != '\n')) {
        controls = true;
      }
      std::uint64_t lone = lf & ~((cr << 8) | (crBefore ? 0x80u : 0u));
      if (lone != 0) {
        Lone(i + static_cast<std::size_t>(std::countr_zero(lone) / 8), std::popcount(lone));
      }
      crBefore = (cr >> 63) != 0;
    }
    for (; i < text.size(); ++i) {
      auto b = static_cast<unsigned char>(text[i]);
      if (b == '\n' && (i == 0 || text[i - 1] != '\r')) {
        Lone(i, 1);
      } else if ((b < 0x20 && b != '\n' && b != '\r') || b == 0x7F ||
                 (b == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
        controls = true;
      }
    }
  }

  void Lone(std::size_t at, int count) {
    firstLoneLineFeed = std::min(firstLoneLineFeed, at);
    loneLineFeeds += static_cast<std::size_t>(count);
  }
};

}  // namespace

InputGrammar::InputGrammar(const MtFile& file, const CodePages& codePages)
    : file_(file), codePages_(codePages), hua_(KindOfPath(file.fileName()) == MtKind::kHua) {
  CheckEncoding();
  CheckControlCharacters();
  if (file_.hasHeaderEnd()) {
    CheckHeader();
  }
  for (int i = 0; i < file_.MessageCount(); ++i) {
    CheckMessageStart(i + 1L, file_.messageText(i), &fileReport_);
  }
}

void InputGrammar::CheckEncoding() {
  const MtFile::EncodingClue& clue = file_.encodingClue();
  if (clue.kind == MtFile::EncodingClue::Kind::kNone) {
    return;
  }
  const char* at = file_.text().data() + clue.offset;
  const char* page = hua_ ? "CP852" : "CP437";
  std::string line = Shown(LineAround(at));
  if (clue.kind == MtFile::EncodingClue::Kind::kUtf8) {
    Problem(&fileReport_, 0, at,
            StringPrintf("a fájl UTF-8 kódolású, nem %s kódlapú (a sor: \"%s\"); a fájlt %s "
                         "kódlapon kell menteni",
                         page, line.c_str(), page));
  } else {
    Problem(&fileReport_, 0, at,
            StringPrintf("a fájl nem %s kódlapú: a(z) \"%s\" karakter megbízásban nem fordul elő, "
                         "a fájlt más kódlapon (pl. CP1250) mentették (a sor: \"%s\")",
                         page, Shown(std::string_view(at, 1)).c_str(), line.c_str()));
  }
}

void InputGrammar::CheckControlCharacters() {
  std::string_view text = file_.text();
  ControlScan scan(text);
  controls_ = scan.controls;
  if (scan.loneLineFeeds > 0) {
    const char* first = text.data() + scan.firstLoneLineFeed;
    const char* shown = first == text.data() ? first : first - 1;
    Problem(
        &fileReport_, 0, first,
        StringPrintf("a fájl sorai CR LF-re végződnek, de %zu sor csak LF-re (vezérlőkarakter a "
                     "szövegben; az első: \"%s\")",
                     scan.loneLineFeeds, Shown(LineAround(shown)).c_str()));
  }
}

void InputGrammar::CheckHeader() {
  std::string_view text = file_.headerText();
  CheckBlank(text.substr(0, text.find(':')));
  MtMessage header;
  MtFieldTokenizer::CutInto(text, &header);
  for (std::string_view tag : header.replacedTags()) {
    Problem(&fileReport_, 0, tag.data(),
            Cat({":", Shown(tag), ": a mező kétszer szerepel a fejlécben"}));
  }
  CheckFields(0, header, kHeaderRules, &fileReport_);
  // From ":07:" to the first order.
  std::string_view file = file_.text();
  std::size_t afterEnd = text.size() + 4;
  std::size_t firstOrder = file_.MessageCount() > 0
                               ? static_cast<std::size_t>(file_.messageText(0).data() - file.data())
                               : file.size();
  if (firstOrder < afterEnd) {
    Problem(&fileReport_, 1, file_.messageText(0).data(),
            "a megbízás a fejléc vége (:07:) előtt kezdődik");
  } else {
    CheckBlank(file.substr(afterEnd, firstOrder - afterEnd));
  }
}

void InputGrammar::CheckBlank(std::string_view text) {
  std::size_t at = text.find_first_not_of(" \r\n");
  if (at != std::string_view::npos) {
    Problem(&fileReport_, 0, text.data() + at,
            Cat({"a sor egyetlen mezőhöz sem tartozik: \"", Shown(LineAround(text.data() + at)),
                 "\""}));
  }
}

void InputGrammar::CheckMessageStart(long message, std::string_view text,
                                     GrammarReport* report) const {
  std::string_view file = file_.text();
  std::size_t at = static_cast<std::size_t>(text.data() - file.data());
  if (hua_ && at > 0 && file[at - 1] == '$') {
    --at;
  }
  if (at > 0 && file[at - 1] != '\n') {
    Problem(report, message, text.data(),
            Cat({"a megbízás nem sor elején kezdődik: \"", Shown(LineAround(text.data())), "\""}));
  }
}

void InputGrammar::CheckMessage(int index, const MtMessage& message, GrammarReport* report) const {
  const long number = index + 1L;
  std::string_view text = file_.messageText(index);
  std::span<const FieldRule> rules =
      hua_ ? std::span<const FieldRule>(kHuaRules) : std::span<const FieldRule>(kIntRules);
  for (std::string_view tag : message.replacedTags()) {
    Problem(report, number, tag.data(),
            Cat({":", Shown(tag), ": a mező kétszer szerepel a megbízásban"}));
  }
  std::uint32_t seen = CheckFields(number, message, rules, report);
  auto has = [&](std::string_view tag) { return (seen & Bits(rules, {tag})) != 0; };
  if (!hua_) {
    for (const auto& [a, b] : kExclusive) {
      if (has(a) && has(b)) {
        Problem(
            report, number, text.data(),
            Cat({":", a, ": és :", b, ": mező is szerepel; a konverzió csak az elsőt olvassa"}));
      }
    }
  }
  // What every order has; a missing one is a cut or damaged order.
  static const std::uint32_t kHuaRequired = Bits(kHuaRules, {"20", "32A", "50", "52D", "59"});
  static const std::uint32_t kIntRequired = Bits(kIntRules, {"20", "32A", "50", "59"});
  static const std::uint32_t kIntDebtor = Bits(kIntRules, {"52A", "52D"});
  std::uint32_t required = hua_ ? kHuaRequired : kIntRequired;
  if ((seen & required) != required || (!hua_ && (seen & kIntDebtor) == 0)) {
    for (std::string_view tag : {"20", "32A", "50", "52D", "59"}) {
      bool missing = tag == "52D" ? !has("52D") && (hua_ || !has("52A")) : !has(tag);
      if (missing) {
        Problem(report, number, text.data(),
                Cat({"hiányzik vagy üres a megbízás :", hua_ || tag != "52D" ? tag : "52A",
                     ": mezője (csonka vagy sérült megbízás)"}));
      }
    }
  }
}

std::uint32_t InputGrammar::CheckFields(long number, const MtMessage& message,
                                        std::span<const FieldRule> rules,
                                        GrammarReport* report) const {
  const bool header = number == 0;
  std::string_view text =
      header ? file_.headerText() : file_.messageText(static_cast<int>(number - 1));
  // The trailer is in the last field; the others are looked at only when "-}" is there twice.
  bool dashesElsewhere = false;
  if (hua_ && !header) {
    std::size_t at = FindText(text, "-}");
    dashesElsewhere =
        at != std::string_view::npos && FindText(text, "-}", at + 1) != std::string_view::npos;
  }
  std::uint32_t seen = 0;  // bit k: the field of rules[k]
  bool trailerSeen = false;
  const char* covered = text.data();  // the end of the last field's text
  for (std::size_t k = 0; k < message.size(); ++k) {
    MtFieldView field = message.field(k);
    covered = std::max(covered, field.tag.data() + field.tag.size() + 1);
    for (std::string_view line : field.lines) {
      covered = std::max(covered, line.data() + line.size());
    }
    // The reader's own: the HUA block header and the bank code taken from it.
    if (hua_ && !header && field.tag.data() == text.data() + 3) {
      CheckBlockHeader(number, text, field, report);
      continue;
    }
    if (hua_ && !header && field.tag == "OPGA" && k == 0) {
      continue;
    }
    if (trailerSeen) {
      Problem(report, number, field.tag.data(),
              Cat({"mező a \"-}\" zárósor után: :", Shown(field.tag), ":"}));
      continue;
    }
    const FieldRule* rule = RuleOf(rules, field.tag);
    if (rule == nullptr) {
      Problem(report, number, field.tag.data(),
              Cat({header ? "ismeretlen mező a fejlécben" : "ismeretlen mező",
                   ", a konverzió nem viszi át: :", Shown(field.tag), ":"}));
      continue;
    }
    // A field counts as given when it carries something; ":20:" when it is there at all (an
    // INT order may have an empty reference, a HUA order a blank one).
    if (field.tag == "20" || std::any_of(field.lines.begin(), field.lines.end(),
                                         [](std::string_view line) { return !line.empty(); })) {
      seen |= 1u << (rule - rules.data());
    }
    std::span<const std::string_view> fieldLines = field.lines;
    if (hua_ && !header && (k + 1 == message.size() || dashesElsewhere)) {
      trailerSeen = CutAtTrailer(number, &fieldLines, report);
    }
    CheckLines(number, *rule, fieldLines, field.tag, report);
  }
  // What follows the last field belongs to none (a cut tag, ":71").
  std::string_view rest =
      text.substr(std::min(text.size(), static_cast<std::size_t>(covered - text.data())));
  std::size_t stray = rest.find_first_not_of(" \r\n");
  if (stray != std::string_view::npos) {
    Problem(report, number, rest.data() + stray,
            Cat({"a sor egyetlen mezőhöz sem tartozik: \"", Shown(LineAround(rest.data() + stray)),
                 "\""}));
  }
  return seen;
}

void InputGrammar::CheckBlockHeader(long number, std::string_view text, const MtFieldView& field,
                                    GrammarReport* report) const {
  std::string_view line = text.substr(0, text.find("\r\n"));
  // Its one line is the value's first and only one, and the next field follows it.
  bool ok = line.starts_with("{1:F01") && line.ends_with("}{4:") &&
            line.find("}{2:") != std::string_view::npos && !HasControlCharacter(line) &&
            field.lineCount() == 1 && field.lines[0].data() + field.lines[0].size() == line.end();
  if (!ok) {
    Problem(report, number, text.data(),
            Cat({"a blokkfejléc nem egy \"{1:F01…}{2:…}{4:\" sor: \"",
                 Shown(LineAround(text.data())), "\""}));
  }
}

bool InputGrammar::CutAtTrailer(long number, std::span<const std::string_view>* lines,
                                GrammarReport* report) const {
  for (std::size_t i = 0; i < lines->size(); ++i) {
    std::string_view line = (*lines)[i];
    if (line.find("-}") == std::string_view::npos) {
      continue;
    }
    if (line != "-}") {
      Problem(
          report, number, line.data(),
          Cat({"a sor \"-}\" jelet tartalmaz, a megbízás ott véget érne: \"", Shown(line), "\""}));
      return false;
    }
    for (std::size_t k = i + 1; k < lines->size(); ++k) {
      std::string_view after = (*lines)[k];
      bool dollar = after == "$" && k + 1 == lines->size();
      if (!after.empty() && !dollar) {
        Problem(report, number, after.data(),
                Cat({"a sor a \"-}\" zárósor után áll: \"", Shown(after), "\""}));
      }
    }
    *lines = lines->first(i);
    return true;
  }
  return false;
}

void InputGrammar::CheckLines(long number, const FieldRule& rule,
                              std::span<const std::string_view> lines, std::string_view tag,
                              GrammarReport* report) const {
  auto field = [tag] { return Cat({":", tag, ":"}); };  // a known tag: plain ASCII
  if (controls_) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (HasControlCharacter(lines[i]) || TrimmedControl(file_.text(), lines[i])) {
        Problem(report, number, lines[i].data(),
                StringPrintf("%s %d. sora vezérlőkaraktert tartalmaz: \"", field().c_str(),
                             static_cast<int>(i) + 1) +
                    Shown(LineAround(lines[i].data())) + "\"");
      }
    }
  }
  // Trailing empty lines carry nothing (an INT order ends in the blank line before the next).
  while (!lines.empty() && lines.back().empty()) {
    lines = lines.first(lines.size() - 1);
  }
  // In a name and address field each line's place gives its meaning: one that starts on the
  // line after its tag would move every line to the next place.
  if (lines.size() > 1 && lines[0].empty() && rule.beyond == ExtraLines::kDrop) {
    Problem(
        report, number, lines[0].data(),
        field() + " 1. sora üres, a mező a következő sorban kezdődik: \"" + Shown(lines[1]) + "\"");
  }
  int read = rule.lines;
  std::size_t shift = 0;  // the rule's line that a line of the file stands for, less one
  if (rule.accountOptional && !lines.empty() && !lines[0].starts_with('/')) {
    --read;
    shift = 1;
    if (TrimBlanks(lines[0]).starts_with('/')) {
      Problem(report, number, lines[0].data(),
              field() +
                  " 1. sora a \"/\" előtt szóközzel kezdődik: nem dönthető el, hogy számla "
                  "vagy név: \"" +
                  Shown(lines[0]) + "\"");
    }
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    int n = static_cast<int>(i) + 1;
    if (controls_ && HasControlCharacter(line)) {
      continue;  // reported above
    }
    if (n > read) {
      if (line.empty()) {
        continue;
      }
      std::string text = StringPrintf("%s %d. sora: \"", field().c_str(), n) + Shown(line) +
                         StringPrintf("\" (a konverzió a mező első %d sorát olvassa)", read);
      if (rule.beyond == ExtraLines::kDrop) {
        report->dropped.push_back({number, file_.LineOf(line.data()), std::move(text)});
      } else {
        Problem(report, number, line.data(), text + ", egy sorba tördelt érték?");
      }
      continue;
    }
    // The record field of line n: an entry of 0 repeats the one before it.
    std::size_t index = std::min(i + shift, rule.length.size() - 1);
    int length = 0;
    for (std::size_t k = index + 1; k-- > 0 && length == 0;) {
      length = rule.length[k];
    }
    if (length > 0 && static_cast<int>(line.size()) > length) {
      Problem(report, number, line.data(),
              StringPrintf("%s %d. sora %zu karakter, a konverzió legfeljebb %d karaktert visz át "
                           "belőle: \"",
                           field().c_str(), n, line.size(), length) +
                  Shown(line) + "\"");
      continue;
    }
    GrammarLineShape shape = i + shift < 5 ? rule.shapes[i + shift] : nullptr;
    std::string_view broken = shape != nullptr ? shape(line) : std::string_view();
    if (!broken.empty()) {
      Problem(report, number, line.data(),
              StringPrintf("%s %d. sora ", field().c_str(), n) + std::string(broken) + ": \"" +
                  Shown(line) + "\"");
    }
  }
}

std::string_view InputGrammar::LineAround(const char* at) const {
  std::string_view text = file_.text();
  std::size_t offset = static_cast<std::size_t>(at - text.data());
  std::size_t start = text.rfind('\n', offset);
  start = start == std::string_view::npos ? 0 : start + 1;
  std::size_t end = text.find('\n', offset);
  std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
  return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

std::string InputGrammar::Shown(std::string_view text) const {
  return VisibleText(codePages_.Recode(text, CodePage::k852, CodePage::kUtf8));
}

void InputGrammar::Problem(GrammarReport* report, long message, const char* at,
                           std::string text) const {
  report->problems.push_back({message, file_.LineOf(at), std::move(text)});
}

}  // namespace varnex
