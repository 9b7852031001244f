#include "platform/terminal_file_picker.h"

#include <cstdlib>

namespace varnex {
namespace {

// `line` without leading and trailing white space.
std::string TrimAnswer(std::string_view line) {
  std::size_t begin = line.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) {
    return std::string();
  }
  std::size_t end = line.find_last_not_of(" \t\r\n");
  return std::string(line.substr(begin, end - begin + 1));
}

// A path as the terminal shows it: a file name may hold any byte but '/', so control
// characters are shown as '?' and no name can break the list or move the cursor.
std::string Shown(std::string path) {
  for (char& c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = '?';
    }
  }
  return path;
}

}  // namespace

std::vector<std::string> SplitAnswer(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = '\0';
  for (char c : line) {
    if (quote != '\0') {
      if (c == quote) {
        quote = '\0';
      } else {
        word.push_back(c);
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
      inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inWord) {
        words.push_back(word);
        word.clear();
        inWord = false;
      }
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) {
    words.push_back(word);
  }
  return words;
}

bool TerminalFilePicker::Pick(const std::vector<std::string>& candidates,
                              std::vector<std::string>* chosen) {
  chosen->clear();
  std::string line;
  if (!interactive_) {
    while (std::getline(in_, line)) {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      if (!line.empty()) {
        chosen->push_back(line);
      }
    }
    return !chosen->empty();
  }
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    out_ << "  " << (i + 1) << ". " << Shown(candidates[i]) << "\n";
  }
  out_ << "Feldolgozandó fájlok (sorszámok és/vagy elérési utak; üres válasz: mégse): "
       << std::flush;
  if (!std::getline(in_, line)) {
    return false;
  }
  for (std::string word : SplitAnswer(line)) {
    char* end = nullptr;
    long number = std::strtol(word.c_str(), &end, 10);
    if (!word.empty() && end != nullptr && *end == '\0' && number >= 1 &&
        static_cast<std::size_t>(number) <= candidates.size()) {
      chosen->push_back(candidates[static_cast<std::size_t>(number - 1)]);
      continue;
    }
    while (!fs_.Exists(word)) {
      out_ << "Nem létező fájl: " << Shown(word)
           << "\nAdja meg újra (üres válasz: kihagyás): " << std::flush;
      // The answer is one path, blanks included; enclosing quotes may be given.
      if (!std::getline(in_, word)) {
        return false;
      }
      std::vector<std::string> again = SplitAnswer(word);
      word = again.size() == 1 ? again.front() : TrimAnswer(word);
      if (word.empty()) {
        break;
      }
    }
    if (!word.empty()) {
      chosen->push_back(word);
    }
  }
  return !chosen->empty();
}

}  // namespace varnex
