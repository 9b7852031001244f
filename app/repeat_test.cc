// Inputs seen before: a byte-identical copy of a converted file is refused, and a file refused
// by an earlier run is skipped unread until it changes.
#include <gtest/gtest.h>

#include "app/safety/refusal_memory.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";

std::string Orders(const std::string& ref) {
  return HuaFile({HuaMessage(true, ref, "EUR10,00", "DEUTDEFF", kDeIban),
                  HuaMessage(false, ref + "B", "HUF5,00", "DEUTDEFF", kDeIban)});
}

TEST(RepeatTest, CopyOfAConvertedFileIsRefused) {
  struct Case {
    const char* name;
    std::string second;  // the bytes dropped in after the first file was converted
    const char* extraIni;
    bool removeIndex;
    std::string mode;
    bool refused;
  } cases[] = {
      {"same bytes", Orders("R1"), "", false, "-c", true},
      {"same bytes, manual selection", Orders("R1"), "", false, "", true},
      {"same bytes, index lost", Orders("R1"), "", true, "-c", true},
      {"same size, other bytes", Orders("R2"), "", false, "-c", false},
      {"checks switched off", Orders("R1"), "RejectDuplicates=0\nRejectReusedMsgId=0\n", false,
       "-c", false},
  };
  for (const Case& c : cases) {
    RunHarness h;
    std::string ini = RunHarness::kIni;
    h.WriteIni(ini.replace(ini.find("BankBIC="), 0, c.extraIni));
    h.WriteInput("A.HUA", Orders("R1"));
    ASSERT_EQ(0, h.Run("-c")) << c.name << h.Log();
    if (c.removeIndex) {
      std::remove(h.Path("bak/.varnex.index").c_str());
    }
    h.clock.AdvanceMs(1000);
    h.WriteInput("A2.HUA", c.second);
    h.picker.answer = {h.Path("in/A2.HUA")};
    EXPECT_EQ(c.refused ? 2 : 0, h.Run(c.mode)) << c.name << h.Log();
    EXPECT_EQ(c.refused, h.Log().find("korábban már feldolgozott fájl másolata (backup: " +
                                      h.Path("bak/A_20161005140307045.HUA")) != std::string::npos)
        << c.name << h.Log();
    EXPECT_EQ(c.refused, !h.Files("in").empty()) << c.name;
    // A duplicate is refused before it is read as orders.
    EXPECT_EQ(c.refused, h.Log().find("Input fájl neve") == std::string::npos) << c.name;
  }
}

TEST(RepeatTest, RefusedFileIsSkippedUnreadUntilItChanges) {
  RunHarness h;
  std::string good = Orders("R1");
  std::string bad = good;
  bad.replace(bad.find(":03:2"), 5, ":03:3");
  h.WriteInput("A.HUA", bad);
  EXPECT_EQ(2, h.Run("-c"));
  EXPECT_NE(std::string::npos, h.Log().find("Input fájl neve"));

  // Unchanged: one line, not read again, still an error.
  EXPECT_EQ(2, h.Run("-c"));
  EXPECT_EQ(std::string::npos, h.Log().find("Input fájl neve")) << h.Log();
  EXPECT_EQ(1, Count(h.Log(), "Hiba: ")) << h.Log();
  EXPECT_NE(std::string::npos,
            h.Log().find("Hiba: a fájlt egy korábbi futás már elutasította, azóta nem változott, "
                         "kihagyva: " +
                         h.Path("in/A.HUA") +
                         " (elutasítva: 2016.10.05. 14:03:07, oka: a fájl "
                         "hiányos vagy hibás: a fejléc szerint 3"))
      << h.Log();

  // A lost memory costs one reading.
  std::remove(h.Path(std::string("log/") + std::string(kRefusalMemoryName)).c_str());
  EXPECT_EQ(2, h.Run("-c"));
  EXPECT_NE(std::string::npos, h.Log().find("Input fájl neve")) << h.Log();

  // Mended: tried again and converted.
  h.WriteInput("A.HUA", good);
  EXPECT_EQ(0, h.Run("-c")) << h.Log();
  EXPECT_EQ(std::vector<std::string>{}, h.Files("in"));
}

}  // namespace
}  // namespace varnex
