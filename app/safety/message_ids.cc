#include "app/safety/message_ids.h"

#include <cinttypes>
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
  if (line.size() <= kHashDigits + 1 || line[kHashDigits] != ' ') {
    return false;
  }
  std::string_view rest = line.substr(kHashDigits + 1);
  if (StringPrintf("%016" PRIx64, FingerprintOf(rest).hash) != line.substr(0, kHashDigits)) {
    return false;
  }
  std::size_t tab = rest.find('\t');
  return tab != std::string_view::npos && UnescapeLine(rest.substr(0, tab), &out->id) &&
         UnescapeLine(rest.substr(tab + 1), &out->output) && !out->id.empty();
}

}  // namespace

bool AppendMessageIds(FileSystem& fs, const std::string& dir,
                      const std::vector<WrittenMessageId>& ids, std::string* reason) {
  std::string path = dir + std::string(kMessageIdRecordName);
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
  std::string path = dir + std::string(kMessageIdRecordName);
  out->clear();
  if (!fs.Exists(path)) {
    return true;
  }
  std::string text;
  if (!fs.ReadFile(path, &text, reason)) {
    return false;
  }
  std::set<std::string> seen;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    WrittenMessageId written;
    if (DecodeLine(line, &written) && seen.insert(written.id).second) {
      out->push_back(std::move(written));
    }
  }
  return true;
}

bool MessageIdRecord::Find(const std::string& id, std::optional<std::string>* output,
                           std::string* reason) {
  if (!loaded_) {
    std::vector<WrittenMessageId> ids;
    if (!ReadMessageIds(fs_, dir_, &ids, reason)) {
      return false;
    }
    loaded_ = true;
    for (WrittenMessageId& written : ids) {
      outputs_.emplace(std::move(written.id), std::move(written.output));
    }
  }
  auto it = outputs_.find(id);
  *output = it == outputs_.end() ? std::nullopt : std::optional<std::string>(it->second);
  return true;
}

void MessageIdRecord::Add(const WrittenMessageId& written) {
  outputs_.emplace(written.id, written.output);
}

}  // namespace varnex
