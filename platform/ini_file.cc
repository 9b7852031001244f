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

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  ini.text_ = std::string(text);
  return ini;
}

std::optional<std::string_view> IniFile::Find(std::string_view section,
                                              std::string_view key) const {
  std::string_view rest = text_;
  bool sectionSeen = false;
  bool inSection = false;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    line = Trim(line);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    if (line.front() == '[') {
      if (inSection) {
        return std::nullopt;  // only the first matching section counts
      }
      std::size_t close = line.find(']');
      std::string_view name = Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inSection = !sectionSeen && EqualsNoCase(name, section);
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
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value.substr(0, kMaxValueLength);
  }
  return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
  std::optional<std::string_view> value = Find(section, key);
  return std::string(value ? *value : fallback);
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
