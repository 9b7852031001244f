// The writer framework shared by the pain.001 writer and the HUA and INT writers.
//
// A writer describes its document as node lists (output_node.h): the group header part and
// one part per payment. Each payment is rendered as soon as it is added, and only its text is
// kept. A document is produced in one of two ways:
// - streamed (BeginStream, AddPayment..., EndStream): the group header, whose count and sum
//   the caller knows beforehand, is rendered first and every text goes to a ByteSink in
//   chunks, so memory stays bounded whatever the number of payments;
// - in memory (AddPayment..., SetGroupHeader, FinishDocument): the payment texts are kept
//   and the group header is rendered last and put in front.
// Text uses LF line ends; the file sink turns them into CR LF. A writer whose lines are
// known to hold no other line breaks (the XML writer) streams them with CR LF already to a
// sink that takes such text, which then passes it through.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/payment_records.h"
#include "output/output_node.h"

namespace varnex {

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  void SetFileName(std::string name) { fileName_ = std::move(name); }
  const std::string& fileName() const { return fileName_; }

 private:
  std::string fileName_;
};

// A finished document in pieces, in order; the views stay valid while the writer lives.
struct DocumentText {
  std::string_view header;                 // the leading text with the group header
  std::vector<std::string_view> payments;  // the payment texts, in chunks
  std::string_view trailer;

  // The payment texts joined.
  std::string Payments() const;
  // The whole document.
  std::string Joined() const;
};

// One element value that breaks the schema of the document or a usage rule of its format.
struct LeafProblem {
  std::string element;  // the element's path below the message element, "PmtInf/DbtrAcct/Id/IBAN"
  std::string value;    // UTF-8, as the element would hold it
  std::string rule;     // the broken rule, a short Hungarian text

  bool operator==(const LeafProblem&) const = default;
};

// Receives the text of a streamed document as it is produced.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes the next bytes. False when they could not be taken; nothing more is sent then.
  virtual bool Append(std::string_view bytes) = 0;
  // True when the sink also takes text whose lines end in CR LF already, through AppendCrLf.
  virtual bool TakesCrLf() const { return false; }
  // Takes the next bytes, lines ending in CR LF. Only called when TakesCrLf() holds; the
  // default hands them to Append.
  virtual bool AppendCrLf(std::string_view bytes) { return Append(bytes); }
};

class Writer : public OutputFile {
 public:
  // Starts a streamed document: renders the leading text and the group header of `header`
  // (NbOfTxs and CtrlSum being those of the payments that will follow) into `sink`, which
  // must outlive the stream.
  void BeginStream(const GroupHeaderRecord& header, ByteSink& sink);
  // Renders the trailing text and hands everything still buffered to the sink. False when
  // the sink refused bytes, now or before.
  bool EndStream();

  // Stores a copy of the header record (with NbOfTxs and CtrlSum).
  void SetGroupHeader(const GroupHeaderRecord& header) { groupHeader_ = header; }
  // Renders `payment` into the document; the record itself is not kept. Returns InstdAmt (cents).
  // problems() then holds the problems of this payment.
  std::int64_t AddPayment(const PaymentRecord& payment);
  // Renders the group header and returns the document in pieces. Called once, after the
  // last AddPayment and SetGroupHeader. problems() then holds the problems of the header.
  DocumentText FinishDocument();
  // The whole document text (FinishDocument joined).
  std::string BuildDocument();

  // False once a part was rendered that would not read back as written (MT writers); the
  // document must then not be written.
  bool readsBack() const { return readsBack_; }
  // Clears the mark, so that the next part is judged on its own.
  void ResetReadsBack() { readsBack_ = true; }

  // The problems of the part rendered last (AddPayment: that payment; BeginStream and
  // FinishDocument: the group header), in document order; empty when every value fits. A document
  // with a problem in any part must not be written. Writers without leaf checks report none.
  const std::vector<LeafProblem>& problems() const { return problems_; }
  // How the payment rendered last was written where the input left a choice, one Hungarian
  // text each, when the writer was asked to note it (the pain.001 writer's addresses).
  const std::vector<std::string>& notes() const { return notes_; }

 protected:
  // Appends the group-header nodes for groupHeader_ to headerNodes_.
  virtual void BuildGroupHeader() = 0;
  // Appends the nodes of one payment to paymentNodes_, filling the writer's buffers.
  virtual void BuildPayment(const PaymentRecord& payment) = 0;
  // Adds the problems of the values of `nodes`, just built, to problems_. Called before the
  // nodes are serialized; the default checks nothing.
  virtual void CheckNodes(const NodeList& /*nodes*/) {}
  // Appends the text of `nodes` to `out`.
  virtual void SerializeNodes(NodeList& nodes, std::string* out) = 0;
  // True when every LF of the text SerializeNodes appends ends a line, so that it may end its
  // lines with lineEnd() instead.
  virtual bool EndsLinesFreely() const { return false; }
  // The line end SerializeNodes appends: CR LF while streaming to a sink that takes it from a
  // writer whose EndsLinesFreely() holds, LF otherwise.
  std::string_view lineEnd() const { return crLf_ ? "\r\n" : "\n"; }
  virtual std::string_view LeadingText() const { return ""; }
  virtual std::string_view TrailingText() const { return ""; }

  void MarkNotReadingBack() { readsBack_ = false; }

  GroupHeaderRecord groupHeader_{};
  NodeList headerNodes_;
  NodeList paymentNodes_;
  std::vector<LeafProblem> problems_;
  std::vector<std::string> notes_;

 private:
  // Payment texts are kept in chunks of about kChunkSize bytes, so that a large document
  // is never copied to grow.
  static constexpr std::size_t kChunkSize = 1 << 20;
  // A streamed document goes to the sink in pieces of about this size.
  static constexpr std::size_t kStreamChunkSize = 1 << 16;
  // Hands the buffered text to the sink.
  void FlushStream();

  // Appends `text` to the stream buffer, each LF as lineEnd().
  void AppendFixedText(std::string_view text);

  ByteSink* sink_ = nullptr;
  bool sinkFailed_ = false;
  bool crLf_ = false;
  std::string streamBuffer_;
  std::string headerText_;
  std::vector<std::string> paymentChunks_;
  bool readsBack_ = true;
};

}  // namespace varnex
