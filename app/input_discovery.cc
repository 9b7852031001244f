// Collecting the input files: the scan of the input directory, or the user's choice.
#include <set>
#include <string>
#include <string_view>

#include "app/application.h"
#include "app/file_driver.h"
#include "mt/mt_file.h"

namespace varnex {

std::string TitleOf(std::string_view path) {
  std::size_t slash = path.rfind(kDirSeparator);
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

void Application::ScanInputDirectory() {
  // An empty InputPath is the current directory; the line names it.
  std::string shown = settings.inputPath.empty()
                          ? platform_.fs.CurrentDir() + " (az InputPath üres: az aktuális könyvtár)"
                          : settings.inputPath;
  log_.Printf("Input könyvtár vizsgálata: %s\n", shown.c_str());
  bool found = false;
  for (std::string_view ext : {"INT", "HUA"}) {
    for (const std::string& name : platform_.fs.ListFiles(settings.inputPath, ext)) {
      std::string path = settings.inputPath + name;
      log_.Printf("Feldolgozandó fájl: %s.\n", path.c_str());
      inputPaths.push_back(path);
      inputTitles.push_back(TitleOf(name));
      found = true;
    }
  }
  if (!found) {
    log_.Printf("Nincs feldolgozandó fájl.\n");
  }
}

bool Application::RescanInputDirectory() {
  std::set<std::string> settled;
  for (const std::string& path : inputPaths) {
    if (!heldBack_.contains(path)) {
      settled.insert(path);
    }
  }
  heldBack_.clear();
  bool found = false;
  for (std::string_view ext : {"INT", "HUA"}) {
    for (const std::string& name : platform_.fs.ListFiles(settings.inputPath, ext)) {
      std::string path = settings.inputPath + name;
      if (settled.contains(path) && converted_.erase(path) == 0) {
        continue;
      }
      if (!found) {
        log_.Printf("Input könyvtár vizsgálata: %s\n", settings.inputPath.c_str());
        found = true;
      }
      log_.Printf("Feldolgozandó fájl: %s.\n", path.c_str());
      inputPaths.push_back(path);
      inputTitles.push_back(TitleOf(name));
    }
  }
  return found;
}

bool Application::SelectInputFiles() {
  std::vector<std::string> chosen = namedFiles_;
  if (chosen.empty()) {
    std::vector<std::string> candidates;
    for (std::string_view ext : {"INT", "HUA"}) {
      for (const std::string& name : platform_.fs.ListFiles(settings.inputPath, ext)) {
        candidates.push_back(settings.inputPath + name);
      }
    }
    if (!platform_.picker.Pick(candidates, &chosen)) {
      if (std::string failure = platform_.picker.Failure(); !failure.empty()) {
        log_.Printf("Hiba: a fájlok kézi kiválasztása nem lehetséges: %s\n", failure.c_str());
        anyFileLeft_ = true;
      }
      return false;
    }
  }
  for (const std::string& path : chosen) {
    // A file named on the command line was meant to be converted: one that is not there or
    // is no order file leaves the run unfinished.
    if (!namedFiles_.empty() && KindOfPath(path) == MtKind::kOther) {
      log_.Printf("Hiba: a parancssorban megadott fájl nem HUA vagy INT fájl: %s\n", path.c_str());
      anyFileLeft_ = true;
      continue;
    }
    if (!namedFiles_.empty() && !platform_.fs.Exists(path)) {
      log_.Printf("Hiba: a parancssorban megadott fájl nem létezik: %s\n", path.c_str());
      anyFileLeft_ = true;
      continue;
    }
    // Only the last three characters decide, so NOTAHUA qualifies and A.TXT does not.
    if (KindOfPath(path) != MtKind::kOther) {
      inputTitles.push_back(TitleOf(path));
      inputPaths.push_back(path);
    } else {
      log_.Printf("A kiválasztott fájl nem HUA vagy INT fájl, kihagyva: %s\n", path.c_str());
    }
  }
  return true;
}

}  // namespace varnex
