#include "output/xml_serializer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "output/formatters.h"
#include "util/byte_search.h"

namespace varnex {
namespace {

constexpr std::string_view kCurrencyAttribute = " Ccy=\"EUR\"";

// XML 1.0 forbids these; CR and LF are dropped before this test.
bool IsForbiddenControl(unsigned char c) {
  return c < 0x20 && c != '\t';
}

}  // namespace

std::string_view LeafValueText(const OutputNode& node, std::string* scratch) {
  using Kind = OutputNode::Kind;
  switch (node.format) {
  case 's':
    return node.kind == Kind::kText ? node.Text() : std::string_view();
  case 'x':
    if (node.kind != Kind::kText || node.byteCount <= 0) {
      return {};
    }
    return UpToZero(node.text.substr(0, static_cast<std::size_t>(node.byteCount)));
  case 'd':
    if (node.kind != Kind::kText) {
      return {};
    }
    *scratch = FormatIsoDate(node.Text());
    return *scratch;
  case 't':
    if (node.kind != Kind::kText) {
      return {};
    }
    *scratch = FormatIsoDateTime(node.Text());
    return *scratch;
  case 'a':
  case 'f':
    if (node.kind != Kind::kCents) {
      return {};
    }
    *scratch = FormatAmount(node.integer);
    return *scratch;
  case 'n':
    if (node.kind != Kind::kInteger) {
      return {};
    }
    *scratch = FormatInteger(node.integer);
    return *scratch;
  case 'b':
    // One byte, unsigned: a char field holding 200 is 200, not -56.
    if (node.kind != Kind::kInteger) {
      return {};
    }
    *scratch = FormatInteger(static_cast<unsigned char>(node.integer & 0xFF));
    return *scratch;
  default:
    return {};
  }
}

namespace {

// The characters that EscapeXml replaces; cleaning leaves them as they are otherwise.
bool IsEscaped(unsigned char c) {
  return c == '&' || c == '<' || c == '>' || c == '\'' || c == '"';
}

void AppendIndent(int depth, std::string* out) {
  constexpr std::string_view kTabs = "\t\t\t\t\t\t\t\t";
  if (depth <= 0) {
    return;
  }
  auto n = static_cast<std::size_t>(depth);
  if (n <= kTabs.size()) {
    out->append(kTabs.substr(0, n));
  } else {
    out->append(n, '\t');
  }
}

void AppendStartTag(const OutputNode& node, std::string_view lineEnd, std::string* out) {
  AppendIndent(node.depth, out);
  out->append("<").append(node.tag);
  if (node.format == 'a') {
    out->append(kCurrencyAttribute);
  }
  out->append(">");
  if (node.IsContainer()) {
    out->append(lineEnd);
  }
}

void AppendEndLine(const OutputNode& node, std::string_view lineEnd, std::string* out) {
  AppendIndent(node.depth, out);
  out->append("</").append(node.tag).append(">").append(lineEnd);
}

// Lines of the document put together on the stack, so that they reach the document in one
// append per buffer full. A line that might not fit is appended piece by piece instead.
class LineBuffer {
 public:
  static constexpr std::size_t kCapacity = 2048;
  // `out` receives the lines; it must outlive the buffer.
  explicit LineBuffer(std::string* out) : out_(out) {}
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  // True when `bytes` more bytes always fit.
  bool Holds(std::size_t bytes) const {
    return bytes <= kCapacity - static_cast<std::size_t>(end_ - bytes_);
  }
  // True when `bytes` more bytes fit, after handing the buffered lines to the document if
  // needed. False when they do not fit an empty buffer: the document then has every line
  // buffered so far, and the next line goes to out() directly.
  bool MakeRoom(std::size_t bytes) {
    if (Holds(bytes)) {
      return true;
    }
    Flush();
    return Holds(bytes);
  }
  // Hands the buffered lines to the document.
  void Flush() {
    out_->append(bytes_, static_cast<std::size_t>(end_ - bytes_));
    end_ = bytes_;
  }
  std::string* out() const { return out_; }
  // Tags and the bits around them are a few bytes long: they are copied with moves of fixed
  // size, two of which overlap, where a call to memcpy would cost more than the copy.
  void Put(std::string_view text) {
    const char* from = text.data();
    std::size_t n = text.size();
    if (n >= 8 && n <= 16) {
      std::memcpy(end_, from, 8);
      std::memcpy(end_ + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
      std::memcpy(end_, from, 4);
      std::memcpy(end_ + n - 4, from + n - 4, 4);
    } else if (n > 0 && n < 4) {
      end_[0] = from[0];
      end_[n / 2] = from[n / 2];
      end_[n - 1] = from[n - 1];
    } else if (n > 16) {
      std::memcpy(end_, from, n);
    }
    end_ += n;
  }
  void PutIndent(int depth) {
    constexpr std::string_view kTabs = "\t\t\t\t\t\t\t\t";
    if (depth <= 0) {
      return;
    }
    auto n = static_cast<std::size_t>(depth);
    if (n <= kTabs.size() && Holds(kTabs.size())) {
      std::memcpy(end_, kTabs.data(), kTabs.size());  // the tabs beyond `n` are overwritten
    } else {
      std::memset(end_, '\t', n);
    }
    end_ += n;
  }
  void PutLineEnd(bool crLf) {
    if (crLf) {
      *end_++ = '\r';
    }
    *end_++ = '\n';
  }
  void PutValue(const XmlValueCleaner& cleaner, std::string_view value) {
    end_ = cleaner.Write(value, end_);
  }

 private:
  std::string* out_;
  char bytes_[kCapacity];
  char* end_ = bytes_;
};

// The bytes of a start or end tag line of `node` other than its value, at most, with a line
// end of up to two bytes.
std::size_t TagLineBytes(const OutputNode& node) {
  return static_cast<std::size_t>(std::max(node.depth, 0)) + 2 * node.tag.size() +
         kCurrencyAttribute.size() + 8;
}

void AppendEndLineAtOnce(const OutputNode& node, std::string_view lineEnd, LineBuffer& line) {
  if (!line.MakeRoom(TagLineBytes(node))) {
    AppendEndLine(node, lineEnd, line.out());
    return;
  }
  line.PutIndent(node.depth);
  line.Put("</");
  line.Put(node.tag);
  line.Put(">");
  line.PutLineEnd(lineEnd.size() == 2);
}

// A leaf's line, or a container's start line, as AppendStartTag and the value and end tag
// after it would give it.
void AppendNodeLine(const OutputNode& node, std::string_view value, const XmlValueCleaner& cleaner,
                    std::string_view lineEnd, LineBuffer& line) {
  if (!line.MakeRoom(TagLineBytes(node)) ||
      !line.MakeRoom(TagLineBytes(node) + value.size() * XmlValueCleaner::kMaxBytesPerByte)) {
    std::string* out = line.out();
    AppendStartTag(node, lineEnd, out);
    if (!node.IsContainer()) {
      cleaner.Append(value, out);
      out->append("</").append(node.tag).append(">").append(lineEnd);
    }
    return;
  }
  line.PutIndent(node.depth);
  line.Put("<");
  line.Put(node.tag);
  if (node.format == 'a') {
    line.Put(kCurrencyAttribute);
  }
  line.Put(">");
  if (!node.IsContainer()) {
    line.PutValue(cleaner, value);
    line.Put("</");
    line.Put(node.tag);
    line.Put(">");
  }
  line.PutLineEnd(lineEnd.size() == 2);
}

}  // namespace

XmlValueCleaner::XmlValueCleaner(const CodePages& codePages) {
  for (int b = 0; b < 256; ++b) {
    auto byte = static_cast<unsigned char>(b);
    Entry& entry = table_[byte];
    if (byte == '\r' || byte == '\n') {
      continue;  // line breaks are dropped
    }
    if (IsForbiddenControl(byte)) {
      byte = ' ';
    }
    unsigned char cp1250 = codePages.MapByte(byte, CodePage::k852, CodePage::k1250);
    auto plain = static_cast<unsigned char>(StripAccent(static_cast<char>(cp1250)));
    unsigned char cp852 = codePages.MapByte(plain, CodePage::k1250, CodePage::k852);
    char ch = static_cast<char>(cp852);
    std::string utf8;
    for (char escaped : EscapeXml(std::string_view(&ch, 1))) {
      utf8.append(codePages.Utf8Of(static_cast<unsigned char>(escaped), CodePage::k852));
    }
    std::size_t n = std::min(utf8.size(), entry.bytes.size());
    assert(n == utf8.size());
    std::memcpy(entry.bytes.data(), utf8.data(), n);
    entry.size = static_cast<std::uint8_t>(n);
    unchanged_[static_cast<std::size_t>(b)] = n == 1 && entry.bytes[0] == static_cast<char>(b);
  }
}

void XmlValueCleaner::Append(std::string_view text, std::string* out) const {
  // Runs of bytes that stay as they are (plain ASCII text) are copied in one piece.
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (unchanged_[byte]) {
      continue;
    }
    out->append(text.data() + runStart, i - runStart);
    out->append(Of(byte));
    runStart = i + 1;
  }
  out->append(text.data() + runStart, text.size() - runStart);
}

std::string_view XmlValueCleaner::Plain(std::string_view text, std::string* scratch) const {
  auto unchanged = [this](char c) {
    auto byte = static_cast<unsigned char>(c);
    return unchanged_[byte] || IsEscaped(byte);
  };
  if (std::all_of(text.begin(), text.end(), unchanged)) {
    return text;
  }
  scratch->clear();
  for (char c : text) {
    if (IsEscaped(static_cast<unsigned char>(c))) {
      scratch->push_back(c);
    } else {
      scratch->append(Of(static_cast<unsigned char>(c)));
    }
  }
  return *scratch;
}

std::string CleanXmlValue(std::string_view text, const CodePages& codePages) {
  std::string plain;
  plain.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      continue;
    }
    plain.push_back(IsForbiddenControl(static_cast<unsigned char>(c)) ? ' ' : c);
  }
  std::string cp1250 = ConvertCodePage(plain, CodePage::k852, CodePage::k1250, codePages);
  std::string cp852 =
      ConvertCodePage(StripAccents(cp1250), CodePage::k1250, CodePage::k852, codePages);
  return ConvertCodePage(EscapeXml(cp852), CodePage::k852, CodePage::kUtf8, codePages);
}

std::string FormatValue(const OutputNode& node) {
  std::string scratch;
  std::string_view value = LeafValueText(node, &scratch);
  return std::string(value);
}

void SerializeXml(NodeList& nodes, const XmlValueCleaner& cleaner, std::string* out) {
  SerializeXml(nodes, cleaner, "\n", out);
}

void SerializeXml(NodeList& nodes, const XmlValueCleaner& cleaner, std::string_view lineEnd,
                  std::string* out) {
  std::string scratch;
  LineBuffer line(out);
  // The containers still open, outermost first. Their depths rise strictly: a node closes
  // every open container as deep as itself or deeper, which are the last ones opened, so the
  // list is the same as a search back to the last shallower node would find.
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    OutputNode& node = nodes[i];
    while (!open.empty() && nodes[open.back()].depth >= node.depth) {
      OutputNode& earlier = nodes[open.back()];
      AppendEndLineAtOnce(earlier, lineEnd, line);
      earlier.closed = true;
      open.pop_back();
    }
    if (node.IsContainer()) {
      AppendNodeLine(node, {}, cleaner, lineEnd, line);
      node.closed = false;
      open.push_back(i);
      continue;
    }
    // A leaf is complete on its line, also when its value is empty.
    AppendNodeLine(node, LeafValueText(node, &scratch), cleaner, lineEnd, line);
    node.closed = true;
  }
  while (!open.empty()) {
    OutputNode& node = nodes[open.back()];
    AppendEndLineAtOnce(node, lineEnd, line);
    node.closed = true;
    open.pop_back();
  }
  line.Flush();
}

}  // namespace varnex
