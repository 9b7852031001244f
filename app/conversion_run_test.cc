// The streamed passes: the group header, written before the payments, must state exactly the
// count and sum of the payments that follow it, for every kind of output.
#include "app/conversion_run.h"

#include <gtest/gtest.h>

#include "app/completeness.h"
#include "convert/field_rules.h"
#include "convert/settings.h"
#include "mt/mt_file.h"
#include "platform/code_page.h"
#include "testing/fake_platform.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";
const char kHuIban[] = "HU42117730161111101800000000";

// The text between `open` and the next `close` after `from`; advances `from` past it.
std::optional<std::string> Between(const std::string& text, const std::string& open,
                                   const std::string& close, std::size_t* from) {
  std::size_t a = text.find(open, *from);
  if (a == std::string::npos) {
    return std::nullopt;
  }
  a += open.size();
  std::size_t b = text.find(close, a);
  *from = b;
  return text.substr(a, b - a);
}

// What a document's header states and what its payments add up to.
struct Tally {
  std::int64_t statedCount = -1;
  std::int64_t statedCents = -1;
  std::int64_t count = 0;
  std::int64_t cents = 0;
};

// The cents of an amount text, -1 when it is none.
std::int64_t Cents(std::optional<std::string> text) {
  AmountReading amount = ReadAmount(text.value_or(""));
  return amount.problem.empty() ? amount.cents : -1;
}

Tally TallyXml(const std::string& doc) {
  Tally t;
  std::size_t at = 0;
  t.statedCount = Cents(Between(doc, "<NbOfTxs>", "<", &at)) / 100;
  t.statedCents = Cents(Between(doc, "<CtrlSum>", "<", &at));
  while (std::optional<std::string> amount = Between(doc, "Ccy=\"EUR\">", "<", &at)) {
    ++t.count;
    t.cents += Cents(*amount);
  }
  return t;
}

Tally TallyMt(const std::string& doc) {
  Tally t;
  std::size_t at = 0;
  t.statedCents = Cents(Between(doc, ":02:", "\n", &at));
  t.statedCount = Cents(Between(doc, ":03:", "\n", &at)) / 100;
  while (std::optional<std::string> line = Between(doc, ":32A:", "\n", &at)) {
    ++t.count;
    t.cents += Cents(line->substr(std::min<std::size_t>(9, line->size())));
  }
  return t;
}

TEST(ConversionRunTest, StreamedHeaderStatesWhatFollows) {
  std::optional<CodePages> codePages = CodePages::Open();
  ASSERT_TRUE(codePages);
  struct Case {
    const char* name;
    std::string path;
    std::string bytes;
    const char* ini;
    WriterKind otherKind;
  } cases[] = {
      {"mixed HUA", "/in/A.HUA",
       HuaFile({HuaMessage(true, "S1", "EUR100,10", "DEUTDEFF", kDeIban),
                HuaMessage(false, "U1", "EUR0,05", "BNPAFRPP", kFrIban, "URGENT"),
                HuaMessage(false, "N1", "HUF300,00", "DEUTDEFF", kDeIban),
                HuaMessage(false, "S2", "EUR400,45", "DEUTDEFF", kDeIban)}),
       "", WriterKind::kHua},
      {"mixed INT", "/in/B.INT",
       IntFile({IntMessage("I1", "EUR5,10", kHuIban, "BNPAFRPP", kFrIban),
                IntMessage("I2", "EUR6,20", kHuIban, "BNPAFRPP", kFrIban, "URGENT"),
                IntMessage("I3", "USD7,30", kHuIban, "CITIUS33", "123"),
                IntMessage("I4", "GBP0,01", kHuIban, "CITIUS33", "456")}),
       "", WriterKind::kInt},
      {"INT as HUA", "/in/C.INT",
       IntFile({IntMessage("I1", "USD7,30", kHuIban, "CITIUS33", "123"),
                IntMessage("I2", "EUR1,00", kHuIban, "BNPAFRPP", kFrIban)}),
       "[INT2HUA]\nConvertINTToHUA=1\n", WriterKind::kHua},
      {"no SEPA order", "/in/D.HUA",
       HuaFile({HuaMessage(true, "N1", "HUF1,00", "DEUTDEFF", kDeIban),
                HuaMessage(false, "N2", "HUF2,00", "DEUTDEFF", kDeIban)}),
       "", WriterKind::kHua},
      {"SEPA only, none urgent", "/in/E.HUA",
       HuaFile({HuaMessage(true, "S1", "EUR1,00", "DEUTDEFF", kDeIban)}), "", WriterKind::kHua},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.Load("/p/varnex.ini", std::string(RunHarness::kIni) + c.ini, "/p/");
    settings.ToRecordCodePage(*codePages);
    MtFile file;
    file.Parse(c.path, c.bytes, *codePages);
    TestLog log;
    std::int32_t sequence = 0;
    ConversionContext context{settings, log.clock, *codePages, log.log, sequence};
    Classification classification = Classify(file, context);
    struct Pass {
      WriterKind kind;
      bool urgent;
    } passes[] = {
        {WriterKind::kSepaXml, false}, {WriterKind::kSepaXml, true}, {c.otherKind, false}};
    std::int64_t total = 0;
    for (const Pass& pass : passes) {
      std::int32_t before = sequence;
      StringSink sink;
      PassResult result = Convert(file, classification, context, pass.kind, pass.urgent, sink);
      ASSERT_EQ(PassResult::Status::kOk, result.status) << c.name;
      // Every pass consumes the header's identifier and one per message, taken or not.
      EXPECT_EQ(before + 1 + file.MessageCount(), sequence) << c.name;
      const OrderTotals& planned = classification.ForPass(pass.kind, pass.urgent);
      EXPECT_EQ(planned.count, result.nbOfTxs) << c.name;
      if (planned.count == 0) {
        EXPECT_EQ("", sink.text) << c.name << " kind " << static_cast<int>(pass.kind);
        continue;
      }
      Tally t = pass.kind == WriterKind::kSepaXml ? TallyXml(sink.text) : TallyMt(sink.text);
      EXPECT_EQ(t.statedCount, t.count) << c.name << "\n" << sink.text;
      EXPECT_EQ(t.statedCents, t.cents) << c.name << "\n" << sink.text;
      EXPECT_EQ(planned.count, t.count) << c.name;
      EXPECT_EQ(planned.cents, t.cents) << c.name;
      total += t.count;
    }
    EXPECT_EQ(file.MessageCount(), total) << c.name;
  }
}

}  // namespace
}  // namespace varnex
