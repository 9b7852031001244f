// Input text shown in a line of the log, of the dry run or of the console: its control
// characters made visible, so that text from a payment file can never end a line, start a
// forged one or move the cursor.
#pragma once

#include <string>
#include <string_view>

namespace varnex {

// True when `text` holds a control character (0x00-0x1F or 0x7F).
bool HasControlCharacter(std::string_view text);

// Appends `text` to `out` with every control character written as a tag: "<LF>", "<CR>",
// "<TAB>", "<NUL>", or its two hexadecimal digits ("<1B>"). Other bytes are kept as they are.
void AppendVisible(std::string_view text, std::string* out);
std::string VisibleText(std::string_view text);

// `message` (one logged message, which ends in its own line feeds) with the control
// characters before its final run of line feeds made visible. Returns `message` itself when
// there are none; else the result, built in `scratch`.
std::string_view OneLogMessage(std::string_view message, std::string* scratch);

}  // namespace varnex
