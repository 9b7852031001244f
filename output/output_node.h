// One element of an XML document or one field line of an MT document, and the ordered list
// of them that a writer builds for the group header or for one payment.
//
// A node names its element or tag, its depth (XML nesting; 0 in MT), a format code and its
// value. The value is captured when the node is built: a view of a record field or of a
// writer buffer, which stay unchanged until the list has been serialized, or a number. A
// container node has no value; in XML it encloses the deeper nodes that follow it.
//
// Format codes: 's' text, 't' time stamp, 'd' date, 'n' integer, 'b' byte, 'f' amount in cents,
// 'a' amount in cents with currency attribute (XML) or decimal comma (MT), 'x' the first
// `byteCount` bytes up to a zero; 0 for no value.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "util/byte_search.h"
#include "util/fixed_text.h"

namespace varnex {

struct OutputNode {
  enum class Kind : std::uint8_t { kContainer, kText, kCents, kInteger };

  std::string_view tag;
  int depth = 0;
  char format = '\0';
  int byteCount = 0;
  Kind kind = Kind::kContainer;
  std::string_view text;
  std::int64_t integer = 0;  // kInteger, kCents
  bool closed = false;
  // True when `text` is known to end before any zero byte (a record field's view), so that
  // readers need not look for one.
  bool zeroFree = false;

  bool IsContainer() const { return kind == Kind::kContainer; }
  // The text up to its first zero byte.
  std::string_view Text() const { return zeroFree ? text : UpToZero(text); }
};

using NodeList = std::vector<OutputNode>;

// Builders; each appends one node to `list`. Inline: a payment appends dozens of nodes.
inline OutputNode& AppendNode(NodeList& list, std::string_view tag, int depth, char format,
                              OutputNode::Kind kind) {
  OutputNode& node = list.emplace_back();
  node.tag = tag;
  node.depth = depth;
  node.format = format;
  node.kind = kind;
  return node;
}
inline void AppendContainer(NodeList& list, std::string_view tag, int depth) {
  AppendNode(list, tag, depth, '\0', OutputNode::Kind::kContainer);
}
inline void AppendText(NodeList& list, std::string_view tag, int depth, std::string_view text,
                       char format = 's') {
  AppendNode(list, tag, depth, format, OutputNode::Kind::kText).text = text;
}
// AppendText of a record field's text, which ends before its first zero byte.
template <std::size_t N>
inline void AppendField(NodeList& list, std::string_view tag, int depth, const FixedText<N>& field,
                        char format = 's') {
  AppendText(list, tag, depth, field.view(), format);
  list.back().zeroFree = true;
}
// AppendText of a text known to hold no zero byte: a literal, or a writer's buffer put
// together from record fields.
inline void AppendZeroFreeText(NodeList& list, std::string_view tag, int depth,
                               std::string_view text) {
  AppendText(list, tag, depth, text);
  list.back().zeroFree = true;
}
inline void AppendBytes(NodeList& list, std::string_view tag, int depth, std::string_view bytes,
                        int byteCount) {
  OutputNode& node = AppendNode(list, tag, depth, 'x', OutputNode::Kind::kText);
  node.byteCount = byteCount;
  node.text = bytes;
}
inline void AppendCents(NodeList& list, std::string_view tag, int depth, std::int64_t cents,
                        char format) {
  AppendNode(list, tag, depth, format, OutputNode::Kind::kCents).integer = cents;
}
inline void AppendInteger(NodeList& list, std::string_view tag, int depth, std::int64_t value,
                          char format) {
  AppendNode(list, tag, depth, format, OutputNode::Kind::kInteger).integer = value;
}

}  // namespace varnex
