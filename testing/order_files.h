// Generated HUA and INT order files of any size, for the benchmark and the tests.
//
// About 350 bytes per order; every second order is a SEPA order, every tenth urgent. The
// header carries the true totals: ":03:" the number of orders, ":02:" the sum of their
// amounts in cents, written with a decimal comma and two decimals.
#pragma once

#include <cstdint>
#include <string>

namespace varnex {

// A HUA file of `orders` messages (CP852 text, CR LF).
std::string GenerateHuaFile(long orders);
// An INT file of `orders` messages (CP437 text, CR LF).
std::string GenerateIntFile(long orders);

// `cents` as an amount with a decimal comma and two decimals ("12345,67").
std::string CentsWithComma(std::int64_t cents);

}  // namespace varnex
