#include "app/application.h"

#include <set>

#include "app/safety/directories.h"
#include "platform/ini_file.h"

namespace varnex {
namespace {

Application* instance = nullptr;

}  // namespace

SettingsFile LoadSettingsBesideExecutable(FileSystem& fs, Settings* settings) {
  std::string programDir = fs.ExecutableDir();
  std::string iniPath = ResolvePath(programDir + "varnex.ini", programDir);
  SettingsFile result;
  std::string text;
  if (fs.ReadFile(iniPath, &text, &result.reason)) {
    // A file Notepad saved as "Unicode" is read; one the parser would misread stops the run.
    std::optional<std::string> utf8 = IniTextAsUtf8(text, &result.reason);
    text = utf8 ? std::move(*utf8) : std::string();
    result.state = utf8 ? SettingsFile::State::kRead : SettingsFile::State::kUnreadable;
  } else {
    text.clear();
    FileIdentity identity;
    if (fs.IsDirectory(iniPath)) {
      result.state = SettingsFile::State::kUnreadable;
      result.reason = "könyvtár, nem fájl";
    } else {
      // A name that leads nowhere (a dangling link included) is a missing file.
      result.state = fs.Stat(iniPath, &identity) ? SettingsFile::State::kUnreadable
                                                 : SettingsFile::State::kMissing;
    }
  }
  result.problems = settings->Load(iniPath, text, programDir);
  return result;
}

std::string SettingsErrorText(const std::vector<SettingsProblem>& problems) {
  std::string text;
  for (const SettingsProblem& problem : problems) {
    if (problem.IsError()) {
      text += (text.empty() ? "" : "; ") + problem.text;
    }
  }
  return text;
}

Application::Application(Platform platform, std::ostream& errors, CodePageOpener openCodePages)
    : platform_(platform), errors_(errors), log_(platform.fs, platform.clock, platform.console) {
  instance = this;
  sequence = 0;
  SettingsFile ini = LoadSettingsBesideExecutable(platform_.fs, &settings);
  log_.ReportFailuresTo(&errors_);
  std::string runsAs;
  std::string reason;
  if (ini.state == SettingsFile::State::kUnreadable) {
    // The log directory is unknown: nothing is written anywhere but the console.
    startupFailure_ =
        "A beállítási fájl nem olvasható: " + settings.iniPath + " (" + ini.reason + ")";
    log_.ConsoleOnly();
  } else if (!platform_.fs.AdoptOwnerOf(settings.inputPath, &runsAs, &reason)) {
    startupFailure_ = "A program nem tudott átváltani az input könyvtár (" + settings.inputPath +
                      ") tulajdonosára: " + reason;
    log_.ConsoleOnly();
  }
  log_.SetDirectory(settings.logPath);
  std::string missing;
  codePages_ = openCodePages(&missing);
  if (codePages_) {
    log_.SetCodePages(&*codePages_);
  } else if (startupFailure_.empty()) {
    startupFailure_ = "Nem nyitható meg a(z) " + (missing.empty() ? std::string("?") : missing) +
                      " kódlap-átalakító (iconv).";
  }
  log_.Printf("A program elindult.\n");
  if (!runsAs.empty()) {
    log_.Printf(
        "A program root felhasználóként indult, az input könyvtár tulajdonosaként (%s) "
        "fut tovább.\n",
        runsAs.c_str());
  }
  switch (ini.state) {
  case SettingsFile::State::kRead:
    log_.Printf("Paraméterek olvasása a(z) %s fájlból.\n", settings.iniPath.c_str());
    break;
  case SettingsFile::State::kMissing:
    log_.Printf("A(z) %s fájl nem található, a paraméterek alapértékei érvényesek.\n",
                settings.iniPath.c_str());
    break;
  case SettingsFile::State::kUnreadable:
    log_.Printf("Hiba: a(z) %s fájl nem olvasható (%s), a program leáll.\n",
                settings.iniPath.c_str(), ini.reason.c_str());
    break;
  }
  for (const SettingsProblem& problem : ini.problems) {
    if (problem.kind == SettingsProblem::Kind::kUnknown) {
      log_.Printf("Figyelem: ismeretlen beállítás a(z) %s fájlban: %s\n", settings.iniPath.c_str(),
                  problem.text.c_str());
    } else if (problem.kind == SettingsProblem::Kind::kEmptyExtension) {
      log_.Printf(
          "Figyelem: a [PrioUrgent] TrgtExtension üres a(z) %s fájlban: a sürgős megbízások "
          "dokumentumának neve ponttal végződik.\n",
          settings.iniPath.c_str());
    }
  }
  settingsProblems_ = std::move(ini.problems);
}

Application::~Application() {
  End();
  if (instance == this) {
    instance = nullptr;
  }
}

void Application::End() {
  if (ended_) {
    return;
  }
  ended_ = true;
  log_.Printf("A program befejeződött.\n\n");
  platform_.console.Flush();
}

Application* Application::Instance() {
  return instance;
}

int Application::Main(const CommandLine& line) {
  int code = kExitOk;
  RunMode runMode = line.mode;
  namedFiles_ = line.files;
  resubmit_ = line.resubmit;
  std::optional<std::string> invalid;
  if (!startupFailure_.empty()) {
    errors_ << kStartupFailedLine << startupFailure_ << "\n" << std::flush;
    code = kExitStartupFailed;
  } else if (std::string wrong = SettingsErrorText(settingsProblems_); !wrong.empty()) {
    invalid = wrong;
  } else {
    settings.ToRecordCodePage(*codePages_);
    invalid = FindDirectoryConflict(platform_.fs, settings, runMode == RunMode::kInputDirectory);
  }
  if (invalid) {
    log_.Printf("Hiba: hibás beállítás, a program nem dolgoz fel semmit: %s\n", invalid->c_str());
    code = kExitStartupFailed;
  } else if (code == kExitOk) {
    Run(runMode);
    code = anyFileLeft_ ? kExitFilesLeft : kExitOk;
  }
  End();
  return code == kExitOk && log_.failed() ? kExitLogFailed : code;
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
      // Files held back by MinFileAge are taken once they come of age, and files that
      // arrived during the run are taken too, in a few more rounds at most.
      for (round_ = 1; round_ < kRounds; ++round_) {
        std::int64_t waitMs = heldBackMs_;
        heldBackMs_ = 0;
        if (waitMs > 0) {
          log_.Printf("Várakozás %lld másodpercig a visszatartott fájlokra.\n",
                      static_cast<long long>((waitMs + 999) / 1000));
          platform_.clock.SleepMs(waitMs);
        }
        if (!RescanInputDirectory()) {
          break;
        }
        ProcessInputFiles();
      }
      // Refusals of files that are gone are forgotten also when nothing was processed.
      if (!refusals_) {
        refusals_.emplace(platform_.fs, tempNames_, settings.logPath);
      }
      refusals_->ForgetGone();
    }
    return;
  }
  if (namedFiles_.empty()) {
    log_.Printf("Mód: fájlok kiválasztása kézzel.\n");
  } else {
    log_.Printf("Mód: a parancssorban megadott fájlok feldolgozása.\n");
  }
  if (RecoverInterruptedRuns() && SelectInputFiles()) {
    ProcessInputFiles();
  }
}

}  // namespace varnex

namespace varnex {

bool Application::RecoverInterruptedRuns() {
  FileSystem& fs = platform_.fs;
  tempNames_.SetJournalDirectory(settings.backupPath);
  std::vector<std::string> blocked;
  bool finished = !fs.IsDirectory(settings.backupPath) ||
                  RecoverInterruptedCommits(fs, log_, tempNames_, settings.backupPath, &blocked);
  blockedInputs_.insert(blocked.begin(), blocked.end());
  anyFileLeft_ = anyFileLeft_ || !blocked.empty();
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
