#include "platform/ini_file.h"

#include <limits>
#include <optional>

#include "platform/code_page.h"

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

// The next line of `rest` without its line end (CR LF, LF or CR), trimmed; `rest` loses it.
std::string_view NextLine(std::string_view* rest) {
  std::size_t end = rest->find_first_of("\r\n");
  std::string_view line = rest->substr(0, end);
  if (end == std::string_view::npos) {
    *rest = std::string_view();
  } else {
    bool crLf = (*rest)[end] == '\r' && end + 1 < rest->size() && (*rest)[end + 1] == '\n';
    *rest = rest->substr(end + (crLf ? 2 : 1));
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

// UTF-16 after its byte-order mark, as UTF-8; nullopt when cut, with an unpaired surrogate or
// with a NUL character.
std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) {
    return std::nullopt;
  }
  auto unit = [&](std::size_t i) -> char32_t {
    auto first = static_cast<unsigned char>(bytes[i]);
    auto second = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  };
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      char32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
      if (low < 0xDC00 || low > 0xDFFF) {
        return std::nullopt;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    if (c == 0) {
      return std::nullopt;
    }
    AppendUtf8(c, &text);
  }
  return text;
}

constexpr std::string_view kSaveAs = ": mentse UTF-8 vagy Unicode (UTF-16 LE) kódolásban";

}  // namespace

std::optional<std::string> IniTextAsUtf8(std::string_view bytes, std::string* refused) {
  // UTF-32 first: its little-endian mark begins with the one of UTF-16.
  if (bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4)) ||
      bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
    *refused = "UTF-32 kódolású" + std::string(kSaveAs);
    return std::nullopt;
  }
  for (bool bigEndian : {false, true}) {
    if (bytes.starts_with(bigEndian ? "\xFE\xFF" : "\xFF\xFE")) {
      std::optional<std::string> text = Utf16ToUtf8(bytes.substr(2), bigEndian);
      if (!text) {
        *refused = std::string(bigEndian ? "UTF-16 BE" : "UTF-16 LE") +
                   " kódolású, de csonka vagy hibás" + std::string(kSaveAs);
      }
      return text;
    }
  }
  std::size_t zeros[2] = {0, 0};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    zeros[i % 2] += bytes[i] == '\0' ? 1 : 0;
  }
  if (zeros[0] + zeros[1] == 0) {
    return std::string(bytes);
  }
  // ASCII text in UTF-16 has every other byte zero: the high bytes.
  const std::size_t half = bytes.size() / 2;
  if (zeros[1] * 2 >= half && zeros[0] * 4 < zeros[1]) {
    *refused = "UTF-16 LE kódolású, bájtsorrend-jel nélkül" + std::string(kSaveAs);
  } else if (zeros[0] * 2 >= half && zeros[1] * 4 < zeros[0]) {
    *refused = "UTF-16 BE kódolású, bájtsorrend-jel nélkül" + std::string(kSaveAs);
  } else {
    *refused = "NUL bájtot tartalmaz, nem szövegfájl";
  }
  return std::nullopt;
}

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
