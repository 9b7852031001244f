// A reader of INI text with the Windows profile rules.
//
// Section and key names match without regard to case; the first matching section and the
// first matching key in it count; the value is the text after the first '=', trimmed of
// blanks and tabs, with one pair of enclosing double or single quotes removed, and cut at
// 4096 characters. Lines starting with ';' are comments. CR LF, LF and CR line ends; a UTF-8
// byte-order mark at the start is skipped. Text saved in UTF-16 is brought into UTF-8 by
// IniTextAsUtf8 before it is parsed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnex {

// One line of the text that is not blank and not a comment.
struct IniLine {
  enum class Kind { kSection, kKey, kOther };
  Kind kind;
  int number;            // 1-based
  std::string section;   // kSection: its name; otherwise the enclosing section ("" before any)
  std::string key;       // kKey: the name before '=', trimmed
  std::string rawValue;  // kKey: the text after '=' up to the line's end, blanks before it kept
  std::string value;     // kKey: the value as GetString gives it
  std::string text;      // the line, trimmed
};

class IniFile {
 public:
  static constexpr std::size_t kMaxValueLength = 4096;

  // Keeps a copy of `text`.
  static IniFile Parse(std::string_view text);

  // The value of the key, or `fallback` when the section or key is missing.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view fallback) const;
  // The number formed by the decimal digits at the start of the value; 0 when it starts
  // with no digit; `fallback` when the section or key is missing.
  std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const;
  // True when the section and key are there (the value may be empty).
  bool Has(std::string_view section, std::string_view key) const;

  // Every section, key and other line, in file order.
  std::vector<IniLine> Lines() const;

 private:
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  std::string text_;
};

// The bytes of a settings file as Parse takes them: UTF-16 with a byte-order mark (little
// endian is what Notepad saves as "Unicode") becomes UTF-8 without one; any other text is
// returned as it is. Returns nullopt, with the reason in `refused` (Hungarian), for text
// Parse would misread: UTF-16 without a byte-order mark, UTF-32, UTF-16 that is cut or holds
// an unpaired surrogate, and any other text holding a NUL byte.
std::optional<std::string> IniTextAsUtf8(std::string_view bytes, std::string* refused);

}  // namespace varnex
