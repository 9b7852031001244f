// The writer of HUA files: domestic payment orders as MT text.
//
// The file starts with an empty line and the header section (":01:" to ":07:"); every
// payment becomes one message opened by a block header line, which carries the sender and
// receiver addresses and the message's number in the file, and closed by "-}". Lines that
// several record fields make up are composed into buffers of the writer, which the nodes of
// one payment view until they are serialized.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "output/writer.h"

namespace varnex {

// A 12-character block header address: `code` cut or blank-padded to 12 characters, every
// blank then turned into "X".
std::string FormatMtAddress(std::string_view code);

class HuaWriter : public Writer {
 public:
  // `autofillChargesAccount` is [INT2HUA] AutofillChargesAccount: when exactly 1, an order
  // that came from an INT file and has no charges account is charged to its debtor account.
  explicit HuaWriter(std::int32_t autofillChargesAccount)
      : autofillChargesAccount_(autofillChargesAccount) {}

 protected:
  void BuildGroupHeader() override;
  void BuildPayment(const PaymentRecord& payment) override;
  void SerializeNodes(NodeList& nodes, std::string* out) override;
  bool EndsLinesFreely() const override { return true; }
  std::string_view LeadingText() const override { return "\n"; }

 private:
  void ComposeLines(const PaymentRecord& payment);

  std::int32_t autofillChargesAccount_;
  // Messages numbered so far; the first message of the file gets 1.
  std::int32_t messageCounter_ = 0;
  std::string blockHeader_;
  std::string line32A_;
  std::array<std::string, 4> line52D_;
  std::string account59_;
  std::array<std::string, 5> line72_;
};

}  // namespace varnex
