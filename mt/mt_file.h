// One loaded HUA or INT file: its header section and its messages.
//
// Load cuts the file's text by the rules of the format: the header is the text before the
// first ":07:"; messages run from one start marker ("{1:" in HUA files, ":20:" in INT files)
// to the next, text before the first marker is skipped. A field starts after CR LF ":" and a
// value splits into lines at LF. The whole file is read at once, so messages of any length
// are cut the same way, and the cost grows linearly with the file size.
//
// The text is normalised once before it is cut: a run of NUL or SUB (0x1A) bytes that pads the
// end of the file is dropped, a file without any CR LF has its LFs turned into CR LF, and an
// INT file is converted from CP437 to CP852 (a per-character mapping that never produces the
// ASCII characters the cutting looks for). Any other NUL stays in the text, where the input
// grammar finds it: a NUL read as a blank would change a reference without a word.
// Fields and lines are views into that text, which the MtFile owns and never moves.
//
// Only the message texts are kept per message; a message is cut into fields when it is read
// (message(), ReadMessage()), so the memory of a loaded file is its text and a few bytes per
// message, whatever the number of messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mt/mt_message.h"

namespace varnex {

class CodePages;

enum class MtKind { kHua, kInt, kOther };

// The kind of a file by the last three characters of its path, without regard to case.
MtKind KindOfPath(std::string_view path);

class MtFile {
 public:
  MtFile() = default;
  MtFile(const MtFile&) = delete;
  MtFile& operator=(const MtFile&) = delete;

  // Parses `bytes`, the content of `path`.
  void Parse(std::string path, std::string bytes, const CodePages& codePages);

  // What the bytes tell of their code page beyond the one the kind of file prescribes (CP852
  // for HUA, CP437 for INT).
  struct EncodingClue {
    enum class Kind {
      kNone,
      kUtf8,              // valid UTF-8 with multi-byte sequences (a byte-order mark included)
      kForeignCharacter,  // a character no order text holds: box drawing, a lone diacritic...
    };
    Kind kind = Kind::kNone;
    std::size_t offset = 0;  // of the first such byte in text()
  };
  const EncodingClue& encodingClue() const { return encodingClue_; }

  const std::string& fileName() const { return fileName_; }
  std::string_view headerText() const { return headerText_; }
  // True when the file has a ":07:", which ends its header section.
  bool hasHeaderEnd() const { return hasHeaderEnd_; }
  const MtMessage& header() const { return header_; }
  int MessageCount() const { return static_cast<int>(messageTexts_.size()); }
  std::string_view messageText(int i) const { return messageTexts_[static_cast<std::size_t>(i)]; }
  // Message `i` cut into fields. The model is kept by the file and reused: the reference is
  // valid until message() is called for another message or the file is parsed again.
  const MtMessage& message(int i) const;
  // Cuts message `i` into `out`, replacing what it held; its views stay valid while the file
  // text does.
  void ReadMessage(int i, MtMessage* out) const;
  // For each message, the line of the input file, counted from 1, that holds its start
  // marker. A line ends at LF, so the count is the same for CR LF, LF-only and mixed files.
  // Counted at each call: only reports need them.
  std::vector<int> MessageLines() const;
  // The whole text as cut (normalised); every header, message, field and line view points
  // into it.
  std::string_view text() const { return text_; }
  // The line of the input file, counted from 1, that holds `at`, a view into text().
  int LineOf(const char* at) const;

 private:
  std::string fileName_;
  MtKind kind_ = MtKind::kOther;
  std::string text_;
  std::string_view headerText_;
  bool hasHeaderEnd_ = false;
  EncodingClue encodingClue_;
  MtMessage header_;
  std::vector<std::string_view> messageTexts_;
  // The model message() hands out and the index it holds (-1: none).
  mutable MtMessage current_;
  mutable int currentIndex_ = -1;
};

// Cuts a header or message text into fields, and values into lines.
class MtFieldTokenizer {
 public:
  explicit MtFieldTokenizer(std::string_view text) : text_(text) {}

  // The next field's tag and raw value; false when no further field exists.
  bool NextField(std::string_view* tag, std::string_view* value);
  // Takes one line off `rest`, right-trimmed of blanks, tabs, CR and LF; false when `rest`
  // held nothing.
  static bool NextLine(std::string_view* rest, std::string_view* line);
  // Cuts the whole text into `out`, replacing what it held: each field's tag and its value's
  // lines, as NextField and NextLine give them, in one scan of the text.
  static void CutInto(std::string_view text, MtMessage* out);

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace varnex
