// The operating-system services the converter uses, behind small interfaces.
//
// Everything that touches the disk, the clock, the console or the user's terminal goes
// through these classes, so that tests can run against temporary directories, a fixed time
// and injected failures, and so that a second platform can slot in its own versions.
// The POSIX implementations are in posix_platform.h, the Windows ones in windows_platform.h
// (native_platform.h names the build's); the test fakes in testing/.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnex {

// Local calendar time with milliseconds, and the local time's offset from UTC at that instant.
struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int utcOffsetMinutes = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // Waits `milliseconds` (a run waiting for an input to come of age).
  virtual void SleepMs(std::int64_t milliseconds) { (void)milliseconds; }
};

// The console copy of the run log. Receives UTF-8 text.
class Console {
 public:
  virtual ~Console() = default;
  virtual void Write(std::string_view utf8) = 0;
  virtual void Flush() {}
};

// What tells one version of a file from another: the file itself (device and inode), its
// size and its modification time.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;  // modification time, nanoseconds since the epoch
  bool operator==(const FileIdentity&) const = default;
};

// An input file opened and locked for reading; the lock is held until destruction.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // The file as it was when it was opened.
  virtual FileIdentity Identity() const = 0;
  // Reads the whole file as raw bytes. Returns false and a reason on failure.
  virtual bool ReadAll(std::string* out, std::string* reason) = 0;
};

// A newly created output file. Every step reports failure; the destructor closes silently.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual bool Append(std::string_view bytes, std::string* reason) = 0;
  // Flushes the written bytes to the device.
  virtual bool Sync(std::string* reason) = 0;
  virtual bool Close(std::string* reason) = 0;
};

// A file held open for appending whole records: the lines of the daily log. Each record is
// added at the end of the file with one write, so records of several processes never split
// or interleave; on a network file system each write is also made under an exclusive lock.
// The destructor closes the file.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  // Appends `bytes` with one write. False when they were not written whole.
  // `reason` gets the cause of a failure (the system's error text), when given.
  virtual bool Append(std::string_view bytes, std::string* reason) = 0;
  // True when `path` names the opened file (same device and inode); false when it names
  // another file or nothing (the file was removed or renamed).
  virtual bool StillNamed(const std::string& path) = 0;
};

// A held lock; released on destruction.
class Lock {
 public:
  virtual ~Lock() = default;
};

enum class OpenStatus {
  kOk,
  kLocked,  // another process holds the lock
  kGone,    // the path no longer names a file, or names another file than the one opened
  kFailed,  // any other failure; the reason says which
};

// Interface for accessing the disk. Abstract so that tests can run against temporary
// directories and make any single step fail. Paths are the file system's bytes.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when files it creates may be written from two threads at once, each file by one.
  virtual bool WritesConcurrently() const { return false; }

  // Opens `path` for reading, takes a non-blocking exclusive lock on it and checks that the
  // path still names the file that was opened.
  virtual OpenStatus OpenLocked(const std::string& path, std::unique_ptr<ReadableFile>* file,
                                std::string* reason) = 0;
  // Takes a non-blocking exclusive lock on a directory. Returns null when it cannot; `busy`
  // tells whether another process holds it (as opposed to the directory being unusable).
  virtual std::unique_ptr<Lock> TryLockDirectory(const std::string& path, bool* busy) = 0;

  // Reads a whole file without locking it (the settings file).
  virtual bool ReadFile(const std::string& path, std::string* out, std::string* reason) = 0;
  // Creates a new file; fails when the name exists.
  virtual std::unique_ptr<WritableFile> CreateExclusive(const std::string& path,
                                                        std::string* reason) = 0;
  // Opens `path` to add bytes at its end, creating it when missing; its bytes stay. The
  // appended bytes are durable once synced; a file created here also needs its directory
  // synced.
  virtual std::unique_ptr<WritableFile> ExtendFile(const std::string& path,
                                                   std::string* reason) = 0;

  // The daily log, kept open for the run.
  // Opens `path` for appending, creating it when missing; null, with a reason, on failure.
  virtual std::unique_ptr<AppendFile> OpenAppend(const std::string& path, std::string* reason) = 0;

  // Creates one directory level. Returns false when it was not created (it may exist).
  virtual bool MakeDir(const std::string& path, std::string* reason) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  // True when this process may create files in directory `dir` (empty: the current one).
  virtual bool CanWriteIn(const std::string& dir) {
    (void)dir;
    return true;
  }
  // True when this process may list the names in directory `dir` (empty: the current one).
  virtual bool CanListIn(const std::string& dir) {
    (void)dir;
    return true;
  }
  // True when something (file, directory, link) has that name.
  virtual bool Exists(const std::string& path) = 0;
  // True when the last component of `path` is no longer than the file system of its directory
  // allows; `*limit` gets that limit (in the platform's units: bytes, or UTF-16 units on
  // Windows) and `*length` the component's length in them.
  virtual bool NameFits(const std::string& path, std::size_t* length, std::size_t* limit) {
    std::size_t slash = path.find_last_of("/\\");
    *length = path.size() - (slash == std::string::npos ? 0 : slash + 1);
    *limit = 255;
    return *length <= *limit;
  }
  // True when this process could remove (or move away) the file `path`: on POSIX the right to
  // change its directory (and, in a sticky directory, to own the file or the directory); on
  // Windows an open for deletion, which fails while another program holds the file without
  // sharing deletion. False with a reason otherwise.
  virtual bool CanRemove(const std::string& path, std::string* reason) {
    (void)path;
    (void)reason;
    return true;
  }
  // True when `path` itself is a symbolic link (on Windows any reparse point), whatever it
  // leads to.
  virtual bool IsLink(const std::string& path) {
    (void)path;
    return false;
  }
  // The identity of what `path` names now (links followed). False when nothing is there.
  virtual bool Stat(const std::string& path, FileIdentity* out) = 0;
  virtual bool Remove(const std::string& path, std::string* reason) = 0;
  // Renames within one file system; never replaces an existing destination.
  virtual bool RenameNoReplace(const std::string& from, const std::string& to,
                               std::string* reason) = 0;
  // Moves a file, also across file systems (copying under `tempName` in the destination
  // directory first); never replaces an existing destination.
  virtual bool MoveNoReplace(const std::string& from, const std::string& to,
                             const std::string& tempName, std::string* reason) = 0;

  // Durability and liveness, for committing one input's outputs and backup so that a crash at
  // any instant leaves the input converted once or not at all (app/safety/file_commit.h).
  //
  // Makes the entries of directory `dir` durable: files created in it, renamed into or out of
  // it, removed from it. File contents are made durable by WritableFile::Sync.
  virtual bool SyncDirectory(const std::string& dir, std::string* reason) = 0;
  // Creates the lock file `path` of this run holding `content`, flushed to the device, and
  // holds an exclusive lock on it until the Lock is destroyed. Fails when the name exists.
  // Another process tells whether the run is alive with OpenLocked on the same path
  // (kLocked: alive); one that finds it dead may remove the file while it holds the lock.
  virtual std::unique_ptr<Lock> CreateRunLock(const std::string& path, std::string_view content,
                                              std::string* reason) = 0;
  // A name part unique to this run among the runs on this machine, also across reboots:
  // digits and lower-case letters only.
  virtual std::string RunId() = 0;

  // Names (without directory) of the regular files in `dir` whose extension is `ext`
  // compared without regard to case, sorted without regard to case. `dir` ends in a
  // separator or is empty (the current directory).
  virtual std::vector<std::string> ListFiles(const std::string& dir, std::string_view ext) = 0;
  // Names of all entries of `dir`, unsorted.
  virtual std::vector<std::string> ListNames(const std::string& dir) = 0;

  // Small files a run keeps for itself beside its data (caches, what earlier runs found).
  // The identity of what `path` names now (links followed) when it is a regular file; false
  // when nothing or something else (a directory, a FIFO) is there.
  virtual bool StatRegular(const std::string& path, FileIdentity* out) = 0;
  // Writes `bytes` into a new file named `tempName` in the directory of `path`, flushes it to
  // the device and renames it to `path`, replacing whatever file had that name, so a reader
  // sees the old or the new content whole. On failure the temporary file is removed.
  virtual bool ReplaceFile(const std::string& path, std::string_view bytes,
                           const std::string& tempName, std::string* reason) = 0;

  // The directory of the running executable, ending in a separator.
  virtual std::string ExecutableDir() = 0;
  // The current directory, ending in a separator; empty when it cannot be told.
  virtual std::string CurrentDir() { return ""; }

  // A process started by the administrator (root) takes the identity of the user who owns
  // `dir` (that user, its groups and the directory's group, and the service's umask 027 or a
  // stricter one) for the rest of its life, so that whatever it creates there is the owner's,
  // as if the owner had run it. Nothing
  // happens when the process is not root or `dir` is root's. `who` receives the user's
  // name when the identity changed, else stays empty; false with a reason when it failed.
  virtual bool AdoptOwnerOf(const std::string& dir, std::string* who, std::string* reason) {
    (void)dir;
    (void)who;
    (void)reason;
    return true;
  }
};

// Lets the user choose input files in manual selection mode.
class FilePicker {
 public:
  virtual ~FilePicker() = default;
  // `candidates` are full paths of the HUA and INT files of the input directory, offered as
  // a convenience. Returns false when the user cancelled or chose nothing; otherwise the
  // chosen full paths in `chosen`, in the order given.
  virtual bool Pick(const std::vector<std::string>& candidates,
                    std::vector<std::string>* chosen) = 0;
  // After Pick returned false: why no choice could be offered at all (no desktop, the dialog
  // failed), in Hungarian; empty when the user cancelled or chose nothing.
  virtual std::string Failure() const { return ""; }
};

// The services one run uses.
struct Platform {
  FileSystem& fs;
  Clock& clock;
  Console& console;
  FilePicker& picker;
};

// The separator this platform's paths are built with (Windows also accepts '/').
#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
#else
inline constexpr char kDirSeparator = '/';
#endif

// `path` made absolute against the absolute directory `baseDir` and lexically normalised
// ("." and ".." folded, no links resolved, at most one trailing separator).
std::string AbsolutePath(const std::string& path, const std::string& baseDir);

// The universal (\\server\share) form of an absolute path on a mapped network drive; any
// other path unchanged. Nothing to do on POSIX.
std::string UniversalName(const std::string& path);

// Appends a separator to a non-empty path that does not end in one.
std::string WithTrailingSeparator(std::string path);

}  // namespace varnex
