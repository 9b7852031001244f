// Finding an earlier copy of an input file among the backups, without reading them all.
//
// Every converted input is moved into the backup directory, so an input whose bytes equal a
// backup's has been converted before. The index file ".varnex.index" in the backup directory
// keeps, per backup name, the size and modification time and, once a file of that size had
// to be compared, a 64-bit hash of the content. A lookup lists the directory and takes the
// size of every file; only files whose size equals the input's and whose hash is not known
// are read. The index is only a cache: what it says is checked against the directory every
// time, a hash match is confirmed by comparing the bytes of the backup as it is now, and an
// index that is missing, unreadable or damaged is rebuilt. Writing it never fails a run.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace varnex {

class TempNames;

// The name of the index file in the backup directory.
inline constexpr std::string_view kBackupIndexName = ".varnex.index";

// True for the files this program keeps beside the backups (the index, the message-id
// record), which are never backups themselves.
bool IsBackupDirectoryRecord(std::string_view name);

// What the index keeps of a file's content.
struct Fingerprint {
  std::int64_t size = 0;
  std::uint64_t hash = 0;
  bool operator==(const Fingerprint&) const = default;
};

// The size and the 64-bit content hash of `bytes`.
Fingerprint FingerprintOf(std::string_view bytes);

class BackupIndex {
 public:
  // `backupDir` ends in a separator or is empty (the current directory). The index is
  // written under a temporary name from `tempNames`.
  BackupIndex(FileSystem& fs, TempNames& tempNames, std::string backupDir);

  // Returns the full path of a file in the backup directory whose bytes equal `bytes`, or
  // nullopt. Files of this program (the index, temporary files) and anything that is not a
  // regular file are never reported.
  std::optional<std::string> FindCopy(std::string_view bytes);
  // The same, with the fingerprint of `bytes` already taken. A backup that is the file `self`
  // (the input itself, by device and inode) is no copy of it: its path goes to `itself`. A
  // backup of the same size that cannot be read, so that it may be a copy for all that can
  // be told, goes to `unreadable` (the first such one) when no copy is found.
  std::optional<std::string> FindCopy(std::string_view bytes, const Fingerprint& print,
                                      const FileIdentity* self = nullptr,
                                      std::string* itself = nullptr,
                                      std::string* unreadable = nullptr);

  // Records the file `backupPath` (in the backup directory) that was just moved there with
  // the content `print` was taken of.
  void Add(const std::string& backupPath, const Fingerprint& print);

  // Writes the index back when it changed. A failed write is ignored: the next run rebuilds
  // what it needs.
  void Save();

 private:
  struct Entry {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool hashed = false;
    std::uint64_t hash = 0;
    std::uint64_t seen = 0;  // the last listing that showed the file
  };

  void Load();
  // Brings the entries in line with the directory; hashes the unknown files of `size`.
  void Refresh(std::int64_t size);
  // Hashes the known entries of `size` that are not hashed yet.
  void HashSize(std::int64_t size);
  std::string Serialize() const;
  bool Parse(std::string_view text);

  FileSystem& fs_;
  TempNames& tempNames_;
  std::string dir_;
  std::map<std::string, Entry> entries_;
  std::uint64_t generation_ = 0;
  bool loaded_ = false;
  bool listed_ = false;
  bool dirty_ = false;
};

}  // namespace varnex
