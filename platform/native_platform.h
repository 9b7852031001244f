// The platform this program is built for, under names the rest of the code shares.
#pragma once

#include <memory>
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

// The manual selection of this platform: the terminal or a pipe on POSIX; the open-file
// dialog, or a pipe, on Windows.
std::unique_ptr<FilePicker> MakeNativeFilePicker(FileSystem& fs);

// The program's arguments as UTF-8 (on Windows read from the wide command line, so that
// names in any language arrive whole).
std::vector<std::string> NativeArguments(int argc, char** argv);

}  // namespace varnex
