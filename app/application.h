// The one run-wide object: settings, the identifier sequence, the run mode and the files to
// process; start-up, the two run modes and shutdown.
//
// Start-up loads varnex.ini from beside the executable; a process started as root then takes
// the identity of the owner of the input directory; the start lines are logged and the
// "framework" is opened (the code page tables). A settings file that exists but cannot be
// read, a failed change of identity or missing code page tables end the run with exit
// code 1 and two lines on the error stream: the framework's fatal line and what failed.
// Settings that are not understood are logged after the start lines: warnings at once, the
// configuration errors (with the directory conflicts) when the run would start; then nothing
// is converted and the exit code is 1.
// The end line is logged when the run ends, or else when the object is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/conversion_run.h"
#include "app/run_log.h"
#include "app/safety/backup_index.h"
#include "app/safety/file_commit.h"
#include "app/safety/message_ids.h"
#include "app/safety/refusal_memory.h"
#include "convert/settings.h"
#include "platform/code_page.h"
#include "platform/platform.h"

namespace varnex {

class MtFile;

// How reading varnex.ini went.
struct SettingsFile {
  enum class State { kRead, kMissing, kUnreadable };
  State state = State::kRead;
  std::string reason;  // why an existing file could not be read
  std::vector<SettingsProblem> problems;
};

// Loads varnex.ini from the directory of the executable. A missing file gives the defaults;
// a file that exists but cannot be read (permissions, a directory, an I/O error, or text in
// an encoding IniTextAsUtf8 refuses) gives the defaults too, and the caller must not run with
// them.
SettingsFile LoadSettingsBesideExecutable(FileSystem& fs, Settings* settings);

// The configuration errors among `problems`, joined by "; "; empty when there are none.
std::string SettingsErrorText(const std::vector<SettingsProblem>& problems);

// The exit codes of a run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitStartupFailed = 1;
// The first line on standard error when the start fails. Windows keeps the text its users
// know from the original; other systems have no MFC to name.
#ifdef _WIN32
inline constexpr const char* kStartupFailedLine = "Fatal Error: MFC initialization failed\n";
#else
inline constexpr const char* kStartupFailedLine = "Fatal Error: initialization failed\n";
#endif
inline constexpr int kExitFilesLeft = 2;
inline constexpr int kExitLogFailed = 3;  // every file done, but the daily log not written

class Application {
 public:
  // Opens the code page tables; names the missing ones in its argument on failure.
  using CodePageOpener = std::function<std::optional<CodePages>(std::string*)>;

  // Loads the settings and logs the start lines. `errors` receives the start-up failure.
  Application(Platform platform, std::ostream& errors,
              CodePageOpener openCodePages = &CodePages::Open);
  // Logs the end line.
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The application object of the process, while one exists.
  static Application* Instance();

  // Opens the framework, runs the mode of `line` (kConvert) and logs the end line. Returns the
  // exit code.
  int Main(const CommandLine& line);
  // Runs one mode.
  void Run(RunMode runMode);

  // Appends the INT and then the HUA files of the input directory to the two arrays.
  void ScanInputDirectory();
  // Lets the user choose files, or takes those named on the command line; appends the HUA
  // and INT files among them. False when the user did not confirm a choice.
  bool SelectInputFiles();
  // Converts every collected file.
  void ProcessInputFiles();

  RunLog& log() { return log_; }

  Settings settings;
  std::int32_t sequence = 0;
  RunMode mode = RunMode::kManualSelection;
  std::vector<std::string> inputPaths;
  std::vector<std::string> inputTitles;

 private:
  Platform platform_;
  std::ostream& errors_;
  RunLog log_;
  std::optional<CodePages> codePages_;
  // What keeps the run from starting: the second line of the error stream.
  std::string startupFailure_;
  std::vector<SettingsProblem> settingsProblems_;
  // The files named on the command line, taken instead of the user's choice; a named file
  // that is no HUA or INT file counts as one left unconverted.
  std::vector<std::string> namedFiles_;
  bool resubmit_ = false;  // the named files are sent again on purpose
  bool ended_ = false;
  // Logs the end line once.
  void End();
  // Finishes or undoes what interrupted runs left, before any input is read. False when a
  // commit could not be finished: then no input is converted.
  bool RecoverInterruptedRuns();
  // Converts one input file all-or-nothing; false when it was left in place by an error.
  bool ProcessInputFile(const std::string& path, const std::string& title);
  // How long MinFileAge still holds `path` back in input directory mode (milliseconds); 0
  // when it does not.
  std::int64_t TimeUntilOfAge(const std::string& path);
  // Appends to the arrays the files of the input directory that this run has not settled:
  // those that arrived meanwhile (also under the name of a file converted before) and those
  // held back by MinFileAge. False when there are none.
  bool RescanInputDirectory();
  // Logs the problems of a file that is not converted (at most 20, then their number) and
  // the file's failure line.
  void ReportProblems(const std::string& path, const MtFile* file,
                      const std::vector<FileProblem>& problems);

  // The log line time of now, "YYYY.MM.DD. hh:mm:ss".
  std::string NowText();
  // Logs the problems of a refused file and remembers the refusal for later runs. `file` is
  // the loaded file; null when the file was refused before it was read as orders.
  void RefuseFile(const std::string& path, const FileIdentity& identity, const MtFile* file,
                  const std::vector<FileProblem>& problems);

  std::optional<BackupIndex> backupIndex_;
  std::optional<RefusalMemory> refusals_;
  std::optional<MessageIdRecord> messageIds_;
  bool anyFileLeft_ = false;
  // The next entry of the arrays to process.
  std::size_t nextInput_ = 0;
  // The round of input directory mode; a file held back in the last one waits for a later run.
  int round_ = 0;
  static constexpr int kRounds = 5;
  // The inputs held back by MinFileAge in this round, and the longest wait for them.
  std::set<std::string> heldBack_;
  // Inputs of commits an interrupted run left that cannot be finished yet.
  std::set<std::string> blockedInputs_;
  std::int64_t heldBackMs_ = 0;
  // The inputs this run converted (moved away): a file found under such a path later is a
  // new one (an export dropped again under the same name).
  std::set<std::string> converted_;
  std::string lastFileStamp_;
  TempNames tempNames_{platform_.fs};
};

}  // namespace varnex
