// What earlier runs refused, so that a refused input left unchanged in the input directory is
// skipped without being read and classified again by every scheduled run.
//
// The memory is the file "varnex-elutasitott.txt" beside the daily logs: one line per refused
// path with the file's identity (device, inode, size, modification time), the time of the
// refusal and its reason. A refusal counts only while the file's identity is unchanged.
// Saving drops the paths that are gone or changed, so the file stays small. The memory is a
// convenience: a lost or damaged file costs one more reading of each refused input, and a
// failed write never fails a run.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace varnex {

class TempNames;

// The name of the memory file in the log directory.
inline constexpr std::string_view kRefusalMemoryName = "varnex-elutasitott.txt";

struct Refusal {
  std::string when;    // "YYYY.MM.DD. hh:mm:ss"
  std::string reason;  // one line of UTF-8 text
};

class RefusalMemory {
 public:
  // `logDir` ends in a separator or is empty (the current directory). The file is written
  // under a temporary name from `tempNames`.
  RefusalMemory(FileSystem& fs, TempNames& tempNames, std::string logDir);

  // The earlier refusal of `path` when the file's identity is still `now`; nullopt otherwise.
  std::optional<Refusal> Find(const std::string& path, const FileIdentity& now);
  // Records that `path`, with identity `id`, was refused at `when` for `reason`. Any byte
  // may occur in the texts; line ends in them are kept.
  void Record(const std::string& path, const FileIdentity& id, std::string_view when,
              std::string_view reason);
  // Forgets `path` (converted, or gone).
  void Forget(const std::string& path);
  // Drops the paths that no longer name a file of the recorded identity and writes the file
  // back when anything changed. A failed write is ignored.
  void Save();
  // Reads the memory when it was not read yet, then saves it: the refusals of files that
  // are gone or changed are dropped also by a run that processed nothing.
  void ForgetGone();

 private:
  struct Entry {
    FileIdentity id;
    Refusal refusal;
  };

  void Load();
  void Parse(std::string_view text);
  std::string Serialize() const;

  FileSystem& fs_;
  TempNames& tempNames_;
  std::string path_;
  std::map<std::string, Entry> entries_;
  bool loaded_ = false;
  bool dirty_ = false;
};

}  // namespace varnex
