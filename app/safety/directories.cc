#include "app/safety/directories.h"

#include <vector>

#include "convert/settings.h"
#include "util/ascii.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

bool IdentityOf(FileSystem& fs, const std::string& dir, FileIdentity* out) {
  return fs.Stat(dir.empty() ? std::string(".") : dir, out);
}

char Upper(char c) {
  return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Shown(const std::string& dir) {
  return dir.empty() ? std::string("az aktuális könyvtár") : dir;
}

// Why the input directory `dir` cannot be scanned; null when it can.
const char* InputPathProblem(FileSystem& fs, const std::string& dir) {
  if (fs.IsDirectory(dir.empty() ? std::string(".") : dir)) {
    return fs.CanListIn(dir) ? nullptr : "tartalma nem olvasható ennek a felhasználónak";
  }
  std::string named =
      dir.size() > 1 && dir.back() == kDirSeparator ? dir.substr(0, dir.size() - 1) : dir;
  return fs.Exists(named) ? "nem könyvtár" : "nem létezik";
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind(kDirSeparator);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool SameDirectory(FileSystem& fs, const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  FileIdentity ia;
  FileIdentity ib;
  return IdentityOf(fs, a, &ia) && IdentityOf(fs, b, &ib) && ia.device == ib.device &&
         ia.inode == ib.inode;
}

bool SameFileName(FileSystem& fs, const std::string& a, const std::string& b) {
  std::string nameA = a.substr(DirectoryOf(a).size());
  std::string nameB = b.substr(DirectoryOf(b).size());
  if (nameA.size() != nameB.size()) {
    return false;
  }
  for (std::size_t i = 0; i < nameA.size(); ++i) {
    if (Upper(nameA[i]) != Upper(nameB[i])) {
      return false;
    }
  }
  return SameDirectory(fs, DirectoryOf(a), DirectoryOf(b));
}

std::optional<std::string> FindDirectoryConflict(FileSystem& fs, const Settings& settings,
                                                 bool inputDirectoryMode) {
  struct Dir {
    const char* key;
    const std::string& path;
  };
  std::vector<Dir> outputs = {{"OutputPath", settings.outputPath}};
  if (!settings.outputPathHua.empty()) {
    outputs.push_back({"OutputPathHUA", settings.outputPathHua});
  }
  if (!settings.outputPathInt.empty()) {
    outputs.push_back({"OutputPathINT", settings.outputPathInt});
  }
  auto conflict = [](const char* a, const char* b, const std::string& dir) {
    return StringPrintf("a [General] %s és a [General] %s ugyanaz a könyvtár (%s)", a, b,
                        Shown(dir).c_str());
  };
  // Else the scan would find nothing and the run would end as if all were well.
  if (const char* why = inputDirectoryMode ? InputPathProblem(fs, settings.inputPath) : nullptr) {
    return StringPrintf("a [General] InputPath (%s) %s", Shown(settings.inputPath).c_str(), why);
  }
  if (SameDirectory(fs, settings.inputPath, settings.backupPath)) {
    return conflict("InputPath", "BackupPath", settings.backupPath);
  }
  for (const Dir& output : outputs) {
    if (SameDirectory(fs, output.path, settings.backupPath)) {
      return conflict(output.key, "BackupPath", settings.backupPath);
    }
  }
  if (inputDirectoryMode) {
    for (const Dir& output : outputs) {
      if (SameDirectory(fs, output.path, settings.inputPath)) {
        return conflict(output.key, "InputPath", settings.inputPath);
      }
    }
  }
  return std::nullopt;
}

}  // namespace varnex
