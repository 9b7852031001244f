#include "mt/mt_message.h"

#include <algorithm>
#include <utility>

namespace varnex {
namespace {

constexpr std::size_t kKeyBytes = 7;

}  // namespace

std::uint64_t MtMessage::TagKey(std::string_view tag) {
  // Byte i of the tag goes to byte i + 1 of the key; unrolled, as lookups compute a key each.
  auto at = [tag](std::size_t i) {
    return static_cast<std::uint64_t>(static_cast<unsigned char>(tag[i])) << (8 * (i + 1));
  };
  std::uint64_t key = std::min<std::size_t>(tag.size(), 255);
  switch (std::min(tag.size(), kKeyBytes)) {
  case 7:
    key |= at(6);
    [[fallthrough]];
  case 6:
    key |= at(5);
    [[fallthrough]];
  case 5:
    key |= at(4);
    [[fallthrough]];
  case 4:
    key |= at(3);
    [[fallthrough]];
  case 3:
    key |= at(2);
    [[fallthrough]];
  case 2:
    key |= at(1);
    [[fallthrough]];
  case 1:
    key |= at(0);
    break;
  default:
    break;
  }
  return key;
}

MtMessage::MtMessage(const MtMessage& other) {
  *this = other;
}

MtMessage& MtMessage::operator=(const MtMessage& other) {
  if (this == &other) {
    return *this;
  }
  Clear();
  for (std::size_t i = 0; i < other.size(); ++i) {
    MtFieldView view = other.field(i);
    MtField copy;
    copy.tag = std::string(view.tag);
    copy.lineCount = view.lineCount();
    for (std::string_view line : view.lines) {
      copy.lines.emplace_back(line);
    }
    Store(copy);
  }
  return *this;
}

void MtMessage::Clear() {
  slots_.clear();
  keyBits_ = 0;
  lines_.clear();
  replaced_.clear();
  owned_.clear();
}

void MtMessage::Reserve(std::size_t fields, std::size_t lines) {
  slots_.reserve(fields);
  lines_.reserve(lines);
}

MtMessage::Slot* MtMessage::FindSlot(std::string_view tag, std::uint64_t key) {
  return const_cast<Slot*>(std::as_const(*this).FindSlot(tag, key));
}

// The slot of `tag`, whose TagKey is `key`.
const MtMessage::Slot* MtMessage::FindSlot(std::string_view tag, std::uint64_t key) const {
  unsigned bit = KeyBitIndex(key);
  if ((keyBits_ & (std::uint64_t{1} << bit)) == 0) {
    return nullptr;
  }
  const Slot& likely = slots_[firstSlotOfBit_[bit]];
  if (likely.key == key && (tag.size() <= kKeyBytes || likely.tag == tag)) {
    return &likely;
  }
  for (const Slot& slot : slots_) {
    if (slot.key == key && (tag.size() <= kKeyBytes || slot.tag == tag)) {
      return &slot;
    }
  }
  return nullptr;
}

void MtMessage::Put(std::string_view tag, std::uint32_t firstLine, std::uint32_t count) {
  std::uint64_t key = TagKey(tag);
  if (Slot* slot = FindSlot(tag, key)) {
    slot->firstLine = firstLine;
    slot->lineCount = count;
    replaced_.push_back(tag);
    return;
  }
  std::uint64_t bit = KeyBit(key);
  if ((keyBits_ & bit) == 0) {
    keyBits_ |= bit;
    firstSlotOfBit_[KeyBitIndex(key)] = static_cast<std::uint32_t>(slots_.size());
  }
  slots_.push_back(Slot{tag, key, firstLine, count});
}

void MtMessage::Store(const MtField& field) {
  auto keep = [this](std::string_view text) {
    owned_.push_back(std::make_unique<std::string>(text));
    return std::string_view(*owned_.back());
  };
  std::string_view tag = keep(field.tag);
  auto first = static_cast<std::uint32_t>(lines_.size());
  for (const std::string& line : field.lines) {
    lines_.push_back(keep(line));
  }
  Put(tag, first, static_cast<std::uint32_t>(field.lines.size()));
}

void MtMessage::StoreUnowned(std::string_view tag, std::span<const std::string_view> lines) {
  auto first = static_cast<std::uint32_t>(lines_.size());
  lines_.insert(lines_.end(), lines.begin(), lines.end());
  Put(tag, first, static_cast<std::uint32_t>(lines.size()));
}

void MtMessage::StoreAddedLines(std::string_view tag, std::size_t firstLine) {
  Put(tag, static_cast<std::uint32_t>(firstLine),
      static_cast<std::uint32_t>(lines_.size() - firstLine));
}

bool MtMessage::Lookup(std::string_view tag, MtField* out) const {
  std::optional<MtFieldView> view = Find(tag);
  if (!view) {
    return false;
  }
  out->tag = std::string(view->tag);
  out->lineCount = view->lineCount();
  out->lines.assign(view->lines.begin(), view->lines.end());
  return true;
}

std::optional<MtFieldView> MtMessage::Find(std::string_view tag) const {
  const Slot* slot = FindSlot(tag, TagKey(tag));
  if (slot == nullptr) {
    return std::nullopt;
  }
  return field(static_cast<std::size_t>(slot - slots_.data()));
}

MtFieldView MtMessage::field(std::size_t i) const {
  const Slot& slot = slots_[i];
  return MtFieldView{
      slot.tag, std::span<const std::string_view>(lines_.data() + slot.firstLine, slot.lineCount)};
}

}  // namespace varnex
