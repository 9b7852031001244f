#include "platform/ini_file.h"

#include <limits>

namespace varnex {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') {
      x = static_cast<char>(x - 'A' + 'a');
    }
    if (y >= 'A' && y <= 'Z') {
      y = static_cast<char>(y - 'A' + 'a');
    }
    if (x != y) {
      return false;
    }
  }
  return true;
}

// The next line of `rest` without its line end, trimmed; `rest` loses it.
std::string_view NextLine(std::string_view* rest) {
  std::size_t end = rest->find('\n');
  std::string_view line = rest->substr(0, end);
  *rest = end == std::string_view::npos ? std::string_view() : rest->substr(end + 1);
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return Trim(line);
}

// The name between '[' and ']' (or the line's end), trimmed.
std::string_view SectionName(std::string_view line) {
  std::size_t close = line.find(']');
  return Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The value of a key line's text after '=': trimmed, one pair of enclosing quotes removed, cut.
std::string_view ValueOf(std::string_view afterEquals) {
  std::string_view value = Trim(afterEquals);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value.substr(0, IniFile::kMaxValueLength);
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  ini.text_ = std::string(text);
  return ini;
}

std::vector<IniLine> IniFile::Lines() const {
  std::vector<IniLine> lines;
  std::string_view rest = text_;
  std::string_view section;
  for (int number = 1; !rest.empty(); ++number) {
    std::string_view line = NextLine(&rest);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    IniLine entry{IniLine::Kind::kOther, number, std::string(section), "", "", "",
                  std::string(line)};
    std::size_t eq = line.find('=');
    if (line.front() == '[') {
      section = SectionName(line);
      entry.kind = IniLine::Kind::kSection;
      entry.section = std::string(section);
    } else if (eq != std::string_view::npos) {
      entry.kind = IniLine::Kind::kKey;
      entry.key = std::string(Trim(line.substr(0, eq)));
      entry.rawValue = std::string(line.substr(eq + 1));
      entry.value = std::string(ValueOf(line.substr(eq + 1)));
    }
    lines.push_back(std::move(entry));
  }
  return lines;
}

std::optional<std::string_view> IniFile::Find(std::string_view section,
                                              std::string_view key) const {
  std::string_view rest = text_;
  bool sectionSeen = false;
  bool inSection = false;
  while (!rest.empty()) {
    std::string_view line = NextLine(&rest);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    if (line.front() == '[') {
      if (inSection) {
        return std::nullopt;  // only the first matching section counts
      }
      inSection = !sectionSeen && EqualsNoCase(SectionName(line), section);
      sectionSeen = sectionSeen || inSection;
      continue;
    }
    if (!inSection) {
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      continue;
    }
    if (!EqualsNoCase(Trim(line.substr(0, eq)), key)) {
      continue;
    }
    return ValueOf(line.substr(eq + 1));
  }
  return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
  std::optional<std::string_view> value = Find(section, key);
  return std::string(value ? *value : fallback);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
  return Find(section, key).has_value();
}

std::int32_t IniFile::GetInt(std::string_view section, std::string_view key,
                             std::int32_t fallback) const {
  std::optional<std::string_view> value = Find(section, key);
  if (!value) {
    return fallback;
  }
  std::int64_t number = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') {
      break;
    }
    number = number * 10 + (c - '0');
    if (number > std::numeric_limits<std::int32_t>::max()) {
      number = std::numeric_limits<std::int32_t>::max();
    }
  }
  return static_cast<std::int32_t>(number);
}

}  // namespace varnex
