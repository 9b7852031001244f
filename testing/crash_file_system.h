// An in-memory file system that forgets what was not made durable, for crash tests.
//
// File contents and directory entries each have a durable and a current state. Syncing a
// file makes its content durable; syncing a directory makes the changes of its entries
// (creates, renames into or out of it, removals) durable. A test lets a run stop after any
// number of steps (every later call fails, as if the process were gone), then crashes the
// file system: of the changes not yet durable, any chosen subset survives, the rest is lost.
// With NTFS durability there is no directory sync: directory changes go to a journal that is
// committed in order, up to a file's last change by flushing the file, and up to a rename by
// the rename itself (write-through); a crash keeps a prefix of the changes since the last
// commit. The build's own platform decides the default.
// Paths are absolute ('\\' counts as '/'); each mount prefix is a file system of its own (renames
// across them fail, as on a real system). Appends to the daily log go to a side buffer and are no
// steps.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varnex {

class CrashFileSystem : public FileSystem {
 public:
  enum class Durability { kPosix, kNtfs };
  static constexpr Durability kNativeDurability =
      kDirSeparator == '\\' ? Durability::kNtfs : Durability::kPosix;

  // `mounts` are directory prefixes ending in a separator; each is a file system of its own,
  // the first also holding every path outside the others.
  CrashFileSystem(std::vector<std::string> mounts, std::string executableDir,
                  Durability durability = kNativeDurability);

  // Set-up, outside of any run: a directory or a file, durable at once.
  void AddDirectory(const std::string& dir);
  void AddFile(const std::string& path, const std::string& bytes);
  // Replaces the content of an existing file as another program would (a new modification
  // time), durable at once.
  void Rewrite(const std::string& path, const std::string& bytes);

  // Lets `steps` more state-changing steps through; every call after them fails. Negative:
  // no limit.
  void StopAfter(int steps) {
    limit_ = steps < 0 ? -1 : steps_ + steps;
    stopped_ = false;
  }
  // Calls `action` (as another program acting on the files) just before step `step` + 1.
  void AtStep(int step, std::function<void()> action) {
    actionStep_ = step;
    action_ = std::move(action);
  }
  // State-changing steps done so far.
  int steps() const { return steps_; }
  bool stopped() const { return stopped_; }

  // The number of changes a crash now may keep or lose, each independently: a directory
  // entry change not yet durable (a rename is one change), or a file content not yet synced.
  int PendingChanges() const;
  // The power goes: change i of PendingChanges survives when bit i of `keep` is set (changes
  // past the 64th always survive). After this everything is durable, the locks of the gone
  // process are released, and the step limit is lifted.
  void Crash(std::uint64_t keep);

  // The run log's text, in the order appended.
  const std::string& log() const { return log_; }

  OpenStatus OpenLocked(const std::string& path, std::unique_ptr<ReadableFile>* file,
                        std::string* reason) override;
  std::unique_ptr<Lock> TryLockDirectory(const std::string& path, bool* busy) override;
  bool ReadFile(const std::string& path, std::string* out, std::string* reason) override;
  std::unique_ptr<WritableFile> CreateExclusive(const std::string& path,
                                                std::string* reason) override;
  std::unique_ptr<WritableFile> ExtendFile(const std::string& path, std::string* reason) override;
  std::unique_ptr<AppendFile> OpenAppend(const std::string& path, std::string* reason) override;
  bool MakeDir(const std::string& path, std::string* reason) override;
  bool IsDirectory(const std::string& path) override;
  bool Exists(const std::string& path) override;
  bool Stat(const std::string& path, FileIdentity* out) override;
  bool StatRegular(const std::string& path, FileIdentity* out) override {
    return !IsDirectory(path) && Stat(path, out);
  }
  // The caches beside the backups and logs are not modelled: writing them fails, as a cache
  // write may.
  bool ReplaceFile(const std::string&, std::string_view, const std::string&,
                   std::string* reason) override {
    if (reason != nullptr) {
      *reason = "nem támogatott";
    }
    return false;
  }
  bool Remove(const std::string& path, std::string* reason) override;
  bool RenameNoReplace(const std::string& from, const std::string& to,
                       std::string* reason) override;
  bool MoveNoReplace(const std::string& from, const std::string& to, const std::string& tempName,
                     std::string* reason) override;
  bool SyncDirectory(const std::string& dir, std::string* reason) override;
  std::unique_ptr<Lock> CreateRunLock(const std::string& path, std::string_view content,
                                      std::string* reason) override;
  std::string RunId() override;
  std::vector<std::string> ListFiles(const std::string& dir, std::string_view ext) override;
  std::vector<std::string> ListNames(const std::string& dir) override;
  std::string ExecutableDir() override { return exeDir_; }

  // Used by the file and lock objects handed out.
  struct Inode {
    std::string data;
    std::string durableData;
    std::int64_t mtimeNs = 0;
    std::uint64_t device = 0;
    bool locked = false;
  };
  // Counts a state-changing step; false (with a reason) once the run has stopped.
  bool Step(std::string* reason);
  // False once the run has stopped.
  bool Alive(std::string* reason);
  Inode* Find(int inode);
  // With NTFS durability, a flush of `inode`: the journal committed up to its last change.
  void CommitJournalThrough(int inode);
  int generation() const { return generation_; }
  std::int64_t Tick() { return ++clock_; }

 private:
  // One effect on one directory: its entry `name` set to `inode`, or (set false) removed
  // when it still names `inode`.
  struct Effect {
    std::string dir;
    std::string name;
    int inode = 0;
    bool set = true;
    bool durable = false;
  };
  struct Change {
    std::vector<Effect> effects;
  };
  using Entries = std::map<std::string, int>;

  std::uint64_t DeviceOf(const std::string& path) const;
  // The directory (with separator) and the name of `path`.
  static void Split(const std::string& path, std::string* dir, std::string* name);
  int Lookup(const std::string& path) const;
  void Record(Change change);
  // Makes the first `count` pending changes durable.
  void CommitPending(std::size_t count);
  // The inodes a crash may give their durable or their current content.
  std::vector<int> UnsyncedInodes() const;
  static void Apply(std::map<std::string, Entries>& dirs, const Effect& e);

  std::vector<std::string> mounts_;
  Durability durability_;
  std::string exeDir_;
  std::map<std::string, Entries> current_;
  std::map<std::string, Entries> durable_;
  std::map<int, Inode> inodes_;
  std::vector<Change> pending_;
  int nextInode_ = 1;
  std::int64_t clock_ = 1000;
  int steps_ = 0;
  int limit_ = -1;
  bool stopped_ = false;
  int runs_ = 0;
  int generation_ = 0;
  int actionStep_ = -1;
  std::function<void()> action_;  // advanced by every crash; locks of earlier ones are gone
  std::string log_;
};

}  // namespace varnex
