#include "mt/mt_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"
#include "util/byte_search.h"

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

// The number of LFs in `text`.
int CountLineFeeds(std::string_view text) {
  return static_cast<int>(CountByte(text, '\n'));
}

// Padding after the last line goes (NUL bytes of a fixed-size block, the SUB of a DOS text
// file); a file with no CR LF at all gets CR LF for every LF.
void Normalise(std::string* text) {
  std::size_t end = text->find_last_not_of(std::string_view("\0\x1a", 2));
  text->resize(end == std::string::npos ? 0 : end + 1);
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

// Replaces every byte of `text` by its entry in `map`. With `asciiStays` (the map leaves
// bytes below 0x80 as they are), words of eight such bytes are skipped whole.
void MapBytes(const std::array<char, 256>& map, bool asciiStays, std::string* text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  char* data = text->data();
  std::size_t size = text->size();
  std::size_t i = 0;
  if (asciiStays) {
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, data + i, sizeof word);
      if ((word & kHighBits) == 0) {
        continue;
      }
      for (std::size_t k = i; k < i + 8; ++k) {
        data[k] = map[static_cast<unsigned char>(data[k])];
      }
    }
  }
  for (; i < size; ++i) {
    data[i] = map[static_cast<unsigned char>(data[i])];
  }
}

// A character that no order text of a file in `page` holds, but that a text saved in another
// code page shows in it: box drawing and block elements (the accented capitals of CP1250 and
// the lead bytes of UTF-8), spacing diacritics and other signs that stand where CP1250 has
// its accented small letters, and, for CP437, the Greek letters and mathematical signs.
bool IsForeignCharacter(char32_t cp) {
  switch (cp) {
  case 0xA4:   // currency sign
  case 0xA8:   // diaeresis
  case 0xB4:   // acute accent
  case 0xB8:   // cedilla
  case 0xF7:   // division sign
  case 0x2C7:  // caron
  case 0x2D8:  // breve
  case 0x2D9:  // dot above
  case 0x2DB:  // ogonek
  case 0x2DD:  // double acute accent
    return true;
  default:
    return (cp >= 0x2500 && cp <= 0x25A0) || (cp >= 0x391 && cp <= 0x3C9) ||
           (cp >= 0x2190 && cp <= 0x23FF) || cp == 0x207F || cp == CodePages::kUndefined;
  }
}

// The first byte at or after `from` that stands for a foreign character in `page`.
std::size_t FindForeignCharacter(std::string_view text, const CodePages& codePages, CodePage page) {
  std::array<bool, 256> foreign{};
  for (std::size_t b = 0x80; b < foreign.size(); ++b) {
    foreign[b] = IsForeignCharacter(codePages.CodePoint(static_cast<unsigned char>(b), page));
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (foreign[static_cast<unsigned char>(text[i])]) {
      return i;
    }
  }
  return std::string_view::npos;
}

// What the bytes of a file in `page` tell of their code page.
MtFile::EncodingClue ClueOf(std::string_view text, const CodePages& codePages, CodePage page) {
  MtFile::EncodingClue clue;
  std::size_t high = 0;
  while (high < text.size() && static_cast<unsigned char>(text[high]) < 0x80) {
    ++high;
  }
  if (high == text.size()) {
    return clue;
  }
  if (IsValidUtf8(text)) {
    return {MtFile::EncodingClue::Kind::kUtf8, high};
  }
  std::size_t foreign = FindForeignCharacter(text.substr(high), codePages, page);
  if (foreign != std::string_view::npos) {
    return {MtFile::EncodingClue::Kind::kForeignCharacter, high + foreign};
  }
  return clue;
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

namespace {

// Where CutIn looks for colons and LFs: in the marked places of a short text, or by searching
// a long one.
struct MarkedPlaces {
  const BytePlaces& places;
  std::size_t Colon(std::size_t from) const { return places.NextA(from); }
  std::size_t LineFeed(std::size_t from) const { return places.NextB(from); }
};
struct SearchedPlaces {
  std::string_view text;
  std::size_t Colon(std::size_t from) const { return FindByte(text, ':', from); }
  std::size_t LineFeed(std::size_t from) const { return FindByte(text, '\n', from); }
};

template <typename Places>
void CutIn(std::string_view text, const Places& places, MtMessage* out) {
  const char* data = text.data();
  std::size_t size = text.size();
  std::size_t position = 0;
  while (position < size) {
    std::size_t b = places.Colon(position);
    if (b == std::string_view::npos) {
      return;
    }
    std::size_t c = places.Colon(b + 1);
    if (c == std::string_view::npos) {
      return;
    }
    std::string_view tag = text.substr(b + 1, c - b - 1);
    std::size_t first = out->lineTotal();
    // One scan over the LFs of the value finds its lines and its end, the next CR LF ":".
    // The byte before the value is the tag's ":", so a value's own first LF never ends it.
    std::size_t lineStart = c + 1;
    std::size_t end = size;
    bool restIsOneLine = false;  // a line that starts with LF takes the rest of the value
    for (std::size_t from = c + 1; from < size;) {
      std::size_t lf = places.LineFeed(from);
      if (lf == std::string_view::npos) {
        break;
      }
      if (data[lf - 1] == '\r' && lf + 1 < size && data[lf + 1] == ':') {
        end = lf - 1;
        break;
      }
      if (!restIsOneLine) {
        if (lf == lineStart) {
          restIsOneLine = true;
        } else {
          out->AddUnownedLine(RightTrim(text.substr(lineStart, lf - lineStart)));
          lineStart = lf + 1;
        }
      }
      from = lf + 1;
    }
    if (restIsOneLine || lineStart < end) {
      out->AddUnownedLine(RightTrim(text.substr(lineStart, end - lineStart)));
    }
    out->StoreAddedLines(tag, first);
    position = end;
  }
}

}  // namespace

void MtFieldTokenizer::CutInto(std::string_view text, MtMessage* out) {
  BytePlaces places;
  if (places.Mark(text, ':', '\n')) {
    CutIn(text, MarkedPlaces{places}, out);
  } else {
    CutIn(text, SearchedPlaces{text}, out);
  }
}

const MtMessage& MtFile::message(int i) const {
  if (i != currentIndex_) {
    ReadMessage(i, &current_);
    currentIndex_ = i;
  }
  return current_;
}

void MtFile::ReadMessage(int i, MtMessage* out) const {
  out->Clear();
  std::string_view piece = messageTexts_[static_cast<std::size_t>(i)];
  if (kind_ == MtKind::kHua) {
    // The bank code sits in the block header, before the first field.
    std::size_t ref = FindText(piece, ":20:");
    if (ref != std::string_view::npos && ref > 0) {
      std::string_view before = piece.substr(0, ref);
      std::string_view opga = before.size() > 6 ? before.substr(6, 8) : std::string_view();
      out->AddUnownedLine(opga);
      out->StoreAddedLines("OPGA", 0);
    }
  }
  MtFieldTokenizer::CutInto(piece, out);
}

std::vector<int> MtFile::MessageLines() const {
  // Normalising keeps every LF, so the LFs before a marker count the lines before it in the
  // file as read; they are counted once, from one marker to the next.
  std::vector<int> lines;
  lines.reserve(messageTexts_.size());
  const char* counted = text_.data();
  int line = 1;
  for (std::string_view message : messageTexts_) {
    line += CountLineFeeds(
        std::string_view(counted, static_cast<std::size_t>(message.data() - counted)));
    counted = message.data();
    lines.push_back(line);
  }
  return lines;
}

int MtFile::LineOf(const char* at) const {
  return 1 + CountLineFeeds(
                 std::string_view(text_.data(), static_cast<std::size_t>(at - text_.data())));
}

void MtFile::Parse(std::string path, std::string bytes, const CodePages& codePages) {
  fileName_ = std::move(path);
  text_ = std::move(bytes);
  headerText_ = {};
  hasHeaderEnd_ = false;
  encodingClue_ = {};
  header_.Clear();
  messageTexts_.clear();
  current_.Clear();
  currentIndex_ = -1;

  kind_ = KindOfPath(fileName_);
  if (kind_ == MtKind::kOther) {
    return;
  }
  Normalise(&text_);
  // The mapping below keeps every offset.
  encodingClue_ = ClueOf(text_, codePages, kind_ == MtKind::kInt ? CodePage::k437 : CodePage::k852);
  if (kind_ == MtKind::kInt && !IsAscii(text_)) {
    std::array<char, 256> map;
    bool asciiStays = true;
    for (std::size_t b = 0; b < map.size(); ++b) {
      map[b] = static_cast<char>(
          codePages.MapByte(static_cast<unsigned char>(b), CodePage::k437, CodePage::k852));
      asciiStays = asciiStays && (b >= 0x80 || map[b] == static_cast<char>(b));
    }
    MapBytes(map, asciiStays, &text_);
  }
  std::string_view text = text_;

  std::size_t headerEnd = FindText(text, ":07:");
  if (headerEnd != std::string_view::npos) {
    hasHeaderEnd_ = true;
    headerText_ = text.substr(0, headerEnd);
    MtFieldTokenizer::CutInto(headerText_, &header_);
  }

  std::string_view marker = kind_ == MtKind::kHua ? "{1:" : ":20:";
  std::size_t start = FindText(text, marker);
  while (start != std::string_view::npos) {
    std::size_t next = FindText(text, marker, start + 1);
    messageTexts_.push_back(
        text.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start));
    start = next;
  }
}

}  // namespace varnex
