#include "output/writer.h"

#include "util/byte_search.h"

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

void Writer::BeginStream(const GroupHeaderRecord& header, ByteSink& sink) {
  sink_ = &sink;
  sinkFailed_ = false;
  crLf_ = sink.TakesCrLf() && EndsLinesFreely();
  groupHeader_ = header;
  streamBuffer_.reserve(kStreamChunkSize + kStreamChunkSize / 4);
  streamBuffer_.clear();
  AppendFixedText(LeadingText());
  headerNodes_.clear();
  problems_.clear();
  BuildGroupHeader();
  CheckNodes(headerNodes_);
  SerializeNodes(headerNodes_, &streamBuffer_);
  FlushStream();
}

bool Writer::EndStream() {
  AppendFixedText(TrailingText());
  FlushStream();
  sink_ = nullptr;
  crLf_ = false;
  return !sinkFailed_;
}

void Writer::AppendFixedText(std::string_view text) {
  if (!crLf_) {
    streamBuffer_.append(text);
    return;
  }
  std::size_t start = 0;
  for (std::size_t lf = FindByte(text, '\n'); lf != std::string_view::npos;
       lf = FindByte(text, '\n', start)) {
    streamBuffer_.append(text.substr(start, lf - start)).append("\r\n");
    start = lf + 1;
  }
  streamBuffer_.append(text.substr(start));
}

void Writer::FlushStream() {
  if (!sinkFailed_ && !streamBuffer_.empty() &&
      !(crLf_ ? sink_->AppendCrLf(streamBuffer_) : sink_->Append(streamBuffer_))) {
    sinkFailed_ = true;
  }
  streamBuffer_.clear();
}

std::int64_t Writer::AddPayment(const PaymentRecord& payment) {
  paymentNodes_.clear();
  problems_.clear();
  BuildPayment(payment);
  CheckNodes(paymentNodes_);
  if (sink_ != nullptr) {
    SerializeNodes(paymentNodes_, &streamBuffer_);
    paymentNodes_.clear();
    if (streamBuffer_.size() >= kStreamChunkSize) {
      FlushStream();
    }
    return payment.InstdAmt;
  }
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
