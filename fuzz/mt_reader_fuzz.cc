// Reads arbitrary bytes once as a HUA file and once as an INT file, and walks every field and
// line of the header and of each message, checking what the reader promises: one message per
// start marker, tags without colons, right-trimmed lines (the block-header pseudo-field
// aside), every stored field found again by its tag, and copies of a message equal to it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"

#include "mt/mt_file.h"
#include "mt/mt_message.h"

namespace varnex {
namespace {

// Folds every byte into the result, so that a view into freed or foreign memory is read.
std::size_t Touch(std::string_view text) {
  std::size_t sum = 0;
  for (char c : text) {
    sum = sum * 31 + static_cast<unsigned char>(c);
  }
  return sum;
}

bool SameLines(const MtFieldView& a, const MtFieldView& b) {
  if (a.lineCount() != b.lineCount()) {
    return false;
  }
  for (std::size_t i = 0; i < a.lines.size(); ++i) {
    if (a.lines[i] != b.lines[i]) {
      return false;
    }
  }
  return true;
}

// A line may hold LFs (a value that starts with one is a single line) but never ends in white
// space.
void CheckLine(std::string_view line) {
  if (!line.empty()) {
    char last = line.back();
    Check(last != ' ' && last != '\t' && last != '\r' && last != '\n',
          "a line is not right-trimmed");
  }
}

std::size_t WalkMessage(const MtMessage& message) {
  std::size_t sum = 0;
  MtMessage copy(message);
  Check(copy.size() == message.size(), "a copied message has another field count");
  for (std::size_t i = 0; i < message.size(); ++i) {
    MtFieldView field = message.field(i);
    sum += Touch(field.tag);
    Check(field.tag.find(':') == std::string_view::npos, "a tag holds a colon");
    for (std::string_view line : field.lines) {
      // The reader's "OPGA" pseudo-field is a raw cut of the block header, never trimmed.
      if (field.tag != "OPGA") {
        CheckLine(line);
      }
      sum += Touch(line);
    }
    std::optional<MtFieldView> found = message.Find(field.tag);
    Check(found.has_value() && SameLines(*found, field), "a field is not found by its tag");
    std::optional<MtFieldView> copied = copy.Find(field.tag);
    Check(copied.has_value() && SameLines(*copied, field), "a copied message differs");
    MtField owned;
    Check(message.Lookup(field.tag, &owned), "Lookup misses a stored tag");
    Check(owned.tag == field.tag && owned.lineCount == field.lineCount() &&
              owned.lines.size() == field.lines.size(),
          "Lookup gives another field");
    for (std::size_t j = 0; j < owned.lines.size(); ++j) {
      Check(owned.lines[j] == field.lines[j], "Lookup gives other lines");
    }
    Check(field.line(field.lines.size()).empty(), "a line past the end is not empty");
  }
  return sum;
}

// Cuts `text` with the tokenizer alone, as the reader does for each message.
std::size_t WalkTokens(std::string_view text) {
  std::size_t sum = 0;
  MtFieldTokenizer tokenizer(text);
  std::string_view tag;
  std::string_view value;
  while (tokenizer.NextField(&tag, &value)) {
    sum += Touch(tag);
    std::string_view line;
    while (MtFieldTokenizer::NextLine(&value, &line)) {
      CheckLine(line);
      sum += Touch(line);
    }
  }
  return sum;
}

std::size_t ParseAndWalk(const std::string& path, std::string_view bytes) {
  MtFile file;
  file.Parse(path, std::string(bytes), FuzzCodePages());
  Check(file.fileName() == path, "the file name is not kept");
  MtKind kind = KindOfPath(path);
  std::string_view marker = kind == MtKind::kHua ? "{1:" : ":20:";
  // NUL bytes, line ends and the code page step never make or break a marker.
  Check(file.MessageCount() == CountMarkers(bytes, marker),
        "the message count differs from the number of start markers");
  std::size_t sum = Touch(file.headerText()) + WalkTokens(file.headerText());
  sum += WalkMessage(file.header());
  for (int i = 0; i < file.MessageCount(); ++i) {
    std::string_view text = file.messageText(i);
    // ":20:" overlaps itself: in ":20:20:" the first message is ":20".
    Check(text.starts_with(marker) || (text.size() < marker.size() && marker.starts_with(text)),
          "a message does not start with its marker");
    sum += Touch(text) + WalkTokens(text);
    sum += WalkMessage(file.message(i));
  }
  return sum;
}

volatile std::size_t sink;

}  // namespace
}  // namespace varnex

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  varnex::sink = varnex::sink + varnex::ParseAndWalk("x.HUA", bytes);
  varnex::sink = varnex::sink + varnex::ParseAndWalk("x.INT", bytes);
  return 0;
}
