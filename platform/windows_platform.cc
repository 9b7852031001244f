#include "platform/windows_platform.h"

// windows.h first: the others need its types.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <winnetwk.h>
// clang-format on
#undef ReplaceFile  // the method of FileSystem, not the Win32 call

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/code_page.h"
#include "platform/native_platform.h"

namespace varnex {
namespace {

// For tests only: with VARNEX_TEST_KILL_AT_STEP=n in its environment the process terminates
// itself just before its n-th state-changing file-system step (a file created, written,
// flushed, renamed or removed, a directory made durable, a lock file made), so that a test
// can stop a real run at an exact point of a commit.
void TestKillPoint() {
  static const long killAt = [] {
    const char* value = std::getenv("VARNEX_TEST_KILL_AT_STEP");
    return value != nullptr ? std::strtol(value, nullptr, 10) : 0L;
  }();
  static std::atomic<long> steps = 0;
  if (killAt > 0 && ++steps == killAt) {
    TerminateProcess(GetCurrentProcess(), 137);
  }
}

std::wstring Widen(std::string_view text, UINT codePage, DWORD flags) {
  if (text.empty()) {
    return std::wstring();
  }
  int n =
      MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        n);
  }
  return wide;
}

// A UTF-8 path (a legacy ANSI one when it is not UTF-8) in UTF-16, as it is.
std::wstring PlainWidePath(const std::string& path) {
  return Widen(path, IsValidUtf8(path) ? CP_UTF8 : CP_ACP, 0);
}

// `path` made full by GetFullPathNameW: lexical only, "." and ".." and doubled separators
// folded, UNC paths known; empty when it fails.
std::wstring FullPathName(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  n = n == 0 ? 0 : GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(n < full.size() ? n : 0);
  return full;
}

}  // namespace

std::wstring WidePath(const std::string& path) {
  std::wstring wide = PlainWidePath(path);
  // CreateDirectoryW takes 12 characters fewer than MAX_PATH; a path of this length or more
  // takes the extended form, which no Win32 call shortens or parses: the full path, its "."
  // and "..", '/' and trailing dots and blanks folded by GetFullPathNameW first.
  if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) {
    return wide;
  }
  std::wstring full = FullPathName(wide);
  if (full.starts_with(L"\\\\")) {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    return L"\\\\?\\" + full;
  }
  return wide;
}

namespace {

std::string Narrow(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) {
    return std::string();
  }
  // UTF-8 takes no default character; the others get '?' for what they lack.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr,
                              0, fallback, nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        fallback, nullptr);
  }
  return text;
}

std::string Utf8(std::wstring_view wide) {
  return Narrow(wide, CP_UTF8);
}

// The reason of a failed call, in the language of the run log.
std::string ErrorText(DWORD err) {
  switch (err) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_NET_NAME:
    return "nincs ilyen fájl vagy könyvtár";
  case ERROR_ACCESS_DENIED:
    return "hozzáférés megtagadva";
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return "nincs több hely az eszközön";
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return "a fájl már létezik";
  case ERROR_DIRECTORY:
    return "az elérési út egyik tagja nem könyvtár";
  case ERROR_WRITE_PROTECT:
    return "csak olvasható fájlrendszer";
  case ERROR_CRC:
  case ERROR_IO_DEVICE:
  case ERROR_NETNAME_DELETED:
  case ERROR_UNEXP_NET_ERR:
    return "be- és kiviteli hiba";
  case ERROR_FILENAME_EXCED_RANGE:
    return "túl hosszú fájlnév";
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return "a fájlt egy másik folyamat használja";
  default: {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Windows-hiba %lu", static_cast<unsigned long>(err));
    return buffer;
  }
  }
}

void SetReason(std::string* reason, DWORD err) {
  if (reason != nullptr) {
    *reason = ErrorText(err);
  }
}

void SetDeviceReason(std::string* reason, const std::string& device) {
  if (reason != nullptr) {
    *reason = "a név a Windows " + device + " eszközét jelöli, nem fájlt";
  }
}

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept : h_(other.Release()) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      h_ = other.Release();
    }
    return *this;
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE Release() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h;
  }
  bool Close() {
    HANDLE h = Release();
    return h == INVALID_HANDLE_VALUE || CloseHandle(h) != 0;
  }
  void Reset() { Close(); }

 private:
  HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Handle Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
            DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return Handle(
      CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition, flags, nullptr));
}

// A lock on one byte far beyond any end of file: it keeps no reader or writer from the data
// and, like flock, is held by the handle until it is closed (also when the process dies).
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

bool LockHandle(HANDLE h, bool wait) {
  OVERLAPPED at = {};
  at.OffsetHigh = kLockOffsetHigh;
  DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  return LockFileEx(h, flags, 0, 1, 0, &at) != 0;
}

void UnlockHandle(HANDLE h) {
  OVERLAPPED at = {};
  at.OffsetHigh = kLockOffsetHigh;
  UnlockFileEx(h, 0, 1, 0, &at);
}

class HandleLock : public Lock {
 public:
  explicit HandleLock(Handle handle) : handle_(std::move(handle)) {}

 private:
  Handle handle_;
};

// A mutex owned by the thread that took it; released and closed on destruction, which must
// happen on that thread.
class MutexLock : public Lock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  HANDLE mutex_;
};

std::int64_t NanosecondsSinceEpoch(FILETIME ft) {
  // FILETIME counts 100 ns from 1601-01-01; 11644473600 s lie between that and 1970-01-01.
  std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (ticks - 116444736000000000LL) * 100;
}

bool IdentityOf(HANDLE h, FileIdentity* out, bool* directory = nullptr) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info) == 0) {
    return false;
  }
  out->device = info.dwVolumeSerialNumber;
  out->inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  out->size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                        info.nFileSizeLow);
  out->mtimeNs = NanosecondsSinceEpoch(info.ftLastWriteTime);
  if (directory != nullptr) {
    *directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  return true;
}

// The identity of what `path` names now; `directory` tells whether it is one.
bool IdentityOfPath(const std::string& path, FileIdentity* out, bool* directory) {
  Handle h = Open(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  return h.valid() && IdentityOf(h.get(), out, directory);
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

bool ReadAllFrom(HANDLE h, std::string* out, std::string* reason) {
  out->clear();
  LARGE_INTEGER size;
  if (GetFileSizeEx(h, &size) != 0 && size.QuadPart > 0) {
    out->reserve(static_cast<std::size_t>(size.QuadPart));
  }
  char buffer[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) == 0) {
      SetReason(reason, GetLastError());
      return false;
    }
    if (n == 0) {
      return true;
    }
    out->append(buffer, n);
  }
}

bool WriteAll(HANDLE h, std::string_view bytes, std::string* reason) {
  while (!bytes.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD n = 0;
    if (WriteFile(h, bytes.data(), chunk, &n, nullptr) == 0) {
      SetReason(reason, GetLastError());
      return false;
    }
    bytes.remove_prefix(n);
  }
  return true;
}

class WindowsReadableFile : public ReadableFile {
 public:
  WindowsReadableFile(Handle handle, const FileIdentity& identity)
      : handle_(std::move(handle)), identity_(identity) {}
  FileIdentity Identity() const override { return identity_; }
  bool ReadAll(std::string* out, std::string* reason) override {
    return ReadAllFrom(handle_.get(), out, reason);
  }

 private:
  Handle handle_;
  FileIdentity identity_;
};

class WindowsWritableFile : public WritableFile {
 public:
  explicit WindowsWritableFile(Handle handle) : handle_(std::move(handle)) {}
  bool Append(std::string_view bytes, std::string* reason) override {
    TestKillPoint();
    return WriteAll(handle_.get(), bytes, reason);
  }
  bool Sync(std::string* reason) override {
    TestKillPoint();
    if (FlushFileBuffers(handle_.get()) == 0) {
      SetReason(reason, GetLastError());
      return false;
    }
    return true;
  }
  bool Close(std::string* reason) override {
    if (!handle_.Close()) {
      SetReason(reason, GetLastError());
      return false;
    }
    return true;
  }

 private:
  Handle handle_;
};

// True when `path` lies on a network share (a UNC path or a mapped drive).
bool IsRemote(const std::string& path) {
  std::wstring wide = WidePath(path);
  wchar_t volume[MAX_PATH + 1];
  if (GetVolumePathNameW(wide.c_str(), volume, MAX_PATH + 1) == 0) {
    return wide.starts_with(L"\\\\") || wide.starts_with(L"//");
  }
  return GetDriveTypeW(volume) == DRIVE_REMOTE;
}

// Appends each record with one WriteFile on a handle that has FILE_APPEND_DATA and no
// FILE_WRITE_DATA access, which places it at the end of the file atomically. The file is
// shared for reading, writing and deleting, so an editor, another run or the day's rotation
// can open it meanwhile. On a network share each record is written under an exclusive lock,
// waited for about a second at most.
class WindowsAppendFile : public AppendFile {
 public:
  WindowsAppendFile(Handle handle, bool network) : handle_(std::move(handle)), network_(network) {}

  bool Append(std::string_view bytes, std::string* reason) override {
    if (network_ && !LockBriefly()) {
      SetReason(reason, GetLastError());
      return false;
    }
    DWORD n = 0;
    bool ok =
        WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) != 0;
    DWORD error = ok ? ERROR_DISK_FULL : GetLastError();  // a short write: the disk is full
    if (network_) {
      UnlockHandle(handle_.get());
    }
    if (!ok || n != bytes.size()) {
      SetReason(reason, error);
      return false;
    }
    return true;
  }

  bool StillNamed(const std::string& path) override {
    // A file deleted while open may keep its name until the last handle is closed.
    FILE_STANDARD_INFO standard;
    if (GetFileInformationByHandleEx(handle_.get(), FileStandardInfo, &standard, sizeof standard) !=
            0 &&
        standard.DeletePending != 0) {
      return false;
    }
    FileIdentity opened;
    FileIdentity named;
    bool directory = false;
    return IdentityOf(handle_.get(), &opened) && IdentityOfPath(path, &named, &directory) &&
           !directory && SameFile(opened, named);
  }

 private:
  bool LockBriefly() {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (LockHandle(handle_.get(), false)) {
        return true;
      }
      if (GetLastError() != ERROR_LOCK_VIOLATION) {
        return false;
      }
      Sleep(5);
    }
    return false;
  }

  Handle handle_;
  bool network_;
};

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
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
  return a.size() == b.size() && CompareNoCase(std::string(a), std::string(b)) == 0;
}

}  // namespace

std::string WithBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string ReservedDeviceName(std::string_view path) {
  std::size_t slash = path.find_last_of("\\/:");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') {
    name.remove_suffix(1);
  }
  std::string upper;
  for (char c : name) {
    upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") {
    return upper;
  }
  // COM and LPT with a digit, or with a superscript one, two or three (UTF-8).
  if (upper.starts_with("COM") || upper.starts_with("LPT")) {
    std::string_view number = std::string_view(upper).substr(3);
    if ((number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
        number == "\xC2\xB2" || number == "\xC2\xB3") {
      return upper;
    }
  }
  return "";
}

OpenStatus WindowsFileSystem::OpenLocked(const std::string& path,
                                         std::unique_ptr<ReadableFile>* file, std::string* reason) {
  if (std::string device = ReservedDeviceName(path); !device.empty()) {
    SetDeviceReason(reason, device);
    return OpenStatus::kFailed;
  }
  // Writers are denied while the file is held; the move to the backup directory is not.
  Handle h = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS);
  if (!h.valid()) {
    DWORD err = GetLastError();
    SetReason(reason, err);
    // Still being written by another program, or a live run's lock file.
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION) {
      return OpenStatus::kLocked;
    }
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? OpenStatus::kGone
                                                                      : OpenStatus::kFailed;
  }
  FileIdentity opened;
  bool directory = false;
  if (!IdentityOf(h.get(), &opened, &directory)) {
    SetReason(reason, GetLastError());
    return OpenStatus::kFailed;
  }
  if (directory || GetFileType(h.get()) != FILE_TYPE_DISK) {
    if (reason != nullptr) {
      *reason = directory ? "könyvtár, nem fájl" : "nem közönséges fájl";
    }
    return OpenStatus::kFailed;
  }
  if (!LockHandle(h.get(), false)) {
    DWORD err = GetLastError();
    SetReason(reason, err);
    return err == ERROR_LOCK_VIOLATION ? OpenStatus::kLocked : OpenStatus::kFailed;
  }
  FileIdentity named;
  bool namedDirectory = false;
  if (!IdentityOfPath(path, &named, &namedDirectory) || !SameFile(opened, named)) {
    SetReason(reason, ERROR_FILE_NOT_FOUND);
    return OpenStatus::kGone;
  }
  *file = std::make_unique<WindowsReadableFile>(std::move(h), opened);
  return OpenStatus::kOk;
}

std::unique_ptr<Lock> WindowsFileSystem::TryLockDirectory(const std::string& path, bool* busy) {
  *busy = false;
  // A directory takes no byte-range lock, and share modes on its handle would also keep other
  // programs from listing it or renaming files into it. The lock is a mutex named after the
  // directory's identity (volume and file index, the same under every path that leads to
  // it), in the namespace all sessions share, so that a scheduled task and a user's run
  // exclude each other. A mutex whose holder died is handed on as abandoned: it is free.
  FileIdentity identity;
  bool directory = false;
  if (!IdentityOfPath(path.empty() ? "." : path, &identity, &directory) || !directory) {
    return nullptr;
  }
  wchar_t name[96];
  std::swprintf(name, sizeof name / sizeof name[0], L"Global\\varnex-dir-%08llx-%016llx",
                static_cast<unsigned long long>(identity.device),
                static_cast<unsigned long long>(identity.inode));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
    // Without the right to create global objects: this session's namespace.
    mutex = CreateMutexW(nullptr, FALSE, name + std::wcslen(L"Global\\"));
  }
  if (mutex == nullptr) {
    return nullptr;
  }
  DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    *busy = waited == WAIT_TIMEOUT;
    CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<MutexLock>(mutex);
}

bool WindowsFileSystem::ReadFile(const std::string& path, std::string* out, std::string* reason) {
  Handle h = Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING);
  if (!h.valid()) {
    SetReason(reason, GetLastError());
    return false;
  }
  return ReadAllFrom(h.get(), out, reason);
}

std::unique_ptr<WritableFile> WindowsFileSystem::CreateExclusive(const std::string& path,
                                                                 std::string* reason) {
  TestKillPoint();
  Handle h = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW);
  if (!h.valid()) {
    SetReason(reason, GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsWritableFile>(std::move(h));
}

std::unique_ptr<AppendFile> WindowsFileSystem::OpenAppend(const std::string& path,
                                                          std::string* reason) {
  Handle h = Open(path, FILE_APPEND_DATA | SYNCHRONIZE, kShareAll, OPEN_ALWAYS);
  if (!h.valid()) {
    SetReason(reason, GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsAppendFile>(std::move(h), IsRemote(path));
}

bool WindowsFileSystem::MakeDir(const std::string& path, std::string* reason) {
  if (CreateDirectoryW(WidePath(path).c_str(), nullptr) == 0) {
    SetReason(reason, GetLastError());
    return false;
  }
  return true;
}

bool WindowsFileSystem::IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WidePath(path.empty() ? "." : path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WindowsFileSystem::Exists(const std::string& path) {
  // A device name is there in every directory; OpenLocked says why it is no file.
  return !ReservedDeviceName(path).empty() ||
         GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsFileSystem::NameFits(const std::string& path, std::size_t* length, std::size_t* limit) {
  std::wstring wide = WidePath(path);
  std::size_t slash = wide.find_last_of(L"/\\");
  *length = wide.size() - (slash == std::wstring::npos ? 0 : slash + 1);
  *limit = 255;  // UTF-16 units per component on NTFS, FAT and ReFS alike
  return *length <= *limit;
}

namespace {

// Deletes a file, a read-only one too (an input moved to a backup on another volume is copied,
// then deleted, as Explorer's move deletes it): the attribute is cleared first and given back
// when the file stays. The error code; ERROR_SUCCESS when the file is gone.
DWORD DeleteEvenReadOnly(const std::wstring& path) {
  if (DeleteFileW(path.c_str()) != 0) {
    return ERROR_SUCCESS;
  }
  DWORD err = GetLastError();
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (err != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) == 0) {
    return err;
  }
  if (DeleteFileW(path.c_str()) != 0) {
    return ERROR_SUCCESS;
  }
  err = GetLastError();
  SetFileAttributesW(path.c_str(), attributes);
  return err;
}

}  // namespace

bool WindowsFileSystem::CanRemove(const std::string& path, std::string* reason) {
  // Fails while another program holds the file without sharing deletion (a viewer, a backup
  // agent); the run's own handle shares it. A read-only file is moved within its volume as
  // any other, and to another one by a copy whose original loses the attribute before it is
  // deleted: that takes the right to change its attributes too.
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  DWORD access = DELETE;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    access |= FILE_WRITE_ATTRIBUTES;
  }
  HANDLE h = CreateFileW(WidePath(path).c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    SetReason(reason, GetLastError());
    return false;
  }
  CloseHandle(h);
  return true;
}

bool WindowsFileSystem::IsLink(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool WindowsFileSystem::Stat(const std::string& path, FileIdentity* out) {
  bool directory = false;
  return IdentityOfPath(path, out, &directory);
}

bool WindowsFileSystem::Remove(const std::string& path, std::string* reason) {
  TestKillPoint();
  if (DWORD err = DeleteEvenReadOnly(WidePath(path)); err != ERROR_SUCCESS) {
    SetReason(reason, err);
    return false;
  }
  return true;
}

bool WindowsFileSystem::RenameNoReplace(const std::string& from, const std::string& to,
                                        std::string* reason) {
  TestKillPoint();
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists; with write-through
  // it returns only when the rename is on the disk.
  if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
    SetReason(reason, GetLastError());
    return false;
  }
  return true;
}

bool WindowsFileSystem::MoveNoReplace(const std::string& from, const std::string& to,
                                      const std::string& tempName, std::string* reason) {
  TestKillPoint();
  if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  DWORD err = GetLastError();
  if (err != ERROR_NOT_SAME_DEVICE) {
    SetReason(reason, err);
    return false;
  }
  if (Exists(to)) {
    SetReason(reason, ERROR_FILE_EXISTS);
    return false;
  }
  // Across volumes: copy under a temporary name beside the destination, then rename.
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
    DeleteFileW(WidePath(temp).c_str());
    return false;
  }
  if (DWORD deleted = DeleteEvenReadOnly(WidePath(from)); deleted != ERROR_SUCCESS) {
    SetReason(reason, deleted);
    DeleteFileW(WidePath(to).c_str());
    return false;
  }
  return true;
}

std::vector<std::string> WindowsFileSystem::ListFiles(const std::string& dir,
                                                      std::string_view ext) {
  std::vector<std::string> names;
  for (const std::string& name : ListNames(dir)) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || !EqualsNoCase(std::string_view(name).substr(dot + 1), ext)) {
      continue;
    }
    if (IsDirectory(dir + name)) {
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

std::vector<std::string> WindowsFileSystem::ListNames(const std::string& dir) {
  std::vector<std::string> names;
  std::wstring pattern = WidePath(dir.empty() ? std::string(".\\") : WithTrailingSeparator(dir));
  pattern.push_back(L'*');
  WIN32_FIND_DATAW entry;
  HANDLE find =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(Utf8(name));
    }
  } while (FindNextFileW(find, &entry) != 0);
  FindClose(find);
  return names;
}

bool WindowsFileSystem::StatRegular(const std::string& path, FileIdentity* out) {
  bool directory = false;
  return IdentityOfPath(path, out, &directory) && !directory;
}

bool WindowsFileSystem::ReplaceFile(const std::string& path, std::string_view bytes,
                                    const std::string& tempName, std::string* reason) {
  std::string temp = DirectoryOf(path) + tempName;
  std::unique_ptr<WritableFile> out = CreateExclusive(temp, reason);
  if (out == nullptr) {
    return false;
  }
  bool ok = out->Append(bytes, reason) && out->Sync(reason) && out->Close(reason);
  if (ok && MoveFileExW(WidePath(temp).c_str(), WidePath(path).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    SetReason(reason, GetLastError());
    ok = false;
  }
  if (!ok) {
    DeleteFileW(WidePath(temp).c_str());
  }
  return ok;
}

bool WindowsFileSystem::SyncDirectory(const std::string&, std::string*) {
  // NTFS keeps directory entries in its journal: a file's FlushFileBuffers commits the journal
  // up to its creation, and a write-through MoveFileExW returns only once the rename is
  // committed. Nothing is left to flush here; the step stays a step of the protocol.
  TestKillPoint();
  return true;
}

std::unique_ptr<Lock> WindowsFileSystem::CreateRunLock(const std::string& path,
                                                       std::string_view content,
                                                       std::string* reason) {
  TestKillPoint();
  // Created and held by one handle that denies other writers: from the first instant another
  // process that opens it to read gets a sharing violation (alive), and after this process
  // ends, however it ends, the handle is closed and the file is free (dead).
  Handle h =
      Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW);
  if (!h.valid()) {
    SetReason(reason, GetLastError());
    return nullptr;
  }
  if (!LockHandle(h.get(), true)) {
    SetReason(reason, GetLastError());
    h.Reset();
    DeleteFileW(WidePath(path).c_str());
    return nullptr;
  }
  TestKillPoint();
  if (!WriteAll(h.get(), content, reason) || FlushFileBuffers(h.get()) == 0) {
    if (reason != nullptr && reason->empty()) {
      SetReason(reason, GetLastError());
    }
    h.Reset();
    DeleteFileW(WidePath(path).c_str());
    return nullptr;
  }
  return std::make_unique<HandleLock>(std::move(h));
}

std::string WindowsFileSystem::RunId() {
  // The process id tells apart the runs of one moment; the start time those of different
  // moments, also after a reboot has reused the process id.
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  unsigned long long ticks =
      (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lxt%llx",
                static_cast<unsigned long>(GetCurrentProcessId()), ticks);
  return buffer;
}

std::unique_ptr<WritableFile> WindowsFileSystem::ExtendFile(const std::string& path,
                                                            std::string* reason) {
  TestKillPoint();
  // Without FILE_WRITE_DATA every write lands at the end of the file, whoever else appends.
  Handle h = Open(path, FILE_APPEND_DATA | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS);
  if (!h.valid()) {
    SetReason(reason, GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsWritableFile>(std::move(h));
}

std::string WindowsFileSystem::CurrentDir() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) {
    return "";
  }
  std::wstring buffer(n, L'\0');
  n = GetCurrentDirectoryW(n, buffer.data());
  if (n == 0 || n >= buffer.size()) {
    return "";
  }
  buffer.resize(n);
  return WithTrailingSeparator(Utf8(buffer));
}

std::string WindowsFileSystem::ExecutableDir() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      return "";
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return DirectoryOf(Utf8(buffer));
}

void SystemClock::SleepMs(std::int64_t milliseconds) {
  if (milliseconds > 0) {
    Sleep(static_cast<DWORD>(milliseconds));
  }
}

LocalTime SystemClock::Now() {
  FILETIME utcFile;
  GetSystemTimePreciseAsFileTime(&utcFile);
  SYSTEMTIME utc;
  SYSTEMTIME local;
  FileTimeToSystemTime(&utcFile, &utc);
  if (SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) == 0) {
    local = utc;
  }
  FILETIME localFile;
  SystemTimeToFileTime(&local, &localFile);
  // The offset from the same reading, rounded to whole minutes.
  std::int64_t offsetNs = NanosecondsSinceEpoch(localFile) - NanosecondsSinceEpoch(utcFile);
  std::int64_t offsetMinutes =
      (offsetNs + (offsetNs >= 0 ? 30 : -30) * 1000000000LL) / (60 * 1000000000LL);
  LocalTime now;
  now.year = local.wYear;
  now.month = local.wMonth;
  now.day = local.wDay;
  now.hour = local.wHour;
  now.minute = local.wMinute;
  now.second = local.wSecond;
  now.millisecond = local.wMilliseconds;
  now.utcOffsetMinutes = static_cast<int>(offsetMinutes);
  return now;
}

WindowsConsole::WindowsConsole(ConsoleStream stream)
    : handle_(
          GetStdHandle(stream == ConsoleStream::kError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE)) {
  DWORD mode = 0;
  window_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
            GetConsoleMode(static_cast<HANDLE>(handle_), &mode) != 0;
  codePage_ = GetConsoleOutputCP();
  if (codePage_ == 0) {
    codePage_ = GetOEMCP();
  }
}

void WindowsConsole::Write(std::string_view utf8) {
  pending_.append(utf8);
  if (window_) {
    Flush();
  } else if (pending_.size() >= (1U << 16)) {
    Flush();
  }
}

void WindowsConsole::Flush() {
  if (pending_.empty() || handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
    pending_.clear();
    return;
  }
  // Keep an incomplete UTF-8 character for the next call.
  std::size_t keep = 0;
  for (std::size_t i = pending_.size(); i > 0 && pending_.size() - i < 4; --i) {
    unsigned char c = static_cast<unsigned char>(pending_[i - 1]);
    if ((c & 0xC0) != 0x80) {
      std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      keep = pending_.size() - (i - 1) < length ? pending_.size() - (i - 1) : 0;
      break;
    }
  }
  std::string_view text(pending_.data(), pending_.size() - keep);
  std::wstring wide = Widen(text, CP_UTF8, 0);
  HANDLE out = static_cast<HANDLE>(handle_);
  if (window_) {
    DWORD written = 0;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    std::string bytes = Narrow(wide, codePage_);
    WriteAll(out, bytes, nullptr);
  }
  pending_.erase(0, pending_.size() - keep);
}

namespace {

// True when standard input is a console; NUL, a file or a pipe is not (NUL is a character
// device too, so the file type cannot tell).
bool StandardInputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// True when the process's window station is visible: a desktop someone can see. A service or
// a task that runs whether a user is logged on or not lives in an invisible one (session 0),
// where a dialog would wait for a click that never comes.
bool InteractiveWindowStation() {
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  return station != nullptr &&
         GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) != 0 &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

WindowsFilePicker::WindowsFilePicker(FileSystem& fs)
    : fs_(fs), redirected_(!StandardInputIsConsole()) {}

bool WindowsFilePicker::Pick(const std::vector<std::string>& candidates,
                             std::vector<std::string>* chosen) {
  chosen->clear();
  failure_.clear();
  if (redirected_) {
    TerminalFilePicker lines(std::cin, std::cout, false, fs_);
    if (!lines.Pick(candidates, chosen)) {
      return false;
    }
    for (std::string& path : *chosen) {
      path = WithBackslashes(path);
    }
    return true;
  }
  if (!InteractiveWindowStation()) {
    failure_ =
        "nincs látható asztal (szolgáltatásként vagy bejelentkezés nélküli ütemezett "
        "feladatként fut); a fájlokat adja meg a parancssorban, vagy futtassa -c kapcsolóval";
    return false;
  }
  static constexpr wchar_t kFilter[] =
      L"HUA és INT fájlok (*.HUA;*.INT)\0*.HUA;*.INT\0Minden fájl (*.*)\0*.*\0";
  std::wstring start =
      candidates.empty() ? std::wstring() : WidePath(DirectoryOf(candidates.front()));
  std::wstring buffer(1 << 16, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                 OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  dialog.nFilterIndex = 1;
  if (GetOpenFileNameW(&dialog) == 0) {
    // Zero: the user cancelled. Anything else: the dialog could not be shown or filled.
    if (DWORD err = CommDlgExtendedError(); err != 0) {
      char text[96];
      std::snprintf(text, sizeof text, "a fájlválasztó ablak nem nyitható meg (hibakód 0x%04lx)",
                    static_cast<unsigned long>(err));
      failure_ = text;
    }
    return false;
  }
  // One file: its full path. Several: the directory, then each name, each ending in a zero.
  std::vector<std::wstring> parts;
  for (const wchar_t* at = buffer.c_str(); *at != L'\0'; at += wcslen(at) + 1) {
    parts.emplace_back(at);
  }
  if (parts.size() == 1) {
    chosen->push_back(Utf8(parts.front()));
  } else {
    std::string dir = WithTrailingSeparator(Utf8(parts.front()));
    for (std::size_t i = 1; i < parts.size(); ++i) {
      chosen->push_back(dir + Utf8(parts[i]));
    }
  }
  return !chosen->empty();
}

std::string AbsolutePath(const std::string& path, const std::string& baseDir) {
  std::string joined = WithBackslashes(path);
  const bool unc = joined.starts_with("\\\\");
  const bool drive = joined.size() >= 2 && joined[1] == ':';
  if (!unc && !drive) {
    std::string base = WithTrailingSeparator(WithBackslashes(baseDir));
    if (joined.starts_with('\\')) {
      // Rooted: on the drive or share of the base directory.
      std::size_t rootEnd = base.size() >= 2 && base[1] == ':' ? 2 : 0;
      if (base.starts_with("\\\\")) {
        std::size_t server = base.find('\\', 2);
        std::size_t share = server == std::string::npos ? server : base.find('\\', server + 1);
        rootEnd = share == std::string::npos ? base.size() : share;
      }
      joined = base.substr(0, rootEnd) + joined;
    } else {
      joined = base + joined;
    }
  }
  if (!(joined.size() >= 2 && joined[1] == ':') && !joined.starts_with("\\\\")) {
    // Without a drive or share (a base directory given so): folded as it is, never placed
    // on the current drive.
    return std::filesystem::path(joined).lexically_normal().string();
  }
  // Lexical only: GetFullPathNameW folds "." and ".." and doubled separators and touches no
  // file; it also knows UNC paths, which std::filesystem of this compiler does not.
  std::wstring full = FullPathName(PlainWidePath(joined));
  return full.empty() ? joined : Utf8(full);
}

namespace {

class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(Console& console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      char ch = traits_type::to_char_type(c);
      console_.Write(std::string_view(&ch, 1));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    console_.Write(std::string_view(s, static_cast<std::size_t>(n)));
    return n;
  }
  int sync() override {
    console_.Flush();
    return 0;
  }

 private:
  Console& console_;
};

}  // namespace

StandardStreamsThroughConsole::StandardStreamsThroughConsole(Console& output)
    : errorConsole_(std::make_unique<WindowsConsole>(ConsoleStream::kError)),
      outputBuffer_(std::make_unique<ConsoleBuffer>(output)),
      errorBuffer_(std::make_unique<ConsoleBuffer>(*errorConsole_)) {
  savedOutput_ = std::cout.rdbuf(outputBuffer_.get());
  savedError_ = std::cerr.rdbuf(errorBuffer_.get());
}

StandardStreamsThroughConsole::~StandardStreamsThroughConsole() {
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(savedOutput_);
  std::cerr.rdbuf(savedError_);
}

std::string UniversalName(const std::string& path) {
  // A path on a mapped drive letter becomes its \\server\share form, so that a run started
  // by a service account without that mapping (a scheduled task) names the same files.
  std::wstring wide = PlainWidePath(path);
  if (wide.size() < 3 || wide[1] != L':') {
    return path;
  }
  wchar_t root[] = {wide[0], L':', L'\\', L'\0'};
  if (GetDriveTypeW(root) != DRIVE_REMOTE) {
    return path;
  }
  union {
    UNIVERSAL_NAME_INFOW info;
    wchar_t buffer[1024 + sizeof(UNIVERSAL_NAME_INFOW) / sizeof(wchar_t)];
  } result;
  DWORD size = sizeof result;
  if (WNetGetUniversalNameW(wide.c_str(), UNIVERSAL_NAME_INFO_LEVEL, &result, &size) != NO_ERROR) {
    return path;
  }
  return Utf8(result.info.lpUniversalName);
}

std::unique_ptr<FilePicker> MakeNativeFilePicker(FileSystem& fs) {
  return std::make_unique<WindowsFilePicker>(fs);
}

std::vector<std::string> NativeArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(Utf8(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace varnex
