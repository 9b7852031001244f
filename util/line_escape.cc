#include "util/line_escape.h"

#include "util/string_printf.h"

namespace varnex {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

}  // namespace

void AppendLineEscaped(std::string* out, std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%') {
      StringAppendF(out, "%%%02X", byte);
    } else {
      out->push_back(c);
    }
  }
}

bool UnescapeLine(std::string_view escaped, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '%') {
      out->push_back(escaped[i]);
      continue;
    }
    int high = i + 2 < escaped.size() ? HexDigit(escaped[i + 1]) : -1;
    int low = high >= 0 ? HexDigit(escaped[i + 2]) : -1;
    if (low < 0) {
      return false;
    }
    out->push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

}  // namespace varnex
