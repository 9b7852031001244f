// Identifiers and time stamps that the converters generate.
//
// Both are written straight into record fields, without heap allocation, because a payment
// identifier is generated for every message of a file.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/fixed_text.h"

namespace varnex {

// Writes "B" + local time "%Y%m%d%H%M%S" + milliseconds "%3.3u" + `sequence` "%6.6ld" (24
// characters while `sequence` has at most six digits) into `out`, and advances `sequence` by
// one.
void AssignGeneratedId(const LocalTime& now, std::int32_t& sequence, FixedText<36>& out);

// Writes the local time "%Y%m%d%H%M%S" followed by its offset from UTC as "+HHMM" or "-HHMM"
// (19 characters) into `out`.
void AssignCreationTime(const LocalTime& now, FixedText<24>& out);

}  // namespace varnex
