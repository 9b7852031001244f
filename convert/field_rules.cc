#include "convert/field_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "app/settings.h"
#include "convert/account_utils.h"
#include "convert/generated_id.h"
#include "util/ascii.h"
#include "util/byte_search.h"

namespace varnex {

namespace {

bool IsDecimalPoint(char c) {
  return c == '.' || c == ',';
}

// The value of "digits.fraction" (either may be empty, not both), read with the point as
// decimal separator whatever the locale.
double ParseUnsignedDecimal(std::string_view digits, std::string_view fraction) {
  // Amounts are short; a longer digit string takes the heap.
  std::array<char, 64> small;
  std::string large;
  char* begin = small.data();
  std::size_t length = digits.size() + 1 + fraction.size();
  if (length > small.size()) {
    large.resize(length);
    begin = large.data();
  }
  char* p = begin;
  p = std::copy(digits.begin(), digits.end(), p);
  *p++ = '.';
  p = std::copy(fraction.begin(), fraction.end(), p);
  double value = 0;
  auto [end, error] = std::from_chars(begin, p, value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Too large when a non-zero digit stands before the point, else too small.
    bool tooLarge = digits.find_first_not_of('0') != std::string_view::npos;
    return tooLarge ? HUGE_VAL : 0.0;
  }
  return error == std::errc() ? value : 0.0;
}

bool HoldsTrailer(std::string_view line) {
  for (std::size_t dash = FindByte(line, '-'); dash != std::string_view::npos;
       dash = FindByte(line, '-', dash + 1)) {
    if (dash + 1 < line.size() && line[dash + 1] == '}') {
      return true;
    }
  }
  return false;
}

}  // namespace

FieldLines FieldReader::Find(std::string_view tag) const {
  if (message_ == nullptr) {
    return {};
  }
  std::optional<MtFieldView> field = message_->Find(tag);
  if (!field) {
    return {};
  }
  std::span<const std::string_view> lines = field->lines;
  if (stopAtTrailer_) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (HoldsTrailer(lines[i])) {
        lines = lines.first(i);
        break;
      }
    }
  }
  return FieldLines(lines);
}

void SplitWords(std::string_view line, std::span<std::string_view> words) {
  std::size_t start = 0;
  bool more = true;
  for (std::string_view& word : words) {
    if (!more) {
      word = {};
      continue;
    }
    std::size_t blank = FindByte(line, ' ', start);
    more = blank != std::string_view::npos;
    word = line.substr(start, more ? blank - start : std::string_view::npos);
    start = blank + 1;
  }
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

double ReadAmount(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::size_t digitsStart = i;
  while (i < text.size() && IsDigit(text[i])) {
    ++i;
  }
  std::string_view digits = text.substr(digitsStart, i - digitsStart);
  std::string_view fraction;
  if (i + 1 < text.size() && IsDecimalPoint(text[i]) && IsDigit(text[i + 1])) {
    std::size_t fractionStart = ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ++i;
    }
    fraction = text.substr(fractionStart, i - fractionStart);
  }
  if (digits.empty() && fraction.empty()) {
    return 0.0;
  }
  double value = ParseUnsignedDecimal(digits, fraction);
  // "-0,00" reads as 0, not as a negative zero that would print with its sign.
  return negative && value != 0.0 ? -value : value;
}

bool KeywordRuleMatches(const FieldLines& field, std::string_view keywords) {
  if (!field.present() || keywords.empty()) {
    return false;
  }
  std::size_t start = 0;
  while (true) {
    std::size_t comma = keywords.find(',', start);
    std::string_view item = keywords.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    // An empty item ends the list: ",X" matches nothing, "X,,Y" never reaches Y.
    if (item.empty()) {
      return false;
    }
    item = TrimBlanks(item);
    for (std::string_view line : field.lines()) {
      if (line.find(item) != std::string_view::npos) {
        return true;
      }
    }
    if (comma == std::string_view::npos) {
      return false;
    }
    start = comma + 1;
  }
}

bool UrgencyRuleMatches(const FieldReader& fields, const Settings& settings) {
  return KeywordRuleMatches(fields.Find(settings.urgentSrcField), settings.urgentSrcKeyword);
}

PartyLines ReadPartyLines(const FieldLines& field, int nameLine) {
  PartyLines party;
  party.name = field.line(nameLine);
  int following = field.count() - nameLine;
  if (following == 1 || following == 2) {
    party.address1 = field.line(nameLine + 1);
    party.address2 = field.line(nameLine + 2);
  } else if (following >= 3) {
    party.name2 = field.line(nameLine + 1);
    party.address1 = field.line(nameLine + 2);
    party.address2 = field.line(nameLine + 3);
  }
  return party;
}

void StartPaymentRecord(PaymentRecord& out, std::string_view srcType,
                        const GroupHeaderRecord& header, const LocalTime& now,
                        std::int32_t& sequence) {
  out = PaymentRecord{};
  out.SrcType.Assign(srcType);
  AssignGeneratedId(now, sequence, out.PmtInfId);
  out.EndToEndId.Assign("NOTPROVIDED");
  out.DbtrAgtBic = header.BankBic;
  out.DbtrIdType = 2;
  out.CdtrIdType = 2;
}

void FillPriorityAndExchangeRate(PaymentRecord& out, const FieldReader& fields,
                                 const Settings& settings) {
  out.IsUrgent = UrgencyRuleMatches(fields, settings) ? 1 : 0;
  const std::string& target = out.IsUrgent ? settings.urgentTrgtField : settings.normalTrgtField;
  const std::string& keyword =
      out.IsUrgent ? settings.urgentTrgtKeyword : settings.normalTrgtKeyword;
  if (target == "Cd") {
    out.SvcLvlCd.Assign(keyword);
  } else if (target == "Prtry") {
    out.SvcLvlPrtry.Assign(keyword);
  }
  if (KeywordRuleMatches(fields.Find(settings.xchgSrcField), settings.xchgSrcKeyword)) {
    out.HasXchgRate = 1;
    out.XchgRateTp.Assign(settings.xchgTrgtKeyword);
  }
}

double ReadInstructedAmount(const FieldReader& fields) {
  FieldLines valueDate = fields.Find("32A");
  return valueDate.has(1) ? ReadAmount(SafeMidFrom(valueDate.line(1), 9)) : 0.0;
}

void FillCommonFields(PaymentRecord& out, const FieldReader& fields) {
  out.InstrId.Assign(fields.Find("20").line(1));

  FieldLines valueDate = fields.Find("32A");
  if (valueDate.has(1)) {
    // YYMMDD, currency, amount with a decimal comma.
    std::string_view line = valueDate.line(1);
    out.ReqdExctnDt.Assign("20");
    out.ReqdExctnDt.Append(SafeMid(line, 0, 6));
    out.InstdAmtCcy.Assign(SafeMid(line, 6, 3));
    out.InstdAmt = ReadAmount(SafeMidFrom(line, 9));
  }

  PartyLines debtor = ReadPartyLines(fields.Find("50"), 1);
  out.DbtrNm.Assign(debtor.name);
  out.DbtrNm2.Assign(debtor.name2);
  out.DbtrAdr1.Assign(debtor.address1);
  out.DbtrAdr2.Assign(debtor.address2);

  FieldLines remittance = fields.Find("70");
  out.RmtInfUstrd1.Assign(remittance.line(1));
  out.RmtInfUstrd2.Assign(remittance.line(2));
  out.RmtInfUstrd3.Assign(remittance.line(3));
  out.RmtInfUstrd4.Assign(remittance.line(4));

  out.ChrgBr71A.Assign(fields.Find("71A").line(1));
}

void FillDebtorAccount(PaymentRecord& out, std::string_view account) {
  if (account.size() == 24) {
    out.DbtrAcctId.Assign(SafeMidFrom(account, 8));
    out.DbtrAgtBankCode.Assign(SafeMid(account, 0, 8));
  } else if (IsValidIban(account)) {
    out.DbtrAcctId.Assign(account);
    out.DbtrAgtBankCode.Assign(SafeMid(account, 4, 8));
  } else {
    out.DbtrAcctId.Assign(account);
  }
}

void FillBeneficiaryBankLines(PaymentRecord& out, const FieldLines& field57d) {
  out.CdtrAgtNm.Assign(field57d.line(1));
  out.CdtrAgtAdr1.Assign(field57d.line(2));
  out.CdtrAgtAdr2.Assign(field57d.line(3));
  out.CdtrAgtAdr3.Assign(field57d.line(4));
}

void FillCreditorParty(PaymentRecord& out, const FieldLines& field59, int nameLine) {
  PartyLines creditor = ReadPartyLines(field59, nameLine);
  out.CdtrNm.Assign(creditor.name);
  out.CdtrNm2.Assign(creditor.name2);
  out.CdtrAdr1.Assign(creditor.address1);
  out.CdtrAdr2.Assign(creditor.address2);
}

void ApplyBankBicFallback(PaymentRecord& out, const Settings& settings) {
  if (!IsWellFormedBic(out.DbtrAgtBic.view())) {
    out.DbtrAgtBic.Assign(settings.bankBic);
  }
}

}  // namespace varnex
