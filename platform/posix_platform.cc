#include "platform/posix_platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <signal.h>
#include <stdio.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include "platform/native_platform.h"

namespace varnex {
namespace {

// For tests only: with VARNEX_TEST_KILL_AT_STEP=n in its environment the process kills itself
// with SIGKILL just before its n-th state-changing file-system step (a file created, written,
// synced, renamed or removed, a directory synced, a lock file made), so that a test can stop a
// real run at an exact point of a commit.
void TestKillPoint() {
  static const long killAt = [] {
    const char* value = std::getenv("VARNEX_TEST_KILL_AT_STEP");
    return value != nullptr ? std::strtol(value, nullptr, 10) : 0L;
  }();
  static std::atomic<long> steps = 0;
  if (killAt > 0 && ++steps == killAt) {
    ::raise(SIGKILL);
  }
}

// The reason of a failed call, in the language of the run log.
std::string ErrorText(int err) {
  switch (err) {
  case ENOENT:
    return "nincs ilyen fájl vagy könyvtár";
  case EACCES:
  case EPERM:
    return "hozzáférés megtagadva";
  case ENOSPC:
    return "nincs több hely az eszközön";
  case EDQUOT:
    return "a lemezkvóta betelt";
  case EEXIST:
    return "a fájl már létezik";
  case ENOTDIR:
    return "az elérési út egyik tagja nem könyvtár";
  case EISDIR:
    return "könyvtár, nem fájl";
  case EROFS:
    return "csak olvasható fájlrendszer";
  case EIO:
    return "be- és kiviteli hiba";
  case ENAMETOOLONG:
    return "túl hosszú fájlnév";
  default:
    return std::strerror(err);
  }
}

void SetReason(std::string* reason, int err) {
  if (reason != nullptr) {
    *reason = ErrorText(err);
  }
}

class FdLock : public Lock {
 public:
  explicit FdLock(int fd) : fd_(fd) {}
  ~FdLock() override { ::close(fd_); }

 private:
  int fd_;
};

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  id.size = static_cast<std::int64_t>(st.st_size);
  id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}

class PosixReadableFile : public ReadableFile {
 public:
  PosixReadableFile(int fd, const FileIdentity& identity) : fd_(fd), identity_(identity) {}
  ~PosixReadableFile() override { ::close(fd_); }

  FileIdentity Identity() const override { return identity_; }

  bool ReadAll(std::string* out, std::string* reason) override {
    out->clear();
    struct stat st;
    if (::fstat(fd_, &st) == 0 && st.st_size > 0) {
      out->reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        SetReason(reason, errno);
        return false;
      }
      if (n == 0) {
        return true;
      }
      out->append(buffer, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  FileIdentity identity_;
};

bool WriteAll(int fd, std::string_view bytes, std::string* reason) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      SetReason(reason, errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  bool Append(std::string_view bytes, std::string* reason) override {
    TestKillPoint();
    return WriteAll(fd_, bytes, reason);
  }
  bool Sync(std::string* reason) override {
    TestKillPoint();
    if (::fsync(fd_) != 0) {
      SetReason(reason, errno);
      return false;
    }
    return true;
  }
  bool Close(std::string* reason) override {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      SetReason(reason, errno);
      return false;
    }
    return true;
  }

 private:
  int fd_;
};

// File systems whose appends from several hosts are not atomic: NFS, SMB/CIFS, Coda, AFS,
// NCP, 9P, Ceph, Lustre and FUSE (which may forward to any of them).
bool IsNetworkFileSystem(std::uint64_t type) {
  switch (type & 0xffffffffU) {
  case 0x6969U:      // NFS
  case 0x517bU:      // SMB
  case 0xff534d42U:  // CIFS
  case 0xfe534d42U:  // SMB2
  case 0x73757245U:  // Coda
  case 0x5346414fU:  // AFS
  case 0x6b414653U:  // kAFS
  case 0x564cU:      // NCP
  case 0x01021997U:  // 9P
  case 0x00c36400U:  // Ceph
  case 0x0bd00bd0U:  // Lustre
  case 0x65735546U:  // FUSE
    return true;
  default:
    return false;
  }
}

// Appends each record with one write() to a descriptor opened with O_APPEND, which places
// it at the end of the file atomically on a local file system. On a network file system the
// write is made under an exclusive lock, waited for about a second at most.
class PosixAppendFile : public AppendFile {
 public:
  PosixAppendFile(int fd, bool network) : fd_(fd), network_(network) {}
  ~PosixAppendFile() override { ::close(fd_); }

  bool Append(std::string_view bytes, std::string* reason) override {
    if (network_ && !LockBriefly()) {
      SetReason(reason, errno);
      return false;
    }
    ssize_t n;
    do {
      n = ::write(fd_, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    int error = n < 0 ? errno : ENOSPC;  // a short write: the device is full
    if (network_) {
      ::flock(fd_, LOCK_UN);
    }
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size()) {
      SetReason(reason, error);
      return false;
    }
    return true;
  }

  bool StillNamed(const std::string& path) override {
    struct stat opened;
    struct stat named;
    return ::fstat(fd_, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
  }

 private:
  // Another writer holds the file only for one record: wait briefly rather than lose it.
  bool LockBriefly() {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        return true;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) {
        return false;
      }
      struct timespec pause = {0, 5 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
    return false;
  }

  int fd_;
  bool network_;
};

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int CompareNoCase(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) {
      return ca - cb;
    }
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

OpenStatus PosixFileSystem::OpenLocked(const std::string& path, std::unique_ptr<ReadableFile>* file,
                                       std::string* reason) {
  // Non-blocking, so that a FIFO under an input name cannot stall the run in open().
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    SetReason(reason, errno);
    return errno == ENOENT ? OpenStatus::kGone : OpenStatus::kFailed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    SetReason(reason, err);
    return err == EWOULDBLOCK ? OpenStatus::kLocked : OpenStatus::kFailed;
  }
  struct stat opened;
  struct stat named;
  if (::fstat(fd, &opened) != 0) {
    SetReason(reason, errno);
    ::close(fd);
    return OpenStatus::kFailed;
  }
  if (::stat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
      named.st_ino != opened.st_ino) {
    SetReason(reason, ENOENT);
    ::close(fd);
    return OpenStatus::kGone;
  }
  if (!S_ISREG(opened.st_mode)) {
    if (reason != nullptr) {
      *reason = S_ISDIR(opened.st_mode) ? ErrorText(EISDIR) : "nem közönséges fájl";
    }
    ::close(fd);
    return OpenStatus::kFailed;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    SetReason(reason, errno);
    ::close(fd);
    return OpenStatus::kFailed;
  }
  *file = std::make_unique<PosixReadableFile>(fd, IdentityOf(opened));
  return OpenStatus::kOk;
}

std::unique_ptr<Lock> PosixFileSystem::TryLockDirectory(const std::string& path, bool* busy) {
  *busy = false;
  int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *busy = errno == EWOULDBLOCK;
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FdLock>(fd);
}

bool PosixFileSystem::ReadFile(const std::string& path, std::string* out, std::string* reason) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetReason(reason, errno);
    return false;
  }
  PosixReadableFile file(fd, FileIdentity{});
  return file.ReadAll(out, reason);
}

std::unique_ptr<WritableFile> PosixFileSystem::CreateExclusive(const std::string& path,
                                                               std::string* reason) {
  TestKillPoint();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetReason(reason, errno);
    return nullptr;
  }
  return std::make_unique<PosixWritableFile>(fd);
}

std::unique_ptr<WritableFile> PosixFileSystem::ExtendFile(const std::string& path,
                                                          std::string* reason) {
  TestKillPoint();
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetReason(reason, errno);
    return nullptr;
  }
  return std::make_unique<PosixWritableFile>(fd);
}

std::unique_ptr<AppendFile> PosixFileSystem::OpenAppend(const std::string& path,
                                                        std::string* reason) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetReason(reason, errno);
    return nullptr;
  }
  struct statfs fsInfo;
  bool network =
      ::fstatfs(fd, &fsInfo) == 0 && IsNetworkFileSystem(static_cast<std::uint64_t>(fsInfo.f_type));
  return std::make_unique<PosixAppendFile>(fd, network);
}

bool PosixFileSystem::MakeDir(const std::string& path, std::string* reason) {
  if (::mkdir(path.c_str(), 0755) != 0) {
    SetReason(reason, errno);
    return false;
  }
  return true;
}

bool PosixFileSystem::IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool PosixFileSystem::NameFits(const std::string& path, std::size_t* length, std::size_t* limit) {
  std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  *length = path.size() - (slash == std::string::npos ? 0 : slash + 1);
  long max = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  *limit = max > 0 ? static_cast<std::size_t>(max) : 255;
  return *length <= *limit;
}

bool PosixFileSystem::IsLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool PosixFileSystem::Stat(const std::string& path, FileIdentity* out) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return false;
  }
  *out = IdentityOf(st);
  return true;
}

bool PosixFileSystem::Remove(const std::string& path, std::string* reason) {
  TestKillPoint();
  if (::unlink(path.c_str()) != 0) {
    SetReason(reason, errno);
    return false;
  }
  return true;
}

bool PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to,
                                      std::string* reason) {
  TestKillPoint();
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    SetReason(reason, errno);
    return false;
  }
  // File systems without RENAME_NOREPLACE: a hard link fails when the name exists.
  if (::link(from.c_str(), to.c_str()) != 0) {
    SetReason(reason, errno);
    return false;
  }
  if (::unlink(from.c_str()) != 0) {
    SetReason(reason, errno);
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

bool PosixFileSystem::MoveNoReplace(const std::string& from, const std::string& to,
                                    const std::string& tempName, std::string* reason) {
  std::string renameReason;
  if (RenameNoReplace(from, to, &renameReason)) {
    return true;
  }
  if (errno != EXDEV) {
    if (reason != nullptr) {
      *reason = renameReason;
    }
    return false;
  }
  if (Exists(to)) {
    SetReason(reason, EEXIST);
    return false;
  }
  // Across file systems: copy under a temporary name beside the destination, then rename.
  std::string bytes;
  if (!ReadFile(from, &bytes, reason)) {
    return false;
  }
  std::string temp = DirectoryOf(to) + tempName;
  std::unique_ptr<WritableFile> out = CreateExclusive(temp, reason);
  if (out == nullptr) {
    return false;
  }
  if (!out->Append(bytes, reason) || !out->Sync(reason) || !out->Close(reason) ||
      !RenameNoReplace(temp, to, reason)) {
    ::unlink(temp.c_str());
    return false;
  }
  if (::unlink(from.c_str()) != 0) {
    SetReason(reason, errno);
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

std::vector<std::string> PosixFileSystem::ListFiles(const std::string& dir, std::string_view ext) {
  std::vector<std::string> names;
  for (const std::string& name : ListNames(dir)) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || !EqualsNoCase(std::string_view(name).substr(dot + 1), ext)) {
      continue;
    }
    struct stat st;
    std::string full = dir + name;
    if (::stat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
      continue;
    }
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
  });
  return names;
}

std::vector<std::string> PosixFileSystem::ListNames(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) {
    return names;
  }
  while (struct dirent* entry = ::readdir(d)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(std::move(name));
    }
  }
  ::closedir(d);
  return names;
}

bool PosixFileSystem::StatRegular(const std::string& path, FileIdentity* out) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  *out = IdentityOf(st);
  return true;
}

bool PosixFileSystem::ReplaceFile(const std::string& path, std::string_view bytes,
                                  const std::string& tempName, std::string* reason) {
  std::string temp = DirectoryOf(path) + tempName;
  std::unique_ptr<WritableFile> out = CreateExclusive(temp, reason);
  if (out == nullptr) {
    return false;
  }
  bool ok = out->Append(bytes, reason) && out->Sync(reason) && out->Close(reason);
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    SetReason(reason, errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
  }
  return ok;
}

std::string PosixFileSystem::ExecutableDir() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    return "";
  }
  return DirectoryOf(std::string(buffer, static_cast<std::size_t>(n)));
}

bool PosixFileSystem::SyncDirectory(const std::string& dir, std::string* reason) {
  TestKillPoint();
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    SetReason(reason, errno);
    return false;
  }
  bool ok = ::fsync(fd) == 0;
  if (!ok) {
    SetReason(reason, errno);
  }
  ::close(fd);
  return ok;
}

std::unique_ptr<Lock> PosixFileSystem::CreateRunLock(const std::string& path,
                                                     std::string_view content,
                                                     std::string* reason) {
  TestKillPoint();
  // A run that found the file unlocked between our create and our lock takes it for a dead
  // run's and removes it; then the name no longer names our file and we create it anew.
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      SetReason(reason, errno);
      return nullptr;
    }
    int locked;
    do {
      locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    struct stat opened;
    struct stat named;
    if (locked != 0 || ::fstat(fd, &opened) != 0) {
      SetReason(reason, errno);
      ::close(fd);
      return nullptr;
    }
    if (::stat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino) {
      ::close(fd);
      continue;
    }
    TestKillPoint();
    bool written = WriteAll(fd, content, reason);
    if (written && ::fsync(fd) != 0) {
      SetReason(reason, errno);
      written = false;
    }
    if (!written) {
      ::unlink(path.c_str());
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<FdLock>(fd);
  }
  SetReason(reason, EAGAIN);
  return nullptr;
}

std::string PosixFileSystem::RunId() {
  // The process id tells apart the runs of one moment; the start time those of different
  // moments, also after a reboot has reused the process id.
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lxt%llx", static_cast<unsigned long>(::getpid()),
                static_cast<unsigned long long>(ts.tv_sec) * 1000000000ULL +
                    static_cast<unsigned long long>(ts.tv_nsec));
  return buffer;
}

LocalTime SystemClock::Now() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  thread_local std::int64_t cachedSecond = -1;
  thread_local LocalTime cached;
  if (ts.tv_sec != cachedSecond) {
    struct tm local;
    time_t seconds = ts.tv_sec;
    ::localtime_r(&seconds, &local);
    cached.year = local.tm_year + 1900;
    cached.month = local.tm_mon + 1;
    cached.day = local.tm_mday;
    cached.hour = local.tm_hour;
    cached.minute = local.tm_min;
    cached.second = local.tm_sec;
    cached.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    cachedSecond = ts.tv_sec;
  }
  LocalTime now = cached;
  now.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return now;
}

StdoutConsole::StdoutConsole() : terminal_(::isatty(STDOUT_FILENO) == 1) {}

void StdoutConsole::Write(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  if (terminal_) {
    std::fflush(stdout);
  }
}

void StdoutConsole::Flush() {
  std::fflush(stdout);
}

std::string AbsolutePath(const std::string& path, const std::string& baseDir) {
  std::filesystem::path p(path);
  if (p.is_relative()) {
    p = std::filesystem::path(baseDir) / p;
  }
  std::string resolved = p.lexically_normal().string();
  // lexically_normal keeps a trailing separator as an empty last element; keep one only.
  while (resolved.size() > 1 && resolved.back() == '/' && resolved[resolved.size() - 2] == '/') {
    resolved.pop_back();
  }
  return resolved;
}

StandardStreamsThroughConsole::StandardStreamsThroughConsole(Console&) {}

StandardStreamsThroughConsole::~StandardStreamsThroughConsole() = default;

std::string UniversalName(const std::string& path) {
  return path;
}

std::unique_ptr<FilePicker> MakeNativeFilePicker(FileSystem& fs) {
  return std::make_unique<TerminalFilePicker>(std::cin, std::cout, StdinIsTerminal(), fs);
}

std::vector<std::string> NativeArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool StdinIsTerminal() {
  return ::isatty(STDIN_FILENO) == 1;
}

}  // namespace varnex
