#include "app/completeness.h"

#include <algorithm>
#include <string>

#include "convert/field_rules.h"
#include "mt/mt_file.h"
#include "util/ascii.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), IsDigit);
}

// `digits` without its leading zeros; "0" when nothing else is left.
std::string WithoutLeadingZeros(std::string_view digits) {
  std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? std::string("0") : std::string(digits.substr(first));
}

// The sum of the three passes: each fits 63 bits, so the sum fits 65.
__extension__ typedef unsigned __int128 WideCents;

std::string WideDigits(WideCents value) {
  std::string digits;
  do {
    digits.push_back(static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return std::string(digits.rbegin(), digits.rend());
}

// A count of cents given by its digits, with two decimals and a comma.
std::string CentsDigitsComma(std::string digits) {
  if (digits.size() < 3) {
    digits.insert(0, 3 - digits.size(), '0');
  }
  std::string text(digits, 0, digits.size() - 2);
  return text.append(",").append(digits, digits.size() - 2, 2);
}

// True when `text` has a line that is exactly "-}" (its line end aside: LF, CR LF, or a CR
// or nothing at the end of the text). Only the places of "-}" are looked at, from the end,
// where a message's trailer is.
bool HasTrailerLine(std::string_view text) {
  for (std::size_t at = text.rfind("-}"); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : text.rfind("-}", at - 1)) {
    std::string_view after = text.substr(at + 2);
    bool lineStarts = at == 0 || text[at - 1] == '\n';
    bool lineEnds = after.empty() || after[0] == '\n' ||
                    (after[0] == '\r' && (after.size() == 1 || after[1] == '\n'));
    if (lineStarts && lineEnds) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::string> ReadDeclaredCount(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || !AllDigits(line)) {
    return std::nullopt;
  }
  return WithoutLeadingZeros(line);
}

std::optional<std::string> ReadDeclaredCents(std::string_view line) {
  line = TrimBlanks(line);
  std::size_t mark = line.find_first_of(",.");
  std::string_view units = line.substr(0, mark);
  std::string_view fraction =
      mark == std::string_view::npos ? std::string_view() : line.substr(mark + 1);
  if (units.empty() || (mark != std::string_view::npos && fraction.empty()) ||
      fraction.size() > 2 || !AllDigits(units) || !AllDigits(fraction)) {
    return std::nullopt;
  }
  std::string cents(units);
  cents.append(fraction).append(2 - fraction.size(), '0');
  return WithoutLeadingZeros(cents);
}

std::vector<FileProblem> FindStructuralGaps(const MtFile& file) {
  std::vector<FileProblem> problems;
  if (!file.hasHeaderEnd()) {
    problems.push_back({0, "a fájl hiányos: nincs benne :07: mező, a fejléc nem ér véget"});
  } else if (file.MessageCount() == 0) {
    problems.push_back({0,
                        "a fájl hiányos: a fejléc után nincs egyetlen megbízás sem; ha a "
                        "fájlt üresnek szánták, törölje"});
  }
  if (KindOfPath(file.fileName()) == MtKind::kHua) {
    for (int i = 0; i < file.MessageCount(); ++i) {
      if (!HasTrailerLine(file.messageText(i))) {
        problems.push_back({i + 1L, "az üzenet csonka: nincs \"-}\" zárósora (a fájl hiányos)"});
      }
    }
  }
  return problems;
}

std::vector<FileProblem> FindTotalsMismatch(const MtFile& file,
                                            const Classification& classification) {
  std::vector<FileProblem> problems;
  FieldReader header(&file.header(), false);
  std::optional<std::string> count = ReadDeclaredCount(header.Find("03").line(1));
  std::optional<std::string> cents = ReadDeclaredCents(header.Find("02").line(1));
  if (count == "0" && cents == "0") {
    return problems;  // not filled by the exporter
  }
  if (count && *count != std::to_string(file.MessageCount())) {
    problems.push_back(
        {0, StringPrintf("a fájl hiányos vagy hibás: a fejléc szerint %s megbízást tartalmaz "
                         "(:03:), de %d olvasható benne",
                         count->c_str(), file.MessageCount())});
  }
  // Amounts that are not amounts count 0: the sum is not compared then.
  if (!cents || !classification.amountProblems.empty() || !classification.uncountable.empty()) {
    return problems;
  }
  WideCents total = WideCents(static_cast<std::uint64_t>(classification.sepa.cents)) +
                    static_cast<std::uint64_t>(classification.urgent.cents) +
                    static_cast<std::uint64_t>(classification.other.cents);
  std::string totalDigits = WideDigits(total);
  if (*cents != totalDigits) {
    problems.push_back(
        {0, StringPrintf("a fájl hiányos vagy hibás: a fejléc szerinti összeg (:02:) %s, a "
                         "megbízások összege %s",
                         CentsDigitsComma(*cents).c_str(), CentsDigitsComma(totalDigits).c_str())});
  }
  return problems;
}

std::vector<FileProblem> FindIncompleteness(const MtFile& file,
                                            const Classification& classification,
                                            bool checkTotals) {
  std::vector<FileProblem> problems = FindStructuralGaps(file);
  for (const GrammarFinding& finding : classification.grammar.problems) {
    problems.push_back({finding.message, finding.text, {}, {}, finding.line});
  }
  problems.insert(problems.end(), classification.amountProblems.begin(),
                  classification.amountProblems.end());
  for (long message : classification.uncountable) {
    problems.push_back({message, "a megbízások összege túl nagy, nem számolható pontosan"});
  }
  if (checkTotals) {
    for (FileProblem& problem : FindTotalsMismatch(file, classification)) {
      problems.push_back(std::move(problem));
    }
  }
  return problems;
}

}  // namespace varnex
