// Writing the outputs of one input file under temporary names and committing them, together
// with the input's move to the backup directory, as one step.
//
// An output is first created under a temporary name ".varnex-<pid>-<n>.tmp" in its own
// directory (a name that never matches an input or an output). Commit renames the outputs
// into place, never replacing a file, and moves the input to backup. Whatever was not
// committed is removed when the FileCommit is destroyed, on every way out.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace varnex {

class RunLog;

// The prefix and suffix of this program's temporary files: ".varnex-<pid>-<n>.tmp".
inline constexpr std::string_view kTempPrefix = ".varnex-";
inline constexpr std::string_view kTempSuffix = ".tmp";

// The process id in a temporary file's name, or -1 when `name` is not one of ours.
long TempFileOwner(std::string_view name);

// Hands out the temporary names of one run.
class TempNames {
 public:
  explicit TempNames(FileSystem& fs) : fs_(fs) {}
  // A fresh name, without directory.
  std::string Next();

 private:
  FileSystem& fs_;
  long counter_ = 0;
};

// Removes the temporary files that converters no longer running left in `dir`, one log line
// each.
void RemoveLeftoverTemps(FileSystem& fs, RunLog& log, const std::string& dir);

class FileCommit {
 public:
  FileCommit(FileSystem& fs, TempNames& tempNames) : fs_(fs), tempNames_(tempNames) {}
  FileCommit(const FileCommit&) = delete;
  FileCommit& operator=(const FileCommit&) = delete;
  // Removes every output that was not committed.
  ~FileCommit();

  // Creates the temporary file of the output that is to be named `finalPath`. Null with a
  // reason on failure.
  std::unique_ptr<WritableFile> CreateOutput(const std::string& finalPath, std::string* reason);

  // Places every created output under its final name and moves `input` to `backup`. On
  // failure logs a "Hiba: " line and returns false; what was produced is then removed.
  bool Commit(const std::string& input, const std::string& backup, RunLog& log);

  // The final names of the outputs, in the order they were created.
  std::vector<std::string> FinalNames() const;

 private:
  struct Output {
    std::string temp;
    std::string final;
    bool placed = false;
  };
  FileSystem& fs_;
  TempNames& tempNames_;
  std::vector<Output> outputs_;
  bool committed_ = false;
};

}  // namespace varnex
