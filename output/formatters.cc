#include "output/formatters.h"

#include <charconv>
#include <cstdio>

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

std::string FormatAmount(std::int64_t cents) {
  // Work on the magnitude as unsigned so that the most negative count is formatted too.
  bool negative = cents < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  char buffer[32];
  char* p = buffer;
  if (negative) {
    *p++ = '-';
  }
  std::to_chars_result r = std::to_chars(p, buffer + sizeof buffer - 3, magnitude / 100);
  std::uint64_t fraction = magnitude % 100;
  *r.ptr++ = '.';
  *r.ptr++ = static_cast<char>('0' + fraction / 10);
  *r.ptr++ = static_cast<char>('0' + fraction % 10);
  return std::string(buffer, r.ptr);
}

std::string FormatAmountComma(std::int64_t cents) {
  std::string text = FormatAmount(cents);
  text[text.size() - 3] = ',';
  return text;
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
