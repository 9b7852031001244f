// The converter of INT files: international orders.
#pragma once

#include "convert/converter.h"

namespace varnex {

// Maps an INT message onto a payment record: the debtor account and bank from 52A or else
// 52D, the sender's correspondent from 53A or else 53D, the beneficiary bank from 57A or else
// 57D, countries from the BIC and the IBANs, and field 72 line by line as it stands.
class IntConverter : public Converter {
 public:
  using Converter::Converter;

  void FillPaymentRecord(PaymentRecord& out, const GroupHeaderRecord& header,
                         std::int32_t& sequence) override;
  bool IsUrgentMessage() const override;

 protected:
  bool MeetsSepaRules() const override;
  std::vector<std::string> SepaRuleFailures(const CodePages& codePages) const override;
  bool StopsAtTrailer() const override { return false; }
};

}  // namespace varnex
