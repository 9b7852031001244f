#include "app/file_commit.h"

#include "app/run_log.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind(kDirSeparator);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

long TempFileOwner(std::string_view name) {
  if (name.size() <= kTempPrefix.size() + kTempSuffix.size() ||
      name.substr(0, kTempPrefix.size()) != kTempPrefix ||
      name.substr(name.size() - kTempSuffix.size()) != kTempSuffix) {
    return -1;
  }
  std::string_view rest = name.substr(kTempPrefix.size());
  long pid = 0;
  std::size_t i = 0;
  while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && i < 10) {
    pid = pid * 10 + (rest[i] - '0');
    ++i;
  }
  if (i == 0 || i >= rest.size() || rest[i] != '-') {
    return -1;
  }
  return pid;
}

std::string TempNames::Next() {
  return StringPrintf("%.*s%ld-%ld%.*s", static_cast<int>(kTempPrefix.size()), kTempPrefix.data(),
                      fs_.ProcessId(), ++counter_, static_cast<int>(kTempSuffix.size()),
                      kTempSuffix.data());
}

void RemoveLeftoverTemps(FileSystem& fs, RunLog& log, const std::string& dir) {
  long self = fs.ProcessId();
  for (const std::string& name : fs.ListNames(dir)) {
    long owner = TempFileOwner(name);
    if (owner < 0 || owner == self || fs.ProcessExists(owner)) {
      continue;
    }
    std::string path = dir + name;
    std::string reason;
    if (fs.Remove(path, &reason)) {
      log.Printf("Egy korábbi, megszakadt futás ideiglenes fájlja törölve: %s\n", path.c_str());
    } else {
      log.Printf("Hiba: egy korábbi futás ideiglenes fájlja nem törölhető: %s (%s)\n", path.c_str(),
                 reason.c_str());
    }
  }
}

FileCommit::~FileCommit() {
  if (committed_) {
    return;
  }
  for (const Output& output : outputs_) {
    std::string ignored;
    fs_.Remove(output.placed ? output.final : output.temp, &ignored);
  }
}

std::unique_ptr<WritableFile> FileCommit::CreateOutput(const std::string& finalPath,
                                                       std::string* reason) {
  outputs_.push_back(Output{DirectoryOf(finalPath) + tempNames_.Next(), finalPath, false});
  return fs_.CreateExclusive(outputs_.back().temp, reason);
}

bool FileCommit::Commit(const std::string& input, const std::string& backup, RunLog& log) {
  std::string reason;
  // Into place, then the input to backup, back to back.
  for (Output& output : outputs_) {
    if (!fs_.RenameNoReplace(output.temp, output.final, &reason)) {
      log.Printf("Hiba: az output fájl nem hozható létre: %s (%s)\n", output.final.c_str(),
                 reason.c_str());
      return false;
    }
    output.placed = true;
  }
  std::string backupTemp = tempNames_.Next();
  if (!fs_.MoveNoReplace(input, backup, backupTemp, &reason)) {
    log.Printf("Hiba: a backup fájl nem hozható létre: %s (%s)\n", backup.c_str(), reason.c_str());
    return false;
  }
  committed_ = true;
  return true;
}

std::vector<std::string> FileCommit::FinalNames() const {
  std::vector<std::string> names;
  for (const Output& output : outputs_) {
    names.push_back(output.final);
  }
  return names;
}

}  // namespace varnex
