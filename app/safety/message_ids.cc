#include "app/safety/message_ids.h"

#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <set>

#include "app/safety/backup_index.h"
#include "util/line_escape.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

constexpr std::string_view kHeader = "varnex message ids 1\n";

std::string EncodeLine(const WrittenMessageId& written) {
  std::string rest;
  AppendLineEscaped(&rest, written.id);
  rest.push_back('\t');
  AppendLineEscaped(&rest, written.output);
  return StringPrintf("%016" PRIx64 " ", FingerprintOf(rest).hash) + rest + "\n";
}

// False for a line that is not one EncodeLine wrote (the header, or a line cut short).
bool DecodeLine(std::string_view line, WrittenMessageId* out) {
  constexpr std::size_t kHashDigits = 16;
  std::uint64_t hash = 0;
  if (line.size() <= kHashDigits + 1 || line[kHashDigits] != ' ' ||
      std::from_chars(line.data(), line.data() + kHashDigits, hash, 16).ptr !=
          line.data() + kHashDigits) {
    return false;
  }
  std::string_view rest = line.substr(kHashDigits + 1);
  if (FingerprintOf(rest).hash != hash) {
    return false;
  }
  std::size_t tab = rest.find('\t');
  return tab != std::string_view::npos && UnescapeLine(rest.substr(0, tab), &out->id) &&
         UnescapeLine(rest.substr(tab + 1), &out->output) && !out->id.empty();
}

// Calls `take` with every id of the record in `dir` in the order written, duplicates
// included. A missing record has none; false with a reason when it cannot be read.
template <typename Take>
bool ForEachId(FileSystem& fs, const std::string& dir, std::string* reason, Take take) {
  std::string path = dir;
  path.append(kMessageIdRecordName);
  std::string text;
  if (!fs.Exists(path)) {
    return true;
  }
  if (!fs.ReadFile(path, &text, reason)) {
    return false;
  }
  std::string_view rest = text;
  WrittenMessageId written;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (DecodeLine(line, &written)) {
      take(written);
    }
  }
  return true;
}

}  // namespace

bool AppendMessageIds(FileSystem& fs, const std::string& dir,
                      const std::vector<WrittenMessageId>& ids, std::string* reason) {
  std::string path = dir;
  path.append(kMessageIdRecordName);
  FileIdentity id;
  bool fresh = !fs.Stat(path, &id) || id.size == 0;
  // A line left unfinished by a crash is ended here, so that it cannot swallow the next one.
  std::string text = fresh ? std::string(kHeader) : "\n";
  for (const WrittenMessageId& written : ids) {
    text += EncodeLine(written);
  }
  std::unique_ptr<WritableFile> file = fs.ExtendFile(path, reason);
  return file != nullptr && file->Append(text, reason) && file->Sync(reason) && file->Close(reason);
}

bool ReadMessageIds(FileSystem& fs, const std::string& dir, std::vector<WrittenMessageId>* out,
                    std::string* reason) {
  out->clear();
  std::set<std::string> seen;
  return ForEachId(fs, dir, reason, [&](const WrittenMessageId& written) {
    if (seen.insert(written.id).second) {
      out->push_back(written);
    }
  });
}

bool MessageIdRecord::Find(const std::string& id, std::optional<std::string>* output,
                           std::string* reason) {
  if (!loaded_) {
    if (!ForEachId(fs_, dir_, reason, [this](const WrittenMessageId& written) {
          outputs_.emplace(written.id, written.output);
        })) {
      return false;
    }
    loaded_ = true;
  }
  auto it = outputs_.find(id);
  *output = it == outputs_.end() ? std::nullopt : std::optional<std::string>(it->second);
  return true;
}

void MessageIdRecord::Add(const WrittenMessageId& written) {
  outputs_.emplace(written.id, written.output);
}

}  // namespace varnex
