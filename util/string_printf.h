// printf-style formatting into std::string. The formats of the system's messages and
// identifiers are kept verbatim and checked by the compiler (-Wformat=2).
#pragma once

#include <cstdarg>
#include <string>

namespace varnex {

// Returns the formatted text.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends the formatted text to `out`.
void StringAppendF(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void StringAppendV(std::string* out, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

}  // namespace varnex
