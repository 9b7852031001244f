// A real file system that can be made to fail any single step of converting an input file,
// and that reports a chosen directory as the executable's.
#pragma once

#include <array>
#include <atomic>
#include <string>

#include "platform/native_platform.h"

namespace varnex {

class FaultyFileSystem : public FileSystem {
 public:
  enum class Step {
    kOpenInput,
    kReadInput,
    kCreateOutput,
    kWriteOutput,
    kSyncOutput,
    kCloseOutput,
    kRename,
    kMove,
    kSyncDirectory,
    kCount,
  };
  static constexpr const char* kReason = "nincs több hely az eszközön";

  explicit FaultyFileSystem(std::string executableDir) : exeDir_(std::move(executableDir)) {}

  // Makes the `nth` (1-based) call of `step` fail; 0 switches failures off.
  void FailAt(Step step, int nth) {
    failStep_ = step;
    failAt_ = nth;
    outOfMemory_ = false;
  }
  // Makes the `nth` call of `step` throw std::bad_alloc, as an exhausted memory would.
  void RunOutOfMemoryAt(Step step, int nth) {
    FailAt(step, nth);
    outOfMemory_ = true;
  }
  int Calls(Step step) const { return calls_[static_cast<std::size_t>(step)]; }
  // When outputs are written from two threads. By default only while no failure is armed,
  // so that the nth call of a step is always the same call; kAlways also with a failure
  // armed (the nth call is then one of the calls of that step, which one may vary).
  enum class Concurrency { kUnlessArmed, kNever, kAlways };
  void SetConcurrency(Concurrency concurrency) { concurrency_ = concurrency; }
  bool WritesConcurrently() const override {
    bool allowed = concurrency_ == Concurrency::kAlways ||
                   (concurrency_ == Concurrency::kUnlessArmed && failAt_ == 0);
    return allowed && real_.WritesConcurrently();
  }

  OpenStatus OpenLocked(const std::string& path, std::unique_ptr<ReadableFile>* file,
                        std::string* reason) override;
  std::unique_ptr<Lock> TryLockDirectory(const std::string& path, bool* busy) override {
    return real_.TryLockDirectory(path, busy);
  }
  bool ReadFile(const std::string& path, std::string* out, std::string* reason) override {
    if (!unreadableFile.empty() && path == unreadableFile) {
      if (reason != nullptr) {
        *reason = "hozzáférés megtagadva";
      }
      return false;
    }
    return real_.ReadFile(path, out, reason);
  }
  std::unique_ptr<WritableFile> CreateExclusive(const std::string& path,
                                                std::string* reason) override;
  std::unique_ptr<WritableFile> ExtendFile(const std::string& path, std::string* reason) override {
    return real_.ExtendFile(path, reason);
  }
  std::unique_ptr<AppendFile> OpenAppend(const std::string& path, std::string* reason) override {
    if (failLogOpen) {
      if (reason != nullptr) {
        *reason = "Permission denied";
      }
      return nullptr;
    }
    return real_.OpenAppend(path, reason);
  }
  bool MakeDir(const std::string& path, std::string* reason) override {
    return real_.MakeDir(path, reason);
  }
  bool IsDirectory(const std::string& path) override { return real_.IsDirectory(path); }
  bool CanWriteIn(const std::string& dir) override {
    return dir != unwritableDir && real_.CanWriteIn(dir);
  }
  bool CanListIn(const std::string& dir) override {
    return (unlistableDir.empty() || dir != unlistableDir) && real_.CanListIn(dir);
  }
  bool Exists(const std::string& path) override { return real_.Exists(path); }
  bool IsLink(const std::string& path) override { return real_.IsLink(path); }
  bool CanRemove(const std::string& path, std::string* reason) override {
    if (!unremovableFile.empty() && path == unremovableFile) {
      *reason = "egy másik program törlés nélküli megosztással tartja nyitva";
      return false;
    }
    return real_.CanRemove(path, reason);
  }
  bool NameFits(const std::string& path, std::size_t* length, std::size_t* limit) override {
    return real_.NameFits(path, length, limit);
  }
  bool Stat(const std::string& path, FileIdentity* out) override { return real_.Stat(path, out); }
  bool Remove(const std::string& path, std::string* reason) override {
    return real_.Remove(path, reason);
  }
  bool RenameNoReplace(const std::string& from, const std::string& to,
                       std::string* reason) override;
  bool MoveNoReplace(const std::string& from, const std::string& to, const std::string& tempName,
                     std::string* reason) override;
  std::vector<std::string> ListFiles(const std::string& dir, std::string_view ext) override {
    return real_.ListFiles(dir, ext);
  }
  std::vector<std::string> ListNames(const std::string& dir) override {
    return real_.ListNames(dir);
  }
  bool StatRegular(const std::string& path, FileIdentity* out) override {
    return real_.StatRegular(path, out);
  }
  bool ReplaceFile(const std::string& path, std::string_view bytes, const std::string& tempName,
                   std::string* reason) override {
    return real_.ReplaceFile(path, bytes, tempName, reason);
  }
  bool SyncDirectory(const std::string& dir, std::string* reason) override {
    return !Fails(Step::kSyncDirectory, reason) && real_.SyncDirectory(dir, reason);
  }
  std::unique_ptr<Lock> CreateRunLock(const std::string& path, std::string_view content,
                                      std::string* reason) override {
    return real_.CreateRunLock(path, content, reason);
  }
  std::string RunId() override { return real_.RunId(); }
  std::string ExecutableDir() override { return exeDir_; }
  std::string CurrentDir() override { return real_.CurrentDir(); }

  // While set, the daily log cannot be opened.
  bool failLogOpen = false;
  // A directory this process may not list.
  std::string unlistableDir;
  // A directory this process may not create files in.
  // A file ReadFile cannot read (as one of mode 000 for the run's user).
  std::string unreadableFile;
  // A file CanRemove says cannot be removed.
  std::string unremovableFile;
  std::string unwritableDir;

  // Counts a call of `step`; true when it is the one to fail.
  bool Fails(Step step, std::string* reason);

 private:
  NativeFileSystem real_;
  std::string exeDir_;
  Step failStep_ = Step::kCount;
  int failAt_ = 0;
  Concurrency concurrency_ = Concurrency::kUnlessArmed;
  bool outOfMemory_ = false;
  std::array<std::atomic<int>, static_cast<std::size_t>(Step::kCount)> calls_{};
};

}  // namespace varnex
