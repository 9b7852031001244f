#include "mt/mt_serializer.h"

#include <cstdint>
#include <string_view>

#include "output/formatters.h"
#include "util/byte_search.h"

namespace varnex {
namespace {

// The node's value before CR and LF are removed; `scratch` holds formatted numbers and
// dates, text values are returned as views of the node's own text.
std::string_view FormatMtValue(const OutputNode& node, std::string* scratch) {
  switch (node.format) {
  case 's':
    return node.Text();
  case 'x': {
    std::size_t count = node.byteCount > 0 ? static_cast<std::size_t>(node.byteCount) : 0;
    return UpToZero(node.text.substr(0, count));
  }
  case 'd':
    *scratch = FormatIsoDate(node.Text());
    return *scratch;
  case 't':
    *scratch = FormatIsoDateTime(node.Text());
    return *scratch;
  case 'a':
    if (node.kind != OutputNode::Kind::kCents) {
      return {};
    }
    *scratch = FormatAmountComma(node.integer);
    return *scratch;
  case 'n':
    *scratch = FormatInteger(node.integer);
    return *scratch;
  case 'b':
    *scratch = FormatInteger(static_cast<std::uint8_t>(node.integer));
    return *scratch;
  default:
    return {};
  }
}

// value.find_first_not_of("\r\n"), without a search of the set per byte.
std::size_t FirstContentByte(std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\r' && value[i] != '\n') {
      return i;
    }
  }
  return std::string_view::npos;
}

bool HasLineContent(std::string_view value) {
  return FirstContentByte(value) != std::string_view::npos;
}

void AppendLine(std::string_view tag, std::string_view value, std::string_view lineEnd,
                std::string* out) {
  out->append(tag);
  std::size_t start = 0;
  for (std::size_t i = FindEitherByte(value, '\r', '\n'); i != std::string_view::npos;
       i = FindEitherByte(value, '\r', '\n', start)) {
    out->append(value.substr(start, i - start));
    start = i + 1;
  }
  out->append(value.substr(start));
  out->append(lineEnd);
}

}  // namespace

void CutComposedLine(std::string* line) {
  if (line->size() > kMaxComposedLineLength) {
    line->resize(kMaxComposedLineLength);
  }
}

bool SerializeMtNodes(const NodeList& nodes, std::string* out) {
  return SerializeMtNodes(nodes, "\n", out);
}

bool SerializeMtNodes(const NodeList& nodes, std::string_view lineEnd, std::string* out) {
  bool readsBack = true;
  std::string scratch;
  // The tag of a field whose first line was empty, written once a continuation line is.
  std::string_view pendingTag;
  for (const OutputNode& node : nodes) {
    std::string_view value = FormatMtValue(node, &scratch);
    bool written = HasLineContent(value);
    if (!node.tag.empty()) {
      pendingTag = written ? std::string_view() : node.tag;
    } else if (written && !pendingTag.empty()) {
      AppendLine(pendingTag, {}, lineEnd, out);
      pendingTag = {};
    }
    if (written) {
      if (node.tag.empty() && FirstContentByte(value) == FindByte(value, ':')) {
        readsBack = false;
      }
      AppendLine(node.tag, value, lineEnd, out);
    }
  }
  return readsBack;
}

namespace {

// Occurrences of `marker` in `text`, overlapping ones included (":20:20:" holds two).
int CountMarkers(std::string_view text, std::string_view marker) {
  int n = 0;
  for (std::size_t at = FindText(text, marker); at != std::string_view::npos;
       at = FindText(text, marker, at + 1)) {
    ++n;
  }
  return n;
}

// True when the first occurrence of `tag` in `text` starts a line.
bool FirstAtLineStart(std::string_view text, std::string_view tag) {
  std::size_t at = FindText(text, tag);
  return at != std::string_view::npos && (at == 0 || text[at - 1] == '\n');
}

}  // namespace

bool MtHeaderReadsBack(std::string_view header, bool hua, std::string_view lineEnd) {
  std::size_t end = header.find(":07:");
  std::string_view last = end == std::string_view::npos ? "" : header.substr(end);
  return end != std::string_view::npos && (end == 0 || header[end - 1] == '\n') &&
         last.size() == 5 + lineEnd.size() && last.substr(0, 5) == ":07: " &&
         last.substr(5) == lineEnd && CountMarkers(header, hua ? "{1:" : ":20:") == 0;
}

bool MtMessageReadsBack(std::string_view message, bool hua, std::string_view lineEnd) {
  if (CountMarkers(message, hua ? "{1:" : ":20:") != 1 || !FirstAtLineStart(message, ":20:")) {
    return false;
  }
  if (hua) {
    // The trailer is the last line; the converter reads no field beyond a line with "-}".
    std::size_t trailer = FindText(message, "-}");
    std::string_view last = trailer == std::string_view::npos ? "" : message.substr(trailer);
    return trailer != std::string_view::npos && last.size() == 2 + lineEnd.size() &&
           last.substr(0, 2) == "-}" && last.substr(2) == lineEnd && trailer > 0 &&
           message[trailer - 1] == '\n';
  }
  return true;
}

void AppendMtField(NodeList& nodes, std::string_view tag,
                   std::initializer_list<std::string_view> lines) {
  bool first = true;
  for (std::string_view line : lines) {
    AppendText(nodes, first ? tag : std::string_view(), 0, line);
    first = false;
  }
}

namespace {

// AppendMtField of record fields, whose texts end before their first zero byte.
template <std::size_t... N>
void AppendMtRecordField(NodeList& nodes, std::string_view tag, const FixedText<N>&... fields) {
  std::size_t first = nodes.size();
  AppendMtField(nodes, tag, {fields.view()...});
  for (std::size_t i = first; i < nodes.size(); ++i) {
    nodes[i].zeroFree = true;
  }
}

}  // namespace

void AppendOrderingCustomer(NodeList& nodes, const PaymentRecord& p) {
  AppendMtRecordField(nodes, ":50:", p.DbtrNm, p.DbtrNm2, p.DbtrAdr1, p.DbtrAdr2);
}

void AppendBeneficiaryBank(NodeList& nodes, const PaymentRecord& p) {
  if (!p.CdtrAgtBic.empty()) {
    AppendMtRecordField(nodes, ":57A:", p.CdtrAgtBic);
  } else {
    AppendMtRecordField(nodes, ":57D:", p.CdtrAgtNm, p.CdtrAgtAdr1, p.CdtrAgtAdr2, p.CdtrAgtAdr3);
  }
}

void AppendRemittanceAndCharges(NodeList& nodes, const PaymentRecord& p) {
  AppendMtRecordField(nodes, ":70:", p.RmtInfUstrd1, p.RmtInfUstrd2, p.RmtInfUstrd3,
                      p.RmtInfUstrd4);
  AppendMtRecordField(nodes, ":71A:", p.ChrgBr71A);
}

}  // namespace varnex
