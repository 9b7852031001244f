// Converters: from parsed HUA and INT messages to payment records.
//
// A conversion pass creates one converter for the input file's kind, gives it the file header
// once and then each message in turn, and after each message asks it to fill a PaymentRecord
// and whether the message is a SEPA credit transfer. Converters never read files and never
// log. The header and message handed in are referenced, not copied: they belong to the MtFile,
// which outlives the pass.
//
// Settings texts that meet message text (keywords, BankBIC) are expected in CP852
// (Settings::ToRecordCodePage).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/field_rules.h"
#include "convert/payment_records.h"
#include "mt/mt_message.h"

namespace varnex {

class Clock;
class CodePages;
struct Settings;

class Converter {
 public:
  Converter(const Settings& settings, Clock& clock) : settings_(settings), clock_(clock) {}
  virtual ~Converter() = default;
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Makes `header` (and its raw text) the file header for the records filled later.
  void SetFileHeader(std::string_view text, const MtMessage& header);
  // Makes `message` the current message.
  void SetMessage(std::string_view text, const MtMessage& message);

  // Fills `out` from scratch from the file header: MsgId, CreDtTm, BankBic, initiating
  // party. NbOfTxs and CtrlSum stay 0. Consumes one value of `sequence`.
  virtual void FillGroupHeader(GroupHeaderRecord& out, std::int32_t& sequence);
  // Fills `out` from scratch from the current message. Consumes one value of `sequence`.
  virtual void FillPaymentRecord(PaymentRecord& out, const GroupHeaderRecord& header,
                                 std::int32_t& sequence) = 0;
  // Returns the InstdAmt (cents) that FillPaymentRecord gives the current message, without
  // filling a record, and appends the amounts of the message that no output may carry: an
  // instructed amount (:32A:) that is missing, not an amount or zero, and (HUA) a charges
  // amount that is given but is not an amount.
  virtual std::int64_t ReadAmounts(std::vector<AmountProblem>* problems) const;
  // True when the current message is a SEPA credit transfer that the SEPA document can carry:
  // it meets the SEPA rules, and for a pain.001.001.09 document it agrees no exchange rate
  // (the EPC's document has no place for one; such an order goes to the HUA or INT output,
  // which keeps its keyword).
  bool IsSepa() const;
  // Why the current message is not a SEPA credit transfer: one Hungarian UTF-8 text per
  // failed rule, naming the rule and the offending value (message text shown through
  // `codePages` from CP852). Empty exactly when IsSepa() is true.
  std::vector<std::string> SepaFailures(const CodePages& codePages) const;
  // True when the urgency rule matches the current message: the IsUrgent that
  // FillPaymentRecord gives it.
  virtual bool IsUrgentMessage() const = 0;

  // "B" + local time "%Y%m%d%H%M%S" + milliseconds "%3.3u" + sequence "%6.6ld"; advances
  // `sequence` by one.
  std::string GenerateId(std::int32_t& sequence);

 protected:
  // The SEPA rules of the file's kind on the current message, as IsSepa and SepaFailures.
  virtual bool MeetsSepaRules() const = 0;
  virtual std::vector<std::string> SepaRuleFailures(const CodePages& codePages) const = 0;
  // True when the message's fields end before its "-}" trailer line (HUA).
  virtual bool StopsAtTrailer() const = 0;
  // True when a pain.001.001.09 document is written and the message agrees an exchange rate.
  bool CarriesUnwritableRate() const;

  const Settings& settings_;
  Clock& clock_;
  std::string_view headerText_;
  std::string_view messageText_;
  const MtMessage* header_ = nullptr;
  const MtMessage* message_ = nullptr;
};

// The converter for a file by the last three characters of its path ("INT" first, then
// "HUA", without regard to case); null for any other path.
std::unique_ptr<Converter> MakeConverter(std::string_view path, const Settings& settings,
                                         Clock& clock);

}  // namespace varnex
