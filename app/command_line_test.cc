#include "app/command_line.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace varnex {
namespace {

// Every argument is read; one not understood, anywhere, is a usage error.
TEST(CommandLineTest, CommandOfTheArguments) {
  constexpr RunMode kDir = RunMode::kInputDirectory;
  constexpr RunMode kHand = RunMode::kManualSelection;
  struct Case {
    std::vector<std::string> args;
    Command command;
    RunMode mode;
    std::vector<std::string> files;
    bool resubmit = false;
  } cases[] = {
      {{}, Command::kConvert, kHand, {}},
      {{"-c"}, Command::kConvert, kDir, {}},
      {{"/c"}, Command::kConvert, kDir, {}},
      {{"a.HUA", "/d/b.INT"}, Command::kConvert, kHand, {"a.HUA", "/d/b.INT"}},
      {{"c"}, Command::kConvert, kHand, {"c"}},
      {{"--check"}, Command::kCheck, kDir, {}},
      {{"-c", "--check"}, Command::kCheck, kDir, {}},
      {{"--check", "/c"}, Command::kCheck, kDir, {}},
      {{"--check", "a.HUA", "d"}, Command::kCheck, kHand, {"a.HUA", "d"}},
      {{"--help"}, Command::kHelp, kHand, {}},
      {{"--frobnicate", "-h"}, Command::kHelp, kHand, {}},
      {{"-c", "--help"}, Command::kHelp, kHand, {}},
      {{"--version"}, Command::kVersion, kHand, {}},
      {{"--resubmit", "a.HUA"}, Command::kConvert, kHand, {"a.HUA"}, true},
      {{"--resubmit"}, Command::kUsageError, kHand, {}},
      {{"--resubmit", "-c"}, Command::kUsageError, kHand, {}},
      {{"--check", "--resubmit", "a.HUA"}, Command::kUsageError, kHand, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"varnex"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandLine line = ParseCommandLine(args);
    EXPECT_EQ(c.command, line.command) << testing::PrintToString(c.args);
    EXPECT_EQ(c.mode, line.mode) << testing::PrintToString(c.args);
    EXPECT_EQ(c.files, line.files) << testing::PrintToString(c.args);
    EXPECT_EQ(c.resubmit, line.resubmit) << testing::PrintToString(c.args);
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
