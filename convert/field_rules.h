// Reading message fields for the payment-record mappings, and the mapping steps that the HUA
// and INT converters share.
//
// Everything here works on views into the message: no text is copied until it lands in a
// record field, where FixedText::Assign cuts it to the field's capacity. Positions in the
// comments are counted from 1, as the MT layouts describe them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "convert/payment_records.h"
#include "mt/mt_message.h"
#include "platform/platform.h"

namespace varnex {

struct Settings;

// The lines of one field as a mapping sees them; an absent field has no lines.
class FieldLines {
 public:
  FieldLines() = default;
  explicit FieldLines(std::span<const std::string_view> lines) : present_(true), lines_(lines) {}

  bool present() const { return present_; }
  int count() const { return static_cast<int>(lines_.size()); }
  // True when the field has a line `n` (counted from 1).
  bool has(int n) const { return n >= 1 && n <= count(); }
  // Line `n` counted from 1; empty when the field has no such line.
  std::string_view line(int n) const {
    return has(n) ? lines_[static_cast<std::size_t>(n - 1)] : std::string_view();
  }
  std::span<const std::string_view> lines() const { return lines_; }

 private:
  bool present_ = false;
  std::span<const std::string_view> lines_;
};

// Looks up the fields of one message. With `stopAtTrailer`, every field ends before its first
// line that contains "-}": the reader leaves a HUA message's block trailer ("-}" and the "$"
// before the next message) in its last field, and no mapping may read it.
class FieldReader {
 public:
  FieldReader(const MtMessage* message, bool stopAtTrailer)
      : message_(message), stopAtTrailer_(stopAtTrailer) {}

  // The field stored under `tag` (exact, case-sensitive); absent when there is none or no
  // message at all.
  FieldLines Find(std::string_view tag) const;

 private:
  const MtMessage* message_;
  bool stopAtTrailer_;
};

// Splits `line` at single blanks into words 1, 2, ... stored at index 0, 1, ... of `words`;
// the words beyond the last piece stay empty, and two blanks in a row give an empty word.
void SplitWords(std::string_view line, std::span<std::string_view> words);

// `text` without the blanks at both ends.
std::string_view TrimBlanks(std::string_view text);

// An amount read strictly, in cents.
struct AmountReading {
  std::int64_t cents = 0;  // 0 unless the text is an amount
  // Empty when the text is an amount; else the rule it breaks (Hungarian, UTF-8).
  std::string_view problem;
};
// Reads an amount as SWIFT's 15d form writes it: digits, optionally followed by one decimal
// comma or point and at most two digits, 15 characters at most; blanks after it are ignored.
// Nothing else is an amount: no sign, no grouping, no inner blank, no third decimal, and an
// empty text is none. The cents are exact: the amount prints back as written.
AmountReading ReadAmount(std::string_view text);

// An amount field of an order that does not hold an amount the outputs can carry.
struct AmountProblem {
  std::string_view field;  // the tag as written in the file, ":32A:"
  std::string_view text;   // the amount text as written (message text, CP852)
  std::string_view rule;   // Hungarian, UTF-8
};

// The keyword rule of the urgency and exchange-rate settings. `keywords` is split at ","
// and read up to the first empty item; each item, trimmed of blanks, matches when it occurs
// in any line of `field` (an all-blank item matches any line). An absent field or an empty
// list never matches.
bool KeywordRuleMatches(const FieldLines& field, std::string_view keywords);

// The urgency rule ([PrioUrgent] SrcField and SrcKeyword) on the fields of `fields`.
bool UrgencyRuleMatches(const FieldReader& fields, const Settings& settings);

// Name and address lines of a party field (50, 59), from the name line on: with two or three
// lines from there, the second and third are the address; with four or more, the second is a
// second name line and the third and fourth are the address.
struct PartyLines {
  std::string_view name;
  std::string_view name2;
  std::string_view address1;
  std::string_view address2;
};
PartyLines ReadPartyLines(const FieldLines& field, int nameLine);

// The mapping steps both converters share, in the order they apply them.

// Zeroes `out` and writes the parts every record has: SrcType, a new PmtInfId (one value of
// `sequence`), EndToEndId "NOTPROVIDED", the header's BankBic as DbtrAgtBic, both IdTypes.
void StartPaymentRecord(PaymentRecord& out, std::string_view srcType,
                        const GroupHeaderRecord& header, const LocalTime& now,
                        std::int32_t& sequence);
// IsUrgent, the service level it selects (target field "Cd" or "Prtry" with its keyword),
// and the exchange-rate rule.
void FillPriorityAndExchangeRate(PaymentRecord& out, const FieldReader& fields,
                                 const Settings& settings);
// Fields 20, 32A, 50, 70 and 71A.
void FillCommonFields(PaymentRecord& out, const FieldReader& fields);

// The amount of :32A: line 1 from its tenth character, as FillCommonFields reads it into
// InstdAmt, and what is wrong with it: no :32A: line, no amount there, or an amount of zero.
AmountReading ReadInstructedAmount(const FieldReader& fields, AmountProblem* problem);
// The debtor account rule: a domestic number of 24 digits gives its last 16 digits and the
// bank code in its first 8; a valid IBAN is kept whole and gives the bank code in its
// characters 5-12; anything else is kept whole and leaves the bank code alone.
void FillDebtorAccount(PaymentRecord& out, std::string_view account);
// Lines 1-4 of 57D: the beneficiary bank's name and address.
void FillBeneficiaryBankLines(PaymentRecord& out, const FieldLines& field57d);
// The creditor's name and address from `field59`, the name in line `nameLine`.
void FillCreditorParty(PaymentRecord& out, const FieldLines& field59, int nameLine);
// Replaces DbtrAgtBic by [General] BankBIC, even an empty one, when it is not a
// well-formed BIC.
void ApplyBankBicFallback(PaymentRecord& out, const Settings& settings);

}  // namespace varnex
