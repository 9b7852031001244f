// The run log: every message of the system goes to the daily log file and the console.
//
// The daily file "YYYYMMDD.log" in the log directory is opened, appended to under an
// exclusive lock and closed for every message, so it is complete up to the last message
// whatever ends the process. The file is CP1250 with CR LF line ends; each message gets the
// local date and time as prefix. The console receives the same text in UTF-8 (without the
// prefix when the file could not be written). Messages are UTF-8 in the program.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace varnex {

class CodePages;

class RunLog {
 public:
  RunLog(FileSystem& fs, Clock& clock, Console& console);

  // The directory of the daily file, resolved, ending in a separator or empty (the current
  // directory).
  void SetDirectory(std::string dir) { dir_ = std::move(dir); }
  // Until tables are set, the file copy holds the UTF-8 text unconverted.
  void SetCodePages(const CodePages* codePages) { codePages_ = codePages; }

  // Formats printf-style and writes the result.
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes `text` (it carries its own line ends) to the file and the console.
  void Write(std::string_view text);

 private:
  FileSystem& fs_;
  Clock& clock_;
  Console& console_;
  const CodePages* codePages_ = nullptr;
  std::string dir_;
  // Cached per second of the clock, and buffers reused for every message.
  LocalTime stampTime_;
  bool stampValid_ = false;
  std::string stampDir_;
  std::string path_;
  std::string prefix_;
  std::string line_;
  std::string recoded_;
  std::string fileBytes_;
};

}  // namespace varnex
