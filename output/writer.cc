#include "output/writer.h"

namespace varnex {

std::string DocumentText::Payments() const {
  std::string text;
  for (std::string_view chunk : payments) {
    text.append(chunk);
  }
  return text;
}

std::string DocumentText::Joined() const {
  std::string text(header);
  text.append(Payments()).append(trailer);
  return text;
}

double Writer::AddPayment(const PaymentRecord& payment) {
  paymentNodes_.clear();
  problems_.clear();
  BuildPayment(payment);
  CheckNodes(paymentNodes_);
  if (paymentChunks_.empty() || paymentChunks_.back().size() >= kChunkSize) {
    paymentChunks_.emplace_back();
    paymentChunks_.back().reserve(kChunkSize + kChunkSize / 8);
  }
  SerializeNodes(paymentNodes_, &paymentChunks_.back());
  paymentNodes_.clear();
  return payment.InstdAmt;
}

DocumentText Writer::FinishDocument() {
  headerText_.assign(LeadingText());
  problems_.clear();
  BuildGroupHeader();
  CheckNodes(headerNodes_);
  SerializeNodes(headerNodes_, &headerText_);
  DocumentText text;
  text.header = headerText_;
  text.payments.assign(paymentChunks_.begin(), paymentChunks_.end());
  text.trailer = TrailingText();
  return text;
}

std::string Writer::BuildDocument() {
  return FinishDocument().Joined();
}

}  // namespace varnex
