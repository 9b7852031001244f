// Incomplete inputs: header totals that disagree with the orders read, HUA messages without
// their trailer, files without a header end; and inputs held back by MinFileAge.
#include "app/completeness.h"

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";

TEST(CompletenessTest, DeclaredTotalsRead) {
  struct Case {
    const char* line;
    std::optional<std::string> count;
    std::optional<std::string> cents;
  } cases[] = {
      {"4", "4", "400"},
      {"  12 ", "12", "1200"},
      {"0000", "0", "0"},
      {"0,00", std::nullopt, "0"},
      {"5230,50", std::nullopt, "523050"},
      {"5230.5", std::nullopt, "523050"},
      {"0,07", std::nullopt, "7"},
      {"10,", std::nullopt, std::nullopt},
      {",50", std::nullopt, std::nullopt},
      {"1,234", std::nullopt, std::nullopt},
      {"1 000,00", std::nullopt, std::nullopt},
      {"-5", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"abc", std::nullopt, std::nullopt},
      {"0099999999999999999999", "99999999999999999999", "9999999999999999999900"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.count, ReadDeclaredCount(c.line)) << c.line;
    EXPECT_EQ(c.cents, ReadDeclaredCents(c.line)) << c.line;
  }
}

std::string Orders(int n) {
  std::vector<std::string> messages;
  for (int i = 0; i < n; ++i) {
    messages.push_back(HuaMessage(i == 0, "R" + std::to_string(i + 1), "EUR1,25", "DEUTDEFF",
                                  kDeIban, i % 10 == 0 ? "URGENT" : "A B C D"));
  }
  return HuaFile(messages);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(CompletenessTest, IncompleteFilesAreRefused) {
  std::string example = ReadFileBytes(VARNEX_EXAMPLES_DIR "/input/PELDA1.HUA");
  std::size_t third = example.find("{1:", example.find("{1:", example.find("{1:") + 1) + 1);
  ASSERT_NE(std::string::npos, third);
  std::string three = Orders(3);
  struct Case {
    const char* name;
    std::string bytes;
    const char* extraIni;
    int exitCode;
    const char* logged;  // expected in the log; for a refusal the reason
  } cases[] = {
      {"cut in its third order", example.substr(0, third + 120), "", 2,
       "3. megbízás (:20: HUA-0003): az üzenet csonka"},
      {"cut after its third order", example.substr(0, example.find("{1:", third + 1) - 1), "", 2,
       "a fejléc szerint 4 megbízást tartalmaz (:03:), de 3 olvasható benne"},
      {"count disagrees", Replace(three, ":03:3", ":03:4"), "", 2,
       "a fejléc szerint 4 megbízást tartalmaz (:03:), de 3 olvasható benne"},
      {"sum disagrees", Replace(three, ":02:3,75", ":02:3,74"), "", 2,
       "a fejléc szerinti összeg (:02:) 3,74, a megbízások összege 3,75"},
      {"count beyond 64 bits", Replace(three, ":03:3", ":03:18446744073709551619"), "", 2,
       "a fejléc szerint 18446744073709551619 megbízást tartalmaz (:03:), de 3 olvasható benne"},
      {"sum of 2^63 cents", Replace(three, ":02:3,75", ":02:92233720368547758,08"), "", 2,
       "a fejléc szerinti összeg (:02:) 92233720368547758,08, a megbízások összege 3,75"},
      {"count disagrees beside an amount that is not one",
       Replace(Replace(three, ":03:3", ":03:4"), "EUR1,25", "EUR1,2x"), "", 2,
       "a fejléc szerint 4 megbízást tartalmaz (:03:), de 3 olvasható benne"},
      {"totals not filled", Replace(Replace(three, ":03:3", ":03:0"), ":02:3,75", ":02:0,00"), "",
       0, "Backup fájl létrehozva"},
      {"totals unreadable", Replace(Replace(three, ":03:3", ":03:n/a"), ":02:3,75", ":02:x"), "", 0,
       "Backup fájl létrehozva"},
      {"totals missing", Replace(Replace(three, ":03:3\r\n", ""), ":02:3,75\r\n", ""), "", 0,
       "Backup fájl létrehozva"},
      {"totals switched off", Replace(three, ":03:3", ":03:9"), "CheckTotals=0\n", 0,
       "Backup fájl létrehozva"},
      {"message without trailer", Replace(three, "HU\r\n-}\r\n$", "HU\r\n$"), "CheckTotals=0\n", 2,
       "1. megbízás (:20: R1): az üzenet csonka"},
      {"no header end", Replace(three, ":07: \r\n", ""), "", 2, "nincs benne :07: mező"},
      {"empty file", "", "", 2, "nincs benne :07: mező"},
      {"ten thousand orders", Orders(10000), "", 0, "Backup fájl létrehozva"},
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteIni(Replace(RunHarness::kIni, "BankBIC=", std::string(c.extraIni) + "BankBIC="));
    h.WriteInput("A.HUA", c.bytes);
    EXPECT_EQ(c.exitCode, h.Run("-c")) << c.name << "\n" << h.Log();
    EXPECT_NE(std::string::npos, h.Log().find(c.logged)) << c.name << "\n" << h.Log();
    if (c.exitCode != 0) {
      EXPECT_EQ(std::vector<std::string>{"A.HUA"}, h.Files("in")) << c.name;
      EXPECT_EQ(std::vector<std::string>{}, h.Files("out")) << c.name;
      EXPECT_NE(std::string::npos, h.Log().find("Hiba: a fájl nem konvertálható, az input marad"))
          << c.name;
    }
  }
}

TEST(CompletenessTest, MinFileAgeHoldsYoungFilesBackUntilTheyComeOfAge) {
  struct Case {
    int minAge;
    long ageSeconds;  // negative: a modification time in the future
    std::int64_t waitMs;
    bool converted;
    int exit = 0;
  } cases[] = {
      {0, 10, 0, true},         {5, 10, 0, true},
      {60, 10, 49955, true},     // the fake clock stands 45 ms past the second
      {60, -30, 0, false},       // a clock a little ahead: not waited for, the next run takes it
      {60, -3600, 0, false, 2},  // never of age before the clock catches up: a problem
      {0, -3600, 0, true},       // nothing waits without MinFileAge
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteIni(Replace(RunHarness::kIni,
                       "BankBIC=", "MinFileAge=" + std::to_string(c.minAge) + "\nBankBIC="));
    h.WriteInput("A.HUA", Orders(1));
    // The fake clock stands at 2016-10-05 14:03:07 +02:00 = 1475668987.
    ASSERT_TRUE(SetModified(h.Path("in/A.HUA"), 1475668987 - c.ageSeconds));
    EXPECT_EQ(c.exit, h.Run("-c")) << c.minAge;
    EXPECT_EQ(c.waitMs, h.clock.slept) << c.minAge;
    EXPECT_EQ(c.converted, h.Files("in").empty()) << c.minAge << h.Log();
    EXPECT_EQ(c.waitMs > 0,
              h.Log().find("A fájl 60 másodpercnél frissebb, ez a futás később újra megnézi: " +
                           h.Path("in/A.HUA") +
                           "\nVárakozás 50 másodpercig a visszatartott "
                           "fájlokra.\n") != std::string::npos)
        << c.minAge << h.Log();
    EXPECT_EQ(!c.converted && c.exit == 0,
              h.Log().find("60 másodpercnél frissebb, a következő futás dolgozza fel") !=
                  std::string::npos)
        << c.minAge << h.Log();
    EXPECT_EQ(c.exit == 2,
              h.Log().find("Hiba: " + h.Path("in/A.HUA") +
                           ": a fájl módosítási ideje 3600 másodperccel jár az óra előtt") !=
                  std::string::npos)
        << h.Log();
  }
}

}  // namespace
}  // namespace varnex
