// Whole runs of the converter against temporary directories: names, log lines, the split
// of the orders over the outputs, and every failure leaving the input whole and in place.
#include <filesystem>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "app/check_mode.h"
#include "app/safety/backup_index.h"
#include "testing/run_harness.h"
#include "testing/xml_check.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";
const char kHuIban[] = "HU42117730161111101800000000";

// Three SEPA orders (the second urgent) and two others.
std::string MixedHuaFile() {
  return HuaFile({
      HuaMessage(true, "R1", "EUR100,10", "DEUTDEFF", kDeIban),
      HuaMessage(false, "R2", "EUR200,20", "BNPAFRPP", kFrIban, "URGENT"),
      HuaMessage(false, "R3", "HUF300,00", "DEUTDEFF", kDeIban),
      HuaMessage(false, "R4", "EUR400,40", "DEUTDEFF", kDeIban),
      HuaMessage(false, "R5", "EUR500,00", "DEUTDEFF", "12345678"),
  });
}

std::string Valid(const std::string& xml) {
  std::string error;
  return ValidatesAgainstPain001(xml, &error) ? "valid" : error;
}

TEST(EndToEndTest, OneFileAllOutputs) {
  RunHarness h;
  h.WriteInput("ABC.HUA", MixedHuaFile());
  ASSERT_EQ(0, h.Run("-c"));
  const std::string stamp = "20161005140307045";
  std::string in = h.Path("in/ABC.HUA");
  EXPECT_EQ(
      "A program elindult.\n"
      "Paraméterek olvasása a(z) " +
          h.root() +
          "varnex.ini fájlból.\n"
          "Mód: fájlok feldolgozása az input könyvtáról.\n"
          "Input könyvtár vizsgálata: " +
          h.Path("in/") +
          "\n"
          "Feldolgozandó fájl: " +
          in +
          ".\n"
          "Input fájl neve: " +
          in +
          "\n"
          "Üzenetek száma: 5\n"
          "1. üzenet: SEPA-megbízás!\n"
          "2. üzenet: SEPA-megbízás!\n"
          "3. üzenet: NEM SEPA-megbízás!\n"
          "4. üzenet: SEPA-megbízás!\n"
          "5. üzenet: NEM SEPA-megbízás!\n"
          "Input fájl feldolgozása: " +
          in +
          ".\n"
          "Output fájl létrehozva: " +
          h.Path("out/ABC_" + stamp + ".CCT") +
          "\n"
          "Output fájl létrehozva: " +
          h.Path("out/ABC_" + stamp + ".CCU") +
          "\n"
          "Output fájl létrehozva: " +
          h.Path("out/ABC_" + stamp + ".HUA") +
          "\n"
          "Backup fájl létrehozva: " +
          h.Path("bak/ABC_" + stamp + ".HUA") +
          ".\n"
          "A program befejeződött.\n\n",
      h.Log());
  EXPECT_EQ((std::vector<std::string>{"ABC_" + stamp + ".CCT", "ABC_" + stamp + ".CCU",
                                      "ABC_" + stamp + ".HUA"}),
            h.Files("out"));
  EXPECT_EQ(std::vector<std::string>{}, h.Files("in"));
  EXPECT_EQ(MixedHuaFile(), h.Read("bak/ABC_" + stamp + ".HUA"));

  std::string cct = h.Read("out/ABC_" + stamp + ".CCT");
  std::string ccu = h.Read("out/ABC_" + stamp + ".CCU");
  std::string hua = h.Read("out/ABC_" + stamp + ".HUA");
  EXPECT_EQ(2, Count(cct, "<PmtInf>"));
  EXPECT_NE(std::string::npos, cct.find("<NbOfTxs>2</NbOfTxs>\r\n"));
  EXPECT_NE(std::string::npos, cct.find("<CtrlSum>500.50</CtrlSum>"));
  EXPECT_EQ(1, Count(ccu, "<PmtInf>"));
  EXPECT_NE(std::string::npos, ccu.find("<Cd>URGP</Cd>"));
  EXPECT_EQ(2, Count(hua, "{1:F01"));
  EXPECT_NE(std::string::npos, hua.find(":02:800,00\r\n:03:2\r\n"));
  EXPECT_EQ(Count(cct, "\n"), Count(cct, "\r\n"));
  EXPECT_EQ("valid", Valid(cct));
  EXPECT_EQ("valid", Valid(ccu));
}

TEST(EndToEndTest, EveryOrderLandsInExactlyOneOutput) {
  RunHarness h;
  h.WriteInput("A.HUA", HuaFile({HuaMessage(true, "S1", "EUR1,00", "DEUTDEFF", kDeIban),
                                 HuaMessage(false, "S2", "EUR2,00", "DEUTDEFF", kDeIban)}));
  h.WriteInput("B.HUA", HuaFile({HuaMessage(true, "N1", "HUF1,00", "DEUTDEFF", kDeIban)}));
  h.WriteInput("D.INT",
               IntFile({IntMessage("I1", "EUR5,00", kHuIban, "BNPAFRPP", kFrIban),
                        IntMessage("I2", "EUR6,00", kHuIban, "BNPAFRPP", kFrIban, "URGENT"),
                        IntMessage("I3", "USD7,00", kHuIban, "CITIUS33", "123")}));
  ASSERT_EQ(0, h.Run("-c"));
  std::vector<std::string> out = h.Files("out");
  // D: CCT, CCU and INT; A: CCT; B: HUA.
  ASSERT_EQ(5u, out.size());
  int orders = 0;
  for (const std::string& name : out) {
    std::string text = h.Read("out/" + name);
    if (name.ends_with(".CCT") || name.ends_with(".CCU")) {
      orders += Count(text, "<PmtInf>");
      EXPECT_EQ("valid", Valid(text)) << name;
    } else {
      orders += Count(text, ":32A:");
    }
  }
  EXPECT_EQ(6, orders);
  EXPECT_EQ(2, Count(h.Log(), "Output fájl létrehozva: " + h.Path("out/A_")) +
                   Count(h.Log(), "Output fájl létrehozva: " + h.Path("out/B_")));
  EXPECT_EQ(3u, h.Files("bak").size());
}

TEST(EndToEndTest, StampsOfFilesInTheSameMillisecondDiffer) {
  RunHarness h;
  h.WriteInput("ABC.HUA", HuaFile({HuaMessage(true, "S1", "EUR1,00", "DEUTDEFF", kDeIban)}));
  h.WriteInput("ABC.INT", IntFile({IntMessage("I1", "EUR5,00", kHuIban, "BNPAFRPP", kFrIban)}));
  ASSERT_EQ(0, h.Run("-c"));
  EXPECT_EQ((std::vector<std::string>{"ABC_20161005140307045.CCT", "ABC_20161005140307046.CCT"}),
            h.Files("out"));
}

TEST(EndToEndTest, SettingsChangeNames) {
  RunHarness h;
  h.WriteIni(std::string(RunHarness::kIni) + "[PrioUrgent]\n[INT2HUA]\nConvertINTToHUA=1\n");
  // Only the first [PrioUrgent] counts; the second is ignored. TrgtExtension via a new file:
  h.WriteIni(
      "[General]\nInputPath=in\nOutputPath=out\nBackupPath=bak\nLogPath=log\n"
      "SEPACountries=DE,FR,HU\n[PrioUrgent]\nSrcField=72\nSrcKeyword=URGENT\nTrgtField=Cd\n"
      "TrgtKeyword=URGP\nTrgtExtension=CCT\n[INT2HUA]\nConvertINTToHUA=1\n");
  const std::string input =
      IntFile({IntMessage("I1", "EUR5,00", kHuIban, "BNPAFRPP", kFrIban),
               IntMessage("I2", "EUR6,00", kHuIban, "BNPAFRPP", kFrIban, "URGENT"),
               IntMessage("I3", "USD7,00", kHuIban, "CITIUS33", "123")});
  h.WriteInput("low.int", input);
  ASSERT_EQ(0, h.Run("-c"));
  EXPECT_EQ((std::vector<std::string>{"low_20161005140307045.CCT", "low_20161005140307045.HUA",
                                      "low_20161005140307045_U.CCT"}),
            h.Files("out"));
  EXPECT_EQ((std::vector<std::string>{"low_20161005140307045.int"}), h.Files("bak"));
  // An INT order written as HUA keeps its fields under the HUA layout.
  std::string hua = h.Read("out/low_20161005140307045.HUA");
  std::string header01 =
      input.substr(input.find(":01:"), input.find("\r\n:02:") - input.find(":01:"));
  EXPECT_EQ(0u, hua.find("\r\n" + header01 + "\r\n")) << header01;
  EXPECT_NE(std::string::npos, hua.find(":20:I3\r\n:32A:261208USD7,00\r\n"));
}

// An amount reaches every output exactly as written, or its file is refused with a line that
// names the order, its reference and the amount as written, in the run log and from --check.
TEST(EndToEndTest, AmountsAreCarriedAsWrittenOrRefused) {
  const std::string kRule = "nem szabályos összeg";
  struct Case {
    std::string ccyAmount;
    const char* printed;  // the XML amount; empty: refused
    std::string rule;
  } cases[] = {
      {"EUR1250", "1250.00", ""},
      {"EUR1250,", "1250.00", ""},
      {"EUR1250,5", "1250.50", ""},
      {"EUR1250.50", "1250.50", ""},
      {"EUR0,01", "0.01", ""},
      {"EUR999999999,99", "999999999.99", ""},
      {"EUR1.250,00", "", kRule},
      {"EUR1 250,00", "", kRule},
      {"EURabc", "", kRule},
      {"EUR12abc", "", kRule},
      {"EUR2500,001", "", kRule},
      {"EUR1250,009", "", kRule},
      {"EUR-5,00", "", kRule},
      {"EUR1234567890123,45", "", kRule},
      {"EUR0,00", "", "az összeg nulla"},
      {"EUR", "", "hiányzik az összeg"},
      {"HUF-5,00", "", kRule},  // not SEPA: the HUA output once carried -5,00
  };
  for (const Case& c : cases) {
    RunHarness h;
    // The totals of the test files stay unfilled (0, 0,00) where an amount is not one.
    h.WriteInput("A.HUA", HuaFile({HuaMessage(true, "R1", "EUR10,00", "DEUTDEFF", kDeIban),
                                   HuaMessage(false, "R2", c.ccyAmount, "DEUTDEFF", kDeIban)}));
    std::ostringstream out;
    std::ostringstream errors;
    int checkCode =
        RunCheck(Platform{h.fs, h.clock, h.console, h.picker}, {h.Path("in/A.HUA")}, out, errors);
    int runCode = h.Run("-c");
    if (c.rule.empty()) {
      EXPECT_EQ(0, runCode) << c.ccyAmount << h.Log();
      std::string cct = h.Read("out/A_20161005140307045.CCT");
      EXPECT_NE(std::string::npos, cct.find(std::string(">") + c.printed + "</InstdAmt>"))
          << c.ccyAmount;
      EXPECT_EQ("valid", Valid(cct)) << c.ccyAmount;
      continue;
    }
    std::string written = c.ccyAmount.substr(3);
    std::string line = "2. megbízás (:20: R2): :32A: = \"" + written + "\": " + c.rule;
    EXPECT_EQ(2, runCode) << c.ccyAmount;
    EXPECT_NE(std::string::npos, h.Log().find("Hiba: " + h.Path("in/A.HUA") + ": " + line))
        << c.ccyAmount << "\n"
        << h.Log();
    EXPECT_EQ(std::vector<std::string>{"A.HUA"}, h.Files("in")) << c.ccyAmount;
    EXPECT_EQ(std::vector<std::string>{}, h.Files("out")) << c.ccyAmount;
    EXPECT_EQ(2, checkCode) << c.ccyAmount;
    EXPECT_NE(std::string::npos, out.str().find(": hiba: " + line)) << out.str();
    EXPECT_EQ(std::string::npos, out.str().find("InstdAmt")) << out.str();
  }
}

// The outputs print the cents of the amounts as written, and so does the control sum.
TEST(EndToEndTest, AmountsPrintBackExactly) {
  RunHarness h;
  h.WriteIni(std::string(RunHarness::kIni) + "[INT2HUA]\nConvertINTToHUA=0\n");
  h.WriteInput("S.HUA", HuaFile({HuaMessage(true, "A", "EUR0,1", "DEUTDEFF", kDeIban),
                                 HuaMessage(false, "B", "EUR0,2", "DEUTDEFF", kDeIban),
                                 HuaMessage(false, "C", "EUR0,3", "DEUTDEFF", kDeIban)}));
  h.WriteInput("L.INT",
               IntFile({IntMessage("I1", "USD999999999999,99", kHuIban, "CITIUS33", "123")}));
  ASSERT_EQ(0, h.Run("-c")) << h.Log();
  EXPECT_NE(std::string::npos,
            h.Read("out/S_20161005140307046.CCT").find("<CtrlSum>0.60</CtrlSum>"));
  EXPECT_NE(std::string::npos,
            h.Read("out/L_20161005140307045.INT").find("USD999999999999,99\r\n"));
}

// A charges amount (:52D: line 3) may be left out, but one that is given must be an amount.
TEST(EndToEndTest, ChargesAmountThatIsNotOneRefusesItsFile) {
  struct Case {
    const char* line;
    const char* written;  // in the HUA output; empty: refused
  } cases[] = {
      {"HUF0,00", "HUF0,00"}, {"HUF", "HUF0,00"},  {"HUF 12,5", "HUF12,50"},
      {"HUF-12", ""},         {"HUF1.200,00", ""},
  };
  for (const Case& c : cases) {
    RunHarness h;
    std::string order = HuaMessage(true, "R1", "HUF10,00", "DEUTDEFF", kDeIban);
    std::size_t at = order.find("\r\nHUF0,00\r\n");
    order.replace(at + 2, 7, c.line);
    h.WriteInput("C.HUA", HuaFile({order}));
    int code = h.Run("-c");
    if (*c.written != '\0') {
      EXPECT_EQ(0, code) << c.line << h.Log();
      EXPECT_NE(std::string::npos,
                h.Read("out/C_20161005140307045.HUA").find(std::string("\r\n") + c.written));
    } else {
      EXPECT_EQ(2, code) << c.line;
      EXPECT_NE(std::string::npos,
                h.Log().find(std::string("1. megbízás (:20: R1): :52D: = \"") + (c.line + 3)))
          << h.Log();
    }
  }
}

// Input text in a log line never ends it: a reference that starts with a line end or holds
// another control character leaves one line per logged message, with the character shown.
TEST(EndToEndTest, InputTextCannotForgeLogLines) {
  const std::string forged = "2016.10.05. 14:03:07 Backup fajl letrehozva: X.HUA";
  struct Case {
    std::string reference;
    const char* shown;
  } cases[] = {
      {"\n" + forged, "<LF>"},
      {"\r" + forged, "<CR>"},
      {"\x1b" + forged, "<1B>"},
      {"\t" + forged, "<TAB>"},
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteInput("A.HUA", HuaFile({HuaMessage(true, c.reference, "EURabc", "DEUTDEFF", kDeIban)}));
    EXPECT_EQ(2, h.Run("-c"));
    std::string log = h.Read("log/20161005.log");
    // Every line but the blank one after the last message starts with the time.
    for (std::size_t at = 0; at < log.size(); at = log.find("\r\n", at) + 2) {
      if (log.compare(at, 2, "\r\n") != 0) {
        EXPECT_EQ(0, log.compare(at, 12, "2016.10.05. ")) << c.shown << "\n" << log.substr(at);
      }
    }
    EXPECT_EQ(Count(log, "\n"), Count(log, "\r\n")) << c.shown;
    EXPECT_EQ(Count(log, "\r"), Count(log, "\r\n")) << c.shown;
    EXPECT_NE(std::string::npos, h.Log().find(c.shown + forged)) << c.shown << h.Log();
  }
}

// `message` with a HUA message marker as the second line of its :70:.
std::string WithMarkerIn70(std::string message) {
  std::size_t at = message.find(":70:");
  return message.insert(message.find("\r\n", at), "\r\n{1:F01");
}

// Order text that would read back as structure of the HUA or INT output (a line that starts a
// field, a message marker) fails its file instead of changing the orders for the bank.
TEST(EndToEndTest, TextThatWouldNotReadBackLeavesTheFile) {
  struct Case {
    const char* name;
    std::string input;
    const char* refusal;  // the input grammar's, or the output check's
  } cases[] = {
      {"BARE.HUA",
       HuaFile(
           {HuaMessage(true, "R1", "HUF10,00", "DEUTDEFF", "X", "A B C D\n:32A:261208HUF9,00")}),
       ":72: 6. sora: \"HU\""},
      {"MARK.INT",
       IntFile({IntMessage("I1", "USD7,00", kHuIban, "CITIUS33", "123"),
                WithMarkerIn70(IntMessage("I2", "USD1,00", kHuIban, "CITIUS33", "123"))}),
       "üzenet szövege a kimeneti fájl szerkezetét jelző részt tartalmaz"},
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteIni(std::string(RunHarness::kIni) + "[INT2HUA]\nConvertINTToHUA=1\n");
    h.WriteInput(c.name, c.input);
    EXPECT_EQ(2, h.Run("-c")) << c.name;
    EXPECT_EQ(std::vector<std::string>{}, h.Files("out")) << c.name;
    EXPECT_EQ(c.input, h.Read(std::string("in/") + c.name)) << c.name;
    EXPECT_NE(std::string::npos, h.Log().find(c.refusal)) << h.Log();
  }
}

// An INT order without reference keeps its ":20:" line, so that the INT output still starts
// a message for it.
TEST(EndToEndTest, IntOrderWithoutReferenceStaysAnOrder) {
  RunHarness h;
  h.WriteInput("R.INT", IntFile({IntMessage("I1", "USD7,00", kHuIban, "CITIUS33", "123"),
                                 IntMessage("", "USD8,00", kHuIban, "CITIUS33", "456")}));
  ASSERT_EQ(0, h.Run("-c"));
  std::string out = h.Read("out/R_20161005140307045.INT");
  EXPECT_EQ(2, Count(out, ":20:"));
  EXPECT_NE(std::string::npos, out.find(" \r\n:20: \r\n:32A:261208USD8,00\r\n"));
}

// Every way an output directory or the backup can fail: the input stays whole where it was,
// nothing of it is left in the output directories, one "Hiba: " line, no success line, and
// the run ends with exit code 2.
TEST(EndToEndTest, FailuresLeaveTheInputInPlace) {
  struct Case {
    const char* name;
    const char* ini;  // appended [General] keys
    std::function<void(RunHarness&)> prepare;
  } cases[] = {
      {"missing output directory", "OutputPath=nowhere\n", [](RunHarness&) {}},
      {"output path through a regular file", "OutputPath=file/out\n",
       [](RunHarness& h) { WriteFileBytes(h.Path("file"), "x"); }},
      {"missing backup directory", "BackupPath=nobak\n", [](RunHarness&) {}},
      {"backup name taken", "",
       [](RunHarness& h) { WriteFileBytes(h.Path("bak/ABC_20161005140307045.HUA"), "old"); }},
      {"output name taken", "",
       [](RunHarness& h) { WriteFileBytes(h.Path("out/ABC_20161005140307045.HUA"), "old"); }},
      {"full disk at the last output", "",
       [](RunHarness& h) { h.fs.FailAt(FaultyFileSystem::Step::kWriteOutput, 3); }},
      {"read-only output directory", "",
       [](RunHarness& h) { h.fs.FailAt(FaultyFileSystem::Step::kCreateOutput, 1); }},
  };
  for (const Case& c : cases) {
    RunHarness h;
    std::string ini = RunHarness::kIni;
    std::string_view set = c.ini;
    if (!set.empty()) {  // replaces the key of the usual settings
      std::size_t key = ini.find("\n" + std::string(set.substr(0, set.find('=') + 1)));
      ini.replace(key + 1, ini.find('\n', key + 1) - key, set);
    }
    h.WriteIni(ini);
    h.WriteInput("ABC.HUA", MixedHuaFile());
    c.prepare(h);
    std::vector<std::string> outBefore = h.Files("out");
    EXPECT_EQ(2, h.Run("-c")) << c.name;
    EXPECT_EQ(MixedHuaFile(), h.Read("in/ABC.HUA")) << c.name;
    EXPECT_EQ(outBefore, h.Files("out")) << c.name;
    EXPECT_EQ(1, Count(h.Log(), "Hiba: ")) << c.name << h.Log();
    EXPECT_EQ(0, Count(h.Log(), "létrehozva")) << c.name;
  }
}

// Each file-system step of converting one input fails in turn. Before the commit point (the
// journal's directory synced) the input stays whole in place and nothing of it is left; after
// it the next run finishes the commit before it reads any input.
TEST(EndToEndTest, FaultAtEveryStep) {
  using Step = FaultyFileSystem::Step;
  struct Case {
    Step step;
    int nth;
    bool committed;
  } cases[] = {
      {Step::kOpenInput, 1, false},     {Step::kReadInput, 1, false},
      {Step::kCreateOutput, 1, false},  {Step::kCreateOutput, 2, false},
      {Step::kCreateOutput, 3, false},  {Step::kWriteOutput, 1, false},
      {Step::kWriteOutput, 2, false},   {Step::kWriteOutput, 3, false},
      {Step::kSyncOutput, 1, false},    {Step::kSyncOutput, 3, false},
      {Step::kCloseOutput, 1, false},   {Step::kCloseOutput, 3, false},
      {Step::kSyncDirectory, 1, false},  // the outputs' directory
      {Step::kCreateOutput, 4, false},   // the journal
      {Step::kWriteOutput, 4, false},   {Step::kSyncOutput, 4, false},
      {Step::kRename, 1, false},        {Step::kSyncDirectory, 2, true},  // the commit point
      {Step::kRename, 2, true},         {Step::kRename, 4, true},
      {Step::kRename, 5, true},  // the input to backup
      {Step::kSyncDirectory, 3, true},  {Step::kSyncDirectory, 5, true},
  };
  // Each case once with the outputs written one after another, once two at a time.
  for (int round = 0; round < 2 * static_cast<int>(std::size(cases)); ++round) {
    const Case& c = cases[static_cast<std::size_t>(round) % std::size(cases)];
    bool twoThreads = round >= static_cast<int>(std::size(cases));
    std::string row = std::to_string(static_cast<int>(c.step)) + "/" + std::to_string(c.nth) +
                      (twoThreads ? " two threads" : "");
    RunHarness h;
    h.WriteInput("ABC.HUA", MixedHuaFile());
    h.fs.SetConcurrency(twoThreads ? FaultyFileSystem::Concurrency::kAlways
                                   : FaultyFileSystem::Concurrency::kUnlessArmed);
    h.fs.FailAt(c.step, c.nth);
    EXPECT_EQ(2, h.Run("-c")) << row;
    EXPECT_EQ(1, Count(h.Log(), "Hiba: ")) << row << h.Log();
    EXPECT_NE(std::string::npos, h.Log().find(FaultyFileSystem::kReason)) << row << h.Log();
    if (!c.committed) {
      EXPECT_EQ(MixedHuaFile(), h.Read("in/ABC.HUA")) << row;
      EXPECT_EQ(std::vector<std::string>{}, h.Files("out")) << row;
      EXPECT_EQ(std::vector<std::string>{}, h.Files("bak")) << row;
    }
    // A second run without the fault: the file converted completely, once.
    h.fs.FailAt(c.step, 0);
    h.clock.AdvanceMs(1);
    EXPECT_EQ(0, h.Run("-c")) << row << h.Log();
    EXPECT_EQ(c.committed ? 1 : 0, Count(h.Log(), "Egy megszakadt futás véglegesítése befejezve: " +
                                                      h.Path("in/ABC.HUA") + "\n"))
        << row << h.Log();
    EXPECT_EQ(3u, h.Files("out").size()) << row;
    EXPECT_EQ(1u, h.Files("bak").size()) << row;
    EXPECT_EQ(std::vector<std::string>{}, h.Files("in")) << row;
  }
}

// Memory running out while one file is converted: that file stays whole in place with nothing
// of it left behind, and the next file is still converted.
TEST(EndToEndTest, OutOfMemoryLeavesOnlyThatFile) {
  // Also with the outputs written two at a time: memory then runs out on the other thread.
  for (auto concurrency :
       {FaultyFileSystem::Concurrency::kUnlessArmed, FaultyFileSystem::Concurrency::kAlways}) {
    RunHarness h;
    h.fs.SetConcurrency(concurrency);
    h.WriteInput("A.HUA", MixedHuaFile());
    h.WriteInput("B.HUA", MixedHuaFile());
    h.fs.RunOutOfMemoryAt(FaultyFileSystem::Step::kWriteOutput, 2);
    EXPECT_EQ(2, h.Run("-c"));
    std::vector<std::string> left = h.Files("in");
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(MixedHuaFile(), h.Read("in/" + left[0]));
    EXPECT_EQ(1u, h.Files("bak").size());
    std::vector<std::string> out = h.Files("out");
    EXPECT_EQ(3u, out.size());
    for (const std::string& name : out) {
      EXPECT_FALSE(name.ends_with(".tmp")) << name;
    }
    EXPECT_EQ(1, Count(h.Log(), "Hiba: "));
    EXPECT_NE(std::string::npos,
              h.Log().find("Hiba: nincs elég memória a fájl feldolgozásához, az input marad: " +
                           h.Path("in/" + left[0]) + "\n"))
        << h.Log();
  }
}

// Temporary files of runs that are gone are removed, whatever their process id; those of a
// run holding its lock stay.
TEST(EndToEndTest, LeftoverTemporaryFilesOfDeadRunsAreRemoved) {
  RunHarness h;
  WriteFileBytes(h.Path("out/.varnex-999999999-1.tmp"), "partial");
  WriteFileBytes(h.Path("out/.varnex-1-1.tmp"), "of a dead run with a live process id");
  std::string reason;
  NativeFileSystem other;
  std::unique_ptr<Lock> live = other.CreateRunLock(h.Path("out/.varnex-live.lock"), "", &reason);
  ASSERT_NE(nullptr, live) << reason;
  WriteFileBytes(h.Path("out/.varnex-live-1.tmp"), "someone else's");
  WriteFileBytes(h.Path("out/.other-999999999-1.tmp"), "not ours");
  h.WriteInput("ABC.HUA", MixedHuaFile());
  ASSERT_EQ(0, h.Run("-c"));
  std::vector<std::string> out = h.Files("out");
  ASSERT_EQ(6u, out.size());
  EXPECT_EQ(".other-999999999-1.tmp", out[0]);
  EXPECT_EQ(".varnex-live-1.tmp", out[1]);
  EXPECT_EQ(".varnex-live.lock", out[2]);
  EXPECT_NE(std::string::npos,
            h.Log().find("törölve: " + h.Path("out/.varnex-999999999-1.tmp") + "\n"));
  EXPECT_NE(std::string::npos, h.Log().find("törölve: " + h.Path("out/.varnex-1-1.tmp") + "\n"));
}

#ifndef _WIN32  // POSIX: tmpfs
// A backup directory on another file system (tmpfs, when the machine has one): the input is
// copied there before the commit point and removed from the input directory after it.
TEST(EndToEndTest, BackupOnAnotherFileSystem) {
  char shm[] = "/dev/shm/varnex-bak-XXXXXX";
  struct stat tmpfs;
  struct stat here;
  if (::stat("/dev/shm", &tmpfs) != 0 || ::mkdtemp(shm) == nullptr) {
    GTEST_SKIP() << "no /dev/shm";
  }
  RunHarness h;
  ASSERT_EQ(0, ::stat(h.root().c_str(), &here));
  if (here.st_dev == tmpfs.st_dev) {
    std::filesystem::remove_all(shm);
    GTEST_SKIP() << "/dev/shm is on the file system of the test directory";
  }
  std::string ini = RunHarness::kIni;
  ini.replace(ini.find("BackupPath=bak"), 14, std::string("BackupPath=") + shm);
  h.WriteIni(ini);
  h.WriteInput("ABC.HUA", MixedHuaFile());
  EXPECT_EQ(0, h.Run("-c")) << h.Log();
  EXPECT_EQ(std::vector<std::string>{}, h.Files("in"));
  EXPECT_EQ(3u, h.Files("out").size());
  std::vector<std::string> backups;
  for (const auto& entry : std::filesystem::directory_iterator(shm)) {
    if (!IsBackupDirectoryRecord(entry.path().filename().string())) {
      backups.push_back(entry.path().filename().string());
    }
  }
  EXPECT_EQ(std::vector<std::string>{"ABC_20161005140307045.HUA"}, backups);
  EXPECT_EQ(MixedHuaFile(), ReadFileBytes(std::string(shm) + "/ABC_20161005140307045.HUA"));
  std::filesystem::remove_all(shm);
}
#endif

TEST(EndToEndTest, ManualSelectionConvertsChosenFiles) {
  RunHarness h;
  h.WriteInput("ABC.HUA", MixedHuaFile());
  h.picker.answer = {h.Path("in/ABC.HUA")};
  ASSERT_EQ(0, h.Run(""));
  EXPECT_EQ(3u, h.Files("out").size());
  EXPECT_EQ(std::string::npos, h.Log().find("Feldolgozandó fájl"));
}

TEST(EndToEndTest, VanishedFileIsSkipped) {
  RunHarness h;
  h.picker.answer = {h.Path("in/GONE.HUA")};
  EXPECT_EQ(0, h.Run(""));
  EXPECT_NE(std::string::npos,
            h.Log().find("A fájl már nincs meg, kihagyva: " + h.Path("in/GONE.HUA") + "\n"));
}

}  // namespace
}  // namespace varnex
