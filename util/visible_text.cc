#include "util/visible_text.h"

namespace varnex {
namespace {

bool IsControl(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

}  // namespace

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    if (IsControl(c)) {
      return true;
    }
  }
  return false;
}

void AppendVisible(std::string_view text, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    if (!IsControl(c)) {
      out->push_back(c);
      continue;
    }
    switch (c) {
    case '\n':
      out->append("<LF>");
      break;
    case '\r':
      out->append("<CR>");
      break;
    case '\t':
      out->append("<TAB>");
      break;
    case '\0':
      out->append("<NUL>");
      break;
    default: {
      auto u = static_cast<unsigned char>(c);
      out->push_back('<');
      out->push_back(kHex[u >> 4]);
      out->push_back(kHex[u & 0xF]);
      out->push_back('>');
    }
    }
  }
}

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendVisible(text, &out);
  return out;
}

std::string_view OneLogMessage(std::string_view message, std::string* scratch) {
  std::size_t end = message.size();
  while (end > 0 && message[end - 1] == '\n') {
    --end;
  }
  std::string_view body = message.substr(0, end);
  if (!HasControlCharacter(body)) {
    return message;
  }
  scratch->clear();
  AppendVisible(body, scratch);
  scratch->append(message.substr(end));
  return *scratch;
}

}  // namespace varnex
