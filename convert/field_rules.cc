#include "convert/field_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "convert/account_utils.h"
#include "convert/generated_id.h"
#include "convert/settings.h"
#include "util/ascii.h"
#include "util/byte_search.h"

namespace varnex {

namespace {

constexpr std::string_view kNoAmount = "hiányzik az összeg";
constexpr std::string_view kMalformedAmount =
    "nem szabályos összeg: csak számjegyek, utánuk legfeljebb egy tizedesvessző vagy -pont és "
    "legfeljebb két tizedesjegy, összesen legfeljebb 15 karakter";
constexpr std::string_view kZeroAmount = "az összeg nulla";
constexpr std::string_view kNoValueDateLine = "hiányzik a :32A: mező (dátum, deviza, összeg)";

// SWIFT's 15d: at most 15 characters, the decimal separator included.
constexpr std::size_t kMaxAmountLength = 15;

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

AmountReading ReadAmount(std::string_view text) {
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  if (text.empty()) {
    return {0, kNoAmount};
  }
  std::size_t mark = text.find_first_of(",.");
  std::string_view units = text.substr(0, mark);
  std::string_view fraction =
      mark == std::string_view::npos ? std::string_view() : text.substr(mark + 1);
  bool digitsOnly = std::all_of(units.begin(), units.end(), IsDigit) &&
                    std::all_of(fraction.begin(), fraction.end(), IsDigit);
  if (text.size() > kMaxAmountLength || units.empty() || fraction.size() > 2 || !digitsOnly) {
    return {0, kMalformedAmount};
  }
  // At most 15 digits: the cents fit a 64-bit count.
  std::int64_t cents = 0;
  for (char c : units) {
    cents = cents * 10 + (c - '0');
  }
  for (std::size_t i = 0; i < 2; ++i) {
    cents = cents * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  }
  return {cents, {}};
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

AmountReading ReadInstructedAmount(const FieldReader& fields, AmountProblem* problem) {
  FieldLines valueDate = fields.Find("32A");
  std::string_view text = SafeMidFrom(valueDate.line(1), 9);
  AmountReading amount = ReadAmount(text);
  if (!valueDate.has(1)) {
    amount.problem = kNoValueDateLine;
  } else if (amount.problem.empty() && amount.cents == 0) {
    amount.problem = kZeroAmount;
  }
  if (problem != nullptr) {
    *problem = {":32A:", text, amount.problem};
  }
  return amount;
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
    out.InstdAmt = ReadAmount(SafeMidFrom(line, 9)).cents;
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
  // Spanish, Czech, Slovak, Swedish and Romanian IBANs are 24 characters long too: only 24
  // digits are a domestic number.
  if (account.size() == 24 && std::all_of(account.begin(), account.end(), IsDigit)) {
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
