// Text kept in line-oriented files of the program: every control byte, DEL and '%' is written
// as '%' and two hex digits, so that no text can add a line or a tab-separated field.
#pragma once

#include <string>
#include <string_view>

namespace varnex {

// Appends `text` to `out` with its control bytes, DEL and '%' escaped.
void AppendLineEscaped(std::string* out, std::string_view text);

// The text that AppendLineEscaped wrote as `escaped`; false for a malformed escape.
bool UnescapeLine(std::string_view escaped, std::string* out);

}  // namespace varnex
