// The writer of INT files: international payment orders as MT text.
//
// The file starts with a line holding a single blank, then the header section (":01:" to
// ":07:" with ":06:"); every payment becomes one message opened by a single-blank line. The
// account lines of the ordering institution and of the sender's correspondent ("/D/" and the
// account) are composed into buffers of the writer, which the nodes of one payment view until
// they are serialized.
#pragma once

#include <string>
#include <string_view>

#include "output/writer.h"

namespace varnex {

class IntWriter : public Writer {
 protected:
  void BuildGroupHeader() override;
  void BuildPayment(const PaymentRecord& payment) override;
  void SerializeNodes(NodeList& nodes, std::string* out) override;
  bool EndsLinesFreely() const override { return true; }

 private:
  std::string line32A_;
  std::string account52_;
  std::string account53_;
};

}  // namespace varnex
