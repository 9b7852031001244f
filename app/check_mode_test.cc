// The dry run: what it reports, its exit codes, and that it changes nothing anywhere.
#include "app/check_mode.h"

#include <filesystem>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";
const char kHuIban[] = "HU42117730161111101800000000";

std::string ToLf(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') {
      out.push_back(c);
    }
  }
  return out;
}

// Every file and directory below `root` with its size and modification time.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> tree;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::string state = it->is_directory(ec) ? "dir" : std::to_string(it->file_size(ec));
    state += "@" + std::to_string(it->last_write_time(ec).time_since_epoch().count());
    tree[it->path().string()] = state;
  }
  return tree;
}

struct CheckResult {
  int exitCode;
  std::string out;
};

CheckResult Check(RunHarness& h, const std::vector<std::string>& files = {}) {
  std::ostringstream out;
  std::ostringstream errors;
  int code = RunCheck(Platform{h.fs, h.clock, h.console, h.picker}, files, out, errors);
  return {code, out.str() + errors.str()};
}

TEST(CheckModeTest, CommandsRecognisedBeforeStartUp) {
  struct Case {
    std::vector<const char*> argv;
    Command command;
  } cases[] = {
      {{"varnex"}, Command::kConvert},
      {{"varnex", "-c"}, Command::kConvert},
      {{"varnex", "/c"}, Command::kConvert},
      {{"varnex", "-cx"}, Command::kConvert},
      {{"varnex", "--check"}, Command::kCheck},
      {{"varnex", "--check", "a.HUA"}, Command::kCheck},
      {{"varnex", "-check"}, Command::kMistypedCheck},
      {{"varnex", "/check"}, Command::kMistypedCheck},
      {{"varnex", "--checks"}, Command::kUnknownOption},
      {{"varnex", "--help"}, Command::kHelp},
      {{"varnex", "-h"}, Command::kHelp},
      {{"varnex", "--version"}, Command::kVersion},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.command, CommandOf(static_cast<int>(c.argv.size()), c.argv.data()))
        << (c.argv.size() > 1 ? c.argv[1] : "(none)");
  }
  EXPECT_EQ(std::string("varnex ") + VARNEX_VERSION + "\n", VersionText());
}

TEST(CheckModeTest, ReportsWithoutTouchingAnything) {
  for (bool lfOnly : {false, true}) {
    RunHarness h;
    std::string hua = HuaFile({HuaMessage(true, "S1", "EUR1,00", "DEUTDEFF", kDeIban),
                               HuaMessage(false, "N1", "HUF2,00", "DEUTDEFF", kDeIban),
                               HuaMessage(false, "S2", "EUR3,00", "ABCD", kDeIban)});
    std::string intFile = IntFile({IntMessage("I1", "EUR5,00", kHuIban, "BNPAFRPP", kFrIban),
                                   IntMessage("I2", "USD7,00", kHuIban, "CITIUS33", "123")});
    h.WriteInput("A.HUA", lfOnly ? ToLf(hua) : hua);
    h.WriteInput("B.INT", lfOnly ? ToLf(intFile) : intFile);
    std::map<std::string, std::string> before = Snapshot(h.root());
    CheckResult r = Check(h);
    EXPECT_EQ(2, r.exitCode) << r.out;
    EXPECT_EQ(before, Snapshot(h.root())) << "the check changed something";

    std::string a = h.Path("in/A.HUA");
    std::string b = h.Path("in/B.INT");
    // Messages start on lines 9, 30 and 51 of the HUA file, 10 and 21 of the INT file.
    for (const std::string& expected : {
             b + ": konvertálható – .CCT: 1 megbízás, 5.00; .CCU: 0 megbízás, 0.00; .INT: 1 "
                 "megbízás, 7.00\n",
             b + ":21: 2. megbízás (:20: I2): nem SEPA-megbízás: a deviza (\"USD\") nem EUR; a "
                 "kedvezményezett számlaszáma (\"123\") nem érvényes IBAN\n",
             a + ": NEM konvertálható – .CCT: 2 megbízás, 4.00; .CCU: 0 megbízás, 0.00; .HUA: 1 "
                 "megbízás, 2.00\n",
             a + ":30: 2. megbízás (:20: N1): nem SEPA-megbízás: a deviza (\"HUF\") nem EUR\n",
             a + ":51: hiba: 3. megbízás (:20: S2): PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC = "
                 "\"ABCD\"",
         }) {
      EXPECT_NE(std::string::npos, r.out.find(expected)) << expected << "\n" << r.out;
    }
    EXPECT_EQ(1, Count(r.out, "hiba:")) << r.out;
  }
}

TEST(CheckModeTest, EveryRefusalIsALineOfItsFile) {
  RunHarness h;
  std::string good = HuaFile({HuaMessage(true, "S1", "EUR1,00", "DEUTDEFF", kDeIban)});
  h.WriteInput("OK.HUA", good);
  std::string cut = good.substr(0, good.size() - 6);
  h.WriteInput("CUT.HUA", cut);
  CheckResult ok = Check(h, {h.Path("in/OK.HUA")});
  EXPECT_EQ(0, ok.exitCode) << ok.out;
  EXPECT_EQ(0, Count(ok.out, "hiba:")) << ok.out;

  CheckResult r = Check(h, {h.Path("in/CUT.HUA"), h.Path("in/NONE.HUA"), h.Path("in/x.txt")});
  EXPECT_EQ(2, r.exitCode);
  EXPECT_NE(std::string::npos,
            r.out.find(h.Path("in/CUT.HUA") + ":9: hiba: 1. megbízás (:20: S1): az üzenet csonka"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find(h.Path("in/NONE.HUA") + ":0: hiba: az input fájl"));
  EXPECT_NE(std::string::npos, r.out.find(h.Path("in/x.txt") + ": kihagyva"));

  // A converted file's copy is refused, and the check writes no index.
  std::remove(h.Path("in/CUT.HUA").c_str());
  ASSERT_EQ(0, h.Run("-c"));
  h.WriteInput("AGAIN.HUA", good);
  std::remove(h.Path("bak/.varnex.index").c_str());
  r = Check(h);
  EXPECT_EQ(2, r.exitCode);
  EXPECT_NE(std::string::npos, r.out.find(h.Path("in/AGAIN.HUA") + ":0: hiba: a fájl egy korábban"))
      << r.out;
  EXPECT_FALSE(std::filesystem::exists(h.Path("bak/.varnex.index")));
}

}  // namespace
}  // namespace varnex
