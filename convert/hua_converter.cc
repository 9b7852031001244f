#include "convert/hua_converter.h"

#include <algorithm>
#include <array>

#include "convert/account_utils.h"
#include "convert/field_rules.h"
#include "convert/sepa_rules.h"
#include "convert/settings.h"
#include "util/byte_search.h"

namespace varnex {

namespace {

char FirstChar(std::string_view word) {
  return word.empty() ? '\0' : word.front();
}

// The charges amount of 52D line 3: it follows the currency directly, as the HUA writer puts
// it ("HUF1234,00"), or after blanks ("HUF 1234,00").
std::string_view ChargesAmountText(std::string_view line) {
  std::string_view amount = SafeMidFrom(line, 3);
  amount.remove_prefix(std::min(amount.find_first_not_of(' '), amount.size()));
  return amount;
}

// 52D: the debtor account in line 1, the charges account in line 2, the charges currency and
// amount in line 3, and country words in line 4.
void FillDebtorAndCharges(PaymentRecord& out, const FieldLines& field) {
  if (field.has(1)) {
    FillDebtorAccount(out, field.line(1));
  }
  out.ChrgsAcctId.Assign(field.line(2));
  if (field.has(3)) {
    std::string_view line = field.line(3);
    out.ChrgsAcctCcy.Assign(SafeMid(line, 0, 3));
    out.ChrgsAmt = ReadAmount(ChargesAmountText(line)).cents;
  }
  if (field.has(4)) {
    std::array<std::string_view, 3> words;
    SplitWords(SafeMid(field.line(4), 0, 12), words);
    out.Fld52DWord1.Assign(words[0]);
    out.CdtrCtry.Assign(words[1]);
    out.CdtrAgtCtry.Assign(words[2]);
  }
}

// 72 line 4 holds "T <text> F <text>", as the HUA writer builds it: the first part runs up to
// the first "F", the second from that "F" up to the next one. Each part is trimmed and loses
// its two-character label.
void SplitTransferLine(PaymentRecord& out, std::string_view line) {
  std::size_t firstF = FindByte(line, 'F');
  std::string_view first = line.substr(0, firstF);
  std::string_view second;
  if (firstF != std::string_view::npos) {
    std::size_t nextF = FindByte(line, 'F', firstF + 1);
    second = line.substr(firstF, nextF == std::string_view::npos ? nextF : nextF - firstF);
  }
  out.Info72T.Assign(SafeMidFrom(TrimBlanks(first), 2));
  out.Info72F.Assign(SafeMidFrom(TrimBlanks(second), 2));
}

// 72, lines 1-5: kept whole, and taken apart into the pieces the HUA writer puts back.
void FillSenderToReceiverInfo(PaymentRecord& out, const FieldLines& field) {
  if (field.has(1)) {
    std::string_view line = field.line(1);
    out.Info72Line1.Assign(line);
    std::array<std::string_view, 4> words;
    SplitWords(line, words);
    out.Info72W1.Assign(words[0]);
    out.Info72W2.Assign(words[1]);
    out.Info72W3.Assign(words[2]);
    out.Info72W4.Assign(words[3]);
  }
  if (field.has(2)) {
    out.Info72Line2.Assign(field.line(2));
    out.Info72Line2Short.Assign(field.line(2));
  }
  if (field.has(3)) {
    out.Info72Line3.Assign(field.line(3));
    out.LclInstrmPrtry.Assign(field.line(3));
  }
  if (field.has(4)) {
    out.Info72Line4.Assign(field.line(4));
    SplitTransferLine(out, field.line(4));
  }
  if (field.has(5)) {
    std::string_view line = field.line(5);
    out.Info72Line5.Assign(line);
    std::array<std::string_view, 6> words;
    SplitWords(line, words);
    out.DbtrCtry.Assign(words[0]);
    out.Flag72a = FirstChar(words[1]);
    out.Flag72b = FirstChar(words[2]);
    out.Flag72c = FirstChar(words[3]);
    out.Flag72d = FirstChar(words[4]);
    out.Flag72e = FirstChar(words[5]);
  }
}

}  // namespace

void HuaConverter::FillPaymentRecord(PaymentRecord& out, const GroupHeaderRecord& header,
                                     std::int32_t& sequence) {
  StartPaymentRecord(out, "HUA", header, clock_.Now(), sequence);
  FieldReader fields(message_, /*stopAtTrailer=*/true);
  FillPriorityAndExchangeRate(out, fields, settings_);
  // The bank code of the block header; a domestic account or an IBAN in 52D replaces it.
  out.DbtrAgtBankCode.Assign(fields.Find("OPGA").line(1));
  FillCommonFields(out, fields);
  FillDebtorAndCharges(out, fields.Find("52D"));

  out.CdtrAgtBic.Assign(fields.Find("57A").line(1));
  FillBeneficiaryBankLines(out, fields.Find("57D"));

  // Line 1 of 59 is the account after a "/"; its first character is dropped whatever it is.
  FieldLines beneficiary = fields.Find("59");
  out.CdtrAcctId.Assign(SafeMidFrom(beneficiary.line(1), 1));
  FillCreditorParty(out, beneficiary, 2);

  FillSenderToReceiverInfo(out, fields.Find("72"));
  ApplyBankBicFallback(out, settings_);
}

std::int64_t HuaConverter::ReadAmounts(std::vector<AmountProblem>* out) const {
  std::int64_t cents = Converter::ReadAmounts(out);
  // No charges amount is 0; one that is given must be an amount.
  std::string_view text =
      ChargesAmountText(FieldReader(message_, /*stopAtTrailer=*/true).Find("52D").line(3));
  AmountReading charges = ReadAmount(text);
  if (!text.empty() && !charges.problem.empty()) {
    out->push_back({":52D:", text, charges.problem});
  }
  return cents;
}

bool HuaConverter::MeetsSepaRules() const {
  return message_ != nullptr && IsHuaSepa(*message_, settings_.sepaCountries);
}

std::vector<std::string> HuaConverter::SepaRuleFailures(const CodePages& codePages) const {
  if (message_ == nullptr) {
    return {"nincs üzenet"};
  }
  return HuaSepaFailures(*message_, settings_.sepaCountries, codePages);
}

bool HuaConverter::IsUrgentMessage() const {
  return UrgencyRuleMatches(FieldReader(message_, /*stopAtTrailer=*/true), settings_);
}

}  // namespace varnex
