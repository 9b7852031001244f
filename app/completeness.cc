#include "app/completeness.h"

#include <limits>

#include "convert/field_rules.h"
#include "mt/mt_file.h"
#include "output/formatters.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

// Appends the digits of `s` to `value`; false when `s` holds anything else or the value
// would leave the 64-bit range.
bool AppendDigits(std::string_view s, std::int64_t* value) {
  for (char c : s) {
    if (c < '0' || c > '9') {
      return false;
    }
    if (*value > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10) {
      return false;
    }
    *value = *value * 10 + (c - '0');
  }
  return true;
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

std::optional<std::int64_t> ReadDeclaredCount(std::string_view line) {
  line = TrimBlanks(line);
  std::int64_t count = 0;
  if (line.empty() || !AppendDigits(line, &count)) {
    return std::nullopt;
  }
  return count;
}

std::optional<std::int64_t> ReadDeclaredCents(std::string_view line) {
  line = TrimBlanks(line);
  std::size_t mark = line.find_first_of(",.");
  std::string_view units = line.substr(0, mark);
  std::string_view fraction =
      mark == std::string_view::npos ? std::string_view() : line.substr(mark + 1);
  if (units.empty() || (mark != std::string_view::npos && fraction.empty()) ||
      fraction.size() > 2) {
    return std::nullopt;
  }
  std::int64_t cents = 0;
  if (!AppendDigits(units, &cents) || !AppendDigits(fraction, &cents)) {
    return std::nullopt;
  }
  for (std::size_t i = fraction.size(); i < 2; ++i) {
    if (cents > std::numeric_limits<std::int64_t>::max() / 10) {
      return std::nullopt;
    }
    cents *= 10;
  }
  return cents;
}

std::vector<FileProblem> FindStructuralGaps(const MtFile& file) {
  std::vector<FileProblem> problems;
  if (!file.hasHeaderEnd()) {
    problems.push_back({0, "a fájl hiányos: nincs benne :07: mező, a fejléc nem ér véget"});
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
  std::optional<std::int64_t> count = ReadDeclaredCount(header.Find("03").line(1));
  std::optional<std::int64_t> cents = ReadDeclaredCents(header.Find("02").line(1));
  if (count && cents && *count == 0 && *cents == 0) {
    return problems;  // not filled by the exporter
  }
  if (count && *count != file.MessageCount()) {
    problems.push_back(
        {0, StringPrintf("a fájl hiányos vagy hibás: a fejléc szerint %lld megbízást tartalmaz "
                         "(:03:), de %d olvasható benne",
                         static_cast<long long>(*count), file.MessageCount())});
  }
  std::optional<std::int64_t> total = classification.TotalCents();
  if (cents && cents != total) {
    problems.push_back(
        {0, StringPrintf("a fájl hiányos vagy hibás: a fejléc szerinti összeg (:02:) %s, a "
                         "megbízások összege %s",
                         FormatCentsComma(*cents).c_str(),
                         total ? FormatCentsComma(*total).c_str() : "túl nagy")});
  }
  return problems;
}

std::vector<FileProblem> FindIncompleteness(const MtFile& file,
                                            const Classification& classification,
                                            bool checkTotals) {
  std::vector<FileProblem> problems = FindStructuralGaps(file);
  if (checkTotals && classification.uncountable.empty()) {
    for (FileProblem& problem : FindTotalsMismatch(file, classification)) {
      problems.push_back(std::move(problem));
    }
  }
  for (long message : classification.uncountable) {
    problems.push_back({message, "az összeg nem írható ki pontosan (túl nagy vagy nem szám)"});
  }
  return problems;
}

}  // namespace varnex
