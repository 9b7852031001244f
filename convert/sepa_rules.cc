#include "convert/sepa_rules.h"

#include "convert/account_utils.h"
#include "convert/field_rules.h"

namespace varnex {

namespace {

bool IsEuroOrder(const FieldReader& fields) {
  FieldLines valueDate = fields.Find("32A");
  return valueDate.has(1) && SafeMid(valueDate.line(1), 6, 3) == "EUR";
}

// A valid IBAN whose country is listed.
bool IsSepaIban(std::string_view iban, std::string_view sepaCountries) {
  return IsValidIban(iban) && IsListedCountry(SafeMid(iban, 0, 2), sepaCountries);
}

// The ordering party's account of an INT order.
bool IsSepaDebtorAccount(const FieldReader& fields, std::string_view sepaCountries) {
  FieldLines bank = fields.Find("52A");
  if (bank.present()) {
    std::string_view account = SafeMidFrom(bank.line(1), 3);
    if (IsValidIban(account)) {
      return IsListedCountry(SafeMid(account, 0, 2), sepaCountries);
    }
    // A valid domestic account needs no country listing.
    std::string_view bankCode = bank.line(2);
    return account.size() == 16 && CheckDomestic16(account) && bankCode.size() == 8 &&
           CheckDomestic8(bankCode);
  }
  FieldLines debtor = fields.Find("52D");
  return debtor.has(1) && IsSepaIban(SafeMidFrom(debtor.line(1), 3), sepaCountries);
}

}  // namespace

bool IsListedCountry(std::string_view code, std::string_view sepaCountries) {
  return sepaCountries.find(code) != std::string_view::npos;
}

bool IsHuaSepa(const MtMessage& message, std::string_view sepaCountries) {
  FieldReader fields(&message, false);
  FieldLines beneficiaryBank = fields.Find("57A");
  if (!beneficiaryBank.present() ||
      !IsListedCountry(SafeMid(beneficiaryBank.line(1), 4, 2), sepaCountries)) {
    return false;
  }
  FieldLines beneficiary = fields.Find("59");
  return IsEuroOrder(fields) && beneficiary.has(1) &&
         IsValidIban(SafeMidFrom(beneficiary.line(1), 1));
}

bool IsIntSepa(const MtMessage& message, std::string_view sepaCountries) {
  FieldReader fields(&message, false);
  FieldLines beneficiary = fields.Find("59");
  std::string_view line = beneficiary.line(1);
  return IsSepaDebtorAccount(fields, sepaCountries) && IsEuroOrder(fields) && beneficiary.has(1) &&
         line.starts_with('/') && IsSepaIban(SafeMidFrom(line, 1), sepaCountries);
}

}  // namespace varnex
