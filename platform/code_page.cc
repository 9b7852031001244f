#include "platform/code_page.h"

#include <algorithm>

namespace varnex {

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t DecodeUtf8(std::string_view text, std::size_t* i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b0 = byte(*i);
  if (b0 < 0x80) {
    ++*i;
    return b0;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++*i;
    return kInvalidUtf8;
  }
  if (*i + static_cast<std::size_t>(extra) >= text.size()) {
    ++*i;
    return kInvalidUtf8;
  }
  for (int k = 1; k <= extra; ++k) {
    unsigned char b = byte(*i + static_cast<std::size_t>(k));
    if ((b & 0xC0) != 0x80) {
      ++*i;
      return kInvalidUtf8;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++*i;
    return kInvalidUtf8;
  }
  *i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (DecodeUtf8(text, &i) == kInvalidUtf8) {
      return false;
    }
  }
  return true;
}

std::optional<CodePages> CodePages::Open(std::string* missing) {
  CodePages pages;
  bool complete = true;
  for (int i = 0; i < kSingleByte; ++i) {
    if (!DecodeSingleByte(static_cast<CodePage>(i), &pages.toUnicode_[static_cast<std::size_t>(i)],
                          kUndefined)) {
      static constexpr const char* kNames[] = {"CP437", "CP852", "CP1250"};
      if (missing != nullptr) {
        missing->append(complete ? "" : ", ").append(kNames[i]);
      }
      complete = false;
    }
  }
  if (!complete) {
    return std::nullopt;
  }
  for (int i = 0; i < kSingleByte; ++i) {
    auto& pairs = pages.fromUnicode_[static_cast<std::size_t>(i)];
    for (int b = 0x80; b < 256; ++b) {
      char32_t cp = pages.toUnicode_[static_cast<std::size_t>(i)][static_cast<std::size_t>(b)];
      if (cp != kUndefined) {
        pairs.emplace_back(cp, static_cast<unsigned char>(b));
      }
    }
    std::sort(pairs.begin(), pairs.end());
  }
  for (int i = 0; i < kSingleByte; ++i) {
    for (char32_t cp = 0; cp < kDirect; ++cp) {
      pages.fromDirect_[static_cast<std::size_t>(i)][cp] = pages.FromUnicode(cp, i);
    }
  }
  for (int from = 0; from < kSingleByte; ++from) {
    for (int b = 0; b < 256; ++b) {
      char32_t cp = pages.toUnicode_[static_cast<std::size_t>(from)][static_cast<std::size_t>(b)];
      std::string& utf8 = pages.utf8_[static_cast<std::size_t>(from)][static_cast<std::size_t>(b)];
      if (cp == kUndefined) {
        utf8.push_back('?');  // the table entry starts empty
      } else {
        AppendUtf8(cp, &utf8);
      }
      for (int to = 0; to < kSingleByte; ++to) {
        pages.byteMap_[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)]
                      [static_cast<std::size_t>(b)] =
            cp == kUndefined ? static_cast<unsigned char>('?') : pages.FromUnicode(cp, to);
      }
    }
  }
  return pages;
}

unsigned char CodePages::FromUnicode(char32_t cp, int target) const {
  if (cp < 0x80) {
    const auto& table = toUnicode_[static_cast<std::size_t>(target)];
    if (table[cp] == cp) {
      return static_cast<unsigned char>(cp);
    }
  }
  const auto& pairs = fromUnicode_[static_cast<std::size_t>(target)];
  auto it = std::lower_bound(pairs.begin(), pairs.end(), std::pair<char32_t, unsigned char>(cp, 0));
  if (it != pairs.end() && it->first == cp) {
    return it->second;
  }
  return static_cast<unsigned char>('?');
}

unsigned char CodePages::MapByte(unsigned char b, CodePage from, CodePage to) const {
  return byteMap_[static_cast<std::size_t>(Index(from))][static_cast<std::size_t>(Index(to))][b];
}

std::string_view CodePages::Utf8Of(unsigned char b, CodePage from) const {
  return utf8_[static_cast<std::size_t>(Index(from))][b];
}

void CodePages::AppendRecoded(std::string_view text, CodePage from, CodePage to,
                              std::string* out) const {
  if (from == to || IsAscii(text)) {
    out->append(text);
    return;
  }
  if (from == CodePage::kUtf8) {
    for (std::size_t i = 0; i < text.size();) {
      char32_t cp = DecodeUtf8(text, &i);
      unsigned char b = cp == kInvalidUtf8 ? static_cast<unsigned char>('?')
                        : cp < kDirect     ? fromDirect_[static_cast<std::size_t>(Index(to))][cp]
                                           : FromUnicode(cp, Index(to));
      out->push_back(static_cast<char>(b));
    }
    return;
  }
  if (to == CodePage::kUtf8) {
    for (char c : text) {
      out->append(Utf8Of(static_cast<unsigned char>(c), from));
    }
    return;
  }
  const auto& map =
      byteMap_[static_cast<std::size_t>(Index(from))][static_cast<std::size_t>(Index(to))];
  for (char c : text) {
    out->push_back(static_cast<char>(map[static_cast<unsigned char>(c)]));
  }
}

std::string CodePages::Recode(std::string_view text, CodePage from, CodePage to) const {
  std::string out;
  out.reserve(text.size());
  AppendRecoded(text, from, to, &out);
  return out;
}

}  // namespace varnex
