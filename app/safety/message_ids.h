// The message ids (GrpHdr/MsgId) of the pain.001 documents written, so that no later document
// carries one again: a bank that keeps MsgIds unique per sender rejects such an upload.
//
// The record is the file ".varnex.msgids" beside the backups, one line per document:
//   <hash of the rest of the line, 16 hex digits> <MsgId>\t<output path>
// with both texts escaped (util/line_escape.h). Lines are only ever appended, by the
// roll-forward of a commit (file_commit.h), after the commit point and before the journal is
// removed: an id is recorded only for a committed document, and a crash before the append is
// flushed leaves the journal, whose next roll-forward appends it again. A line that does not
// match its hash (cut short by a crash) is skipped; every append starts on a fresh line, and
// an id recorded twice is harmless. The MsgId is kept as the document carries it (XML text
// in UTF-8).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace varnex {

// The name of the record in the backup directory.
inline constexpr std::string_view kMessageIdRecordName = ".varnex.msgids";

struct WrittenMessageId {
  std::string id;      // as the document carries it
  std::string output;  // the document's full path
  bool operator==(const WrittenMessageId&) const = default;
};

// Appends `ids` to the record in `dir` (ending in a separator, or empty) and flushes it. A
// record created here needs `dir` flushed too. False with a reason on failure.
bool AppendMessageIds(FileSystem& fs, const std::string& dir,
                      const std::vector<WrittenMessageId>& ids, std::string* reason);

// Every id of the record in `dir`, in the order written, each once (its first line). A missing
// record is empty; false with a reason when it cannot be read.
bool ReadMessageIds(FileSystem& fs, const std::string& dir, std::vector<WrittenMessageId>* out,
                    std::string* reason);

// The record of one run: read once, then told of the ids this run commits.
class MessageIdRecord {
 public:
  MessageIdRecord(FileSystem& fs, std::string dir) : fs_(fs), dir_(std::move(dir)) {}

  // The output that first carried `id`; nullopt when none did. False with a reason when the
  // record cannot be read.
  bool Find(const std::string& id, std::optional<std::string>* output, std::string* reason);
  // Notes an id that a commit of this run wrote to the record.
  void Add(const WrittenMessageId& written);
  // The record's path.
  std::string Path() const {
    std::string path = dir_;
    return path.append(kMessageIdRecordName);
  }

 private:
  FileSystem& fs_;
  std::string dir_;
  bool loaded_ = false;
  std::unordered_map<std::string, std::string> outputs_;
};

}  // namespace varnex
