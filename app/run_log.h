// The run log: every message of the system goes to the daily log file and the console.
//
// The daily file "YYYYMMDD.log" in the log directory is held open for appending, and each
// message reaches it with one write as soon as it is logged, so the file is complete up to the
// last message whatever ends the process and messages of several processes never interleave.
// The file name follows the clock's date; a file removed or renamed during the run is made
// anew within a second (checked when the clock's second changes and after a failed write).
// The file is CP1250 with CR LF line ends; each message gets the local date and time as
// prefix. The console receives the same text in UTF-8 (without the prefix when the file could
// not be written). Messages are UTF-8 in the program.
//
// A message that cannot be written to the file is a failure of the run: the first one is
// reported on the error stream (file and reason), and failed() tells the caller.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace varnex {

class CodePages;

class RunLog {
 public:
  RunLog(FileSystem& fs, Clock& clock, Console& console);
  // Closes the daily file.
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // The directory of the daily file, resolved, ending in a separator or empty (the current
  // directory).
  void SetDirectory(std::string dir) { dir_ = std::move(dir); }
  // Until tables are set, the file copy holds the UTF-8 text unconverted.
  void SetCodePages(const CodePages* codePages) { codePages_ = codePages; }

  // A muted log writes nothing anywhere (the dry run of --check classifies silently).
  void Mute() { muted_ = true; }
  // Messages go to the console only (the settings, and with them the log directory, could
  // not be read).
  void ConsoleOnly() { consoleOnly_ = true; }
  // Where the first failure to write the file is reported.
  void ReportFailuresTo(std::ostream* errors) { errors_ = errors; }
  // True when a message could not be written to the file.
  bool failed() const { return failed_; }

  // Formats printf-style and writes the result.
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes `text` (it carries its own line ends) to the file and the console.
  void Write(std::string_view text);

 private:
  // Appends fileBytes_ to the daily file, reopening it first when its name changed or, with
  // `checkName`, when the name no longer leads to it. True when the bytes were written.
  bool WriteFile(bool checkName);
  // Opens path_, making the directory (one level) when the first attempt fails.
  void Open();

  FileSystem& fs_;
  Clock& clock_;
  Console& console_;
  const CodePages* codePages_ = nullptr;
  bool muted_ = false;
  bool consoleOnly_ = false;
  bool failed_ = false;
  std::ostream* errors_ = nullptr;
  std::string failReason_;
  std::string dir_;
  // Cached per second of the clock, and buffers reused for every message.
  LocalTime stampTime_;
  bool stampValid_ = false;
  std::string stampDir_;
  std::string path_;
  std::string prefix_;
  std::string visible_;
  std::string line_;
  std::string recoded_;
  std::string fileBytes_;
  // The open daily file and the name it was opened under.
  std::unique_ptr<AppendFile> file_;
  std::string openPath_;
};

}  // namespace varnex
