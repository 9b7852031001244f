#include "output/schema_check.h"

#include <algorithm>
#include <cstddef>

#include "util/ascii.h"

namespace varnex {
namespace {

// Characters of UTF-8 text: every byte that does not continue a sequence.
std::size_t CharCount(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Leading and trailing XML whitespace removed (the collapse of non-string types).
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsXmlSpace(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool IsIban2007(std::string_view v) {
  if (v.size() < 5 || v.size() > 34 || !IsUpper(v[0]) || !IsUpper(v[1]) || !IsDigit(v[2]) ||
      !IsDigit(v[3])) {
    return false;
  }
  return std::all_of(v.begin() + 4, v.end(),
                     [](char c) { return IsUpper(c) || IsLower(c) || IsDigit(c); });
}

// [A-Z]{6}[A-Z2-9][A-NP-Z0-9]([A-Z0-9]{3})?
bool IsBicIdentifier(std::string_view v) {
  if (v.size() != 8 && v.size() != 11) {
    return false;
  }
  if (!std::all_of(v.begin(), v.begin() + 6, IsUpper)) {
    return false;
  }
  if (!(IsUpper(v[6]) || (v[6] >= '2' && v[6] <= '9'))) {
    return false;
  }
  if (!((IsUpper(v[7]) && v[7] != 'O') || IsDigit(v[7]))) {
    return false;
  }
  return std::all_of(v.begin() + 8, v.end(), [](char c) { return IsUpper(c) || IsDigit(c); });
}

// [A-Z0-9]{4}[A-Z]{2}[A-Z0-9]{2}([A-Z0-9]{3})?
bool IsBicfiIdentifier(std::string_view v) {
  auto upperOrDigit = [](char c) { return IsUpper(c) || IsDigit(c); };
  return (v.size() == 8 || v.size() == 11) && std::all_of(v.begin(), v.end(), upperOrDigit) &&
         IsUpper(v[4]) && IsUpper(v[5]);
}

// An xs:decimal value by its digits: leading zeros of the integer part and trailing zeros of
// the fraction do not count.
struct Decimal {
  bool negative = false;  // below zero (a minus sign before zero is not)
  std::size_t totalDigits = 0;
  std::size_t fractionDigits = 0;
};

std::optional<Decimal> ParseDecimal(std::string_view text) {
  text = Trimmed(text);
  std::size_t i = 0;
  bool minus = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    minus = text[i] == '-';
    ++i;
  }
  std::size_t intStart = i;
  while (i < text.size() && IsDigit(text[i])) {
    ++i;
  }
  std::string_view integer = text.substr(intStart, i - intStart);
  std::string_view fraction;
  if (i < text.size() && text[i] == '.') {
    std::size_t fracStart = ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ++i;
    }
    fraction = text.substr(fracStart, i - fracStart);
  }
  if (i != text.size() || (integer.empty() && fraction.empty())) {
    return std::nullopt;
  }
  integer.remove_prefix(std::min(integer.find_first_not_of('0'), integer.size()));
  std::size_t lastNonZero = fraction.find_last_not_of('0');
  fraction = fraction.substr(0, lastNonZero == std::string_view::npos ? 0 : lastNonZero + 1);
  Decimal d;
  d.fractionDigits = fraction.size();
  if (!integer.empty()) {
    d.totalDigits = integer.size() + fraction.size();
  } else {
    d.totalDigits = fraction.size() - std::min(fraction.find_first_not_of('0'), fraction.size());
  }
  d.negative = minus && (!integer.empty() || !fraction.empty());
  return d;
}

// Reads exactly `count` digits at `*pos` into `*value`.
bool ReadDigits(std::string_view text, std::size_t* pos, std::size_t count, int* value) {
  if (text.size() - *pos < count) {
    return false;
  }
  int v = 0;
  for (std::size_t k = 0; k < count; ++k) {
    char c = text[*pos + k];
    if (!IsDigit(c)) {
      return false;
    }
    v = v * 10 + (c - '0');
  }
  *pos += count;
  *value = v;
  return true;
}

bool Expect(std::string_view text, std::size_t* pos, char c) {
  if (*pos < text.size() && text[*pos] == c) {
    ++*pos;
    return true;
  }
  return false;
}

// "-"? yyyy+ "-" mm "-" dd of a real calendar day; a year of more than four digits has no
// leading zero, and the year 0 does not exist. Leap years follow the Gregorian rule on the
// year's magnitude.
bool ReadDate(std::string_view text, std::size_t* pos) {
  std::size_t i = *pos;
  Expect(text, &i, '-');
  std::size_t yearStart = i;
  unsigned yearMod400 = 0;
  bool nonZero = false;
  while (i < text.size() && IsDigit(text[i])) {
    yearMod400 = (yearMod400 * 10 + static_cast<unsigned>(text[i] - '0')) % 400;
    nonZero = nonZero || text[i] != '0';
    ++i;
  }
  std::size_t yearLength = i - yearStart;
  if (yearLength < 4 || (yearLength > 4 && text[yearStart] == '0') || !nonZero) {
    return false;
  }
  int month = 0;
  int day = 0;
  if (!Expect(text, &i, '-') || !ReadDigits(text, &i, 2, &month) || !Expect(text, &i, '-') ||
      !ReadDigits(text, &i, 2, &day)) {
    return false;
  }
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) {
    return false;
  }
  bool leap = yearMod400 % 4 == 0 && (yearMod400 % 100 != 0 || yearMod400 == 0);
  int daysInMonth = kDays[static_cast<std::size_t>(month - 1)] + (month == 2 && leap ? 1 : 0);
  if (day > daysInMonth) {
    return false;
  }
  *pos = i;
  return true;
}

// hh ":" mm ":" ss ("." digits)?; 24:00:00 stands for the end of the day.
bool ReadTime(std::string_view text, std::size_t* pos) {
  std::size_t i = *pos;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!ReadDigits(text, &i, 2, &hour) || !Expect(text, &i, ':') ||
      !ReadDigits(text, &i, 2, &minute) || !Expect(text, &i, ':') ||
      !ReadDigits(text, &i, 2, &second)) {
    return false;
  }
  bool fractionZero = true;
  if (Expect(text, &i, '.')) {
    std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) {
      fractionZero = fractionZero && text[i] == '0';
      ++i;
    }
    if (i == start) {
      return false;
    }
  }
  if (minute > 59 || second > 59 || hour > 24 ||
      (hour == 24 && (minute != 0 || second != 0 || !fractionZero))) {
    return false;
  }
  *pos = i;
  return true;
}

// Nothing, "Z", or "+hh:mm" / "-hh:mm" up to 14:00, then the end of the text.
bool ReadZoneToEnd(std::string_view text, std::size_t pos) {
  if (pos == text.size()) {
    return true;
  }
  if (text[pos] == 'Z') {
    return pos + 1 == text.size();
  }
  if (text[pos] != '+' && text[pos] != '-') {
    return false;
  }
  ++pos;
  int hour = 0;
  int minute = 0;
  if (!ReadDigits(text, &pos, 2, &hour) || !Expect(text, &pos, ':') ||
      !ReadDigits(text, &pos, 2, &minute)) {
    return false;
  }
  return pos == text.size() && minute <= 59 && (hour < 14 || (hour == 14 && minute == 0));
}

bool IsIsoDate(std::string_view v) {
  std::size_t pos = 0;
  return ReadDate(v, &pos) && ReadZoneToEnd(v, pos);
}

bool IsIsoDateTime(std::string_view v) {
  std::size_t pos = 0;
  return ReadDate(v, &pos) && Expect(v, &pos, 'T') && ReadTime(v, &pos) && ReadZoneToEnd(v, pos);
}

template <std::size_t N>
bool IsOneOf(std::string_view v, const std::array<std::string_view, N>& codes) {
  return std::find(codes.begin(), codes.end(), v) != codes.end();
}

std::string_view AmountRule(std::string_view v) {
  std::optional<Decimal> d = ParseDecimal(v);
  if (!d) {
    return "nem érvényes összeg";
  }
  if (d->negative) {
    return "az összeg nem lehet negatív";
  }
  if (d->fractionDigits > 5) {
    return "legfeljebb 5 tizedesjegy";
  }
  return d->totalDigits > 18 ? "legfeljebb 18 számjegy" : "";
}

std::string_view DecimalNumberRule(std::string_view v, std::size_t maxFractionDigits) {
  std::optional<Decimal> d = ParseDecimal(v);
  if (!d) {
    return "nem érvényes szám";
  }
  if (d->fractionDigits > maxFractionDigits) {
    return maxFractionDigits == 2 ? "legfeljebb 2 tizedesjegy" : "legfeljebb 17 tizedesjegy";
  }
  return d->totalDigits > 18 ? "legfeljebb 18 számjegy" : "";
}

// The elements the SEPA writer writes below CstmrCdtTrfInitn, in document order; an
// element's children follow it at the next level.
struct Element {
  int level;
  std::string_view tag;
  bool leaf;
  LeafType type;
  int versions;  // kIn03 | kIn09
};

constexpr int kIn03 = 1;
constexpr int kIn09 = 2;
constexpr int kInBoth = kIn03 | kIn09;

constexpr Element Container(int level, std::string_view tag, int versions = kInBoth) {
  return {level, tag, false, LeafType::kMax35Text, versions};
}
constexpr Element Leaf(int level, std::string_view tag, LeafType type, int versions = kInBoth) {
  return {level, tag, true, type, versions};
}

using T = LeafType;
// The elements of both versions, each marked with the versions that have it: the 2009
// document and the 2019 one as the EPC restricts it.
constexpr std::array kAllElements = {
    Container(0, "GrpHdr"),
    Leaf(1, "MsgId", T::kMax35Text),
    Leaf(1, "CreDtTm", T::kIsoDateTime),
    Leaf(1, "NbOfTxs", T::kMax15NumericText),
    Leaf(1, "CtrlSum", T::kDecimalNumber, kIn03),
    Leaf(1, "CtrlSum", T::kDecimalNumber2, kIn09),
    Container(1, "InitgPty"),
    Leaf(2, "Nm", T::kMax140Text, kIn03),
    Leaf(2, "Nm", T::kMax70Name, kIn09),
    Container(0, "PmtInf"),
    Leaf(1, "PmtInfId", T::kMax35Text),
    Leaf(1, "PmtMtd", T::kPaymentMethod3Code),
    Leaf(1, "BtchBookg", T::kBatchBookingIndicator),
    Leaf(1, "NbOfTxs", T::kMax15NumericText, kIn09),
    Leaf(1, "CtrlSum", T::kDecimalNumber2, kIn09),
    Container(1, "PmtTpInf"),
    Leaf(2, "InstrPrty", T::kPriority2Code, kIn09),
    Container(2, "SvcLvl"),
    Leaf(3, "Cd", T::kExternalServiceLevel1Code, kIn03),
    Leaf(3, "Cd", T::kEpcServiceLevelCode, kIn09),
    Leaf(3, "Prtry", T::kMax35Text, kIn03),
    Container(2, "LclInstrm"),
    Leaf(3, "Cd", T::kExternalLocalInstrument1Code),
    Leaf(3, "Prtry", T::kMax35Text),
    Leaf(1, "ReqdExctnDt", T::kIsoDate, kIn03),
    Container(1, "ReqdExctnDt", kIn09),
    Leaf(2, "Dt", T::kIsoDate, kIn09),
    Container(1, "Dbtr"),
    Leaf(2, "Nm", T::kMax140Text, kIn03),
    Leaf(2, "Nm", T::kMax70Name, kIn09),
    Container(2, "PstlAdr"),
    Leaf(3, "PstCd", T::kMax16Text),
    Leaf(3, "TwnNm", T::kMax35Text),
    Leaf(3, "Ctry", T::kCountryCode),
    Leaf(3, "AdrLine", T::kMax70Text),
    Container(1, "DbtrAcct"),
    Container(2, "Id"),
    Leaf(3, "IBAN", T::kIban2007Identifier),
    Container(1, "DbtrAgt"),
    Container(2, "FinInstnId"),
    Leaf(3, "BIC", T::kBicIdentifier, kIn03),
    Leaf(3, "BICFI", T::kBicfiIdentifier, kIn09),
    Container(3, "Othr"),
    Leaf(4, "Id", T::kMax35Text),
    Leaf(1, "ChrgBr", T::kChargeBearerType1Code),
    Container(1, "CdtTrfTxInf"),
    Container(2, "PmtId"),
    Leaf(3, "InstrId", T::kMax35Text),
    Leaf(3, "EndToEndId", T::kMax35Text),
    Container(2, "Amt"),
    Leaf(3, "InstdAmt", T::kActiveOrHistoricCurrencyAndAmount),
    Container(2, "XchgRateInf", kIn03),
    Leaf(3, "RateTp", T::kExchangeRateType1Code, kIn03),
    Leaf(2, "ChrgBr", T::kChargeBearerType1Code, kIn03),
    Container(2, "CdtrAgt"),
    Container(3, "FinInstnId"),
    Leaf(4, "BIC", T::kBicIdentifier, kIn03),
    Leaf(4, "BICFI", T::kBicfiIdentifier, kIn09),
    Container(2, "Cdtr"),
    Leaf(3, "Nm", T::kMax140Text, kIn03),
    Leaf(3, "Nm", T::kMax70Name, kIn09),
    Container(3, "PstlAdr"),
    Leaf(4, "PstCd", T::kMax16Text),
    Leaf(4, "TwnNm", T::kMax35Text),
    Leaf(4, "Ctry", T::kCountryCode),
    Leaf(4, "AdrLine", T::kMax70Text),
    Container(2, "CdtrAcct"),
    Container(3, "Id"),
    Leaf(4, "IBAN", T::kIban2007Identifier),
    Container(2, "Purp"),
    Leaf(3, "Cd", T::kExternalPurpose1Code),
    Leaf(3, "Prtry", T::kMax35Text, kIn03),
    Container(2, "RmtInf"),
    Leaf(3, "Ustrd", T::kMax140Text),
};

constexpr std::size_t CountIn(int version) {
  std::size_t count = 0;
  for (const Element& e : kAllElements) {
    count += (e.versions & version) != 0 ? 1 : 0;
  }
  return count;
}

// The elements of one version, in document order; an element's children follow it at the
// next level.
template <int kVersion>
constexpr auto ElementsIn() {
  std::array<Element, CountIn(kVersion)> elements{};
  std::size_t n = 0;
  for (const Element& e : kAllElements) {
    if ((e.versions & kVersion) != 0) {
      elements[n++] = e;
    }
  }
  return elements;
}
constexpr std::array kElements03 = ElementsIn<kIn03>();
constexpr std::array kElements09 = ElementsIn<kIn09>();

// For each element, the index of the next one at its level or above: its next sibling when
// that has the same level.
template <std::size_t N>
constexpr std::array<int, N> NextSiblings(const std::array<Element, N>& elements) {
  std::array<int, N> after{};
  for (std::size_t i = 0; i < N; ++i) {
    std::size_t j = i + 1;
    while (j < N && elements[j].level > elements[i].level) {
      ++j;
    }
    after[i] = static_cast<int>(j);
  }
  return after;
}
constexpr std::array kAfter03 = NextSiblings(kElements03);
constexpr std::array kAfter09 = NextSiblings(kElements09);

}  // namespace

struct Pain001Path::Table {
  const Element* elements;
  const int* after;
  int count;

  const Element& at(int i) const { return elements[i]; }
  int next(int i) const { return after[i]; }
};

namespace {

constexpr Pain001Path::Table kTable03 = {kElements03.data(), kAfter03.data(),
                                         static_cast<int>(kElements03.size())};
constexpr Pain001Path::Table kTable09 = {kElements09.data(), kAfter09.data(),
                                         static_cast<int>(kElements09.size())};

// Tags are a few letters: compared in line, the length first.
bool SameTag(std::string_view known, std::string_view tag) {
  if (known.size() != tag.size()) {
    return false;
  }
  for (std::size_t i = 0; i < known.size(); ++i) {
    if (known[i] != tag[i]) {
      return false;
    }
  }
  return true;
}

// The child `tag` of element `parent` (-1: the top level) in `table`; -1 when there is none.
// The search starts at `from`, the sibling after the one found last, since the elements come
// in table order; it wraps around to the first child for an element out of that order.
int FindChild(const Pain001Path::Table& table, int parent, int from, std::string_view tag) {
  int first = parent + 1;
  int level = parent < 0 ? 0 : table.at(parent).level + 1;
  auto isChild = [&](int j) { return j < table.count && table.at(j).level == level; };
  for (int j = from; isChild(j); j = table.next(j)) {
    if (SameTag(table.at(j).tag, tag)) {
      return j;
    }
  }
  for (int j = first; j != from && isChild(j); j = table.next(j)) {
    if (SameTag(table.at(j).tag, tag)) {
      return j;
    }
  }
  return -1;
}

}  // namespace

bool IsTextType(LeafType type) {
  switch (type) {
  case LeafType::kMax35Text:
  case LeafType::kMax70Text:
  case LeafType::kMax140Text:
  case LeafType::kMax16Text:
  case LeafType::kMax70Name:
  case LeafType::kExternalServiceLevel1Code:
  case LeafType::kExternalLocalInstrument1Code:
  case LeafType::kExternalPurpose1Code:
    return true;
  default:
    return false;
  }
}

std::string_view TextLengthRule(LeafType type, std::size_t characters) {
  if (characters == 0) {
    return IsTextType(type) ? "nem lehet üres" : "";
  }
  switch (type) {
  case LeafType::kMax35Text:
  case LeafType::kExternalLocalInstrument1Code:
    return characters > 35 ? "legfeljebb 35 karakter" : "";
  case LeafType::kMax16Text:
    return characters > 16 ? "legfeljebb 16 karakter" : "";
  case LeafType::kMax70Text:
  case LeafType::kMax70Name:
    return characters > 70 ? "legfeljebb 70 karakter" : "";
  case LeafType::kMax140Text:
    return characters > 140 ? "legfeljebb 140 karakter" : "";
  case LeafType::kExternalServiceLevel1Code:
  case LeafType::kExternalPurpose1Code:
    return characters > 4 ? "legfeljebb 4 karakter" : "";
  default:
    return "";
  }
}

std::string_view LeafTypeRule(LeafType type, std::string_view value) {
  static constexpr std::array<std::string_view, 3> kPaymentMethods = {"CHK", "TRF", "TRA"};
  static constexpr std::array<std::string_view, 4> kChargeBearers = {"DEBT", "CRED", "SHAR",
                                                                     "SLEV"};
  static constexpr std::array<std::string_view, 3> kRateTypes = {"SPOT", "SALE", "AGRD"};
  static constexpr std::array<std::string_view, 4> kBooleans = {"true", "false", "1", "0"};
  if (IsTextType(type)) {
    return TextLengthRule(type, CharCount(value));
  }
  switch (type) {
  case LeafType::kMax35Text:
  case LeafType::kExternalLocalInstrument1Code:
  case LeafType::kMax70Text:
  case LeafType::kMax140Text:
  case LeafType::kMax16Text:
  case LeafType::kMax70Name:
  case LeafType::kExternalServiceLevel1Code:
  case LeafType::kExternalPurpose1Code:
    return "";  // above
  case LeafType::kEpcServiceLevelCode:
    return value == "SEPA" ? "" : "nem megengedett kód (csak SEPA)";
  case LeafType::kPriority2Code:
    return value == "HIGH" || value == "NORM" ? "" : "nem megengedett kód (HIGH, NORM)";
  case LeafType::kBicfiIdentifier:
    return IsBicfiIdentifier(value)
               ? ""
               : "nem érvényes BIC (minta: 8 vagy 11 nagybetű vagy számjegy, az 5–6. betű)";
  case LeafType::kDecimalNumber2:
    return DecimalNumberRule(value, 2);
  case LeafType::kIban2007Identifier:
    return IsIban2007(value)
               ? ""
               : "nem érvényes IBAN (minta: két nagybetű, két számjegy, 1–30 betű vagy számjegy)";
  case LeafType::kBicIdentifier:
    return IsBicIdentifier(value)
               ? ""
               : "nem érvényes BIC (minta: 8 vagy 11 nagybetű vagy számjegy, az első hat betű)";
  case LeafType::kCountryCode:
    return value.size() == 2 && IsUpper(value[0]) && IsUpper(value[1])
               ? ""
               : "nem érvényes országkód (két nagybetű)";
  case LeafType::kMax15NumericText:
    return !value.empty() && value.size() <= 15 && std::all_of(value.begin(), value.end(), IsDigit)
               ? ""
               : "1–15 számjegy lehet";
  case LeafType::kActiveOrHistoricCurrencyAndAmount:
    return AmountRule(value);
  case LeafType::kDecimalNumber:
    return DecimalNumberRule(value, 17);
  case LeafType::kIsoDate:
    return IsIsoDate(value) ? "" : "nem érvényes dátum (ÉÉÉÉ-HH-NN, létező nap)";
  case LeafType::kIsoDateTime:
    return IsIsoDateTime(value) ? "" : "nem érvényes időpont (ÉÉÉÉ-HH-NNTóó:pp:mm, létező nap)";
  case LeafType::kPaymentMethod3Code:
    return IsOneOf(value, kPaymentMethods) ? "" : "nem megengedett kód (CHK, TRF, TRA)";
  case LeafType::kChargeBearerType1Code:
    return IsOneOf(value, kChargeBearers) ? "" : "nem megengedett kód (DEBT, CRED, SHAR, SLEV)";
  case LeafType::kExchangeRateType1Code:
    return IsOneOf(value, kRateTypes) ? "" : "nem megengedett kód (SPOT, SALE, AGRD)";
  case LeafType::kBatchBookingIndicator:
    return IsOneOf(Trimmed(value), kBooleans) ? "" : "nem logikai érték (true, false, 1, 0)";
  }
  return "";
}

std::string_view InstructedAmountRule(std::string_view printed) {
  static constexpr std::string_view kRule = "az összeg 0,01 és 999999999,99 között lehet";
  static constexpr std::uint64_t kMaxCents = 99999999999;
  std::size_t point = printed.find('.');
  if (point == std::string_view::npos || point == 0 || printed.size() - point != 3) {
    return kRule;  // no number of the writer's form, or below zero
  }
  std::uint64_t cents = 0;
  for (std::size_t i = 0; i < printed.size(); ++i) {
    char c = printed[i];
    if (i == point) {
      continue;
    }
    if (!IsDigit(c)) {
      return kRule;
    }
    cents = cents * 10 + static_cast<std::uint64_t>(c - '0');
    if (cents > kMaxCents) {
      return kRule;
    }
  }
  return cents >= 1 ? "" : kRule;
}

std::string HuIbanSourceRule(std::string_view bankCodeUtf8) {
  std::string rule =
      "nem IBAN, és belföldi számlaszámból sem képezhető IBAN (8 számjegyű bankkód és 8 vagy 16 "
      "számjegyű számlaszám kell; bankkód: „";
  rule.append(bankCodeUtf8).append("”)");
  return rule;
}

Pain001Path::Pain001Path(SepaOptions::Format format)
    : table_(format == SepaOptions::Format::kPain00100109 ? &kTable09 : &kTable03) {}

std::optional<LeafType> Pain001Path::Enter(std::string_view tag, int depth) {
  int level = depth - kFirstDepth;
  if (level < 0 || level >= kMaxLevels || level > level_ + 1) {
    // Outside the tree: nothing below it is known either.
    level_ = std::clamp(level, 0, kMaxLevels - 1);
    tags_[static_cast<std::size_t>(level_)] = tag;
    entries_[static_cast<std::size_t>(level_)] = kUnknown;
    return std::nullopt;
  }
  auto at = static_cast<std::size_t>(level);
  int parent = level == 0 ? -1 : entries_[at - 1];
  int entry = kUnknown;
  if (level == 0 || parent >= 0) {
    // The sibling found last at this level, when the parent has not changed since.
    int previous = level <= level_ ? entries_[at] : kUnknown;
    int from = previous >= 0 ? table_->next(previous) : parent + 1;
    entry = FindChild(*table_, parent, from, tag);
  }
  level_ = level;
  tags_[at] = tag;
  entries_[at] = entry;
  if (entry < 0 || !table_->at(entry).leaf) {
    return std::nullopt;
  }
  return table_->at(entry).type;
}

std::string Pain001Path::Path() const {
  std::string path;
  for (int i = 0; i <= level_; ++i) {
    if (i > 0) {
      path.push_back('/');
    }
    path.append(tags_[static_cast<std::size_t>(i)]);
  }
  return path;
}

std::optional<LeafType> Pain001LeafType(std::string_view path, SepaOptions::Format format) {
  Pain001Path walker(format);
  std::optional<LeafType> type;
  int depth = Pain001Path::kFirstDepth;
  while (true) {
    std::size_t slash = path.find('/');
    type = walker.Enter(path.substr(0, slash), depth++);
    if (slash == std::string_view::npos) {
      return type;
    }
    path.remove_prefix(slash + 1);
  }
}

}  // namespace varnex
