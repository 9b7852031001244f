// Committing the outputs of one input file together with the input's move to the backup
// directory, so that a crash at any instant (the process killed, or the power lost with
// whatever was not yet flushed) leaves the input converted once or not at all.
//
// Every file of a run is named ".varnex-<run>-<n>.tmp" (a name that never matches an input or
// an output), and before a run creates one in a directory it creates and locks its lock file
// ".varnex-<run>.lock" there, which holds the journal directory. A commit:
//   1. the outputs are written under temporary names and flushed (the driver); across file
//      systems the input is copied under a temporary name into the backup directory and
//      flushed; the directories of these temporary files are flushed;
//   2. the input is checked to be the file that was opened, unchanged;
//   3. a journal naming the input, its identity, the backup name, every temporary/final
//      pair and the MsgIds of the documents is written under a temporary name in the backup
//      directory, flushed, renamed to ".varnex-<run>-<n>.jrn", and the backup directory
//      flushed: the commit point;
//   4. the outputs are renamed into place, the input moved to backup (renamed, or its copy
//      renamed and the input removed), the MsgIds appended to the record beside the backups
//      (message_ids.h), every directory touched flushed, the journal removed.
// Before the commit point the temporary files are removed and the input stays; after it any
// run rolls the journal forward (step 4 is idempotent). Liveness of a run is told by its lock,
// never by process ids.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/safety/message_ids.h"
#include "platform/platform.h"

namespace varnex {

class RunLog;

// The name parts of this program's files.
inline constexpr std::string_view kTempPrefix = ".varnex-";
inline constexpr std::string_view kTempSuffix = ".tmp";
inline constexpr std::string_view kJournalSuffix = ".jrn";
inline constexpr std::string_view kLockSuffix = ".lock";

// What a file name of this program says: the run that made it and what it is.
struct RunFileName {
  enum class Kind { kTemp, kJournal, kLock };
  std::string run;
  Kind kind = Kind::kTemp;
};

// Parses ".varnex-<run>-<n>.tmp", ".varnex-<run>-<n>.jrn" or ".varnex-<run>.lock"; false for
// any other name.
bool ParseRunFileName(std::string_view name, RunFileName* out);

// The files of one run: its id, the temporary names it hands out and the lock it holds in
// every directory where it has made a file. The lock files are removed on destruction, unless
// a commit of this run was left for recovery.
class TempNames {
 public:
  explicit TempNames(FileSystem& fs);
  ~TempNames();
  TempNames(const TempNames&) = delete;
  TempNames& operator=(const TempNames&) = delete;

  // The directory of this run's journals (BackupPath), recorded in its lock files.
  void SetJournalDirectory(std::string dir) { journalDir_ = std::move(dir); }
  const std::string& run() const { return run_; }

  // A fresh temporary path in `dir` (empty, or ending in a separator), this run's lock there
  // taken first. Empty with a reason on failure.
  std::string Next(const std::string& dir, std::string* reason);
  // Keeps the lock files: a journal of this run waits for recovery.
  void KeepLocks() { keepLocks_ = true; }

 private:
  struct Held {
    std::string path;
    std::unique_ptr<Lock> lock;
  };
  FileSystem& fs_;
  std::string run_;
  std::string journalDir_;
  long counter_ = 0;
  std::vector<Held> locks_;
  bool keepLocks_ = false;
};

// Finishes every commit that a run no longer alive left in `journalDir`, one log line each.
// One that cannot be finished gets a "Hiba: " line, and its input must not be converted again
// until it is: the input's path goes to `blocked`. False when a journal cannot even be read,
// so that its input is unknown: the caller then converts nothing.
bool RecoverInterruptedCommits(FileSystem& fs, RunLog& log, const TempNames& own,
                               const std::string& journalDir, std::vector<std::string>* blocked);

// Removes from `dir` the temporary and lock files of runs no longer alive, except those that
// a journal still waiting for recovery needs; one log line per temporary file.
void RemoveLeftoverTemps(FileSystem& fs, RunLog& log, const std::string& dir, const TempNames& own);

class FileCommit {
 public:
  FileCommit(FileSystem& fs, TempNames& tempNames) : fs_(fs), tempNames_(tempNames) {}
  FileCommit(const FileCommit&) = delete;
  FileCommit& operator=(const FileCommit&) = delete;
  // Removes every temporary file that was not committed.
  ~FileCommit();

  // Creates the temporary file of the output that is to be named `finalPath`. Null with a
  // reason on failure. The caller writes, syncs and closes it.
  std::unique_ptr<WritableFile> CreateOutput(const std::string& finalPath, std::string* reason);
  // Records, with the commit, that the output `written.output` carries the MsgId `written.id`.
  void AddMessageId(WrittenMessageId written) { ids_.push_back(std::move(written)); }

  // Commits the created outputs and the move of `input`, opened as `opened`, to `backup`.
  // False after a "Hiba: " line when the input was not converted: before the commit point
  // (the input changed since it was opened, a name taken, two of the names one file, any
  // step failed) what was produced is removed; after it the next run finishes the commit.
  bool Commit(const std::string& input, const FileIdentity& opened, const std::string& backup,
              RunLog& log);

  // The final names of the outputs, in the order they were created.
  std::vector<std::string> FinalNames() const;
  // True once the commit point was passed: the outputs are there, or the next run puts them
  // there.
  bool published() const { return committed_; }

 private:
  struct Output {
    std::string temp;
    std::string final;
  };
  FileSystem& fs_;
  TempNames& tempNames_;
  std::vector<Output> outputs_;
  std::vector<WrittenMessageId> ids_;
  std::string backupTemp_;  // the input's copy, across file systems
  bool committed_ = false;
};

}  // namespace varnex
