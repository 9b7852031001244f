// What the fuzz targets share: the code page tables built once per process, the checks that
// turn a broken property into a finding, and platform stand-ins (a file system that stores
// nothing, a console that drops its text, a clock that always tells the same time). A
// conversion run in a fuzz target logs as in production but touches no disk.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace varnex {

class CodePages;

// The tables, opened on first use; aborts when the C library lacks a code page.
const CodePages& FuzzCodePages();

// Ends the run as a finding, naming the broken property, when `ok` is false.
void Check(bool ok, const char* what);

// Check for a property that a reported, not yet fixed finding breaks; `id` names the finding.
// A long run can set such findings aside to look for others, with VARNEX_FUZZ_TOLERATE set to
// a comma-separated list of ids; nothing sets it in CI. Returns `ok`.
bool CheckFinding(bool ok, std::string_view id, const char* what);

// Occurrences of `marker` in `text`, counted as the reader cuts messages: each search starts
// one byte after the previous find, so occurrences may overlap.
int CountMarkers(std::string_view text, std::string_view marker);

// Opens the daily log as a file that accepts appends and drops their bytes; every other step fails
// or finds nothing.
class DiscardingFileSystem : public FileSystem {
 public:
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
  bool Stat(const std::string&, FileIdentity*) override { return false; }
  bool Remove(const std::string& path, std::string* reason) override;
  bool RenameNoReplace(const std::string& from, const std::string& to,
                       std::string* reason) override;
  bool MoveNoReplace(const std::string& from, const std::string& to, const std::string& tempName,
                     std::string* reason) override;
  std::vector<std::string> ListFiles(const std::string& dir, std::string_view ext) override;
  std::vector<std::string> ListNames(const std::string& dir) override;
  bool StatRegular(const std::string&, FileIdentity*) override { return false; }
  bool ReplaceFile(const std::string& path, std::string_view bytes, const std::string& tempName,
                   std::string* reason) override;
  bool SyncDirectory(const std::string& dir, std::string* reason) override;
  std::unique_ptr<Lock> CreateRunLock(const std::string& path, std::string_view content,
                                      std::string* reason) override;
  std::string RunId() override;
  std::string ExecutableDir() override;
};

// Drops the log's console copy, after checking that each message is one line: input text
// never ends a logged message early or starts another.
class DiscardingConsole : public Console {
 public:
  void Write(std::string_view utf8) override;
};

class FixedClock : public Clock {
 public:
  LocalTime Now() override;
};

}  // namespace varnex
