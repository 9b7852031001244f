// Whether a loaded input file is whole: an export still being written, or a transfer cut
// short, must not be converted as it stands (its missing orders would be lost).
//
// A file is incomplete when it has no ":07:" (an empty file included), when it holds no order
// (header totals of 0 cannot vouch for an empty file: they read as not filled), when a HUA
// message lacks its "-}" trailer line, or, with CheckTotals, when the header's order count (:03:)
// or sum (:02:) disagrees with the orders read. A total that is missing or unreadable is not
// compared, and a declared count of 0 with a declared sum of 0 counts as not filled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/conversion_run.h"

namespace varnex {

class MtFile;

// Header totals are compared as digit strings, so that a total of any length is compared
// exactly.
//
// The count of ":03:" line 1 when it is a run of digits, blanks trimmed: its digits without
// leading zeros ("0" for zero).
std::optional<std::string> ReadDeclaredCount(std::string_view line);
// The cents of ":02:" line 1 when it reads as an amount (digits, optionally a comma or point
// and one or two digits), blanks trimmed: the digits of the count of cents without leading
// zeros ("0" for zero).
std::optional<std::string> ReadDeclaredCents(std::string_view line);

// The structural gaps of `file`: no header end, no order, HUA messages without trailer.
std::vector<FileProblem> FindStructuralGaps(const MtFile& file);
// The disagreements between the header's totals and the orders `classification` counted.
std::vector<FileProblem> FindTotalsMismatch(const MtFile& file,
                                            const Classification& classification);

// Every reason why `file`, classified as `classification`, is not converted as it stands: its
// structural gaps, what of it the conversion would not carry as written, the orders whose
// amounts no output may carry, and with `checkTotals` the disagreements of its totals (the sum
// is compared only when every amount could be counted).
std::vector<FileProblem> FindIncompleteness(const MtFile& file,
                                            const Classification& classification, bool checkTotals);

}  // namespace varnex
