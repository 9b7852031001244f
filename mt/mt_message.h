// The in-memory model of a parsed HUA or INT file.
//
// MtField is the owning value of one field (tag without colons, its lines). MtMessage maps
// tags to fields, byte-exact and case-sensitive, at most one field per tag: storing a tag
// again replaces the field, so the last occurrence in a text wins. To keep a file of many
// thousand messages small, a message stores its fields as views: the reader stores views into
// the MtFile's text, which outlives the messages; Store copies the lines into the message.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnex {

struct MtField {
  std::string tag;
  int lineCount = 0;
  std::vector<std::string> lines;
};

// A read-only view of one stored field; valid while its message is unchanged.
struct MtFieldView {
  std::string_view tag;
  std::span<const std::string_view> lines;

  int lineCount() const { return static_cast<int>(lines.size()); }
  // Line `i` counted from 0; empty when the field has no such line.
  std::string_view line(std::size_t i) const { return i < lines.size() ? lines[i] : ""; }
};

class MtMessage {
 public:
  MtMessage() = default;
  MtMessage(const MtMessage& other);
  MtMessage& operator=(const MtMessage& other);
  MtMessage(MtMessage&&) = default;
  MtMessage& operator=(MtMessage&&) = default;
  virtual ~MtMessage() = default;

  // Stores a copy of `field` under its tag, replacing a field stored under that tag.
  void Store(const MtField& field);
  // Stores a field whose tag and lines stay valid for this message's lifetime.
  void StoreUnowned(std::string_view tag, std::span<const std::string_view> lines);
  // Building a field line by line, without a copy of its lines: AddUnownedLine appends a line
  // that stays valid for this message's lifetime, StoreAddedLines stores the lines added since
  // lineTotal() was `firstLine` as the field `tag` (as StoreUnowned does).
  std::size_t lineTotal() const { return lines_.size(); }
  void AddUnownedLine(std::string_view line) { lines_.push_back(line); }
  void StoreAddedLines(std::string_view tag, std::size_t firstLine);

  // True and a copy of the field when `tag` is present; false leaves `out` as it was.
  bool Lookup(std::string_view tag, MtField* out) const;
  // The field stored under `tag`, if any.
  std::optional<MtFieldView> Find(std::string_view tag) const;

  // The tags stored again, each as given to the store that replaced the field before it; a
  // reader that must not let a later field win in silence looks here.
  std::span<const std::string_view> replacedTags() const { return replaced_; }

  // Iteration over the stored fields, in the order their tags first appeared.
  std::size_t size() const { return slots_.size(); }
  MtFieldView field(std::size_t i) const;

  void Clear();
  // Makes room for `fields` fields of `lines` lines in all.
  void Reserve(std::size_t fields, std::size_t lines);

 private:
  struct Slot {
    std::string_view tag;
    std::uint64_t key;  // TagKey(tag)
    std::uint32_t firstLine;
    std::uint32_t lineCount;
  };
  // The first seven bytes of a tag and its length in one number: tags are short, so equal
  // keys almost always mean equal tags and a lookup compares one word per field.
  static std::uint64_t TagKey(std::string_view tag);
  Slot* FindSlot(std::string_view tag, std::uint64_t key);
  const Slot* FindSlot(std::string_view tag, std::uint64_t key) const;
  void Put(std::string_view tag, std::uint32_t firstLine, std::uint32_t count);

  // One bit per stored key, picked by KeyBit: a tag whose bit is clear is not stored, so
  // most lookups of absent tags and most stores of new ones skip the scan of the slots.
  static unsigned KeyBitIndex(std::uint64_t key) {
    return static_cast<unsigned>((key * 0x9E3779B97F4A7C15u) >> 58);
  }
  static std::uint64_t KeyBit(std::uint64_t key) { return std::uint64_t{1} << KeyBitIndex(key); }

  std::vector<Slot> slots_;
  std::uint64_t keyBits_ = 0;
  // Per key bit that is set, the first slot stored with it: a lookup compares that slot
  // first and scans the others only when its key differs.
  std::array<std::uint32_t, 64> firstSlotOfBit_{};
  std::vector<std::string_view> lines_;
  std::vector<std::string_view> replaced_;
  // Backing text of fields stored by copy; strings never move once added.
  std::vector<std::unique_ptr<std::string>> owned_;
};

}  // namespace varnex
