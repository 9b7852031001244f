// Test support for the converters: messages built from tags and lines, and a compact dump
// of a payment record.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "convert/payment_records.h"
#include "mt/mt_message.h"

namespace varnex {

struct TestField {
  std::string tag;
  std::vector<std::string> lines;
};

// A message holding copies of `fields` (a later tag replaces an earlier one).
MtMessage MakeMessage(std::initializer_list<TestField> fields);

// The filled fields of `record` in record order, one "Name=value" per line; empty texts and
// zero numbers are left out. Amounts are shown with two decimals, flags as characters.
std::string DumpRecord(const PaymentRecord& record);

}  // namespace varnex
