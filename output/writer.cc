#include "output/writer.h"

namespace varnex {

double Writer::AddPayment(const PaymentRecord& payment) {
  paymentNodes_.clear();
  BuildPayment(payment);
  SerializeNodes(paymentNodes_, &paymentsText_);
  paymentNodes_.clear();
  return payment.InstdAmt;
}

std::array<std::string_view, 3> Writer::FinishDocument() {
  headerText_.assign(LeadingText());
  BuildGroupHeader();
  SerializeNodes(headerNodes_, &headerText_);
  return {headerText_, paymentsText_, TrailingText()};
}

std::string Writer::BuildDocument() {
  std::string text;
  for (std::string_view piece : FinishDocument()) {
    text.append(piece);
  }
  return text;
}

}  // namespace varnex
