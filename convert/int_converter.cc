#include "convert/int_converter.h"

#include "convert/account_utils.h"
#include "convert/field_rules.h"
#include "convert/sepa_rules.h"
#include "convert/settings.h"

namespace varnex {

namespace {

bool StartsWithDigit(std::string_view text) {
  return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

// Ordering bank and account: 52A when present, else 52D. Line 1 holds the account after a
// three-character prefix such as "/D/".
void FillDebtorAgent(PaymentRecord& out, const FieldReader& fields) {
  FieldLines bank = fields.Find("52A");
  if (bank.present()) {
    if (bank.has(1)) {
      FillDebtorAccount(out, SafeMidFrom(bank.line(1), 3));
    }
    // Line 2 is a domestic bank code when it starts with a digit, else a BIC.
    if (bank.has(2)) {
      std::string_view agent = bank.line(2);
      if (StartsWithDigit(agent)) {
        out.DbtrAgtBankCode.Assign(agent);
        out.DbtrAgtIdType = 2;
      } else {
        out.DbtrAgtBic.Assign(agent);
        out.DbtrAgtIdType = 1;
      }
    }
    return;
  }
  FieldLines debtor = fields.Find("52D");
  if (debtor.has(1)) {
    FillDebtorAccount(out, SafeMidFrom(debtor.line(1), 3));
    if (IsValidIban(out.DbtrAcctId.view())) {
      out.DbtrCtry.Assign(SafeMid(out.DbtrAcctId.view(), 0, 2));
    }
  }
  out.DbtrAgtNm.Assign(debtor.line(2));
  out.DbtrAgtAdr1.Assign(debtor.line(3));
  out.DbtrAgtAdr2.Assign(debtor.line(4));
  out.DbtrAgtAdr3.Assign(debtor.line(5));
}

// Sender's correspondent: 53A when present, else 53D. An account line starts with "/" and
// holds the account from its 4th character.
void FillSenderCorrespondent(PaymentRecord& out, const FieldReader& fields) {
  FieldLines byBic = fields.Find("53A");
  if (byBic.present()) {
    if (byBic.has(1)) {
      std::string_view line = byBic.line(1);
      if (line.starts_with('/')) {
        out.SndrCorrAcct.Assign(SafeMidFrom(line, 3));
      } else {
        out.SndrCorrBic.Assign(line);
      }
    }
    if (byBic.has(2)) {
      out.SndrCorrBic.Assign(byBic.line(2));
    }
    return;
  }
  FieldLines byName = fields.Find("53D");
  int nameLine = 1;
  if (byName.line(1).starts_with('/')) {
    out.SndrCorrAcct.Assign(SafeMidFrom(byName.line(1), 3));
    nameLine = 2;
  }
  out.SndrCorrNm.Assign(byName.line(nameLine));
  out.SndrCorrAdr1.Assign(byName.line(nameLine + 1));
  out.SndrCorrAdr2.Assign(byName.line(nameLine + 2));
  out.SndrCorrAdr3.Assign(byName.line(nameLine + 3));
}

// Beneficiary bank: 57A (a BIC, which also gives the countries) when present, else 57D.
void FillBeneficiaryBank(PaymentRecord& out, const FieldReader& fields) {
  FieldLines byBic = fields.Find("57A");
  if (byBic.present()) {
    if (byBic.has(1)) {
      std::string_view bic = byBic.line(1);
      out.CdtrAgtBic.Assign(bic);
      out.CdtrAgtCtry.Assign(SafeMid(bic, 4, 2));
      out.CdtrCtry.Assign(SafeMid(bic, 4, 2));
    }
    return;
  }
  FillBeneficiaryBankLines(out, fields.Find("57D"));
}

// Beneficiary: line 1 is an account when it starts with "/"; the country of a valid IBAN
// replaces the one of the bank's BIC.
void FillCreditor(PaymentRecord& out, const FieldLines& field) {
  std::string_view first = field.line(1);
  if (!first.starts_with('/')) {
    FillCreditorParty(out, field, 1);
    return;
  }
  std::string_view account = SafeMidFrom(first, 1);
  out.CdtrAcctId.Assign(account);
  if (IsValidIban(account)) {
    out.CdtrAgtCtry.Assign(SafeMid(account, 0, 2));
    out.CdtrCtry.Assign(SafeMid(account, 0, 2));
  }
  FillCreditorParty(out, field, 2);
}

}  // namespace

void IntConverter::FillPaymentRecord(PaymentRecord& out, const GroupHeaderRecord& header,
                                     std::int32_t& sequence) {
  StartPaymentRecord(out, "INT", header, clock_.Now(), sequence);
  FieldReader fields(message_, /*stopAtTrailer=*/false);
  FillPriorityAndExchangeRate(out, fields, settings_);
  FillCommonFields(out, fields);
  FillDebtorAgent(out, fields);
  FillSenderCorrespondent(out, fields);
  FillBeneficiaryBank(out, fields);
  FillCreditor(out, fields.Find("59"));

  FieldLines info = fields.Find("72");
  out.Info72Line1.Assign(info.line(1));
  out.Info72Line2.Assign(info.line(2));
  out.Info72Line3.Assign(info.line(3));
  out.Info72Line4.Assign(info.line(4));
  out.Info72Line5.Assign(info.line(5));
  out.Info72Line6.Assign(info.line(6));

  ApplyBankBicFallback(out, settings_);
}

bool IntConverter::MeetsSepaRules() const {
  return message_ != nullptr && IsIntSepa(*message_, settings_.sepaCountries);
}

std::vector<std::string> IntConverter::SepaRuleFailures(const CodePages& codePages) const {
  if (message_ == nullptr) {
    return {"nincs üzenet"};
  }
  return IntSepaFailures(*message_, settings_.sepaCountries, codePages);
}

bool IntConverter::IsUrgentMessage() const {
  return UrgencyRuleMatches(FieldReader(message_, /*stopAtTrailer=*/false), settings_);
}

}  // namespace varnex
