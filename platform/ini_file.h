// A reader of INI text with the Windows profile rules.
//
// Section and key names match without regard to case; the first matching section and the
// first matching key in it count; the value is the text after the first '=', trimmed of
// blanks and tabs, with one pair of enclosing double or single quotes removed, and cut at
// 4096 characters. Lines starting with ';' are comments. CR LF and LF line ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnex {

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

 private:
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  std::string text_;
};

}  // namespace varnex
