#include "app/safety/backup_index.h"

#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstring>

#include "app/safety/file_commit.h"
#include "app/safety/message_ids.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

// The index file: a header line, one line per backup file, and an end line with the number
// of entries and the hash of everything before it, so that a cut or damaged file is noticed:
//   varnex backup index 2
//   <size> <mtimeNs> <hash in hex, or - when not hashed> <name length> <name>
//   end <entries> <hash in hex>
// The name is given by its length, so it may hold any byte.
// Version 2 hashes in four lanes; an index of version 1 reads as damaged and is rebuilt.
constexpr std::string_view kHeader = "varnex backup index 2\n";
constexpr std::string_view kEndTag = "end ";

// Eight bytes, the first the lowest, whatever the machine's byte order.
std::uint64_t Word(const char* p) {
  std::uint64_t w = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&w, p, sizeof w);
  } else {
    for (int i = 0; i < 8; ++i) {
      w |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    }
  }
  return w;
}

// A fast, non-cryptographic 64-bit hash taking eight bytes at a time. Equal hashes are
// always confirmed by comparing the bytes.
std::uint64_t Hash(std::string_view bytes) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  auto mix = [](std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * kMultiplier;
    return h ^ (h >> 29);
  };
  // Four independent lanes over each 32 bytes, so that their multiplications overlap.
  std::uint64_t lanes[4] = {0x6A09E667F3BCC909u ^ bytes.size(), 0xBB67AE8584CAA73Bu,
                            0x3C6EF372FE94F82Bu, 0xA54FF53A5F1D36F1u};
  const char* data = bytes.data();
  std::size_t i = 0;
  for (; i + 32 <= bytes.size(); i += 32) {
    lanes[0] = mix(lanes[0], Word(data + i));
    lanes[1] = mix(lanes[1], Word(data + i + 8));
    lanes[2] = mix(lanes[2], Word(data + i + 16));
    lanes[3] = mix(lanes[3], Word(data + i + 24));
  }
  std::uint64_t h = mix(mix(mix(lanes[0], lanes[1]), lanes[2]), lanes[3]);
  for (; i + 8 <= bytes.size(); i += 8) {
    h = mix(h, Word(data + i));
  }
  if (i < bytes.size()) {
    char tail[8] = {};
    bytes.substr(i).copy(tail, sizeof tail);
    h = mix(h, Word(tail));
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53u;
  h ^= h >> 33;
  return h;
}

// Reads the fields of the index text one after the other.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : rest_(text) {}

  // A number in `base` followed by `end`.
  template <typename T>
  bool Number(T* out, char end, int base = 10) {
    auto [ptr, ec] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), *out, base);
    std::size_t used = static_cast<std::size_t>(ptr - rest_.data());
    if (ec != std::errc() || used >= rest_.size() || rest_[used] != end) {
      return false;
    }
    rest_.remove_prefix(used + 1);
    return true;
  }
  bool Literal(std::string_view text) {
    if (rest_.substr(0, text.size()) != text) {
      return false;
    }
    rest_.remove_prefix(text.size());
    return true;
  }
  // `n` bytes followed by a line end.
  bool Bytes(std::size_t n, std::string* out) {
    if (rest_.size() <= n || rest_[n] != '\n') {
      return false;
    }
    out->assign(rest_.substr(0, n));
    rest_.remove_prefix(n + 1);
    return true;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

}  // namespace

bool IsBackupDirectoryRecord(std::string_view name) {
  return name == kBackupIndexName || name == kMessageIdRecordName;
}

Fingerprint FingerprintOf(std::string_view bytes) {
  return Fingerprint{static_cast<std::int64_t>(bytes.size()), Hash(bytes)};
}

BackupIndex::BackupIndex(FileSystem& fs, TempNames& tempNames, std::string backupDir)
    : fs_(fs), tempNames_(tempNames), dir_(std::move(backupDir)) {}

std::optional<std::string> BackupIndex::FindCopy(std::string_view bytes) {
  return FindCopy(bytes, FingerprintOf(bytes));
}

std::optional<std::string> BackupIndex::FindCopy(std::string_view bytes, const Fingerprint& print,
                                                 const FileIdentity* self, std::string* itself,
                                                 std::string* unreadable) {
  Load();
  // The directory is listed once a run; later lookups hash only what they need of it. A
  // match is always confirmed against the file as it is now.
  if (!listed_) {
    Refresh(print.size);
    listed_ = true;
  } else {
    HashSize(print.size);
  }
  std::string unconfirmed;
  for (const auto& [name, entry] : entries_) {
    if (entry.size != print.size || (entry.hashed && entry.hash != print.hash)) {
      continue;
    }
    FileIdentity id;
    if (self != nullptr && fs_.StatRegular(dir_ + name, &id) && id.device == self->device &&
        id.inode == self->inode) {
      if (itself != nullptr) {
        *itself = dir_ + name;
      }
      continue;
    }
    // The file may have changed since it was hashed, or the hashes merely collide. One that
    // could not be hashed, or cannot be read now, cannot be told from a copy.
    std::string content;
    if (fs_.ReadFile(dir_ + name, &content, nullptr)) {
      if (content == bytes) {
        return dir_ + name;
      }
    } else if (unconfirmed.empty()) {
      unconfirmed = dir_ + name;
    }
  }
  if (unreadable != nullptr) {
    *unreadable = unconfirmed;
  }
  return std::nullopt;
}

void BackupIndex::Add(const std::string& backupPath, const Fingerprint& print) {
  Load();
  FileIdentity id;
  if (!fs_.StatRegular(backupPath, &id) || id.size != print.size) {
    return;
  }
  std::size_t slash = backupPath.rfind(kDirSeparator);
  std::string name = slash == std::string::npos ? backupPath : backupPath.substr(slash + 1);
  entries_[name] = Entry{id.size, id.mtimeNs, true, print.hash};
  dirty_ = true;
}

void BackupIndex::Save() {
  if (!dirty_) {
    return;
  }
  dirty_ = false;
  std::string temp = tempNames_.Next(dir_, nullptr);
  if (!temp.empty()) {
    fs_.ReplaceFile(dir_ + std::string(kBackupIndexName), Serialize(),
                    temp.substr(temp.rfind(kDirSeparator) + 1), nullptr);
  }
}

void BackupIndex::Load() {
  if (loaded_) {
    return;
  }
  loaded_ = true;
  std::string path = dir_ + std::string(kBackupIndexName);
  FileIdentity id;
  std::string text;
  if (!fs_.StatRegular(path, &id) || !fs_.ReadFile(path, &text, nullptr) || !Parse(text)) {
    entries_.clear();
    dirty_ = true;
  }
}

void BackupIndex::Refresh(std::int64_t size) {
  ++generation_;
  for (std::string& name : fs_.ListNames(dir_)) {
    RunFileName ours;
    if (IsBackupDirectoryRecord(name) || ParseRunFileName(name, &ours)) {
      continue;
    }
    std::string path = dir_ + name;
    FileIdentity id;
    if (!fs_.StatRegular(path, &id)) {
      continue;
    }
    auto [it, added] = entries_.try_emplace(std::move(name));
    Entry& entry = it->second;
    if (added || entry.size != id.size || entry.mtimeNs != id.mtimeNs) {
      entry = Entry{id.size, id.mtimeNs};
      dirty_ = true;
    }
    entry.seen = generation_;
    if (!entry.hashed && entry.size == size) {
      std::string content;
      if (fs_.ReadFile(path, &content, nullptr) &&
          static_cast<std::int64_t>(content.size()) == size) {
        entry.hash = Hash(content);
        entry.hashed = true;
        dirty_ = true;
      }
    }
  }
  if (std::erase_if(entries_, [&](const auto& e) { return e.second.seen != generation_; }) > 0) {
    dirty_ = true;
  }
}

void BackupIndex::HashSize(std::int64_t size) {
  for (auto& [name, entry] : entries_) {
    if (entry.hashed || entry.size != size) {
      continue;
    }
    std::string content;
    if (fs_.ReadFile(dir_ + name, &content, nullptr) &&
        static_cast<std::int64_t>(content.size()) == size) {
      entry.hash = Hash(content);
      entry.hashed = true;
      dirty_ = true;
    }
  }
}

std::string BackupIndex::Serialize() const {
  std::string text(kHeader);
  for (const auto& [name, entry] : entries_) {
    StringAppendF(&text, "%" PRId64 " %" PRId64 " ", entry.size, entry.mtimeNs);
    if (entry.hashed) {
      StringAppendF(&text, "%016" PRIx64 " ", entry.hash);
    } else {
      text.append("- ");
    }
    StringAppendF(&text, "%zu ", name.size());
    text.append(name);
    text.push_back('\n');
  }
  StringAppendF(&text, "%.*s%zu %016" PRIx64 "\n", static_cast<int>(kEndTag.size()), kEndTag.data(),
                entries_.size(), Hash(text));
  return text;
}

bool BackupIndex::Parse(std::string_view text) {
  entries_.clear();
  FieldReader reader(text);
  if (!reader.Literal(kHeader)) {
    return false;
  }
  while (!reader.rest().starts_with(kEndTag)) {
    Entry entry;
    std::size_t length = 0;
    std::string name;
    if (!reader.Number(&entry.size, ' ') || !reader.Number(&entry.mtimeNs, ' ')) {
      return false;
    }
    if (reader.Literal("- ")) {
      entry.hashed = false;
    } else if (reader.Number(&entry.hash, ' ', 16)) {
      entry.hashed = true;
    } else {
      return false;
    }
    if (!reader.Number(&length, ' ') || !reader.Bytes(length, &name) ||
        !entries_.emplace(std::move(name), entry).second) {
      return false;
    }
  }
  std::size_t bodySize = text.size() - reader.rest().size();
  std::size_t count = 0;
  std::uint64_t check = 0;
  if (!reader.Literal(kEndTag) || !reader.Number(&count, ' ') || !reader.Number(&check, '\n', 16) ||
      !reader.rest().empty() || count != entries_.size() ||
      check != Hash(text.substr(0, bodySize))) {
    entries_.clear();
    return false;
  }
  return true;
}

}  // namespace varnex
