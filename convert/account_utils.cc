#include "convert/account_utils.h"

namespace varnex {

std::string_view SafeMidFrom(std::string_view text, long start) {
  if (start < 0) {
    start = 0;
  }
  if (static_cast<std::size_t>(start) >= text.size()) {
    return {};
  }
  return text.substr(static_cast<std::size_t>(start));
}

std::string_view SafeMid(std::string_view text, long start, long count) {
  if (count <= 0) {
    return {};
  }
  return SafeMidFrom(text, start).substr(0, static_cast<std::size_t>(count));
}

}  // namespace varnex
