// The README's catalogue of log lines names every line the program can log: each format text
// given to a run log's Printf, and each internal-error text, must appear in it in backticks
// (without its trailing line ends).
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace varnex {
namespace {

// The text of the adjacent string literals starting at `pos` (blanks, line ends and comments
// between them skipped); escapes \n, \t, \", \\ decoded. Empty when no literal starts there.
std::string ReadLiterals(const std::string& source, std::size_t pos) {
  std::string text;
  for (;;) {
    while (pos < source.size() && std::isspace(static_cast<unsigned char>(source[pos]))) {
      ++pos;
    }
    if (source.compare(pos, 2, "//") == 0) {
      pos = source.find('\n', pos);
      continue;
    }
    if (pos >= source.size() || source[pos] != '"') {
      return text;
    }
    for (++pos; pos < source.size() && source[pos] != '"'; ++pos) {
      if (source[pos] == '\\' && pos + 1 < source.size()) {
        char c = source[++pos];
        text.push_back(c == 'n' ? '\n' : c == 't' ? '\t' : c);
      } else {
        text.push_back(source[pos]);
      }
    }
    ++pos;
  }
}

struct LogText {
  std::string text;
  std::string file;
};

// Every format text of a log's Printf and every internal-error text in the program's sources.
std::vector<LogText> LogTexts() {
  std::vector<LogText> texts;
  const std::string root = VARNEX_SOURCE_DIR;
  for (const char* dir : {"app", "mt", "convert", "output"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root + "/" + dir)) {
      std::string path = entry.path().string();
      if (!path.ends_with(".cc") || path.ends_with("_test.cc")) {
        continue;
      }
      std::string source = ReadFileBytes(path);
      for (const char* call : {"log_.Printf(", "log.Printf(", "internalError = "}) {
        for (std::size_t at = source.find(call); at != std::string::npos;
             at = source.find(call, at + 1)) {
          std::string text = ReadLiterals(source, at + std::string_view(call).size());
          while (!text.empty() && text.back() == '\n') {
            text.pop_back();
          }
          if (!text.empty()) {
            texts.push_back({text, path.substr(root.size() + 1)});
          }
        }
      }
    }
  }
  return texts;
}

TEST(LogCatalogueTest, ReadmeNamesEveryLogLine) {
  const std::string readme = ReadFileBytes(std::string(VARNEX_SOURCE_DIR) + "/README.md");
  std::vector<LogText> texts = LogTexts();
  EXPECT_GT(texts.size(), 40u);
  std::set<std::string> missing;
  for (const LogText& t : texts) {
    if (readme.find("`" + t.text + "`") == std::string::npos) {
      missing.insert("`" + t.text + "` (" + t.file + ")");
    }
  }
  std::string list;
  for (const std::string& m : missing) {
    list += "\n  " + m;
  }
  EXPECT_TRUE(missing.empty()) << "The log catalogue of README.md lacks these lines:" << list;
}

}  // namespace
}  // namespace varnex
