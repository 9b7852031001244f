#include "app/command_line.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace varnex {
namespace {

// Recognised before anything is logged; a mistyped option never starts a conversion.
TEST(CommandLineTest, CommandOfTheArguments) {
  struct Case {
    std::vector<const char*> argv;
    Command command;
  } cases[] = {
      {{"varnex"}, Command::kConvert},
      {{"varnex", "-c"}, Command::kConvert},
      {{"varnex", "/c"}, Command::kConvert},
      {{"varnex", "-cx"}, Command::kConvert},
      {{"varnex", "-x"}, Command::kConvert},
      {{"varnex", "-c", "--later"}, Command::kConvert},  // only the first argument counts
      {{"varnex", "--check"}, Command::kCheck},
      {{"varnex", "--check", "a.HUA"}, Command::kCheck},
      {{"varnex", "-check"}, Command::kMistypedCheck},
      {{"varnex", "/check"}, Command::kMistypedCheck},
      {{"varnex", "--checks"}, Command::kUnknownOption},
      {{"varnex", "--frobnicate"}, Command::kUnknownOption},
      {{"varnex", "--c"}, Command::kUnknownOption},
      {{"varnex", "--"}, Command::kUnknownOption},
      {{"varnex", "--check", "a.HUA", "--verbose"}, Command::kUnknownOption},
      {{"varnex", "--help"}, Command::kHelp},
      {{"varnex", "-h"}, Command::kHelp},
      {{"varnex", "--check", "--help"}, Command::kHelp},
      {{"varnex", "--check", "a.HUA", "-h"}, Command::kHelp},
      {{"varnex", "-c", "--help"}, Command::kHelp},
      {{"varnex", "--version"}, Command::kVersion},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = c.argv;
    argv.push_back(nullptr);
    EXPECT_EQ(c.command, CommandOf(static_cast<int>(c.argv.size()), argv.data())) << c.argv.back();
  }
  EXPECT_EQ(std::string("varnex ") + VARNEX_VERSION + "\n", VersionText());
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
