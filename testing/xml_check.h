// XML checks for tests: well-formedness and validity against the pain.001.001.03 schema
// kept in the test data, both through libxml2.
#pragma once

#include <string>
#include <string_view>

namespace varnex {

// True when `text` is a well-formed XML document; else false with libxml2's messages in
// `*error`.
bool IsWellFormedXml(std::string_view text, std::string* error);

// True when `text` is well-formed and valid against the pain.001.001.03 schema; else false
// with the parser's or the validator's messages in `*error`.
bool ValidatesAgainstPain001(std::string_view text, std::string* error);

// A pain.001.001.03 document holding every element the SEPA writer writes, each with a valid
// value, except that the leaf at `path` (below CstmrCdtTrfInitn, "GrpHdr/MsgId") holds
// `value` (UTF-8, escaped here). Where the schema offers Cd or Prtry, the document holds
// the one named by `path`, else Cd. Empty when no leaf has that path.
std::string Pain001WithValue(std::string_view path, std::string_view value);

}  // namespace varnex
