#include "output/output_node.h"

namespace varnex {

void AppendContainer(NodeList& list, std::string_view tag, int depth) {
  OutputNode node;
  node.tag = tag;
  node.depth = depth;
  list.push_back(node);
}

void AppendText(NodeList& list, std::string_view tag, int depth, std::string_view text,
                char format) {
  OutputNode node;
  node.tag = tag;
  node.depth = depth;
  node.format = format;
  node.kind = OutputNode::Kind::kText;
  node.text = text;
  list.push_back(node);
}

void AppendBytes(NodeList& list, std::string_view tag, int depth, std::string_view bytes,
                 int byteCount) {
  OutputNode node;
  node.tag = tag;
  node.depth = depth;
  node.format = 'x';
  node.byteCount = byteCount;
  node.kind = OutputNode::Kind::kText;
  node.text = bytes;
  list.push_back(node);
}

void AppendDouble(NodeList& list, std::string_view tag, int depth, double value, char format) {
  OutputNode node;
  node.tag = tag;
  node.depth = depth;
  node.format = format;
  node.kind = OutputNode::Kind::kDouble;
  node.number = value;
  list.push_back(node);
}

void AppendCents(NodeList& list, std::string_view tag, int depth, std::int64_t cents, char format) {
  OutputNode node;
  node.tag = tag;
  node.depth = depth;
  node.format = format;
  node.kind = OutputNode::Kind::kCents;
  node.integer = cents;
  list.push_back(node);
}

void AppendInteger(NodeList& list, std::string_view tag, int depth, std::int64_t value,
                   char format) {
  OutputNode node;
  node.tag = tag;
  node.depth = depth;
  node.format = format;
  node.kind = OutputNode::Kind::kInteger;
  node.integer = value;
  list.push_back(node);
}

}  // namespace varnex
