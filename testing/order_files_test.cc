#include "testing/order_files.h"

#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

namespace varnex {
namespace {

// Recounts the orders and adds up the amounts of the ":32A:" lines (date, currency, amount).
void ExpectTrueTotals(const std::string& file, long orders) {
  std::istringstream in(file);
  std::string line;
  std::string header02;
  std::string header03;
  long count = 0;
  std::int64_t cents = 0;
  while (std::getline(in, line)) {
    if (line.rfind(":02:", 0) == 0 && header02.empty()) {
      header02 = line.substr(4, line.size() - 5);
    } else if (line.rfind(":03:", 0) == 0 && header03.empty()) {
      header03 = line.substr(4, line.size() - 5);
    } else if (line.rfind(":32A:", 0) == 0) {
      std::string amount = line.substr(14, line.size() - 15);
      std::size_t comma = amount.find(',');
      ASSERT_NE(std::string::npos, comma) << line;
      cents += std::strtoll(amount.substr(0, comma).c_str(), nullptr, 10) * 100 +
               std::strtoll(amount.substr(comma + 1).c_str(), nullptr, 10);
      ++count;
    }
  }
  EXPECT_EQ(orders, count);
  EXPECT_EQ(std::to_string(orders), header03);
  EXPECT_EQ(CentsWithComma(cents), header02);
}

TEST(OrderFilesTest, HeadersCarryTrueTotals) {
  for (long orders : {0L, 1L, 250L, 3001L}) {
    SCOPED_TRACE(orders);
    ExpectTrueTotals(GenerateHuaFile(orders), orders);
    ExpectTrueTotals(GenerateIntFile(orders), orders);
  }
}

TEST(OrderFilesTest, AmountText) {
  EXPECT_EQ("0,00", CentsWithComma(0));
  EXPECT_EQ("0,07", CentsWithComma(7));
  EXPECT_EQ("12345,67", CentsWithComma(1234567));
  EXPECT_EQ("50000000000,01", CentsWithComma(5000000000001));
}

}  // namespace
}  // namespace varnex
