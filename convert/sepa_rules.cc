#include "convert/sepa_rules.h"

#include "convert/account_utils.h"
#include "convert/field_rules.h"
#include "platform/code_page.h"

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

// Builds the texts of the failed rules; `value` quotes a CP852 value in UTF-8.
class FailureList {
 public:
  explicit FailureList(const CodePages& codePages) : codePages_(codePages) {}

  void Add(std::string_view text) { failures_.emplace_back(text); }
  // `before` ("value") `after`.
  void Add(std::string_view before, std::string_view value, std::string_view after) {
    std::string text(before);
    text += " (\"";
    codePages_.AppendRecoded(value, CodePage::k852, CodePage::kUtf8, &text);
    text += "\") ";
    text += after;
    failures_.push_back(std::move(text));
  }
  std::vector<std::string> Take() { return std::move(failures_); }

 private:
  const CodePages& codePages_;
  std::vector<std::string> failures_;
};

void AddCurrencyFailure(const FieldReader& fields, FailureList& out) {
  FieldLines valueDate = fields.Find("32A");
  if (!valueDate.present()) {
    out.Add("nincs 32A mező");
    return;
  }
  std::string_view currency = SafeMid(valueDate.line(1), 6, 3);
  if (currency != "EUR") {
    out.Add("a deviza", currency, "nem EUR");
  }
}

// An IBAN of the party `whose` ("a megbízó", "a kedvezményezett"): valid, and its country
// listed when it is valid.
void AddIbanFailures(std::string_view whose, std::string_view iban, std::string_view sepaCountries,
                     FailureList& out) {
  std::string subject(whose);
  if (!IsValidIban(iban)) {
    out.Add(subject + " számlaszáma", iban, "nem érvényes IBAN");
    return;
  }
  std::string_view country = SafeMid(iban, 0, 2);
  if (!IsListedCountry(country, sepaCountries)) {
    out.Add(subject + " számlaszámának országa", country, "nincs a SEPACountries listában");
  }
}

void AddDebtorAccountFailures(const FieldReader& fields, std::string_view sepaCountries,
                              FailureList& out) {
  FieldLines bank = fields.Find("52A");
  if (bank.present()) {
    std::string_view account = SafeMidFrom(bank.line(1), 3);
    if (IsValidIban(account)) {
      AddIbanFailures("a megbízó", account, sepaCountries, out);
      return;
    }
    std::string_view bankCode = bank.line(2);
    if (!(account.size() == 16 && CheckDomestic16(account) && bankCode.size() == 8 &&
          CheckDomestic8(bankCode))) {
      out.Add("a megbízó számlaszáma az 52A mezőben", account,
              "nem érvényes IBAN, és nem is érvényes 16 jegyű belföldi számlaszám érvényes "
              "8 jegyű bankkóddal a második sorban");
    }
    return;
  }
  FieldLines debtor = fields.Find("52D");
  if (!debtor.present()) {
    out.Add("nincs 52A és 52D mező");
    return;
  }
  AddIbanFailures("a megbízó", SafeMidFrom(debtor.line(1), 3), sepaCountries, out);
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

std::vector<std::string> HuaSepaFailures(const MtMessage& message, std::string_view sepaCountries,
                                         const CodePages& codePages) {
  FieldReader fields(&message, false);
  FailureList out(codePages);
  FieldLines beneficiaryBank = fields.Find("57A");
  if (!beneficiaryBank.present()) {
    out.Add("nincs 57A mező");
  } else {
    std::string_view country = SafeMid(beneficiaryBank.line(1), 4, 2);
    if (!IsListedCountry(country, sepaCountries)) {
      out.Add("a kedvezményezett bankjának országa", country, "nincs a SEPACountries listában");
    }
  }
  AddCurrencyFailure(fields, out);
  FieldLines beneficiary = fields.Find("59");
  if (!beneficiary.present()) {
    out.Add("nincs 59 mező");
  } else {
    // The first character stands for the "/", whatever it is.
    std::string_view account = SafeMidFrom(beneficiary.line(1), 1);
    if (!beneficiary.has(1) || !IsValidIban(account)) {
      out.Add("a kedvezményezett számlaszáma", account, "nem érvényes IBAN");
    }
  }
  return out.Take();
}

std::vector<std::string> IntSepaFailures(const MtMessage& message, std::string_view sepaCountries,
                                         const CodePages& codePages) {
  FieldReader fields(&message, false);
  FailureList out(codePages);
  AddDebtorAccountFailures(fields, sepaCountries, out);
  AddCurrencyFailure(fields, out);
  FieldLines beneficiary = fields.Find("59");
  std::string_view line = beneficiary.line(1);
  if (!beneficiary.present()) {
    out.Add("nincs 59 mező");
  } else if (!line.starts_with('/')) {
    out.Add("az 59 mező első sora", line,
            "nem \"/\" jellel kezdődik: nincs kedvezményezett számlaszám");
  } else {
    AddIbanFailures("a kedvezményezett", SafeMidFrom(line, 1), sepaCountries, out);
  }
  return out.Take();
}

}  // namespace varnex
