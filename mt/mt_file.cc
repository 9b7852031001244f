#include "mt/mt_file.h"

#include <algorithm>
#include <cstring>

#include "app/run_log.h"
#include "platform/code_page.h"

namespace varnex {
namespace {

bool EndsWithNoCase(std::string_view path, std::string_view ext) {
  if (path.size() < ext.size()) {
    return false;
  }
  std::string_view tail = path.substr(path.size() - ext.size());
  for (std::size_t i = 0; i < ext.size(); ++i) {
    char c = tail[i];
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    if (c != ext[i]) {
      return false;
    }
  }
  return true;
}

std::string_view RightTrim(std::string_view s) {
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

// NUL bytes read as blanks; a file with no CR LF at all gets CR LF for every LF.
void Normalise(std::string* text) {
  std::replace(text->begin(), text->end(), '\0', ' ');
  if (text->find("\r\n") != std::string::npos || text->find('\n') == std::string::npos) {
    return;
  }
  std::string out;
  out.reserve(text->size() +
              static_cast<std::size_t>(std::count(text->begin(), text->end(), '\n')));
  for (char c : *text) {
    if (c == '\n') {
      out.push_back('\r');
    }
    out.push_back(c);
  }
  text->swap(out);
}

// Fields of one text, gathered before they are stored so that a message gets its storage
// in one exact allocation per kind.
struct Scratch {
  struct Field {
    std::string_view tag;
    std::size_t first;
    std::size_t count;
  };
  std::vector<Field> fields;
  std::vector<std::string_view> lines;
};

void Tokenize(std::string_view text, Scratch* scratch) {
  MtFieldTokenizer tokenizer(text);
  std::string_view tag;
  std::string_view value;
  while (tokenizer.NextField(&tag, &value)) {
    std::size_t first = scratch->lines.size();
    std::string_view line;
    while (MtFieldTokenizer::NextLine(&value, &line)) {
      scratch->lines.push_back(line);
    }
    scratch->fields.push_back({tag, first, scratch->lines.size() - first});
  }
}

void StoreAll(const Scratch& scratch, MtMessage* message) {
  message->Reserve(scratch.fields.size(), scratch.lines.size());
  for (const Scratch::Field& field : scratch.fields) {
    message->StoreUnowned(field.tag, std::span<const std::string_view>(
                                         scratch.lines.data() + field.first, field.count));
  }
}

}  // namespace

MtKind KindOfPath(std::string_view path) {
  if (EndsWithNoCase(path, "INT")) {
    return MtKind::kInt;
  }
  if (EndsWithNoCase(path, "HUA")) {
    return MtKind::kHua;
  }
  return MtKind::kOther;
}

bool MtFieldTokenizer::NextField(std::string_view* tag, std::string_view* value) {
  *tag = {};
  *value = {};
  if (position_ >= text_.size()) {
    return false;
  }
  std::string_view t = text_.substr(position_);
  std::size_t b = t.find(':');
  if (b == std::string_view::npos) {
    return false;
  }
  ++b;
  std::size_t c = t.find(':', b);
  if (c == std::string_view::npos) {
    return false;
  }
  *tag = t.substr(b, c - b);
  ++c;
  std::size_t r = t.find("\r\n:", c);
  if (r != std::string_view::npos) {
    *value = t.substr(c, r - c);
    position_ += r;
  } else {
    *value = t.substr(c);
    position_ = text_.size();
  }
  return true;
}

bool MtFieldTokenizer::NextLine(std::string_view* rest, std::string_view* line) {
  std::size_t i = rest->find('\n');
  if (i == std::string_view::npos) {
    *line = RightTrim(*rest);
    bool any = !rest->empty();
    *rest = {};
    return any;
  }
  if (i == 0) {
    *line = RightTrim(*rest);
    *rest = {};
    return true;
  }
  *line = RightTrim(rest->substr(0, i));
  rest->remove_prefix(i + 1);
  return true;
}

void MtFile::Load(std::string path, std::string bytes, const CodePages& codePages, RunLog& log) {
  Parse(std::move(path), std::move(bytes), codePages);
  log.Printf("Input fájl neve: %s\n", fileName_.c_str());
  log.Printf("Üzenetek száma: %ld\n", static_cast<long>(messages_.size()));
}

void MtFile::Parse(std::string path, std::string bytes, const CodePages& codePages) {
  fileName_ = std::move(path);
  text_ = std::move(bytes);
  headerText_ = {};
  hasHeaderEnd_ = false;
  header_.Clear();
  messageTexts_.clear();
  messages_.clear();
  messageLines_.clear();

  MtKind kind = KindOfPath(fileName_);
  if (kind == MtKind::kOther) {
    return;
  }
  Normalise(&text_);
  if (kind == MtKind::kInt && !IsAscii(text_)) {
    for (char& c : text_) {
      c = static_cast<char>(
          codePages.MapByte(static_cast<unsigned char>(c), CodePage::k437, CodePage::k852));
    }
  }
  std::string_view text = text_;

  Scratch scratch;
  std::size_t headerEnd = text.find(":07:");
  if (headerEnd != std::string_view::npos) {
    hasHeaderEnd_ = true;
    headerText_ = text.substr(0, headerEnd);
    Tokenize(headerText_, &scratch);
    StoreAll(scratch, &header_);
  }

  std::string_view marker = kind == MtKind::kHua ? "{1:" : ":20:";
  std::size_t start = text.find(marker);
  // Normalising keeps every LF, so the LFs before a marker count the lines before it in the
  // file as read; they are counted once, from one marker to the next.
  std::size_t counted = 0;
  int line = 1;
  while (start != std::string_view::npos) {
    line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                        text.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
    counted = start;
    messageLines_.push_back(line);
    std::size_t next = text.find(marker, start + 1);
    std::string_view piece =
        text.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start);
    messageTexts_.push_back(piece);
    scratch.fields.clear();
    scratch.lines.clear();
    std::string_view opga;
    bool hasOpga = false;
    if (kind == MtKind::kHua) {
      std::size_t ref = piece.find(":20:");
      if (ref != std::string_view::npos && ref > 0) {
        std::string_view before = piece.substr(0, ref);
        opga = before.size() > 6 ? before.substr(6, 8) : std::string_view();
        hasOpga = true;
      }
    }
    if (hasOpga) {
      scratch.lines.push_back(opga);
      scratch.fields.push_back({"OPGA", 0, 1});
    }
    Tokenize(piece, &scratch);
    messages_.emplace_back();
    StoreAll(scratch, &messages_.back());
    start = next;
  }
}

}  // namespace varnex
