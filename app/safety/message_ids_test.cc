// Message ids: the urgent document's own id, the record of the ids written (lines cut short by
// a crash), and a later file carrying an id again.
#include "app/safety/message_ids.h"

#include <gtest/gtest.h>

#include "app/check_mode.h"
#include "app/conversion_run.h"
#include "output/schema_check.h"
#include "output/xml_serializer.h"
#include "platform/native_platform.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";

TEST(MessageIdsTest, UrgentIdNeverEqualsTheOtherAndStaysWithin35) {
  std::optional<CodePages> cp = CodePages::Open();
  ASSERT_TRUE(cp);
  const std::string a33(33, 'A');
  struct Row {
    std::string msgId;  // CP852
    std::string urgent;
  } rows[] = {
      {"MSG30182445", "MSG30182445-U"},
      {a33, a33 + "-U"},
      {a33 + "7", a33 + "-U"},
      {a33 + "-U", a33 + "-V"},
      {a33 + "-\xE9", a33 + "-V"},  // "-Ú", written as "-U"
      {"A&B", "A&B-U"},
  };
  for (const Row& row : rows) {
    std::string urgent = UrgentMsgId(row.msgId, *cp);
    EXPECT_EQ(row.urgent, urgent) << row.msgId;
    EXPECT_NE(CleanXmlValue(row.msgId, *cp), CleanXmlValue(urgent, *cp)) << row.msgId;
    EXPECT_EQ("", LeafTypeRule(LeafType::kMax35Text, urgent)) << row.msgId;
  }
}

TEST(MessageIdsTest, LinesCutShortAreSkippedAndTheNextAppendKept) {
  ScopedTempDir dir;
  NativeFileSystem fs;
  std::string reason;
  const std::string record = dir.path() + std::string(kMessageIdRecordName);
  ASSERT_TRUE(AppendMessageIds(fs, dir.path(), {{"ID1", "/out/A.CCT"}}, &reason)) << reason;
  // A crash kept only the start of the next append; the journal appends it again.
  std::string cut = ReadFileBytes(record) + "\n0123456789abcdef ID2\t/out/B";
  WriteFileBytes(record, cut);
  ASSERT_TRUE(
      AppendMessageIds(fs, dir.path(), {{"ID2", "/out/B.CCT"}, {"ID\t3\n", "/o%\n"}}, &reason));
  ASSERT_TRUE(AppendMessageIds(fs, dir.path(), {{"ID1", "/out/C.CCT"}}, &reason));
  std::vector<WrittenMessageId> ids;
  ASSERT_TRUE(ReadMessageIds(fs, dir.path(), &ids, &reason)) << reason;
  EXPECT_EQ((std::vector<WrittenMessageId>{
                {"ID1", "/out/A.CCT"}, {"ID2", "/out/B.CCT"}, {"ID\t3\n", "/o%\n"}}),
            ids);
}

std::string MsgIdOf(const std::string& document) {
  std::size_t at = document.find("<MsgId>") + 7;
  return document.substr(at, document.find('<', at) - at);
}

// A file with urgent and non-urgent SEPA orders: two ids. A later file with the same :01: is
// refused, naming the earlier document, and converted with the check switched off.
TEST(MessageIdsTest, AnIdWrittenOnceIsNeverWrittenAgain) {
  for (bool switchedOff : {false, true}) {
    RunHarness h;
    if (switchedOff) {
      std::string ini = RunHarness::kIni;
      h.WriteIni(ini.replace(ini.find("BankBIC="), 0, "RejectReusedMsgId=0\n"));
    }
    std::string first =
        HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban),
                 HuaMessage(false, "R2", "EUR2,00", "BNPAFRPP", kFrIban, "URGENT")});
    h.WriteInput("A.HUA", first);
    ASSERT_EQ(0, h.Run("-c")) << h.Log();
    std::string cct = MsgIdOf(h.Read("out/A_20161005140307045.CCT"));
    EXPECT_EQ(cct + "-U", MsgIdOf(h.Read("out/A_20161005140307045.CCU")));
    EXPECT_EQ(0u, first.find("\r\n:01:" + cct + "\r\n"));

    std::string second = HuaFile({HuaMessage(true, "R3", "EUR3,00", "DEUTDEFF", kDeIban)});
    std::size_t id = second.find(":01:") + 4;
    second.replace(id, second.find('\r', id) - id, cct);
    h.WriteInput("B.HUA", second);
    std::ostringstream out;
    std::ostringstream errors;
    EXPECT_EQ(switchedOff ? 0 : 2,
              RunCheck(Platform{h.fs, h.clock, h.console, h.picker}, {}, out, errors));
    EXPECT_EQ(!switchedOff, out.str().find(":0: hiba: GrpHdr/MsgId = \"" + cct +
                                           "\": ezt az "
                                           "üzenetazonosítót") != std::string::npos)
        << out.str();
    h.clock.AdvanceMs(1000);
    EXPECT_EQ(switchedOff ? 0 : 2, h.Run("-c")) << h.Log();
    EXPECT_EQ(switchedOff, h.Files("in").empty());
    if (!switchedOff) {
      EXPECT_NE(std::string::npos,
                h.Log().find("Hiba: " + h.Path("in/B.HUA") + ": GrpHdr/MsgId = \"" + cct +
                             "\": ezt az üzenetazonosítót már egy korábbi dokumentum viselte (" +
                             h.Path("out/A_20161005140307045.CCT") +
                             "); szándékos újraküldéshez: varnex --resubmit FÁJL (új "
                             "üzenetazonosítót kap), vagy adjon a fájlnak új :01: azonosítót\n"))
          << h.Log();
      EXPECT_NE(std::string::npos, h.Log().find("Hiba: a fájl nem konvertálható, az input marad: " +
                                                h.Path("in/B.HUA") + "\n"));
      // The procedure the line names works in one run: fresh ids, nothing refused.
      h.clock.AdvanceMs(1000);
      EXPECT_EQ(0, h.RunCommand({"varnex", "--resubmit", h.Path("in/B.HUA")})) << h.Log();
      EXPECT_TRUE(h.Files("in").empty());
      EXPECT_NE(std::string::npos,
                h.Log().find("Szándékos újraküldés (--resubmit): a másolat-ellenőrzés kimarad, a "
                             "dokumentumok üzenetazonosítója R"))
          << h.Log();
    }
  }
}

}  // namespace
}  // namespace varnex
