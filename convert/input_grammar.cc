#include "convert/input_grammar.h"

#include <algorithm>
#include <array>
#include <set>
#include <span>
#include <string_view>

#include "convert/account_utils.h"
#include "convert/field_rules.h"
#include "mt/mt_file.h"
#include "platform/code_page.h"
#include "util/string_printf.h"
#include "util/visible_text.h"

namespace varnex {
namespace {

// What becomes of the non-empty lines beyond those the conversion reads.
enum class Beyond { kRefuse, kDrop };

// The shape of one line that the conversion takes apart; the rule it breaks, empty if none.
using LineShape = std::string_view (*)(std::string_view line);

struct FieldRule {
  std::string_view tag;
  int lines;  // the lines the conversion reads
  Beyond beyond;
  // The longest line each record field holds, for lines 1, 2, ...; the last entry holds for
  // the lines after it; 0: the line is only compared, never carried.
  std::array<int, 5> length;
  LineShape first = nullptr;     // the shape of line 1
  LineShape shapes[5] = {};      // the shapes of lines 1-5 when `first` is not enough
  bool accountOptional = false;  // line 1 is an account only when it starts with "/"
};

constexpr std::array<int, 5> kNames = {70, 70, 70, 70, 70};
constexpr std::array<int, 5> kTexts = {140, 140, 140, 140, 140};

bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

bool IsDigitChar(char c) {
  return c >= '0' && c <= '9';
}

// The pieces of `line` cut at single blanks, as SplitWords cuts them.
std::vector<std::string_view> Pieces(std::string_view line) {
  std::vector<std::string_view> pieces;
  std::size_t from = 0;
  for (std::size_t blank = line.find(' '); blank != std::string_view::npos;
       blank = line.find(' ', from)) {
    pieces.push_back(line.substr(from, blank - from));
    from = blank + 1;
  }
  pieces.push_back(line.substr(from));
  return pieces;
}

// :32A: value date YYMMDD and currency; the amount after them is read by ReadAmount.
std::string_view ValueDateShape(std::string_view line) {
  if (line.size() < 9 || !std::all_of(line.begin(), line.begin() + 6, IsDigitChar) ||
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

// An account after a party identifier: "/D/" and the account.
std::string_view PartyAccountShape(std::string_view line) {
  if (line.size() < 3 || line[0] != '/' || line[2] != '/') {
    return "nem \"/D/számla\" alakú (a számla a negyedik karaktertől áll)";
  }
  return {};
}

// HUA :59: line 1: "/" and the beneficiary's account.
std::string_view SlashAccountShape(std::string_view line) {
  if (!line.starts_with('/')) {
    return "nem \"/\" jellel kezdődik (a kedvezményezett számlája)";
  }
  return {};
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
  std::vector<std::string_view> words = Pieces(line);
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
  std::vector<std::string_view> words = Pieces(line);
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
    {"01", 1, Beyond::kRefuse, {35}}, {"02", 1, Beyond::kRefuse, {0}},
    {"03", 1, Beyond::kRefuse, {0}},  {"04", 1, Beyond::kRefuse, {11}},
    {"05", 4, Beyond::kDrop, kNames}, {"06", 0, Beyond::kRefuse, {0}},
};

const FieldRule kHuaRules[] = {
    {"20", 1, Beyond::kRefuse, {35}},
    {"32A", 1, Beyond::kRefuse, {24}, ValueDateShape},
    {"50", 4, Beyond::kDrop, kNames},
    {"52D",
     4,
     Beyond::kRefuse,
     {34, 34, 18, 12},
     nullptr,
     {nullptr, nullptr, ChargesShape, CountryWordsShape}},
    {"57A", 1, Beyond::kRefuse, {11}},
    {"57D", 4, Beyond::kDrop, kNames},
    {"59", 5, Beyond::kDrop, {35, 70}, SlashAccountShape},
    {"70", 4, Beyond::kRefuse, kTexts},
    {"71A", 1, Beyond::kRefuse, {4}},
    {"72",
     5,
     Beyond::kRefuse,
     {140, 35, 35, 80, 12},
     nullptr,
     {FourWordsShape, nullptr, nullptr, TransferShape, FlagsShape}},
};

const FieldRule kIntRules[] = {
    {"20", 1, Beyond::kRefuse, {35}},
    {"32A", 1, Beyond::kRefuse, {24}, ValueDateShape},
    {"50", 4, Beyond::kDrop, kNames},
    {"52A", 2, Beyond::kRefuse, {37, 11}, PartyAccountShape},
    {"52D", 5, Beyond::kDrop, {37, 70}, PartyAccountShape},
    {"53A", 2, Beyond::kRefuse, {37, 11}},
    {"53D", 5, Beyond::kDrop, {37, 70}, PartyAccountShape, {}, true},
    {"57A", 1, Beyond::kRefuse, {11}},
    {"57D", 4, Beyond::kDrop, kNames},
    {"59", 5, Beyond::kDrop, {35, 70}, nullptr, {}, true},
    {"70", 4, Beyond::kRefuse, kTexts},
    {"71A", 1, Beyond::kRefuse, {4}},
    {"72", 6, Beyond::kRefuse, kTexts},
};

// INT fields of which the converter reads the first only.
constexpr std::pair<std::string_view, std::string_view> kExclusive[] = {
    {"52A", "52D"}, {"53A", "53D"}, {"57A", "57D"}};

const FieldRule* RuleOf(std::span<const FieldRule> rules, std::string_view tag) {
  for (const FieldRule& rule : rules) {
    if (rule.tag == tag) {
      return &rule;
    }
  }
  return nullptr;
}

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
  });
}

// The lines of one field as the reader gives them.
std::vector<std::string_view> LinesOf(std::string_view value) {
  std::vector<std::string_view> lines;
  std::string_view line;
  while (MtFieldTokenizer::NextLine(&value, &line)) {
    lines.push_back(line);
  }
  return lines;
}

class GrammarCheck {
 public:
  GrammarCheck(const MtFile& file, const CodePages& codePages)
      : file_(file), codePages_(codePages) {}

  GrammarReport Run() {
    hua_ = KindOfPath(file_.fileName()) == MtKind::kHua;
    CheckEncoding();
    std::span<const FieldRule> rules =
        hua_ ? std::span<const FieldRule>(kHuaRules) : std::span<const FieldRule>(kIntRules);
    std::string_view text = file_.text();
    if (file_.hasHeaderEnd()) {
      std::string_view header = file_.headerText();
      CheckHeader(header);
      // From ":07:" to the first order.
      std::size_t afterEnd = header.size() + 4;
      std::size_t firstOrder =
          file_.MessageCount() > 0
              ? static_cast<std::size_t>(file_.messageText(0).data() - text.data())
              : text.size();
      if (firstOrder < afterEnd) {
        Problem(0, file_.messageText(0).data(), "a megbízás a fejléc vége (:07:) előtt kezdődik");
      } else {
        CheckBlank(0, text.substr(afterEnd, firstOrder - afterEnd));
      }
    }
    for (int i = 0; i < file_.MessageCount(); ++i) {
      CheckMessage(i + 1L, file_.messageText(i), rules);
    }
    return std::move(report_);
  }

 private:
  void CheckEncoding() {
    const MtFile::EncodingClue& clue = file_.encodingClue();
    if (clue.kind == MtFile::EncodingClue::Kind::kNone) {
      return;
    }
    const char* at = file_.text().data() + clue.offset;
    std::string_view page = hua_ ? "CP852" : "CP437";
    std::string line(LineAround(at));
    if (clue.kind == MtFile::EncodingClue::Kind::kUtf8) {
      Problem(0, at,
              StringPrintf("a fájl UTF-8 kódolású, nem %.*s kódlapú (a sor: \"%s\"); a fájlt "
                           "%.*s kódlapon kell menteni",
                           static_cast<int>(page.size()), page.data(), Shown(line).c_str(),
                           static_cast<int>(page.size()), page.data()));
    } else {
      Problem(0, at,
              StringPrintf("a fájl nem %.*s kódlapú: a(z) \"%s\" karakter megbízásban nem "
                           "fordul elő, a fájlt más kódlapon (pl. CP1250) mentették (a sor: "
                           "\"%s\")",
                           static_cast<int>(page.size()), page.data(),
                           Shown(std::string_view(at, 1)).c_str(), Shown(line).c_str()));
    }
  }

  // The whole line of the file text that holds `at`.
  std::string_view LineAround(const char* at) const {
    std::string_view text = file_.text();
    std::size_t offset = static_cast<std::size_t>(at - text.data());
    std::size_t start = text.rfind('\n', offset);
    start = start == std::string_view::npos ? 0 : start + 1;
    std::size_t end = text.find_first_of("\r\n", offset);
    return text.substr(start, end == std::string_view::npos ? end : end - start);
  }

  // Message text as a log line shows it: in UTF-8, its control characters made visible.
  std::string Shown(std::string_view text) const {
    return VisibleText(codePages_.Recode(text, CodePage::k852, CodePage::kUtf8));
  }

  void Problem(long message, const char* at, std::string text) {
    report_.problems.push_back({message, file_.LineOf(at), std::move(text)});
  }

  // Text that belongs to no field must be blank.
  void CheckBlank(long message, std::string_view text) {
    std::size_t at = text.find_first_not_of(" \r\n");
    if (at != std::string_view::npos) {
      Problem(message, text.data() + at,
              StringPrintf("a sor egyetlen mezőhöz sem tartozik: \"%s\"",
                           Shown(LineAround(text.data() + at)).c_str()));
    }
  }

  void CheckMessage(long message, std::string_view text, std::span<const FieldRule> rules) {
    MtFieldTokenizer fields(text);
    std::string_view tag;
    std::string_view value;
    std::set<std::string_view> seen;
    bool first = true;
    bool trailerSeen = false;
    while (fields.NextField(&tag, &value)) {
      if (hua_ && first) {
        first = false;
        CheckBlockHeader(message, text, tag, value);
        continue;
      }
      if (trailerSeen) {
        Problem(message, tag.data(),
                StringPrintf("mező a \"-}\" zárósor után: :%s:", Shown(tag).c_str()));
        continue;
      }
      const FieldRule* rule = RuleOf(rules, tag);
      if (rule == nullptr) {
        Problem(
            message, tag.data(),
            StringPrintf("ismeretlen mező, a konverzió nem viszi át: :%s:", Shown(tag).c_str()));
        continue;
      }
      if (!seen.insert(tag).second) {
        Problem(message, tag.data(),
                StringPrintf(":%s: a mező kétszer szerepel a megbízásban", Shown(tag).c_str()));
        continue;
      }
      std::vector<std::string_view> lines = LinesOf(value);
      if (hua_) {
        trailerSeen = CutAtTrailer(message, &lines);
      }
      CheckLines(message, *rule, lines, tag);
    }
    if (!hua_) {
      for (const auto& [a, b] : kExclusive) {
        if (seen.contains(a) && seen.contains(b)) {
          Problem(message, text.data(),
                  StringPrintf(":%.*s: és :%.*s: mező is szerepel; a konverzió csak az elsőt "
                               "olvassa",
                               static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()),
                               b.data()));
        }
      }
    }
  }

  void CheckHeader(std::string_view text) {
    const long message = 0;
    std::span<const FieldRule> rules = kHeaderRules;
    CheckBlank(message, text.substr(0, text.find(':')));
    MtFieldTokenizer fields(text);
    std::string_view tag;
    std::string_view value;
    std::set<std::string_view> seen;
    while (fields.NextField(&tag, &value)) {
      const FieldRule* rule = RuleOf(rules, tag);
      if (rule == nullptr) {
        Problem(message, tag.data(),
                StringPrintf("ismeretlen mező a fejlécben, a konverzió nem viszi át: :%s:",
                             Shown(tag).c_str()));
      } else if (!seen.insert(tag).second) {
        Problem(message, tag.data(),
                StringPrintf(":%s: a mező kétszer szerepel a fejlécben", Shown(tag).c_str()));
      } else {
        CheckLines(message, *rule, LinesOf(value), tag);
      }
    }
  }

  // {1:F01<sender>…}{2:<type><receiver>…}{4: on one line, the first field following it.
  void CheckBlockHeader(long message, std::string_view text, std::string_view tag,
                        std::string_view value) {
    std::size_t lineEnd = text.find("\r\n");
    std::string_view line = text.substr(0, lineEnd);
    bool ok = line.starts_with("{1:F01") && line.ends_with("}{4:") &&
              line.find("}{2:") != std::string_view::npos && !HasControl(line) &&
              tag.data() == text.data() + 3 && value.data() + value.size() == line.end();
    if (!ok) {
      Problem(message, text.data(),
              StringPrintf("a blokkfejléc nem egy \"{1:F01…}{2:…}{4:\" sor: \"%s\"",
                           Shown(LineAround(text.data())).c_str()));
    }
  }

  // Takes a HUA order's trailer ("-}", then "$" or nothing) off the lines of a field; true
  // when it was there. A "-}" anywhere else would end the field for the converter.
  bool CutAtTrailer(long message, std::vector<std::string_view>* lines) {
    for (std::size_t i = 0; i < lines->size(); ++i) {
      std::string_view line = (*lines)[i];
      if (line.find("-}") == std::string_view::npos) {
        continue;
      }
      if (line != "-}") {
        Problem(message, line.data(),
                StringPrintf("a sor \"-}\" jelet tartalmaz, a megbízás ott véget érne: \"%s\"",
                             Shown(line).c_str()));
        return false;
      }
      for (std::size_t k = i + 1; k < lines->size(); ++k) {
        std::string_view after = (*lines)[k];
        bool dollar = after == "$" && k + 1 == lines->size();
        if (!after.empty() && !dollar) {
          Problem(message, after.data(),
                  StringPrintf("a sor a \"-}\" zárósor után áll: \"%s\"", Shown(after).c_str()));
        }
      }
      lines->resize(i);
      return true;
    }
    return false;
  }

  void CheckLines(long message, const FieldRule& rule, std::vector<std::string_view> lines,
                  std::string_view tag) {
    std::string field = ":" + Shown(tag) + ":";
    // Trailing empty lines carry nothing (an INT order ends in the blank line before the next).
    while (!lines.empty() && lines.back().empty()) {
      lines.pop_back();
    }
    int read = rule.lines;
    int shift = 0;  // the rule's line that a line of the file stands for, less one
    if (rule.accountOptional && !lines.empty() && !lines[0].starts_with('/')) {
      --read;
      shift = 1;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string_view line = lines[i];
      int n = static_cast<int>(i) + 1;
      if (HasControl(line)) {
        Problem(message, line.data(),
                StringPrintf("%s %d. sora vezérlőkaraktert tartalmaz: \"%s\"", field.c_str(), n,
                             Shown(line).c_str()));
        continue;
      }
      if (n > read) {
        if (line.empty()) {
          continue;
        }
        std::string text =
            StringPrintf("%s %d. sora: \"%s\" (a konverzió a mező első %d sorát olvassa)",
                         field.c_str(), n, Shown(line).c_str(), read);
        if (rule.beyond == Beyond::kDrop) {
          report_.dropped.push_back({message, file_.LineOf(line.data()), std::move(text)});
        } else {
          Problem(message, line.data(), text + ", egy sorba tördelt érték?");
        }
        continue;
      }
      // The record field of line n: an entry of 0 repeats the one before it.
      std::size_t index =
          std::min<std::size_t>(i + static_cast<std::size_t>(shift), rule.length.size() - 1);
      int length = 0;
      for (std::size_t k = index + 1; k-- > 0 && length == 0;) {
        length = rule.length[k];
      }
      if (length > 0 && static_cast<int>(line.size()) > length) {
        Problem(message, line.data(),
                StringPrintf("%s %d. sora %zu karakter, a konverzió legfeljebb %d karaktert "
                             "visz át belőle: \"%s\"",
                             field.c_str(), n, line.size(), length, Shown(line).c_str()));
        continue;
      }
      LineShape shape = i == 0 && shift == 0 && rule.first != nullptr ? rule.first
                        : i + static_cast<std::size_t>(shift) < 5
                            ? rule.shapes[i + static_cast<std::size_t>(shift)]
                            : nullptr;
      if (shape != nullptr) {
        std::string_view broken = shape(line);
        if (!broken.empty()) {
          Problem(
              message, line.data(),
              StringPrintf("%s %d. sora %.*s: \"%s\"", field.c_str(), n,
                           static_cast<int>(broken.size()), broken.data(), Shown(line).c_str()));
        }
      }
    }
  }

  const MtFile& file_;
  const CodePages& codePages_;
  bool hua_ = false;
  GrammarReport report_;
};

}  // namespace

GrammarReport CheckInputGrammar(const MtFile& file, const CodePages& codePages) {
  return GrammarCheck(file, codePages).Run();
}

}  // namespace varnex
