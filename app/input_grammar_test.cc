// Input that the conversion would not carry as written, through whole runs and the dry run:
// each case is a valid file with one change, and either refuses the file (with its line) or
// converts it with the lines it leaves out counted.
#include <sstream>

#include <gtest/gtest.h>

#include "app/check_mode.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";
const char kHuIban[] = "HU42117730161111101800000000";

// `text` with its first `from` replaced by `to`.
std::string With(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string Hua(const std::string& info72 = "A B C D") {
  return HuaFile({HuaMessage(true, "HUA0001", "EUR1250,00", "DEUTDEFF", kDeIban, info72)});
}

std::string Int() {
  return IntFile({IntMessage("INT0001", "EUR5000,00", kHuIban, "BNPAFRPP", kFrIban)});
}

TEST(InputGrammarTest, WhatIsNotCarriedAsWrittenRefusesTheFile) {
  struct Case {
    const char* name;  // the input's file name
    std::string input;
    const char* line;  // a part of the Hiba line of the run and of --check
    // A converted file: the run's line, where it differs from --check's.
    const char* converted = nullptr;
  } cases[] = {
      // Amounts and references first: the cases that once converted changed.
      {"WRAP.HUA", With(Hua(), "EUR1250,00", "EUR1\r\n250,00"), ":32A: 2. sora: \"250,00\""},
      {"WRAP.INT", With(Int(), "EUR5000,00", "EUR5\r\n000,00"), ":32A: 2. sora: \"000,00\""},
      {"LF.HUA", With(Hua(), "HUA0001", "HUA\n0001"), ":20: 2. sora: \"0001\""},
      {"ZERO.HUA",
       With(Hua(), ":20:HUA0001",
            std::string(":20:HUA\0"
                        "0001",
                        12)),
       ":20: 1. sora vezérlőkaraktert tartalmaz: \":20:HUA<NUL>0001\""},
      {"CR.HUA", With(Hua(), "HUA0001", "HUA\r0001"), "\":20:HUA<CR>0001\""},
      {"TAB.INT", With(Int(), "/D/HU42", "/D/HU\t42"), ":52A: 1. sora vezérlőkaraktert"},
      {"LONG.HUA", With(Hua(), "HUA0001", std::string(36, 'R')), ":20: 1. sora 36 karakter"},
      {"DATE.HUA", With(Hua(), "261208EUR", "261308EUR"), "a dátum nem létező nap"},
      {"ACCT.INT", With(Int(), "/D/HU42", "HU42"), "nem \"/D/számla\" alakú"},
      // Code pages: UTF-8, and CP1250 ("SÜRGŐS" in :72:).
      {"UTF8.HUA", With(Hua(), "Minta Kft.\r\nBudapest\r\n:52D:", "M\xc3\xbcller\r\n:52D:"),
       "a fájl UTF-8 kódolású, nem CP852 kódlapú"},
      {"BOM.INT", "\xef\xbb\xbf" + Int(), "a fájl UTF-8 kódolású, nem CP437 kódlapú"},
      {"1250.HUA", Hua("S\xdcRG\xd5S"), "a fájl nem CP852 kódlapú: a(z) \"▄\" karakter"},
      // Structure.
      {"EMPTY.HUA", HuaFile({}), "a fejléc után nincs egyetlen megbízás sem"},
      {"ID.INT", With(Int(), ":02:", ":01:OTHER\r\n:02:"),
       ":01: a mező kétszer szerepel a fejlécben"},
      {"TWICE.HUA", With(Hua(), ":71A:", ":70:Masik\r\n:71A:"), ":70: a mező kétszer szerepel"},
      {"TAG.INT", With(Int(), ":71A:", ":33B:EUR1,00\r\n:71A:"), "ismeretlen mező"},
      {"BOTH.INT", With(Int(), ":57A:", ":52D:/D/X\r\n:57A:"), ":52A: és :52D: mező is"},
      {"GAP.HUA", With(Hua(), ":07: \r\n", ":07: \r\nmegjegyzes\r\n"), "egyetlen mezőhöz sem"},
      {"CUT.INT", Int().substr(0, Int().find(":71A:") + 3), "mezőhöz sem tartozik: \":71\""},
      {"TRAIL.HUA", With(Hua(), "-}\r\n", "-}\r\nX\r\n"), "a \"-}\" zárósor után"},
      {"BLOCK.HUA", With(Hua(), "XXXX000000001}", "XXXX\r\n000000001}"), "blokkfejléc"},
      {"FLAGS.HUA", With(Hua(), "\r\nHU\r\n-}", "\r\nHU XY\r\n-}"), ":72: 5. sora nem"},
      // Name and address lines beyond those carried are counted, not refused; padding after
      // the last line carries nothing.
      {"NAME.HUA", With(Hua(), "Budapest\r\n:52D:", "Budapest\r\nV\r\nW\r\nX\r\n:52D:"),
       ": kimarad: :50: 5. sora: \"X\"", "Figyelem: a név- és címmezők 1 további sora"},
      {"PAD.INT", Int() + std::string("\0\0\x1a", 3), "", ""},
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteIni(With(RunHarness::kIni, "[General]\n", "[General]\nCheckTotals=0\n"));
    h.WriteInput(c.name, c.input);
    std::ostringstream out;
    std::ostringstream errors;
    const int exit = c.converted == nullptr ? 2 : 0;
    EXPECT_EQ(exit, RunCheck(Platform{h.fs, h.clock, h.console, h.picker}, {h.Path("in/") + c.name},
                             out, errors))
        << c.name;
    EXPECT_NE(std::string::npos, out.str().find(c.line)) << c.name << "\n" << out.str();
    EXPECT_EQ(exit, h.Run("-c")) << c.name;
    EXPECT_NE(std::string::npos, h.Log().find(exit == 0 ? c.converted : c.line)) << c.name << "\n"
                                                                                 << h.Log();
    EXPECT_EQ(exit == 0 && *c.converted != '\0',
              h.Log().find("Figyelem: a név") != std::string::npos)
        << c.name;
    EXPECT_EQ(exit == 0, !h.Files("out").empty()) << c.name;
    if (exit != 0) {
      EXPECT_EQ(c.input, h.Read(std::string("in/") + c.name)) << c.name;
    }
  }
}

}  // namespace
}  // namespace varnex
