// Orders the bank's gateway would reject keep their whole file from being converted, with one
// line per problem naming the order, its reference, the element, the value and the rule.
#include <gtest/gtest.h>

#include "testing/run_harness.h"
#include "testing/xml_check.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A SEPA order whose debtor account line (:52D: line 1) is `debtorAccount`.
std::string WithDebtor(bool first, const std::string& ref, const std::string& debtorAccount) {
  return Replace(HuaMessage(first, ref, "EUR10,00", "DEUTDEFF", kDeIban),
                 ":52D:117730161111101800000000", ":52D:" + debtorAccount);
}

void ExpectRefused(RunHarness& h, const std::string& name) {
  EXPECT_EQ(std::vector<std::string>{name}, h.Files("in"));
  EXPECT_EQ(std::vector<std::string>{}, h.Files("out"));
  EXPECT_EQ(std::vector<std::string>{}, h.Files("bak"));
  EXPECT_NE(std::string::npos, h.Log().find("Hiba: a fájl nem konvertálható, az input marad: " +
                                            h.Path("in/" + name)));
  EXPECT_EQ(std::string::npos, h.Log().find("Output fájl létrehozva"));
}

TEST(BankAcceptanceTest, EveryRejectedValueIsReported) {
  RunHarness h;
  h.WriteInput("A.HUA", HuaFile({WithDebtor(true, "R1", "11773016-11111018"),
                                 HuaMessage(false, "R2", "EUR1,00", "DEUTDEFF", kDeIban),
                                 WithDebtor(false, "R3", "KOVACS"),
                                 HuaMessage(false, "R4", "EUR1000000000,00", "DEUTDEFF", kDeIban),
                                 HuaMessage(false, "R5", "EUR1,00", "ABCD", kDeIban)}));
  EXPECT_EQ(2, h.Run("-c"));
  ExpectRefused(h, "A.HUA");
  std::string prefix = "Hiba: " + h.Path("in/A.HUA") + ": ";
  for (const char* expected : {
           "1. megbízás (:20: R1): PmtInf/DbtrAcct/Id/IBAN = \"11773016-11111018\"",
           "3. megbízás (:20: R3): PmtInf/DbtrAcct/Id/IBAN = \"KOVACS\"",
           "4. megbízás (:20: R4): PmtInf/CdtTrfTxInf/Amt/InstdAmt = \"1000000000.00\"",
           "5. megbízás (:20: R5): PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC = \"ABCD\"",
       }) {
    EXPECT_NE(std::string::npos, h.Log().find(prefix + expected)) << expected << "\n" << h.Log();
  }
  EXPECT_EQ(std::string::npos, h.Log().find("2. megbízás (:20: R2)")) << h.Log();
  EXPECT_EQ(5, Count(h.Log(), "Hiba: "));
}

TEST(BankAcceptanceTest, MalformedBankBicIsReportedOnce) {
  RunHarness h;
  std::string ini = RunHarness::kIni;
  h.WriteIni(Replace(ini, "BankBIC=ABCDHUHB", "BankBIC=ABCD"));
  std::vector<std::string> orders;
  for (int i = 0; i < 3; ++i) {
    orders.push_back(
        HuaMessage(i == 0, "R" + std::to_string(i + 1), "EUR1,00", "DEUTDEFF", kDeIban));
  }
  // The file names no BIC of its own, so every order inherits the setting.
  h.WriteInput("B.HUA", Replace(HuaFile(orders), ":04:ABCDHUHB", ":04:"));
  EXPECT_EQ(2, h.Run("-c"));
  ExpectRefused(h, "B.HUA");
  EXPECT_EQ(1, Count(h.Log(), "[General] BankBIC")) << h.Log();
  EXPECT_NE(std::string::npos, h.Log().find("\"ABCD\"")) << h.Log();
  EXPECT_EQ(std::string::npos, h.Log().find("megbízás (:20:")) << h.Log();
}

// A malformed target keyword is the setting's fault, not the orders': one line names it.
TEST(BankAcceptanceTest, MalformedTargetKeywordIsReportedOnce) {
  struct Case {
    std::string from;
    std::string to;
    const char* setting;
  } cases[] = {
      {"TrgtKeyword=SEPA\n", "TrgtKeyword=SEPAXX\n", "[PrioNormal] TrgtKeyword"},
      {"TrgtKeyword=URGP", "TrgtKeyword=URGENT", "[PrioUrgent] TrgtKeyword"},
      {"[PrioNormal]", "[ExchRate]\nSrcField=70\nSrcKeyword=Szamla\nTrgtKeyword=FIX\n[PrioNormal]",
       "[ExchRate] TrgtKeyword"},
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteIni(Replace(RunHarness::kIni, c.from, c.to));
    std::vector<std::string> orders;
    for (int i = 0; i < 3; ++i) {
      orders.push_back(HuaMessage(i == 0, "R" + std::to_string(i + 1), "EUR1,00", "DEUTDEFF",
                                  kDeIban, "URGENT"));
      orders.push_back(
          HuaMessage(false, "N" + std::to_string(i + 1), "EUR1,00", "DEUTDEFF", kDeIban));
    }
    h.WriteInput("K.HUA", HuaFile(orders));
    EXPECT_EQ(2, h.Run("-c")) << c.setting;
    ExpectRefused(h, "K.HUA");
    EXPECT_EQ(1, Count(h.Log(), c.setting)) << h.Log();
    EXPECT_EQ(std::string::npos, h.Log().find("megbízás (:20:")) << h.Log();
  }
}

TEST(BankAcceptanceTest, ProblemLinesAreCappedAndCounted) {
  RunHarness h;
  std::vector<std::string> orders;
  for (int i = 0; i < 25; ++i) {
    orders.push_back(WithDebtor(i == 0, "R" + std::to_string(i + 1), "1177-3016"));
  }
  h.WriteInput("C.HUA", HuaFile(orders));
  EXPECT_EQ(2, h.Run("-c"));
  ExpectRefused(h, "C.HUA");
  EXPECT_EQ(20, Count(h.Log(), "PmtInf/DbtrAcct/Id/IBAN = \"1177-3016\""));
  EXPECT_NE(std::string::npos,
            h.Log().find("Hiba: további 5 hiba ebben a fájlban: " + h.Path("in/C.HUA")));
}

// A debtor IBAN of 24 characters (Spain, Czechia, Slovakia, Sweden, Romania) is an IBAN, not
// a domestic account: it reaches the document as written. In a HUA order 24 digits are a
// domestic account and become a Hungarian IBAN; with dashes they are refused, never cut.
TEST(BankAcceptanceTest, DebtorAccountsOfTwentyFourCharacters) {
  struct Case {
    std::string account;
    std::string iban;             // empty: refused
    std::string intAccount = "";  // a domestic number in an INT order: what its output keeps
  } cases[] = {
      {"ES6203642621299722003322", "ES6203642621299722003322"},
      {"CZ0635000000001000472301", "CZ0635000000001000472301"},
      {"SK2273000000009000024257", "SK2273000000009000024257"},
      {"SE0250000000052461022488", "SE0250000000052461022488"},
      {"RO20RZBR0000060002651722", "RO20RZBR0000060002651722"},
      {"117730161111101800000000", "HU42117730161111101800000000", "1111101800000000"},
      {"11773016-11111018-00000000", "", "11773016-11111018-00000000"},
  };
  for (const Case& c : cases) {
    for (const char* kind : {"HUA", "INT"}) {
      RunHarness h;
      h.WriteIni(Replace(RunHarness::kIni, "SEPACountries=DE,FR,HU,NL",
                         "SEPACountries=CZ,DE,ES,FR,HU,NL,RO,SE,SK"));
      std::string name = std::string("A.") + kind;
      h.WriteInput(name, kind == std::string("HUA")
                             ? HuaFile({WithDebtor(true, "R1", c.account)})
                             : IntFile({IntMessage("R1", "EUR10,00", c.account, "BNPAFRPP",
                                                   "FR1420041010050500013M02606")}));
      int code = h.Run("-c");
      if (kind == std::string("INT") && !c.intAccount.empty()) {
        // Not a SEPA debtor account in an INT order: the order goes to the INT output.
        ASSERT_EQ(0, code) << name << c.account << h.Log();
        EXPECT_NE(std::string::npos,
                  h.Read("out/A_20161005140307045.INT").find(":52A:/D/" + c.intAccount + "\r\n"));
        continue;
      }
      if (c.iban.empty()) {
        EXPECT_EQ(2, code) << name << c.account;
        EXPECT_NE(std::string::npos,
                  h.Log().find("PmtInf/DbtrAcct/Id/IBAN = \"" + c.account + "\""))
            << name << h.Log();
        continue;
      }
      ASSERT_EQ(0, code) << name << c.account << h.Log();
      std::string cct = h.Read("out/A_20161005140307045.CCT");
      EXPECT_NE(std::string::npos,
                cct.find("<DbtrAcct>\r\n\t\t\t\t<Id>\r\n\t\t\t\t\t<IBAN>" + c.iban + "</IBAN>"))
          << name << cct;
      std::string error;
      EXPECT_TRUE(ValidatesAgainstPain001(cct, &error)) << name << error;
    }
  }
}

}  // namespace
}  // namespace varnex
