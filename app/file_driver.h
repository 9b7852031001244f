// The per-file driver: names, time stamps and the all-or-nothing conversion of one input.
//
// Each input file is converted as a whole or not at all. Its outputs are first written under
// temporary names in their own directories, flushed and closed; only when all of them are
// written are they renamed into place (never replacing a file) and the input moved to the
// backup directory (file_commit.h). Any failure removes what the file produced and leaves the
// input where it was, with a "Hiba: " line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/conversion_run.h"
#include "platform/platform.h"

namespace varnex {

struct LocalTime;
struct Settings;

// The names of everything one input file may produce.
struct OutputNames {
  std::string sepa;    // non-urgent SEPA orders
  std::string urgent;  // urgent SEPA orders
  std::string other;   // orders that are not SEPA orders
  WriterKind otherKind = WriterKind::kHua;
  std::string backup;  // where the input goes
};

// The title of an input: its file name without directory and without its last extension.
std::string TitleOf(std::string_view path);

// Names for the input of title `title` and extension `ext` (its last three characters, case
// kept) at `fileStamp`.
OutputNames MakeOutputNames(const Settings& settings, const std::string& title,
                            const std::string& ext, const std::string& fileStamp);

// The 17-digit stamp "%Y%m%d%H%M%S" + "%3.3u" of `now`; when that is not later than
// `previous`, `previous` plus one millisecond, so that stamps of one run never repeat.
std::string NextFileStamp(const LocalTime& now, const std::string& previous);

// Milliseconds since the epoch of a local time with its UTC offset.
std::int64_t EpochMs(const LocalTime& t);

// The problem of an input whose output or backup names (`names`) are longer than the file
// system allows, so that the commit could not finish; empty when every name fits.
std::string LongNameText(FileSystem& fs, const OutputNames& names);

// The problem of an input whose modification time is ahead of `now` by more than `minFileAge`
// seconds (set): MinFileAge would wait for it until the clock catches up. Empty otherwise.
std::string FutureStampText(const FileIdentity& identity, const LocalTime& now,
                            std::int32_t minFileAge);

}  // namespace varnex
