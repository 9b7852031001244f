// The platform this program is built for, under names the rest of the code shares.
#pragma once

#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/windows_platform.h"
#else
#include "platform/posix_platform.h"
#endif

namespace varnex {

#ifdef _WIN32
using NativeFileSystem = WindowsFileSystem;
using NativeConsole = WindowsConsole;
#else
using NativeFileSystem = PosixFileSystem;
using NativeConsole = StdoutConsole;
#endif

// While it lives, std::cout writes through `output` and std::cerr through a console of the
// same kind on standard error, so that every text of the program (the usage, the run's lines,
// a --check report, a start-up failure) reaches a Windows console, file or pipe in the same
// code page with the same line ends; on POSIX nothing changes.
class StandardStreamsThroughConsole {
 public:
  explicit StandardStreamsThroughConsole(Console& output);
  ~StandardStreamsThroughConsole();
  StandardStreamsThroughConsole(const StandardStreamsThroughConsole&) = delete;
  StandardStreamsThroughConsole& operator=(const StandardStreamsThroughConsole&) = delete;

 private:
  std::unique_ptr<Console> errorConsole_;
  std::unique_ptr<std::streambuf> outputBuffer_;
  std::unique_ptr<std::streambuf> errorBuffer_;
  // Put back on destruction (Windows; POSIX changes nothing).
  [[maybe_unused]] std::streambuf* savedOutput_ = nullptr;
  [[maybe_unused]] std::streambuf* savedError_ = nullptr;
};

// The manual selection of this platform: the terminal or a pipe on POSIX; the open-file
// dialog, or a pipe, on Windows.
std::unique_ptr<FilePicker> MakeNativeFilePicker(FileSystem& fs);

// The program's arguments as UTF-8 (on Windows read from the wide command line, so that
// names in any language arrive whole).
std::vector<std::string> NativeArguments(int argc, char** argv);

}  // namespace varnex
