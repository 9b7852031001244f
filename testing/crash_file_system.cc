#include "testing/crash_file_system.h"

#include <algorithm>
#include <functional>
#include <set>

namespace varnex {
namespace {

constexpr const char* kGoneReason = "a folyamat leállt";

void SetReason(std::string* reason, const char* text) {
  if (reason != nullptr) {
    *reason = text;
  }
}

class CrashLock : public Lock {
 public:
  CrashLock(CrashFileSystem& fs, int inode) : fs_(fs), inode_(inode), gen_(fs.generation()) {}
  ~CrashLock() override {
    CrashFileSystem::Inode* node = fs_.Find(inode_);
    if (node != nullptr && gen_ == fs_.generation()) {
      node->locked = false;
    }
  }

 private:
  CrashFileSystem& fs_;
  int inode_;
  int gen_;
};

class CrashReadable : public ReadableFile {
 public:
  CrashReadable(CrashFileSystem& fs, int inode, const FileIdentity& id)
      : fs_(fs), lock_(fs, inode), inode_(inode), id_(id) {}
  FileIdentity Identity() const override { return id_; }
  bool ReadAll(std::string* out, std::string* reason) override {
    if (!fs_.Alive(reason)) {
      return false;
    }
    *out = fs_.Find(inode_)->data;
    return true;
  }

 private:
  CrashFileSystem& fs_;
  CrashLock lock_;
  int inode_;
  FileIdentity id_;
};

class CrashWritable : public WritableFile {
 public:
  CrashWritable(CrashFileSystem& fs, int inode) : fs_(fs), inode_(inode) {}
  bool Append(std::string_view bytes, std::string* reason) override {
    if (!fs_.Step(reason)) {
      return false;
    }
    CrashFileSystem::Inode* node = fs_.Find(inode_);
    node->data.append(bytes);
    node->mtimeNs = fs_.Tick();
    return true;
  }
  bool Sync(std::string* reason) override {
    if (!fs_.Step(reason)) {
      return false;
    }
    CrashFileSystem::Inode* node = fs_.Find(inode_);
    node->durableData = node->data;
    fs_.CommitJournalThrough(inode_);
    return true;
  }
  bool Close(std::string* reason) override { return fs_.Alive(reason); }

 private:
  CrashFileSystem& fs_;
  int inode_;
};

std::string Canonical(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string AsDir(const std::string& path) {
  std::string dir = Canonical(path);
  return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), Lower);
  return s;
}

}  // namespace

CrashFileSystem::CrashFileSystem(std::vector<std::string> mounts, std::string executableDir,
                                 Durability durability)
    : mounts_(std::move(mounts)), durability_(durability), exeDir_(std::move(executableDir)) {}

void CrashFileSystem::AddDirectory(const std::string& dir) {
  current_[AsDir(dir)];
  durable_[AsDir(dir)];
}

void CrashFileSystem::AddFile(const std::string& path, const std::string& bytes) {
  std::string dir;
  std::string name;
  Split(path, &dir, &name);
  int id = nextInode_++;
  inodes_[id] = Inode{bytes, bytes, Tick(), DeviceOf(path), false};
  current_[dir][name] = id;
  durable_[dir][name] = id;
}

void CrashFileSystem::Rewrite(const std::string& path, const std::string& bytes) {
  Inode* node = Find(Lookup(path));
  node->data = node->durableData = bytes;
  node->mtimeNs = Tick();
}

bool CrashFileSystem::Step(std::string* reason) {
  if (!Alive(reason)) {
    return false;
  }
  if (steps_ == actionStep_ && action_) {
    std::function<void()> action = std::move(action_);
    action_ = nullptr;
    action();
  }
  if (limit_ >= 0 && steps_ >= limit_) {
    stopped_ = true;
    SetReason(reason, kGoneReason);
    return false;
  }
  ++steps_;
  return true;
}

bool CrashFileSystem::Alive(std::string* reason) {
  if (stopped_) {
    SetReason(reason, kGoneReason);
  }
  return !stopped_;
}

CrashFileSystem::Inode* CrashFileSystem::Find(int inode) {
  auto it = inodes_.find(inode);
  return it == inodes_.end() ? nullptr : &it->second;
}

std::uint64_t CrashFileSystem::DeviceOf(const std::string& original) const {
  const std::string path = Canonical(original);
  std::uint64_t device = 1;
  std::size_t best = 0;
  for (std::size_t i = 0; i < mounts_.size(); ++i) {
    if (path.starts_with(mounts_[i]) && mounts_[i].size() > best) {
      best = mounts_[i].size();
      device = i + 1;
    }
  }
  return device;
}

void CrashFileSystem::Split(const std::string& original, std::string* dir, std::string* name) {
  const std::string path = Canonical(original);
  std::size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

int CrashFileSystem::Lookup(const std::string& path) const {
  std::string dir;
  std::string name;
  Split(path, &dir, &name);
  auto d = current_.find(dir);
  if (d == current_.end()) {
    return 0;
  }
  auto e = d->second.find(name);
  return e == d->second.end() ? 0 : e->second;
}

void CrashFileSystem::Apply(std::map<std::string, Entries>& dirs, const Effect& e) {
  Entries& entries = dirs[e.dir];
  if (e.set) {
    entries[e.name] = e.inode;
    return;
  }
  auto it = entries.find(e.name);
  if (it != entries.end() && it->second == e.inode) {
    entries.erase(it);
  }
}

void CrashFileSystem::Record(Change change) {
  for (const Effect& e : change.effects) {
    Apply(current_, e);
  }
  pending_.push_back(std::move(change));
}

void CrashFileSystem::CommitPending(std::size_t count) {
  for (std::size_t i = 0; i < count && i < pending_.size(); ++i) {
    for (Effect& e : pending_[i].effects) {
      if (!e.durable) {
        e.durable = true;
        Apply(durable_, e);
      }
    }
  }
  pending_.erase(pending_.begin(),
                 pending_.begin() + static_cast<std::ptrdiff_t>(std::min(count, pending_.size())));
}

void CrashFileSystem::CommitJournalThrough(int inode) {
  if (durability_ != Durability::kNtfs) {
    return;
  }
  std::size_t through = 0;
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    for (const Effect& e : pending_[i].effects) {
      through = e.inode == inode ? i + 1 : through;
    }
  }
  CommitPending(through);
}

std::vector<int> CrashFileSystem::UnsyncedInodes() const {
  std::set<int> reachable;
  for (const auto* view : {&current_, &durable_}) {
    for (const auto& [dir, entries] : *view) {
      for (const auto& [name, inode] : entries) {
        reachable.insert(inode);
      }
    }
  }
  std::vector<int> result;
  for (int inode : reachable) {
    const Inode& node = inodes_.at(inode);
    if (node.data != node.durableData) {
      result.push_back(inode);
    }
  }
  return result;
}

int CrashFileSystem::PendingChanges() const {
  return static_cast<int>(pending_.size() + UnsyncedInodes().size());
}

void CrashFileSystem::Crash(std::uint64_t keep) {
  std::vector<int> unsynced = UnsyncedInodes();
  int bit = 0;
  // Changes beyond the mask's 64 bits are kept.
  auto kept = [&keep, &bit] {
    bool result = bit >= 64 || ((keep >> bit) & 1) != 0;
    ++bit;
    return result;
  };
  // NTFS replays its journal in order: a change survives only with all before it.
  bool keepRest = true;
  for (const Change& change : pending_) {
    bool keepChange = kept() && keepRest;
    keepRest = keepChange || durability_ != Durability::kNtfs;
    for (const Effect& e : change.effects) {
      if (keepChange && !e.durable) {
        Apply(durable_, e);
      }
    }
  }
  for (int inode : unsynced) {
    Inode& node = inodes_[inode];
    if (kept()) {
      node.durableData = node.data;
    } else {
      node.data = node.durableData;
    }
  }
  for (auto& [id, node] : inodes_) {
    node.locked = false;
  }
  pending_.clear();
  current_ = durable_;
  ++generation_;
  stopped_ = false;
  limit_ = -1;
}

OpenStatus CrashFileSystem::OpenLocked(const std::string& path, std::unique_ptr<ReadableFile>* file,
                                       std::string* reason) {
  if (!Alive(reason)) {
    return OpenStatus::kFailed;
  }
  int id = Lookup(path);
  if (id == 0) {
    SetReason(reason, "nincs ilyen fájl vagy könyvtár");
    return OpenStatus::kGone;
  }
  Inode& node = inodes_[id];
  if (node.locked) {
    return OpenStatus::kLocked;
  }
  node.locked = true;
  FileIdentity identity{node.device, static_cast<std::uint64_t>(id),
                        static_cast<std::int64_t>(node.data.size()), node.mtimeNs};
  *file = std::make_unique<CrashReadable>(*this, id, identity);
  return OpenStatus::kOk;
}

std::unique_ptr<Lock> CrashFileSystem::TryLockDirectory(const std::string&, bool* busy) {
  // Runs here follow each other; no other run holds the input directory.
  *busy = false;
  return std::make_unique<CrashLock>(*this, 0);
}

bool CrashFileSystem::ReadFile(const std::string& path, std::string* out, std::string* reason) {
  if (!Alive(reason)) {
    return false;
  }
  int id = Lookup(path);
  if (id == 0) {
    SetReason(reason, "nincs ilyen fájl vagy könyvtár");
    return false;
  }
  *out = inodes_[id].data;
  return true;
}

std::unique_ptr<WritableFile> CrashFileSystem::CreateExclusive(const std::string& path,
                                                               std::string* reason) {
  std::string dir;
  std::string name;
  Split(path, &dir, &name);
  if (!Alive(reason)) {
    return nullptr;
  }
  if (current_.count(dir) == 0) {
    SetReason(reason, "nincs ilyen fájl vagy könyvtár");
    return nullptr;
  }
  if (Lookup(path) != 0) {
    SetReason(reason, "a fájl már létezik");
    return nullptr;
  }
  if (!Step(reason)) {
    return nullptr;
  }
  int id = nextInode_++;
  inodes_[id] = Inode{"", "", Tick(), DeviceOf(path), false};
  Record(Change{{Effect{dir, name, id, true, false}}});
  return std::make_unique<CrashWritable>(*this, id);
}

std::unique_ptr<WritableFile> CrashFileSystem::ExtendFile(const std::string& path,
                                                          std::string* reason) {
  int id = Alive(reason) ? Lookup(path) : 0;
  if (id == 0) {
    return CreateExclusive(path, reason);
  }
  return std::make_unique<CrashWritable>(*this, id);
}

namespace {

// The daily log's lines, kept in the side buffer.
class SideBufferAppendFile : public AppendFile {
 public:
  explicit SideBufferAppendFile(std::string& buffer) : buffer_(buffer) {}
  bool Append(std::string_view bytes, std::string* /*reason*/) override {
    buffer_.append(bytes);
    return true;
  }
  bool StillNamed(const std::string&) override { return true; }

 private:
  std::string& buffer_;
};

}  // namespace

std::unique_ptr<AppendFile> CrashFileSystem::OpenAppend(const std::string&, std::string*) {
  return std::make_unique<SideBufferAppendFile>(log_);
}

bool CrashFileSystem::MakeDir(const std::string& path, std::string* reason) {
  if (IsDirectory(path) || !Step(reason)) {
    return false;
  }
  AddDirectory(path);
  return true;
}

bool CrashFileSystem::IsDirectory(const std::string& path) {
  return Alive(nullptr) && current_.count(AsDir(path)) != 0;
}

bool CrashFileSystem::Exists(const std::string& path) {
  return Alive(nullptr) && (Lookup(path) != 0 || current_.count(AsDir(path)) != 0);
}

bool CrashFileSystem::Stat(const std::string& path, FileIdentity* out) {
  if (!Alive(nullptr)) {
    return false;
  }
  int id = Lookup(path);
  if (id != 0) {
    const Inode& node = inodes_[id];
    *out = FileIdentity{node.device, static_cast<std::uint64_t>(id),
                        static_cast<std::int64_t>(node.data.size()), node.mtimeNs};
    return true;
  }
  std::string dir = path == "." ? exeDir_ : AsDir(path);
  if (current_.count(dir) != 0) {
    // A directory's number, apart from those of files, so that two directories differ.
    *out = FileIdentity{DeviceOf(dir), std::hash<std::string>{}(dir) | (1ULL << 63), 0, 0};
    return true;
  }
  return false;
}

bool CrashFileSystem::Remove(const std::string& path, std::string* reason) {
  std::string dir;
  std::string name;
  Split(path, &dir, &name);
  int id = Alive(reason) ? Lookup(path) : 0;
  if (id == 0) {
    if (!stopped_) {
      SetReason(reason, "nincs ilyen fájl vagy könyvtár");
    }
    return false;
  }
  if (!Step(reason)) {
    return false;
  }
  Record(Change{{Effect{dir, name, id, false, false}}});
  return true;
}

bool CrashFileSystem::RenameNoReplace(const std::string& from, const std::string& to,
                                      std::string* reason) {
  if (!Alive(reason)) {
    return false;
  }
  std::string fromDir;
  std::string fromName;
  std::string toDir;
  std::string toName;
  Split(from, &fromDir, &fromName);
  Split(to, &toDir, &toName);
  int id = Lookup(from);
  if (id == 0 || current_.count(toDir) == 0) {
    SetReason(reason, "nincs ilyen fájl vagy könyvtár");
    return false;
  }
  if (Lookup(to) != 0) {
    SetReason(reason, "a fájl már létezik");
    return false;
  }
  if (DeviceOf(from) != DeviceOf(to)) {
    SetReason(reason, "másik fájlrendszeren van");
    return false;
  }
  if (!Step(reason)) {
    return false;
  }
  Record(Change{
      {Effect{fromDir, fromName, id, false, false}, Effect{toDir, toName, id, true, false}}});
  if (durability_ == Durability::kNtfs) {
    CommitPending(pending_.size());  // write-through: the journal committed up to the rename
  }
  return true;
}

bool CrashFileSystem::MoveNoReplace(const std::string& from, const std::string& to,
                                    const std::string&, std::string* reason) {
  return RenameNoReplace(from, to, reason);
}

bool CrashFileSystem::SyncDirectory(const std::string& dir, std::string* reason) {
  std::string key = AsDir(dir);
  if (!Alive(reason)) {
    return false;
  }
  if (current_.count(key) == 0) {
    SetReason(reason, "nincs ilyen fájl vagy könyvtár");
    return false;
  }
  if (!Step(reason)) {
    return false;
  }
  if (durability_ == Durability::kNtfs) {
    return true;  // nothing to sync: directories are made durable through the journal
  }
  for (Change& change : pending_) {
    for (Effect& e : change.effects) {
      if (e.dir == key && !e.durable) {
        e.durable = true;
        Apply(durable_, e);
      }
    }
  }
  std::erase_if(pending_, [](const Change& c) {
    return std::all_of(c.effects.begin(), c.effects.end(),
                       [](const Effect& e) { return e.durable; });
  });
  return true;
}

std::unique_ptr<Lock> CrashFileSystem::CreateRunLock(const std::string& path,
                                                     std::string_view content,
                                                     std::string* reason) {
  // Two steps, as on a real system: the file is created and locked, then written and synced.
  std::unique_ptr<WritableFile> file = CreateExclusive(path, reason);
  if (file == nullptr) {
    return nullptr;
  }
  int id = Lookup(path);
  inodes_[id].locked = true;
  auto lock = std::make_unique<CrashLock>(*this, id);
  if (!Step(reason)) {
    return nullptr;
  }
  Inode& node = inodes_[id];
  node.data = node.durableData = std::string(content);
  node.mtimeNs = Tick();
  return lock;
}

std::string CrashFileSystem::RunId() {
  return "r" + std::to_string(++runs_);
}

std::vector<std::string> CrashFileSystem::ListFiles(const std::string& dir, std::string_view ext) {
  std::vector<std::string> names;
  std::string wanted = "." + LowerCase(std::string(ext));
  for (const std::string& name : ListNames(dir)) {
    if (name.size() > wanted.size() &&
        LowerCase(name.substr(name.size() - wanted.size())) == wanted) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string la = LowerCase(a);
    std::string lb = LowerCase(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

std::vector<std::string> CrashFileSystem::ListNames(const std::string& dir) {
  std::vector<std::string> names;
  auto d = current_.find(AsDir(dir));
  if (Alive(nullptr) && d != current_.end()) {
    for (const auto& [name, inode] : d->second) {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace varnex
