#include "testing/order_files.h"

#include <cstdio>
#include <string_view>

namespace varnex {
namespace {

// The amount of order `i` in cents: 1 to 9,999,999 units and 0 to 99 cents.
std::int64_t AmountCents(long i) {
  return static_cast<std::int64_t>(1 + i % 9999999) * 100 + i % 100;
}

std::string Totals(long orders, std::int64_t sumCents) {
  return ":02:" + CentsWithComma(sumCents) + "\r\n:03:" + std::to_string(orders) + "\r\n";
}

// `header` (its lines before the totals), the totals and `orders` messages, message `i`
// printed by `print(i, sepa, buffer)`: every other one a SEPA order.
template <typename Print>
std::string GenerateFile(long orders, std::string_view headerStart, std::string_view headerEnd,
                         Print print) {
  std::string body;
  body.reserve(static_cast<std::size_t>(orders) * 420 + 200);
  std::int64_t sum = 0;
  char buffer[1024];
  for (long i = 0; i < orders; ++i) {
    sum += AmountCents(i);
    print(i, i % 2 == 0, buffer);
    body += buffer;
  }
  return std::string(headerStart) + Totals(orders, sum) + std::string(headerEnd) + body;
}

}  // namespace

std::string CentsWithComma(std::int64_t cents) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld,%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return buffer;
}

std::string GenerateHuaFile(long orders) {
  return GenerateFile(
      orders, "\r\n:01:BENCH\r\n", ":04:ABCDHUHB\r\n:05:Minta Kft.\r\nBudapest\r\n:07: \r\n",
      [](long i, bool sepa, char(&buffer)[1024]) {
        std::snprintf(
            buffer, sizeof buffer,
            "%s{1:F0111773016XXXX%09ld}{2:I100DEUTDEFFXXXXN1}{4:\r\n:20:REF%08ld\r\n"
            ":32A:261208%s%ld,%02ld\r\n:50:\xb5rv\xa1zt\xfbr\x8b T\x81k\x94rf\xa3r\xa2g\x82p "
            "Kft.\r\n"
            "Budapest\r\nF\x8b utca 1.\r\n:52D:117730161111101800000000\r\n \r\nHUF0,00\r\n"
            "000 DE DE\r\n:57A:DEUTDEFF\r\n:59:/%s\r\nM\x81ller GmbH\r\nBerlin\r\n"
            "Hauptstrasse 5\r\n:70:Szamla %ld\r\n:71A:SHA\r\n:72:%s\r\n \r\n \r\nT AB F CD\r\n"
            "HU\r\n-}\r\n",
            i == 0 ? "" : "$", i + 1, i, sepa ? "EUR" : "HUF", 1 + i % 9999999, i % 100,
            sepa ? "DE89370400440532013000" : "117730161111101800000000", i,
            i % 10 == 0 ? "URGENT" : "A B C D");
      });
}

std::string GenerateIntFile(long orders) {
  return GenerateFile(
      orders, " \r\n:01:BENCH\r\n",
      ":04:ABCDHUHB\r\n:05:Sample Ltd.\r\nBudapest\r\n:06: \r\n:07: \r\n",
      [](long i, bool sepa, char(&buffer)[1024]) {
        std::snprintf(
            buffer, sizeof buffer,
            " \r\n:20:INT%08ld\r\n:32A:261208%s%ld,%02ld\r\n:50:M\x81ller Anna\r\nBudapest\r\n"
            "F\x94 utca "
            "1.\r\n:52A:/D/HU42117730161111101800000000\r\nABCDHUHB\r\n:53A:/D/12345678\r\n"
            "CITIUS33\r\n:57A:BNPAFRPP\r\n:59:/%s\r\nCaf\x82 \x90toile SARL\r\nParis\r\n"
            "Rue de la Paix 1\r\n:70:INVOICE %ld\r\nSECOND LINE OF REMITTANCE\r\n:71A:SHA\r\n"
            ":72:%s\r\n/ACC/SECOND LINE\r\n",
            i, sepa ? "EUR" : "USD", 1 + i % 9999999, i % 100,
            sepa ? "FR1420041010050500013M02606" : "123456789012", i,
            i % 10 == 0 ? "URGENT" : "/INS/NOTHING");
      });
}

}  // namespace varnex
