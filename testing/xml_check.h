// XML checks for tests: well-formedness and validity against the pain.001 schemas kept in
// the test data (pain.001.001.03, and the EPC's pain.001.001.09), both through libxml2.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "convert/sepa_options.h"

namespace varnex {

// True when `text` is a well-formed XML document; else false with libxml2's messages in
// `*error`.
bool IsWellFormedXml(std::string_view text, std::string* error);

// True when `text` is well-formed and valid against the schema of its version (read from its
// namespace); else false with the parser's or the validator's messages in `*error`.
bool ValidatesAgainstPain001(std::string_view text, std::string* error);

// A pain.001 document of `format` holding every element the SEPA writer writes, each with a valid
// value, except that the leaf at `path` (below CstmrCdtTrfInitn, "GrpHdr/MsgId") holds
// `value` (UTF-8, escaped here). Where the schema offers Cd or Prtry, the document holds
// the one named by `path`, else Cd. Empty when no leaf has that path.
std::string Pain001WithValue(std::string_view path, std::string_view value,
                             SepaOptions::Format format = SepaOptions::Format::kPain00100103);

// The leaves of each PmtInf of a pain.001 document, in order: the path below PmtInf
// ("CdtTrfTxInf/Amt/InstdAmt", an attribute as "…/InstdAmt@Ccy") to the value; values of a
// path met twice are joined by "|". Empty when the text is no document (and in a build
// without libxml2).
std::vector<std::map<std::string, std::string>> PaymentLeaves(std::string_view text);

}  // namespace varnex
