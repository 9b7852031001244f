#include "app/safety/refusal_memory.h"

#include <charconv>
#include <cinttypes>
#include <vector>

#include "app/safety/file_commit.h"
#include "util/line_escape.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

// The file: a header line, then one line per refused path, fields separated by tabs:
//   <device> <inode> <size> <mtimeNs> <when> <path> <reason>
// The texts are escaped (util/line_escape.h), so no file name or reason can add a line or a
// field.
constexpr std::string_view kHeader = "varnex elutasitott fajlok 1";
constexpr std::size_t kFields = 7;

template <typename T>
bool ParseNumber(std::string_view text, T* out) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) {
      return fields;
    }
    line.remove_prefix(tab + 1);
  }
}

}  // namespace

RefusalMemory::RefusalMemory(FileSystem& fs, TempNames& tempNames, std::string logDir)
    : fs_(fs), tempNames_(tempNames), path_(logDir + std::string(kRefusalMemoryName)) {}

std::optional<Refusal> RefusalMemory::Find(const std::string& path, const FileIdentity& now) {
  Load();
  auto it = entries_.find(path);
  if (it == entries_.end() || !(it->second.id == now)) {
    return std::nullopt;
  }
  return it->second.refusal;
}

void RefusalMemory::Record(const std::string& path, const FileIdentity& id, std::string_view when,
                           std::string_view reason) {
  Load();
  entries_[path] = Entry{id, Refusal{std::string(when), std::string(reason)}};
  dirty_ = true;
}

void RefusalMemory::Forget(const std::string& path) {
  Load();
  if (entries_.erase(path) > 0) {
    dirty_ = true;
  }
}

void RefusalMemory::Save() {
  if (!loaded_) {
    return;  // nothing was asked or told
  }
  for (auto it = entries_.begin(); it != entries_.end();) {
    FileIdentity id;
    if (fs_.Stat(it->first, &id) && id == it->second.id) {
      ++it;
    } else {
      it = entries_.erase(it);
      dirty_ = true;
    }
  }
  if (dirty_) {
    dirty_ = false;
    std::string temp = tempNames_.Next(path_.substr(0, path_.rfind(kDirSeparator) + 1), nullptr);
    if (!temp.empty()) {
      fs_.ReplaceFile(path_, Serialize(), temp.substr(temp.rfind(kDirSeparator) + 1), nullptr);
    }
  }
}

void RefusalMemory::ForgetGone() {
  Load();
  Save();
}

void RefusalMemory::Load() {
  if (loaded_) {
    return;
  }
  loaded_ = true;
  FileIdentity id;
  std::string text;
  if (fs_.StatRegular(path_, &id) && fs_.ReadFile(path_, &text, nullptr)) {
    Parse(text);
  }
}

void RefusalMemory::Parse(std::string_view text) {
  std::size_t end = text.find('\n');
  if (end == std::string_view::npos || text.substr(0, end) != kHeader) {
    dirty_ = true;  // replaced by a good file on saving
    return;
  }
  text.remove_prefix(end + 1);
  // A line cut short by a lost write has no line end and is dropped; so is a damaged line.
  while ((end = text.find('\n')) != std::string_view::npos) {
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    std::vector<std::string_view> fields = SplitTabs(line);
    std::string path;
    Entry entry;
    if (fields.size() != kFields || !ParseNumber(fields[0], &entry.id.device) ||
        !ParseNumber(fields[1], &entry.id.inode) || !ParseNumber(fields[2], &entry.id.size) ||
        !ParseNumber(fields[3], &entry.id.mtimeNs) ||
        !UnescapeLine(fields[4], &entry.refusal.when) || !UnescapeLine(fields[5], &path) ||
        !UnescapeLine(fields[6], &entry.refusal.reason)) {
      dirty_ = true;
      continue;
    }
    entries_[path] = std::move(entry);
  }
  if (!text.empty()) {
    dirty_ = true;
  }
}

std::string RefusalMemory::Serialize() const {
  std::string text(kHeader);
  text.push_back('\n');
  for (const auto& [path, entry] : entries_) {
    StringAppendF(&text, "%" PRIu64 "\t%" PRIu64 "\t%" PRId64 "\t%" PRId64 "\t", entry.id.device,
                  entry.id.inode, entry.id.size, entry.id.mtimeNs);
    AppendLineEscaped(&text, entry.refusal.when);
    text.push_back('\t');
    AppendLineEscaped(&text, path);
    text.push_back('\t');
    AppendLineEscaped(&text, entry.refusal.reason);
    text.push_back('\n');
  }
  return text;
}

}  // namespace varnex
