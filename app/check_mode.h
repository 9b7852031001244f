// The dry run of `varnex --check [FILE...]`: what a run would do with each file, and why.
//
// Each file (without FILE arguments, those input directory mode would take) is read,
// classified and converted exactly as a run would, and every document it would write is
// validated in full against the schema of [SEPA] Format by the streaming validator. The report
// goes to standard output in UTF-8: one summary line per file, one line per order that is
// not a SEPA order naming every rule it fails, with hybrid addresses a line per address
// naming its town, postcode, country and lines as written (or why it is left out), with the
// EPC character set a line per text value it changes (as written, and as it will be written), and
// every reason the run would refuse the file as "PATH:LINE: hiba: TEXT", LINE being the line on
// which the order's message starts (0 for the file or its header). Settings problems come first, as
// "INI:0: figyelem: TEXT" or, ending the check with exit code 1 like the directory conflicts,
// "INI:0: hiba: TEXT". Nothing is written, moved, locked, logged or created.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varnex {

// Checks `files` (or the input directory's HUA and INT files when empty). Returns 0 when every
// file would be converted, 2 when at least one would not, 1 when the check cannot start.
int RunCheck(Platform platform, const std::vector<std::string>& files, std::ostream& out,
             std::ostream& errors);

}  // namespace varnex
