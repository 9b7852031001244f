// The writer of the SEPA documents: one pain.001.001.03 customer credit transfer initiation
// per output file, with one payment information block (holding one credit transfer
// transaction) per payment record.
//
// The element tree and the record field behind each element are laid down in BuildGroupHeader
// and BuildPayment; optional elements are left out when their source fields are empty. Names
// and the remittance text are composed into buffers of the writer, which the nodes view until
// the payment has been serialized.
//
// Every leaf value is checked, as it will be written, against its schema type and the SEPA
// usage rules (schema_check.h) before the part is serialized; problems() names each value
// that breaks one. A debtor account that is no IBAN is turned into a Hungarian IBAN only
// when it and the bank code are digits of the domestic lengths; else the account is written
// as it stands and reported.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/schema_check.h"
#include "output/writer.h"
#include "output/xml_serializer.h"
#include "platform/code_page.h"

namespace varnex {

class SepaXmlWriter : public Writer {
 public:
  // `codePages` is only read while the writer is built.
  explicit SepaXmlWriter(const CodePages& codePages);

  // Longest composed name (first line, blank, second line) and remittance text; longer
  // compositions are cut.
  static constexpr std::size_t kMaxNameLength = 70;
  static constexpr std::size_t kMaxRemittanceLength = 140;
  static constexpr std::size_t kMaxIbanLength = 34;
  static constexpr std::size_t kMaxBicLength = 11;

 protected:
  void BuildGroupHeader() override;
  void BuildPayment(const PaymentRecord& payment) override;
  void CheckNodes(const NodeList& nodes) override;
  void SerializeNodes(NodeList& nodes, std::string* out) override;
  bool EndsLinesFreely() const override { return true; }
  std::string_view LeadingText() const override;
  std::string_view TrailingText() const override;

 private:
  XmlValueCleaner cleaner_;
  // CP852 texts composed per document (initgPtyName_) or per payment (the others).
  std::string initgPtyName_;
  std::string dbtrName_;
  std::string cdtrName_;
  std::string rmtText_;
  std::string dbtrIban_;
  std::string dbtrBic_;
  // The debtor IBAN node of the payment being built, and the rule it breaks when it could
  // not be built (empty otherwise).
  std::size_t dbtrIbanNode_ = 0;
  std::string dbtrIbanRule_;
  // Value texts of the leaf being checked.
  std::string valueScratch_;
  std::string plainScratch_;
  // The elements of the payment checked last, with their leaf types. Payments mostly repeat
  // the same elements, and a node whose predecessors all repeat the last payment's has the
  // type found then. Tags are the writer's string literals, so the views stay valid.
  struct CheckedNode {
    std::string_view tag;
    int depth = 0;
    std::optional<LeafType> type;
  };
  std::vector<CheckedNode> lastPayment_;
};

}  // namespace varnex
