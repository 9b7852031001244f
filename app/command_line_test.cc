#include "app/command_line.h"

#include <vector>

#include <gtest/gtest.h>

namespace varnex {
namespace {

TEST(CommandLineTest, MistypedOptionsNeverStartAConversion) {
  struct Case {
    std::vector<const char*> argv;
    Command command;
  } cases[] = {
      {{"varnex", "--frobnicate"}, Command::kUnknownOption},
      {{"varnex", "--c"}, Command::kUnknownOption},
      {{"varnex", "--"}, Command::kUnknownOption},
      {{"varnex", "--check", "a.HUA", "--verbose"}, Command::kUnknownOption},
      {{"varnex", "--check", "--help"}, Command::kHelp},
      {{"varnex", "--check", "a.HUA", "-h"}, Command::kHelp},
      {{"varnex", "-c", "--help"}, Command::kHelp},
      // The single-dash and slash forms keep their meaning.
      {{"varnex", "-c", "--later"}, Command::kConvert},
      {{"varnex", "-x"}, Command::kConvert},
      {{"varnex", "/c"}, Command::kConvert},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = c.argv;
    argv.push_back(nullptr);
    EXPECT_EQ(c.command, CommandOf(static_cast<int>(c.argv.size()), argv.data())) << c.argv.back();
  }
}

TEST(CommandLineTest, UsageFitsAnEightyColumnTerminal) {
  std::string usage = UsageText();
  std::size_t start = 0;
  for (std::size_t end = usage.find('\n'); end != std::string::npos;
       start = end + 1, end = usage.find('\n', start)) {
    std::string line = usage.substr(start, end - start);
    std::size_t characters = 0;
    for (char ch : line) {
      characters += (static_cast<unsigned char>(ch) & 0xC0) != 0x80 ? 1 : 0;
    }
    EXPECT_LE(characters, 80u) << line;
  }
}

}  // namespace
}  // namespace varnex
