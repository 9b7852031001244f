// The dry run: what it reports, its exit codes, and that it changes nothing anywhere.
#include "app/check_mode.h"

#include <cstdio>
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
    // Messages start on lines 9, 30 and 51 of the HUA file, 10 and 21 of the INT file. Each
    // file: its summary, then its lines in input line order, then a blank line.
    for (const std::string& expected : {
             b + ": konvertálható\n"
                 "  .CCT: 1 megbízás, 5.00; .CCU: 0 megbízás, 0.00; .INT: 1 megbízás, 7.00\n"
                 "  21. sor: 2. megbízás (:20: I2): nem SEPA-megbízás:\n"
                 "      a deviza (\"USD\") nem EUR\n"
                 "      a kedvezményezett számlaszáma (\"123\") nem érvényes IBAN\n\n",
             a +
                 ": NEM konvertálható\n"
                 "  .CCT: 2 megbízás, 4.00; .CCU: 0 megbízás, 0.00; .HUA: 1 megbízás, 2.00\n"
                 "  30. sor: 2. megbízás (:20: N1): nem SEPA-megbízás:\n"
                 "      a deviza (\"HUF\") nem EUR\n" +
                 a +
                 ":51: hiba: 3. megbízás (:20: S2): PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC = "
                 "\"ABCD\"",
             std::string("Ellenőrizve: 2 fájl; konvertálható: 1; NEM konvertálható: 1.\n"),
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
  h.WriteInput("x.txt", "");
  // Left by a run as well.
  EXPECT_EQ(2, Check(h, {h.Path("in/OK.HUA"), h.Path("in/x.txt")}).exitCode);

  CheckResult r = Check(
      h, {h.Path("in/CUT.HUA"), h.Path("in/NONE.HUA"), h.Path("in/x.txt"), h.Path("in/none.txt")});
  EXPECT_EQ(2, r.exitCode);
  EXPECT_NE(std::string::npos,
            r.out.find(h.Path("in/CUT.HUA") + ":9: hiba: 1. megbízás (:20: S1): az üzenet csonka"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find(h.Path("in/NONE.HUA") + ":0: hiba: az input fájl"));
  EXPECT_NE(std::string::npos, r.out.find(h.Path("in/x.txt") + ": kihagyva"));
  EXPECT_NE(std::string::npos, r.out.find(h.Path("in/none.txt") + ":0: hiba: az input fájl"));
  EXPECT_NE(
      std::string::npos,
      r.out.find("Ellenőrizve: 3 fájl; konvertálható: 0; NEM konvertálható: 3; kihagyva: 1.\n"))
      << r.out;

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

TEST(CheckModeTest, FindsWhatTheRunWouldTripOver) {
  RunHarness h;
  std::string ini = RunHarness::kIni;
  ini.insert(ini.find("BankBIC="), "OutputPathHUA=nowhere\nMinFileAge=60\n");
  h.WriteIni(ini);
  h.WriteInput("A.HUA", HuaFile({HuaMessage(true, "S1", "EUR1,00", "DEUTDEFF", kDeIban),
                                 HuaMessage(false, "N1", "HUF2,00", "DEUTDEFF", kDeIban)}));
  h.WriteInput("B.HUA", HuaFile({HuaMessage(true, "S2", "EUR1,00", "DEUTDEFF", kDeIban)}));
  // A.HUA was written long ago; B.HUA ten seconds before the fake clock's now.
  ASSERT_TRUE(SetModified(h.Path("in/A.HUA"), 1400000000));
  ASSERT_TRUE(SetModified(h.Path("in/B.HUA"), 1475668977));
  h.fs.unwritableDir = h.Path("out/");
  CheckResult r = Check(h);
  EXPECT_EQ(2, r.exitCode) << r.out;
  std::string a = h.Path("in/A.HUA");
  std::string b = h.Path("in/B.HUA");
  for (const std::string& expected : {
           a + ":0: hiba: a(z) .CCT output könyvtárába nem írhat ez a felhasználó: " +
               h.Path("out/") + "\n" + a +
               ":0: hiba: a(z) .HUA output könyvtára nem létezik: " + h.Path("nowhere/") + "\n",
           b + ": NEM konvertálható\n"
               "  .CCT: 1 megbízás, 1.00; .CCU: 0 megbízás, 0.00; .HUA: 0 megbízás, 0.00\n"
               "  MinFileAge: a fájl 60 másodpercnél frissebb, a futás még 50 másodpercig nem "
               "veszi fel\n",
           std::string("Ellenőrizve: 2 fájl; konvertálható: 0; NEM konvertálható: 2.\n"),
       }) {
    EXPECT_NE(std::string::npos, r.out.find(expected)) << expected << "\n" << r.out;
  }
  // A.HUA's lines come in input line order: the file's own (line 0), then its orders.
  EXPECT_LT(r.out.find(a + ":0: hiba"), r.out.find("  30. sor: 2. megbízás")) << r.out;

  // Nothing to check: a line says so, the directory argument included.
  h.fs.unwritableDir.clear();
  std::remove(a.c_str());
  std::remove(b.c_str());
  r = Check(h, {h.Path("in")});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_EQ("Nincs ellenőrizendő HUA vagy INT fájl: " + h.Path("in/") +
                "\nEllenőrizve: 0 fájl; konvertálható: 0; NEM konvertálható: 0.\n",
            r.out);
}

}  // namespace
}  // namespace varnex
