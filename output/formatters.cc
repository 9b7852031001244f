#include "output/formatters.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "convert/account_utils.h"
#include "util/string_printf.h"

namespace varnex {

std::string FormatIsoDate(std::string_view date) {
  std::string out;
  out.append(SafeMid(date, 0, 4)).append("-");
  out.append(SafeMid(date, 4, 2)).append("-");
  out.append(SafeMid(date, 6, 2));
  return out;
}

std::string FormatIsoDateTime(std::string_view stamp) {
  std::string out = FormatIsoDate(stamp);
  out.append("T").append(SafeMid(stamp, 8, 2));
  out.append(":").append(SafeMid(stamp, 10, 2));
  out.append(":").append(SafeMid(stamp, 12, 2));
  std::string_view zone = SafeMidFrom(stamp, 14);
  if (zone.size() == 5 && (zone[0] == '+' || zone[0] == '-')) {
    out.append(zone.substr(0, 3)).append(":").append(zone.substr(3, 2));
  }
  return out;
}

std::string FormatInteger(std::int64_t value) {
  return StringPrintf("%lld", static_cast<long long>(value));
}

namespace {

// The cents `value` prints as with two decimals, where they follow from value * 100 without
// doubt: for a value from 0 up to 1e7 the product is below 2^30 and at most 2^-23 off the
// exact one, so when it lies within a quarter of an integer the exact value rounds to that
// integer too. nullopt otherwise (negative values, ties and large values take the long way).
std::optional<std::uint64_t> PlainCents(double value) {
  if (!(value >= 0 && value < 1e7) || std::signbit(value)) {
    return std::nullopt;
  }
  double scaled = value * 100;
  double rounded = std::nearbyint(scaled);
  if (std::fabs(scaled - rounded) >= 0.25) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(rounded);
}

// "<cents / 100>.<cents % 100, two digits>".
std::string PlainCentsText(std::uint64_t cents) {
  char buffer[32];
  std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer - 3, cents / 100);
  std::uint64_t fraction = cents % 100;
  *r.ptr++ = '.';
  *r.ptr++ = static_cast<char>('0' + fraction / 10);
  *r.ptr++ = static_cast<char>('0' + fraction % 10);
  return std::string(buffer, r.ptr);
}

}  // namespace

// "%1.2f": std::to_chars gives the same correctly rounded digits as printf, without its cost;
// most amounts take the shorter way through their cents.
std::string FormatAmount(double value) {
  if (std::optional<std::uint64_t> cents = PlainCents(value)) {
    return PlainCentsText(*cents);
  }
  char buffer[400];
  std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  if (r.ec != std::errc()) {
    return StringPrintf("%1.2f", value);
  }
  return std::string(buffer, r.ptr);
}

std::string FormatAmountComma(double value) {
  std::string text = FormatAmount(value);
  for (char& c : text) {
    if (c == '.') {
      c = ',';
    }
  }
  return text;
}

std::string FormatCents(std::int64_t cents) {
  // Work on the magnitude as unsigned so that the most negative count is formatted too.
  bool negative = cents < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  return StringPrintf("%s%llu.%02llu", negative ? "-" : "",
                      static_cast<unsigned long long>(magnitude / 100),
                      static_cast<unsigned long long>(magnitude % 100));
}

std::string FormatCentsComma(std::int64_t cents) {
  std::string text = FormatCents(cents);
  for (char& c : text) {
    if (c == '.') {
      c = ',';
    }
  }
  return text;
}

std::optional<std::int64_t> AmountCents(double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  // Beyond 2^63 cents no printed amount can be counted; reject before formatting.
  if (std::fabs(value) >= 1e17) {
    return std::nullopt;
  }
  if (std::optional<std::uint64_t> cents = PlainCents(value)) {
    return static_cast<std::int64_t>(*cents);
  }
  std::string text = FormatAmount(value);
  bool negative = !text.empty() && text[0] == '-';
  std::uint64_t cents = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      cents = cents * 10 + static_cast<std::uint64_t>(c - '0');
    }
  }
  if (cents > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  auto signedCents = static_cast<std::int64_t>(cents);
  return negative ? -signedCents : signedCents;
}

void AppendEscapedXml(std::string_view text, std::string* out) {
  for (char c : text) {
    switch (c) {
    case '&':
      out->append("&amp;");
      break;
    case '<':
      out->append("&lt;");
      break;
    case '>':
      out->append("&gt;");
      break;
    case '\'':
      out->append("&apos;");
      break;
    case '"':
      out->append("&quot;");
      break;
    default:
      out->push_back(c);
    }
  }
}

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscapedXml(text, &out);
  return out;
}

std::string ConvertCodePage(std::string_view text, CodePage from, CodePage to,
                            const CodePages& codePages) {
  return codePages.Recode(text, from, to);
}

char StripAccent(char cp1250) {
  switch (static_cast<unsigned char>(cp1250)) {
  case 0xC1:
    return 'A';
  case 0xC9:
    return 'E';
  case 0xCD:
    return 'I';
  case 0xD3:
  case 0xD5:
  case 0xD6:
    return 'O';
  case 0xDA:
  case 0xDB:
  case 0xDC:
    return 'U';
  case 0xE1:
    return 'a';
  case 0xE9:
    return 'e';
  case 0xED:
    return 'i';
  case 0xF3:
  case 0xF5:
  case 0xF6:
    return 'o';
  case 0xFA:
  case 0xFB:
  case 0xFC:
    return 'u';
  default:
    return cp1250;
  }
}

std::string StripAccents(std::string_view cp1250) {
  std::string out(cp1250);
  for (char& c : out) {
    c = StripAccent(c);
  }
  return out;
}

}  // namespace varnex
