// The Windows implementations of the platform interfaces, on the wide-character API.
//
// Paths travel through the program as UTF-8 and become UTF-16 only at the calls; a path that
// is not valid UTF-8 (a setting copied from a CP1250 file) is read in the ANSI code page.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/terminal_file_picker.h"

namespace varnex {

class WindowsFileSystem : public FileSystem {
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
  bool CanRemove(const std::string& path, std::string* reason) override;
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
};

// Local time from the system clock, with the offset of the time zone at that instant.
class SystemClock : public Clock {
 public:
  LocalTime Now() override;
  void SleepMs(std::int64_t milliseconds) override;
};

enum class ConsoleStream { kOutput, kError };

// The console: wide characters on a console window, so that accents show right whatever its
// code page; when the output is redirected, bytes in the console's output code page (the OEM
// code page, 852 on a Hungarian Windows, unless changed with chcp), or in the OEM code page
// when there is no console at all (a scheduled task). Line ends are written as given (LF).
class WindowsConsole : public Console {
 public:
  explicit WindowsConsole(ConsoleStream stream = ConsoleStream::kOutput);
  void Write(std::string_view utf8) override;
  void Flush() override;

 private:
  void* handle_;
  bool window_;
  unsigned codePage_;
  std::string pending_;
};

// The multi-select open-file dialog on a desktop, starting in the input directory; one path
// per line from standard input when that is no console (a file, a pipe, NUL). Without an
// interactive window station (a service, a task in session 0) no dialog is opened: Pick fails
// and Failure says why, as it does when the dialog itself fails.
class WindowsFilePicker : public FilePicker {
 public:
  explicit WindowsFilePicker(FileSystem& fs);
  // `redirected`: paths are read from standard input (one that is no console); otherwise
  // the dialog, where a desktop can be seen.
  WindowsFilePicker(FileSystem& fs, bool redirected) : fs_(fs), redirected_(redirected) {}
  bool Pick(const std::vector<std::string>& candidates, std::vector<std::string>* chosen) override;
  std::string Failure() const override { return failure_; }

 private:
  FileSystem& fs_;
  bool redirected_;
  std::string failure_;
};

// A UTF-8 path (a legacy ANSI one when it is not UTF-8) as the wide-character calls take it;
// from MAX_PATH - 12 characters on in the extended form ("\\?\C:\...", "\\?\UNC\srv\share\...").
std::wstring WidePath(const std::string& path);

// `path` with '/' turned into '\'.
std::string WithBackslashes(std::string path);

// The device name that the last component of `path` stands for on Windows (CON, PRN, AUX,
// NUL, COM0-9, LPT0-9, also followed by an extension or by blanks: "con .hua"), upper case;
// empty when it is an ordinary name. Such a name opens the device, never a file.
std::string ReservedDeviceName(std::string_view path);

}  // namespace varnex
