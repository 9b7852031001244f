// Code page conversion between CP437, CP852, CP1250 and UTF-8.
//
// The tables are built once from the operating system's code page tables (iconv on POSIX,
// MultiByteToWideChar on Windows); every later conversion is a table lookup per character,
// with a pure-ASCII fast path. A character that has no counterpart in
// the target code page becomes '?', as the Windows default character does; an invalid UTF-8
// sequence in the source becomes '?' too. Nothing is ever dropped.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnex {

enum class CodePage { k437, k852, k1250, kUtf8 };

class CodePages {
 public:
  // Builds the tables. Returns nullopt when the system lacks one of the code pages; then
  // `missing`, when given, names every one it lacks ("CP437, CP852").
  static std::optional<CodePages> Open(std::string* missing = nullptr);

  // Returns `text` converted from `from` to `to`.
  std::string Recode(std::string_view text, CodePage from, CodePage to) const;
  // Appends the conversion of `text` to `out`.
  void AppendRecoded(std::string_view text, CodePage from, CodePage to, std::string* out) const;

  // The byte of single-byte code page `to` for byte `b` of single-byte code page `from`.
  unsigned char MapByte(unsigned char b, CodePage from, CodePage to) const;
  // The UTF-8 form of byte `b` of single-byte code page `from`.
  std::string_view Utf8Of(unsigned char b, CodePage from) const;
  // The Unicode code point of byte `b` of single-byte code page `from`; kUndefined when the
  // byte stands for no character.
  char32_t CodePoint(unsigned char b, CodePage from) const {
    return toUnicode_[static_cast<std::size_t>(Index(from))][b];
  }
  static constexpr char32_t kUndefined = 0xFFFFFFFF;

 private:
  static constexpr int kSingleByte = 3;  // 437, 852, 1250

  CodePages() = default;
  static int Index(CodePage cp) { return static_cast<int>(cp); }
  unsigned char FromUnicode(char32_t cp, int target) const;

  std::array<std::array<char32_t, 256>, kSingleByte> toUnicode_{};
  // The byte for every code point below kDirect, per code page; '?' where there is none.
  static constexpr char32_t kDirect = 0x800;
  std::array<std::array<unsigned char, kDirect>, kSingleByte> fromDirect_{};
  // Sorted (code point, byte) pairs of the upper half, per code page.
  std::array<std::vector<std::pair<char32_t, unsigned char>>, kSingleByte> fromUnicode_;
  std::array<std::array<std::array<unsigned char, 256>, kSingleByte>, kSingleByte> byteMap_{};
  std::array<std::array<std::string, 256>, kSingleByte> utf8_;
};

// Fills `table` with the code point of every byte of single-byte code page `page`, and
// `undefined` for the bytes that stand for no character. False when the system lacks the code
// page. One implementation per platform.
bool DecodeSingleByte(CodePage page, std::array<char32_t, 256>* table, char32_t undefined);

// Appends code point `cp` to `out` as UTF-8.
void AppendUtf8(char32_t cp, std::string* out);
// Decodes the UTF-8 sequence at text[*i] and advances *i past it; kInvalidUtf8 for a malformed
// sequence, of which one byte is consumed.
inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;
char32_t DecodeUtf8(std::string_view text, std::size_t* i);

// True when every byte is below 0x80.
bool IsAscii(std::string_view text);
// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace varnex
