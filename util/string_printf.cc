#include "util/string_printf.h"

#include <cstdio>

namespace varnex {

void StringAppendV(std::string* out, const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) {
    return;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    out->append(small, static_cast<std::size_t>(n));
    return;
  }
  std::size_t old = out->size();
  out->resize(old + static_cast<std::size_t>(n) + 1);
  va_copy(copy, args);
  std::vsnprintf(out->data() + old, static_cast<std::size_t>(n) + 1, format, copy);
  va_end(copy);
  out->resize(old + static_cast<std::size_t>(n));
}

std::string StringPrintf(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  StringAppendV(&out, format, args);
  va_end(args);
  return out;
}

void StringAppendF(std::string* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  StringAppendV(out, format, args);
  va_end(args);
}

}  // namespace varnex
