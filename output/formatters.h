// Value formatters shared by the XML and MT serializers.
//
// Numbers are formatted with the C library's "C" locale rules (the program never calls
// setlocale): a point as decimal separator and no grouping.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace varnex {

// "YYYYMMDD" -> "YYYY-MM-DD"; missing parts are empty, the hyphens always written.
std::string FormatIsoDate(std::string_view date);
// "YYYYMMDDHHMMSS" -> "YYYY-MM-DDTHH:MM:SS", followed by the offset "+HH:MM"/"-HH:MM" when the
// stamp carries "+HHMM"/"-HHMM" after its 14 digits; without one no offset is written.
std::string FormatIsoDateTime(std::string_view stamp);
// "%ld".
std::string FormatInteger(std::int64_t value);
// A count of cents as "%1.2f" would print the amount: at least one digit, two decimals, a
// point, a sign when negative (-5 gives "-0.05"). Exact for every count.
std::string FormatAmount(std::int64_t cents);
// FormatAmount with a decimal comma.
std::string FormatAmountComma(std::int64_t cents);

// Replaces & < > ' " by their entities, the ampersand first.
std::string EscapeXml(std::string_view text);
// Appends EscapeXml(text) to `out`.
void AppendEscapedXml(std::string_view text, std::string* out);

// The text in another code page; characters without counterpart become '?'.
std::string ConvertCodePage(std::string_view text, CodePage from, CodePage to,
                            const CodePages& codePages);

// Replaces the Hungarian accented vowels of CP1250 text by plain letters.
std::string StripAccents(std::string_view cp1250);
// The plain letter for one CP1250 byte, or the byte itself.
char StripAccent(char cp1250);

}  // namespace varnex
