// The POSIX implementations of the platform interfaces.
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/platform.h"
#include "platform/terminal_file_picker.h"

namespace varnex {

class PosixFileSystem : public FileSystem {
 public:
  bool WritesConcurrently() const override { return true; }
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
  bool IsLink(const std::string& path) override;
  bool NameFits(const std::string& path, std::size_t* length, std::size_t* limit) override;
  bool Stat(const std::string& path, FileIdentity* out) override;
  bool Remove(const std::string& path, std::string* reason) override;
  bool RenameNoReplace(const std::string& from, const std::string& to,
                       std::string* reason) override;
  bool MoveNoReplace(const std::string& from, const std::string& to, const std::string& tempName,
                     std::string* reason) override;
  std::vector<std::string> ListFiles(const std::string& dir, std::string_view ext) override;
  std::vector<std::string> ListNames(const std::string& dir) override;
  bool StatRegular(const std::string& path, FileIdentity* out) override;
  bool ReplaceFile(const std::string& path, std::string_view bytes, const std::string& tempName,
                   std::string* reason) override;
  bool SyncDirectory(const std::string& dir, std::string* reason) override;
  std::unique_ptr<Lock> CreateRunLock(const std::string& path, std::string_view content,
                                      std::string* reason) override;
  std::string RunId() override;
  std::string ExecutableDir() override;
  std::string CurrentDir() override;
  bool CanWriteIn(const std::string& dir) override;
  bool CanRemove(const std::string& path, std::string* reason) override;
  bool CanListIn(const std::string& dir) override;
  bool AdoptOwnerOf(const std::string& dir, std::string* who, std::string* reason) override;
};

// Local time from the system clock; the broken-down time is cached per second and per
// thread, so that threads asking at once need not wait for each other.
class SystemClock : public Clock {
 public:
  LocalTime Now() override;
  void SleepMs(std::int64_t milliseconds) override;
};

// Standard output, buffered; flushed at every line end when it is a terminal.
class StdoutConsole : public Console {
 public:
  StdoutConsole();
  void Write(std::string_view utf8) override;
  void Flush() override;

 private:
  bool terminal_;
};

// True when standard input is a terminal.
bool StdinIsTerminal();

}  // namespace varnex
