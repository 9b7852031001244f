// The process's place, identity and pauses: the current directory, the switch from root to
// the owner of the program's directories, and waiting.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/posix_platform.h"

namespace varnex {
namespace {

std::string ErrnoText(int error) {
  return std::strerror(error);
}

}  // namespace

std::string PosixFileSystem::CurrentDir() {
  std::vector<char> buffer(4096);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    return "";
  }
  return WithTrailingSeparator(buffer.data());
}

bool PosixFileSystem::CanWriteIn(const std::string& dir) {
  // The effective identity decides, as it does when the run creates its files.
  return ::faccessat(AT_FDCWD, dir.empty() ? "." : dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool PosixFileSystem::CanRemove(const std::string& path, std::string* reason) {
  std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    *reason = "nincs írási joga a könyvtárában (" + dir + "): " + ErrnoText(errno);
    return false;
  }
  struct stat dirStat;
  struct stat fileStat;
  uid_t self = ::geteuid();
  if (::stat(dir.c_str(), &dirStat) == 0 && (dirStat.st_mode & S_ISVTX) != 0 && self != 0 &&
      dirStat.st_uid != self && ::lstat(path.c_str(), &fileStat) == 0 && fileStat.st_uid != self) {
    *reason = "a könyvtára (" + dir + ") ragadós (sticky), és a fájl nem a program felhasználójáé";
    return false;
  }
  return true;
}

bool PosixFileSystem::CanListIn(const std::string& dir) {
  return ::faccessat(AT_FDCWD, dir.empty() ? "." : dir.c_str(), R_OK | X_OK, AT_EACCESS) == 0;
}

bool PosixFileSystem::AdoptOwnerOf(const std::string& dir, std::string* who, std::string* reason) {
  if (::geteuid() != 0 || dir.empty()) {
    return true;
  }
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) {
    // Nothing to take the identity from; what uses the directory reports it.
    return true;
  }
  if (st.st_uid == 0) {
    return true;
  }
  std::string name = std::to_string(st.st_uid);
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* user = nullptr;
  ::getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &user);
  if (user != nullptr) {
    name = user->pw_name;
  }
  // The user's own groups, or none but the directory's when the user is not in the user
  // database.
  bool groupsSet =
      user != nullptr ? ::initgroups(user->pw_name, st.st_gid) == 0 : ::setgroups(0, nullptr) == 0;
  if (!groupsSet || ::setgid(st.st_gid) != 0 || ::setuid(st.st_uid) != 0) {
    *reason = name + ": " + ErrnoText(errno);
    return false;
  }
  // What the run creates is closed to others, as under the service's UMask=0027, whatever
  // root's own umask was; a stricter one stays.
  ::umask(::umask(027) | 027);
  *who = name;
  return true;
}

void SystemClock::SleepMs(std::int64_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace varnex
