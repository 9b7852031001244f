// Turns a node list (output_node.h) into indented XML text.
//
// Each node is one line: its depth in tabs, then a container's start tag, or a leaf's start
// tag, value and end tag. Nesting is not stored in the nodes; it follows from the depths of
// consecutive nodes: before a node is written, the still open containers since the last
// shallower node are closed, innermost first, and whatever is open at the end of the list is
// closed there. A list is therefore a complete element by itself.
//
// Values are CP852 text (or numbers formatted as ASCII). On their way into the document they
// lose line breaks, control characters become blanks, Hungarian accented vowels become plain
// letters (the accent table works on CP1250, hence the detour 852 -> 1250 -> 852), the five
// XML special characters are escaped, and the result is encoded in UTF-8. All of that is a
// function of each byte alone, so it is precomputed into one table of 256 entries.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "output/output_node.h"
#include "platform/code_page.h"

namespace varnex {

// The cleaning of CP852 text into XML character data, precomputed per byte.
class XmlValueCleaner {
 public:
  // Builds the table from the code page tables; no conversion is done after this.
  explicit XmlValueCleaner(const CodePages& codePages);

  // Appends the cleaned UTF-8 form of CP852 `text` to `out`.
  void Append(std::string_view text, std::string* out) const;
  // The most bytes one byte of text becomes.
  static constexpr std::size_t kMaxBytesPerByte = 7;
  // Writes the cleaned form of `text` to `out`, which has room for kMaxBytesPerByte bytes
  // per byte of `text`; returns the end of what was written.
  char* Write(std::string_view text, char* out) const {
    for (char c : text) {
      auto byte = static_cast<unsigned char>(c);
      if (unchanged_[byte]) {
        *out++ = c;
      } else {
        const Entry& e = table_[byte];
        std::memcpy(out, e.bytes.data(), e.bytes.size());
        out += e.size;
      }
    }
    return out;
  }
  // The cleaned form of CP852 `text` without the XML escaping, as the element's value reads:
  // `text` itself where cleaning leaves it unchanged, else the UTF-8 text in `*scratch`.
  std::string_view Plain(std::string_view text, std::string* scratch) const;
  // The cleaned UTF-8 form of one CP852 byte; empty for CR and LF.
  std::string_view Of(unsigned char byte) const {
    const Entry& e = table_[byte];
    return std::string_view(e.bytes.data(), e.size);
  }

 private:
  // Longest entry: an entity such as "&quot;"; a UTF-8 character takes at most 3 bytes.
  struct Entry {
    std::array<char, 7> bytes{};
    std::uint8_t size = 0;
  };
  std::array<Entry, 256> table_;
  // True where a byte is its own cleaned form.
  std::array<bool, 256> unchanged_{};
};

// CP852 `text` cleaned step by step, as XmlValueCleaner does per byte: CR and LF removed,
// other characters below 0x20 except tab turned into blanks, 852 -> 1250, StripAccents,
// 1250 -> 852, EscapeXml, 852 -> UTF-8.
std::string CleanXmlValue(std::string_view text, const CodePages& codePages);

// The value text of a leaf by its format code, before cleaning; empty for a container, for
// no format and for an unknown one.
std::string FormatValue(const OutputNode& node);
// FormatValue as a view: of the node's own text where no formatting is needed, else of the
// formatted text in `*scratch`.
std::string_view LeafValueText(const OutputNode& node, std::string* scratch);

// Appends the XML text of `nodes` to `out`, values cleaned by `cleaner`. Sets `closed` of
// every node. A leaf with an empty value is written as an empty element.
void SerializeXml(NodeList& nodes, const XmlValueCleaner& cleaner, std::string* out);
// As above, each line ending in `lineEnd`, which is LF or CR LF.
// Cleaned values hold no CR or LF, so the line ends are the only ones in the text.
void SerializeXml(NodeList& nodes, const XmlValueCleaner& cleaner, std::string_view lineEnd,
                  std::string* out);

}  // namespace varnex
