#include "app/application.h"

#include <set>

#include "app/safety/directories.h"

namespace varnex {
namespace {

Application* instance = nullptr;

}  // namespace

void LoadSettingsBesideExecutable(FileSystem& fs, Settings* settings) {
  std::string programDir = fs.ExecutableDir();
  std::string iniPath = ResolvePath(programDir + "varnex.ini", programDir);
  std::string text;
  std::string reason;
  if (!fs.ReadFile(iniPath, &text, &reason)) {
    text.clear();  // a missing file gives every key its default
  }
  settings->Load(iniPath, text, programDir);
}

RunMode ModeFromArgument(const char* argument) {
  if (argument != nullptr && (argument[0] == '-' || argument[0] == '/') && argument[1] == 'c') {
    return RunMode::kInputDirectory;
  }
  return RunMode::kManualSelection;
}

Application::Application(Platform platform, std::ostream& errors, CodePageOpener openCodePages)
    : platform_(platform), errors_(errors), log_(platform.fs, platform.clock, platform.console) {
  instance = this;
  sequence = 0;
  LoadSettingsBesideExecutable(platform_.fs, &settings);
  log_.SetDirectory(settings.logPath);
  codePages_ = openCodePages();
  if (codePages_) {
    log_.SetCodePages(&*codePages_);
  }
  log_.Printf("A program elindult.\n");
  log_.Printf("Paraméterek olvasása a(z) %s fájlból.\n", settings.iniPath.c_str());
}

Application::~Application() {
  log_.Printf("A program befejeződött.\n\n");
  platform_.console.Flush();
  if (instance == this) {
    instance = nullptr;
  }
}

Application* Application::Instance() {
  return instance;
}

int Application::Main(int argc, const char* const* argv) {
  if (!codePages_) {
    errors_ << "Fatal Error: MFC initialization failed\n" << std::flush;
    return kExitStartupFailed;
  }
  settings.ToRecordCodePage(*codePages_);
  RunMode runMode = ModeFromArgument(argc > 1 ? argv[1] : nullptr);
  if (std::optional<std::string> conflict =
          FindDirectoryConflict(platform_.fs, settings, runMode == RunMode::kInputDirectory)) {
    log_.Printf("Hiba: hibás beállítás, a program nem dolgoz fel semmit: %s\n", conflict->c_str());
    return kExitStartupFailed;
  }
  Run(runMode);
  return anyFileLeft_ ? kExitFilesLeft : kExitOk;
}

}  // namespace varnex

namespace varnex {

void Application::Run(RunMode runMode) {
  mode = runMode;
  if (mode == RunMode::kInputDirectory) {
    log_.Printf("Mód: fájlok feldolgozása az input könyvtáról.\n");
    // One run at a time per input directory. A directory that cannot be opened at all is
    // not another run: the scan below reports it finds nothing.
    bool busy = false;
    std::unique_ptr<Lock> lock = platform_.fs.TryLockDirectory(settings.inputPath, &busy);
    if (lock == nullptr && busy) {
      log_.Printf(
          "Egy másik futás már dolgozik az input könyvtáron (%s); ez a futás nem dolgoz fel "
          "semmit.\n",
          settings.inputPath.c_str());
      return;
    }
    if (RecoverInterruptedRuns()) {
      ScanInputDirectory();
      ProcessInputFiles();
    }
    return;
  }
  log_.Printf("Mód: fájlok kiválasztása kézzel.\n");
  if (RecoverInterruptedRuns() && SelectInputFiles()) {
    ProcessInputFiles();
  }
}

}  // namespace varnex

namespace varnex {

bool Application::RecoverInterruptedRuns() {
  FileSystem& fs = platform_.fs;
  tempNames_.SetJournalDirectory(settings.backupPath);
  bool finished = !fs.IsDirectory(settings.backupPath) ||
                  RecoverInterruptedCommits(fs, log_, tempNames_, settings.backupPath);
  // The log directory holds the temporary files of the refusal memory.
  std::set<std::string> dirs = {settings.outputPath, settings.outputPathHua, settings.outputPathInt,
                                settings.backupPath, settings.logPath};
  for (const std::string& dir : dirs) {
    if (fs.IsDirectory(dir)) {
      RemoveLeftoverTemps(fs, log_, dir, tempNames_);
    }
  }
  if (!finished) {
    log_.Printf(
        "Hiba: egy megszakadt futás véglegesítése nem fejeződött be, ez a futás nem dolgoz fel "
        "semmit.\n");
    anyFileLeft_ = true;
  }
  return finished;
}

}  // namespace varnex
