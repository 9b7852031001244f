// The converter of HUA files: domestic orders.
#pragma once

#include "convert/converter.h"

namespace varnex {

// Maps a HUA message onto a payment record. Every field is read only up to the line before
// its first line that contains "-}", so the block trailer that the reader leaves in a
// message's last field ("-}" and the "$" before the next message) never reaches a record.
// The SEPA rule reads the fields as they were read.
class HuaConverter : public Converter {
 public:
  using Converter::Converter;

  void FillPaymentRecord(PaymentRecord& out, const GroupHeaderRecord& header,
                         std::int32_t& sequence) override;
  bool IsUrgentMessage() const override;
  std::int64_t ReadAmounts(std::vector<AmountProblem>* problems) const override;

 protected:
  bool MeetsSepaRules() const override;
  std::vector<std::string> SepaRuleFailures(const CodePages& codePages) const override;
  bool StopsAtTrailer() const override { return true; }
};

}  // namespace varnex
