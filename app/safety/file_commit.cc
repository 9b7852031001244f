#include "app/safety/file_commit.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "app/run_log.h"
#include "app/safety/directories.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

std::string LockPath(const std::string& dir, std::string_view run) {
  return dir + std::string(kTempPrefix) + std::string(run) + std::string(kLockSuffix);
}

// What a journal records: everything the roll-forward needs, with full paths.
struct CommitRecord {
  std::string input;
  FileIdentity identity;
  std::string backup;
  std::string backupTemp;  // the input's copy; empty when the input is renamed
  std::vector<std::pair<std::string, std::string>> outputs;  // temporary, final
  std::vector<WrittenMessageId> ids;
};

constexpr std::string_view kJournalMagic = "varnex-commit-1";

// One field: a key letter, its length and its bytes, so that any path survives.
void AppendField(std::string* out, char key, std::string_view value) {
  StringAppendF(out, "%c %zu:", key, value.size());
  out->append(value);
  out->push_back('\n');
}

std::string EncodeRecord(const CommitRecord& r) {
  std::string text;
  AppendField(&text, 'V', kJournalMagic);
  AppendField(&text, 'I', r.input);
  AppendField(
      &text, 'D',
      StringPrintf("%llu %llu %lld %lld", static_cast<unsigned long long>(r.identity.device),
                   static_cast<unsigned long long>(r.identity.inode),
                   static_cast<long long>(r.identity.size),
                   static_cast<long long>(r.identity.mtimeNs)));
  AppendField(&text, 'B', r.backup);
  AppendField(&text, 'C', r.backupTemp);
  for (const auto& [temp, final] : r.outputs) {
    AppendField(&text, 'T', temp);
    AppendField(&text, 'F', final);
  }
  for (const WrittenMessageId& written : r.ids) {
    AppendField(&text, 'M', written.id);
    AppendField(&text, 'O', written.output);
  }
  AppendField(&text, 'E', "");
  return text;
}

bool ParseIdentity(const std::string& text, FileIdentity* id) {
  char* p = nullptr;
  const char* s = text.c_str();
  id->device = std::strtoull(s, &p, 10);
  id->inode = std::strtoull(p, &p, 10);
  id->size = std::strtoll(p, &p, 10);
  id->mtimeNs = std::strtoll(p, &p, 10);
  return p != nullptr && *p == '\0';
}

// False for anything but a complete record (a journal is complete before it gets its name,
// so this only guards against a damaged disk).
bool DecodeRecord(std::string_view text, CommitRecord* r) {
  std::string temp;
  std::string id;
  bool sawEnd = false;
  bool sawMagic = false;
  while (!text.empty() && !sawEnd) {
    if (text.size() < 4 || text[1] != ' ') {
      return false;
    }
    char key = text[0];
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
      return false;
    }
    std::size_t len = 0;
    for (std::size_t i = 2; i < colon; ++i) {
      if (text[i] < '0' || text[i] > '9' || len > text.size()) {
        return false;
      }
      len = len * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    if (colon + 1 + len >= text.size() || text[colon + 1 + len] != '\n') {
      return false;
    }
    std::string value(text.substr(colon + 1, len));
    text.remove_prefix(colon + 2 + len);
    switch (key) {
    case 'V':
      sawMagic = value == kJournalMagic;
      break;
    case 'I':
      r->input = value;
      break;
    case 'D':
      if (!ParseIdentity(value, &r->identity)) {
        return false;
      }
      break;
    case 'B':
      r->backup = value;
      break;
    case 'C':
      r->backupTemp = value;
      break;
    case 'T':
      temp = value;
      break;
    case 'F':
      r->outputs.emplace_back(temp, value);
      break;
    case 'M':
      id = value;
      break;
    case 'O':
      r->ids.push_back(WrittenMessageId{id, value});
      break;
    case 'E':
      sawEnd = true;
      break;
    default:
      return false;
    }
  }
  return sawMagic && sawEnd && !r->input.empty() && !r->backup.empty();
}

bool IsTheInput(FileSystem& fs, const std::string& path, const FileIdentity& identity) {
  FileIdentity now;
  return fs.Stat(path, &now) && now == identity;
}

// Step 4 of a commit: idempotent, so that any run may repeat it after a crash at any point.
// Returns false with a reason at the first step that fails; the journal then stays.
bool RollForward(FileSystem& fs, const CommitRecord& r, const std::string& journal,
                 std::string* reason) {
  std::string journalDir = DirectoryOf(journal);
  // The commit point: the journal's name reaches the disk before anything is renamed.
  if (!fs.SyncDirectory(journalDir, reason)) {
    return false;
  }
  // Flushed in this order: the backup directory before the input's, so that a move of which
  // only half reaches the disk leaves the input under both names, never under none.
  std::vector<std::string> dirs;
  auto flushLater = [&dirs](const std::string& dir) {
    if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) {
      dirs.push_back(dir);
    }
  };
  for (const auto& [temp, final] : r.outputs) {
    flushLater(DirectoryOf(final));
    if (fs.Exists(temp)) {
      if (!fs.RenameNoReplace(temp, final, reason)) {
        return false;
      }
    } else if (!fs.Exists(final)) {
      *reason = "az ideiglenes fájl hiányzik: " + temp;
      return false;
    }
  }
  bool inputThere = IsTheInput(fs, r.input, r.identity);
  if (r.backupTemp.empty()) {
    // A rename keeps the file, so the backup is the input when the move happened. Both names
    // may stand after a power loss that kept only half of the move.
    bool backupThere = IsTheInput(fs, r.backup, r.identity);
    if (inputThere && !backupThere) {
      if (!fs.RenameNoReplace(r.input, r.backup, reason)) {
        return false;
      }
    } else if (inputThere) {
      if (!fs.Remove(r.input, reason)) {
        return false;
      }
    } else if (!backupThere) {
      *reason = "az input fájl hiányzik: " + r.input;
      return false;
    }
  } else {
    if (fs.Exists(r.backupTemp)) {
      if (!fs.RenameNoReplace(r.backupTemp, r.backup, reason)) {
        return false;
      }
    } else if (!fs.Exists(r.backup)) {
      *reason = "a backup másolata hiányzik: " + r.backupTemp;
      return false;
    }
    if (inputThere && !fs.Remove(r.input, reason)) {
      return false;
    }
  }
  // The ids reach the record before the journal goes; appended again after a crash, they are
  // found twice, which is harmless.
  if (!r.ids.empty() && !AppendMessageIds(fs, journalDir, r.ids, reason)) {
    return false;
  }
  flushLater(DirectoryOf(r.backup));
  flushLater(journalDir);
  flushLater(DirectoryOf(r.input));
  for (const std::string& dir : dirs) {
    if (!fs.SyncDirectory(dir, reason)) {
      return false;
    }
  }
  // Should the removal not reach the disk, the journal is rolled forward once more, finding
  // everything done.
  return fs.Remove(journal, reason);
}

}  // namespace

bool ParseRunFileName(std::string_view name, RunFileName* out) {
  if (name.substr(0, kTempPrefix.size()) != kTempPrefix) {
    return false;
  }
  std::string_view rest = name.substr(kTempPrefix.size());
  std::size_t i = 0;
  while (i < rest.size() &&
         ((rest[i] >= '0' && rest[i] <= '9') || (rest[i] >= 'a' && rest[i] <= 'z'))) {
    ++i;
  }
  if (i == 0 || i == rest.size()) {
    return false;
  }
  out->run = std::string(rest.substr(0, i));
  std::string_view tail = rest.substr(i);
  if (tail == kLockSuffix) {
    out->kind = RunFileName::Kind::kLock;
    return true;
  }
  if (tail[0] != '-') {
    return false;
  }
  std::size_t j = 1;
  while (j < tail.size() && tail[j] >= '0' && tail[j] <= '9') {
    ++j;
  }
  if (j == 1) {
    return false;
  }
  if (tail.substr(j) == kTempSuffix) {
    out->kind = RunFileName::Kind::kTemp;
    return true;
  }
  if (tail.substr(j) == kJournalSuffix) {
    out->kind = RunFileName::Kind::kJournal;
    return true;
  }
  return false;
}

TempNames::TempNames(FileSystem& fs) : fs_(fs), run_(fs.RunId()) {}

TempNames::~TempNames() {
  for (Held& held : locks_) {
    if (!keepLocks_) {
      std::string ignored;
      fs_.Remove(held.path, &ignored);  // while still holding the lock
    }
    held.lock.reset();
  }
}

std::string TempNames::Next(const std::string& dir, std::string* reason) {
  std::string lockPath = LockPath(dir, run_);
  bool held = false;
  for (const Held& h : locks_) {
    held = held || h.path == lockPath;
  }
  if (!held) {
    std::unique_ptr<Lock> lock = fs_.CreateRunLock(lockPath, journalDir_ + "\n", reason);
    if (lock == nullptr) {
      return std::string();
    }
    locks_.push_back(Held{lockPath, std::move(lock)});
  }
  return StringPrintf("%s%.*s%s-%ld%.*s", dir.c_str(), static_cast<int>(kTempPrefix.size()),
                      kTempPrefix.data(), run_.c_str(), ++counter_,
                      static_cast<int>(kTempSuffix.size()), kTempSuffix.data());
}

bool RecoverInterruptedCommits(FileSystem& fs, RunLog& log, const TempNames& own,
                               const std::string& journalDir, std::vector<std::string>* blocked) {
  bool ok = true;
  for (const std::string& name : fs.ListNames(journalDir)) {
    RunFileName parsed;
    if (!ParseRunFileName(name, &parsed) || parsed.kind != RunFileName::Kind::kJournal ||
        parsed.run == own.run()) {
      continue;
    }
    std::string journal = journalDir + name;
    // Held while the journal is rolled forward, so that no other run does it at once.
    std::unique_ptr<ReadableFile> lock;
    std::string reason;
    OpenStatus status = fs.OpenLocked(LockPath(journalDir, parsed.run), &lock, &reason);
    if (status == OpenStatus::kLocked) {
      continue;  // its run is alive and finishes it
    }
    CommitRecord record;
    std::string text;
    if (status == OpenStatus::kFailed) {
      ok = false;
    } else if (!fs.ReadFile(journal, &text, &reason)) {
      if (!fs.Exists(journal)) {
        continue;  // finished meanwhile by another run
      }
      ok = false;
    } else if (!DecodeRecord(text, &record)) {
      reason = "sérült napló";
      ok = false;
    } else if (RollForward(fs, record, journal, &reason)) {
      log.Printf("Egy megszakadt futás véglegesítése befejezve: %s\n", record.input.c_str());
      continue;
    } else {
      blocked->push_back(record.input);
    }
    if (record.input.empty()) {
      log.Printf("Hiba: egy megszakadt futás véglegesítése nem fejezhető be: %s (%s)\n",
                 journal.c_str(), reason.c_str());
    } else {
      log.Printf(
          "Hiba: egy megszakadt futás véglegesítése nem fejezhető be: %s (%s); az input (%s) "
          "addig nem dolgozható fel, a többi fájl igen; az ok elhárítása után a következő futás "
          "befejezi\n",
          journal.c_str(), reason.c_str(), record.input.c_str());
    }
  }
  return ok;
}

void RemoveLeftoverTemps(FileSystem& fs, RunLog& log, const std::string& dir,
                         const TempNames& own) {
  std::vector<std::string> names = fs.ListNames(dir);
  std::set<std::string> runs;
  for (const std::string& name : names) {
    RunFileName parsed;
    if (ParseRunFileName(name, &parsed) && parsed.run != own.run()) {
      runs.insert(parsed.run);
    }
  }
  for (const std::string& run : runs) {
    std::string lockPath = LockPath(dir, run);
    std::unique_ptr<ReadableFile> lock;
    std::string reason;
    OpenStatus status = fs.OpenLocked(lockPath, &lock, &reason);
    if (status == OpenStatus::kLocked || status == OpenStatus::kFailed) {
      continue;  // alive, or not to be judged now
    }
    // Dead. Its lock file names its journal directory; while a journal of the run waits
    // there, every file of the run stays. Without a lock file no journal can have been made:
    // the lock file reaches the disk with the temporary files, before any journal.
    std::string journalDir;
    if (status == OpenStatus::kOk && lock->ReadAll(&journalDir, &reason)) {
      while (!journalDir.empty() && journalDir.back() == '\n') {
        journalDir.pop_back();
      }
    }
    bool journalWaits = false;
    std::vector<std::string> journalDirs = {dir};
    if (!journalDir.empty() && journalDir != dir) {
      journalDirs.push_back(journalDir);
    }
    for (const std::string& where : journalDirs) {
      for (const std::string& name : fs.ListNames(where)) {
        RunFileName parsed;
        journalWaits = journalWaits || (ParseRunFileName(name, &parsed) && parsed.run == run &&
                                        parsed.kind == RunFileName::Kind::kJournal);
      }
    }
    if (journalWaits) {
      continue;
    }
    for (const std::string& name : names) {
      RunFileName parsed;
      if (!ParseRunFileName(name, &parsed) || parsed.run != run ||
          parsed.kind != RunFileName::Kind::kTemp) {
        continue;
      }
      std::string path = dir + name;
      if (fs.Remove(path, &reason)) {
        log.Printf("Egy korábbi, megszakadt futás ideiglenes fájlja törölve: %s\n", path.c_str());
      } else if (fs.Exists(path)) {
        log.Printf("Hiba: egy korábbi futás ideiglenes fájlja nem törölhető: %s (%s)\n",
                   path.c_str(), reason.c_str());
      }
    }
    if (status == OpenStatus::kOk) {
      fs.Remove(lockPath, &reason);  // while holding its lock
    }
  }
}

FileCommit::~FileCommit() {
  if (committed_) {
    return;
  }
  std::string ignored;
  for (const Output& output : outputs_) {
    fs_.Remove(output.temp, &ignored);
  }
  if (!backupTemp_.empty()) {
    fs_.Remove(backupTemp_, &ignored);
  }
}

std::unique_ptr<WritableFile> FileCommit::CreateOutput(const std::string& finalPath,
                                                       std::string* reason) {
  std::string temp = tempNames_.Next(DirectoryOf(finalPath), reason);
  if (temp.empty()) {
    return nullptr;
  }
  outputs_.push_back(Output{temp, finalPath});
  return fs_.CreateExclusive(temp, reason);
}

bool FileCommit::Commit(const std::string& input, const FileIdentity& opened,
                        const std::string& backup, RunLog& log) {
  std::string reason;
  // Two of the names one file: the second rename could never be done.
  std::vector<std::string> finals = FinalNames();
  finals.push_back(backup);
  for (std::size_t i = 0; i < finals.size(); ++i) {
    for (std::size_t j = i + 1; j < finals.size(); ++j) {
      if (SameFileName(fs_, finals[i], finals[j])) {
        log.Printf(
            "Hiba: a fájl két kimenete ugyanazt a nevet kapná: %s és %s (az input marad: "
            "%s)\n",
            finals[i].c_str(), finals[j].c_str(), input.c_str());
        return false;
      }
    }
  }
  for (const Output& output : outputs_) {
    if (fs_.Exists(output.final)) {
      log.Printf("Hiba: az output fájl nem hozható létre: %s (a fájl már létezik)\n",
                 output.final.c_str());
      return false;
    }
  }
  std::string backupDir = DirectoryOf(backup);
  auto backupFailed = [&] {
    log.Printf("Hiba: a backup fájl nem hozható létre: %s (%s)\n", backup.c_str(), reason.c_str());
    return false;
  };
  if (fs_.Exists(backup)) {
    reason = "a fájl már létezik";
    return backupFailed();
  }
  FileIdentity dirIdentity;
  if (!fs_.Stat(backupDir.empty() ? std::string(".") : backupDir, &dirIdentity)) {
    reason = "nincs ilyen fájl vagy könyvtár";
    return backupFailed();
  }
  CommitRecord record{input, opened, backup, std::string(), {}, ids_};
  std::set<std::string> tempDirs;
  for (const Output& output : outputs_) {
    record.outputs.emplace_back(output.temp, output.final);
    tempDirs.insert(DirectoryOf(output.temp));
  }
  if (dirIdentity.device != opened.device) {
    // Another file system: the copy is made and flushed before the commit point, so that
    // rolling forward only renames and removes.
    std::string bytes;
    backupTemp_ = tempNames_.Next(backupDir, &reason);
    if (backupTemp_.empty() || !fs_.ReadFile(input, &bytes, &reason)) {
      return backupFailed();
    }
    std::unique_ptr<WritableFile> copy = fs_.CreateExclusive(backupTemp_, &reason);
    if (copy == nullptr || !copy->Append(bytes, &reason) || !copy->Sync(&reason) ||
        !copy->Close(&reason)) {
      return backupFailed();
    }
    record.backupTemp = backupTemp_;
    tempDirs.insert(backupDir);
  }
  for (const std::string& dir : tempDirs) {
    if (!fs_.SyncDirectory(dir, &reason)) {
      log.Printf("Hiba: a könyvtár nem írható a lemezre: %s (%s)\n", dir.c_str(), reason.c_str());
      return false;
    }
  }
  if (!IsTheInput(fs_, input, opened)) {
    log.Printf(
        "Hiba: az input fájl megváltozott a feldolgozás közben, a következő futás dolgozza "
        "fel: %s\n",
        input.c_str());
    return false;
  }

  std::string journalTemp = tempNames_.Next(backupDir, &reason);
  std::string journal = backupDir;
  std::unique_ptr<WritableFile> file;
  if (!journalTemp.empty()) {
    journal = journalTemp.substr(0, journalTemp.size() - kTempSuffix.size());
    journal += kJournalSuffix;
    file = fs_.CreateExclusive(journalTemp, &reason);
  }
  bool written = file != nullptr && file->Append(EncodeRecord(record), &reason) &&
                 file->Sync(&reason) && file->Close(&reason);
  if (!written || !fs_.RenameNoReplace(journalTemp, journal, &reason)) {
    if (file != nullptr) {
      std::string ignored;
      fs_.Remove(journalTemp, &ignored);
    }
    log.Printf("Hiba: a véglegesítés naplója nem írható: %s (%s)\n", journal.c_str(),
               reason.c_str());
    return false;
  }
  // From here on the temporary files belong to the journal.
  committed_ = true;
  if (!RollForward(fs_, record, journal, &reason)) {
    tempNames_.KeepLocks();
    log.Printf(
        "Hiba: a fájl véglegesítése nem fejeződött be, a következő futás befejezi: %s (%s)\n",
        input.c_str(), reason.c_str());
    return false;
  }
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
