// The EPC's pain.001.001.09 documents with hybrid addresses, beside the pain.001.001.03 ones
// of the same input: valid against their schema, carrying the same orders.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "output/schema_validator.h"
#include "testing/order_files.h"
#include "testing/run_harness.h"
#include "testing/xml_check.h"

namespace varnex {
namespace {

using Leaves = std::map<std::string, std::string>;

// The usual settings with `sepa` as the [SEPA] section and `extra` after it; for the 2019
// version the urgent orders' service level is SEPA, the only one it carries.
std::string Settings(const std::string& sepa, const std::string& extra = "") {
  std::string ini = RunHarness::kIni;
  if (sepa.find("pain.001.001.09") != std::string::npos) {
    ini.replace(ini.find("TrgtKeyword=URGP"), 16, "TrgtKeyword=SEPA");
  }
  return ini + "[SEPA]\n" + sepa + "\n" + extra;
}

// The orders of a document as the two versions both carry them: the 2019 names read as the
// 2009 ones, addresses, payment type, charge bearer and block totals set aside.
std::vector<Leaves> Orders(const std::string& document) {
  std::vector<Leaves> orders;
  for (const Leaves& payment : PaymentLeaves(document)) {
    Leaves& order = orders.emplace_back();
    for (const auto& [leaf, value] : payment) {
      std::string path = leaf;
      if (path.find("PstlAdr") != std::string::npos || path.starts_with("PmtTpInf") ||
          path.find("ChrgBr") != std::string::npos || path == "NbOfTxs" || path == "CtrlSum") {
        continue;
      }
      if (std::size_t at = path.find("BICFI"); at != std::string::npos) {
        path.replace(at, 5, "BIC");
      }
      if (path == "ReqdExctnDt/Dt") {
        path = "ReqdExctnDt";
      }
      order[path] = value;
    }
  }
  return orders;
}

// The words of an address: what neither version may lose.
std::vector<std::string> AddressWords(const Leaves& payment, const std::string& party) {
  std::vector<std::string> words;
  for (const char* part : {"PstCd", "TwnNm", "AdrLine"}) {
    auto it = payment.find(party + "/PstlAdr/" + part);
    if (it == payment.end()) {
      continue;
    }
    std::string text = it->second;
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '|' || c == ','; }, ' ');
    std::istringstream in(text);
    for (std::string word; in >> word;) {
      words.push_back(word);
    }
  }
  std::sort(words.begin(), words.end());
  return words;
}

struct RunOutput {
  std::map<std::string, std::string> documents;  // by extension
  std::string others;                            // the HUA/INT output
  std::string log;
};

RunOutput ConvertWith(const std::string& ini, const std::string& name, const std::string& bytes) {
  RunHarness h;
  h.WriteIni(ini);
  h.WriteInput(name, bytes);
  RunOutput out;
  EXPECT_EQ(0, h.Run("-c")) << h.Log();
  out.log = h.Log();
  for (const std::string& file : h.Files("out")) {
    std::string ext = file.substr(file.rfind('.') + 1);
    (ext == "HUA" || ext == "INT" ? out.others : out.documents[ext]) = h.Read("out/" + file);
  }
  return out;
}

TEST(Pain09Test, SameOrdersAsPain03AndValid) {
  if (!SchemaValidator::Available()) {
    GTEST_SKIP() << "no XML library in this build";
  }
  const std::string examples = VARNEX_EXAMPLES_DIR "/input/";
  struct Case {
    const char* name;
    std::string bytes;
    const char* extra;  // settings after [SEPA]
  } cases[] = {
      {"PELDA1.HUA", ReadFileBytes(examples + "PELDA1.HUA"), ""},
      {"KULF1.INT", ReadFileBytes(examples + "KULF1.INT"), ""},
      {"KULF1.INT", ReadFileBytes(examples + "KULF1.INT"), "[INT2HUA]\nConvertINTToHUA=1\n"},
      {"GEN.HUA", GenerateHuaFile(300), ""},
      {"GEN.INT", GenerateIntFile(300), ""},
      {"PELDA1.HUA", ReadFileBytes(examples + "PELDA1.HUA"),
       "[ExchRate]\nSrcField=72\nSrcKeyword=ÁRFOLYAM\nTrgtKeyword=AGRD\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.extra);
    RunOutput v03 = ConvertWith(Settings("", c.extra), c.name, c.bytes);
    for (const char* sepa :
         {"Format=pain.001.001.09", "Format=pain.001.001.09\nAddress=hybrid", "Address=hybrid"}) {
      SCOPED_TRACE(sepa);
      RunOutput now = ConvertWith(Settings(sepa, c.extra), c.name, c.bytes);
      ASSERT_EQ(v03.documents.size(), now.documents.size()) << now.log;
      int outside = 0;  // orders of an agreed rate, out of the 2019 document
      for (const auto& [ext, document] : v03.documents) {
        const std::string& written = now.documents[ext];
        std::string error;
        EXPECT_TRUE(ValidatesAgainstPain001(written, &error)) << ext << ": " << error;
        std::vector<Leaves> want;
        for (Leaves& order : Orders(document)) {
          bool rate = order.count("CdtTrfTxInf/XchgRateInf/RateTp") > 0;
          if (rate && std::string(sepa).find("09") != std::string::npos) {
            ++outside;
          } else {
            want.push_back(order);
          }
        }
        EXPECT_EQ(want, Orders(written)) << ext;
        // Town, postcode and lines hold the words of the free lines, none lost or repeated.
        std::vector<Leaves> before = PaymentLeaves(document);
        std::vector<Leaves> after = PaymentLeaves(written);
        for (std::size_t i = 0, j = 0; i < before.size() && j < after.size(); ++i) {
          if (before[i].at("CdtTrfTxInf/PmtId/EndToEndId") !=
                  after[j].at("CdtTrfTxInf/PmtId/EndToEndId") ||
              before[i].at("PmtInfId") != after[j].at("PmtInfId")) {
            continue;  // an order that stayed out
          }
          for (const char* party : {"Dbtr", "CdtTrfTxInf/Cdtr"}) {
            EXPECT_EQ(AddressWords(before[i], party), AddressWords(after[j], party)) << party;
            if (after[j].count(std::string(party) + "/PstlAdr/Ctry") > 0) {
              EXPECT_EQ(1u, after[j].count(std::string(party) + "/PstlAdr/TwnNm")) << party;
            }
          }
          ++j;
        }
      }
      // What the 2019 document leaves out goes to the HUA/INT output, keyword and all.
      EXPECT_EQ(Count(v03.others, ":20:") + outside, Count(now.others, ":20:"));
    }
  }
}

TEST(Pain09Test, AddressesWithoutTown) {
  const std::string hua = "\r\n:50:Minta Kft.\r\nBudapest\r\n";
  struct Case {
    const char* what;
    const char* debtor;   // :50: after the name
    const char* account;  // the creditor's IBAN; its bank's BIC
    const char* bic;
    const char* sepa;
    int exit;
    const char* log;  // a line the log (or --check) holds
  } cases[] = {
      {"no town, refused", "F\x8B utca 1.", "DE89370400440532013000", "DEUTDEFF", "Address=hybrid",
       2,
       "PmtInf/Dbtr/PstlAdr = \"Fo utca 1.\": a megbízó címéből nem állapítható meg biztosan a "
       "település (TwnNm): írja az irányítószámot és a települést egy sorba, pl. „1051 "
       "Budapest, Nádor u. 5.”"},
      {"no town, omitted", "F\x8B utca 1.", "DE89370400440532013000", "DEUTDEFF",
       "Address=hybrid\nAddressWithoutTown=omit", 0,
       "Figyelem: 1 cím kimaradt a SEPA-dokumentumból, mert nincs benne biztos település"},
      {"no town, creditor's bank outside the EEA", "F\x8B utca 1.", "CH9300762011623852957",
       "UBSWCHZH", "Format=pain.001.001.09\nAddressWithoutTown=omit", 2,
       "(a cím nem hagyható el: a számlák egyike nem EGT-országbeli)"},
      {"postcode, town and street",
       "1051 Budapest, N\xA0"
       "dor u. 5.",
       "DE89370400440532013000", "DEUTDEFF", "Format=pain.001.001.09", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string message = HuaMessage(true, "R1", "EUR10,00", c.bic, c.account);
    message.replace(message.find(hua), hua.size(),
                    "\r\n:50:Minta Kft.\r\n" + std::string(c.debtor) + "\r\n");
    std::string ini = Settings(c.sepa);
    ini.replace(ini.find("SEPACountries=DE"), 16, "SEPACountries=CH,DE");
    RunHarness h;
    h.WriteIni(ini);
    h.WriteInput("A.HUA", HuaFile({message}));
    EXPECT_EQ(c.exit, h.RunCommand({"varnex", "--check"})) << h.Log();
    std::string check = h.Log();
    EXPECT_EQ(c.exit, h.Run("-c")) << h.Log();
    EXPECT_NE(std::string::npos, (h.Log() + check).find(c.log)) << h.Log() << check;
    if (c.exit == 0) {
      std::vector<std::string> out = h.Files("out");
      ASSERT_EQ(1u, out.size());
      std::string error;
      EXPECT_TRUE(ValidatesAgainstPain001(h.Read("out/" + out[0]), &error)) << error;
    }
    if (std::string(c.debtor).starts_with("1051")) {
      EXPECT_NE(std::string::npos,
                check.find("a megbízó címe: TwnNm=Budapest, PstCd=1051, Ctry=HU, "
                           "AdrLine=Nador u. 5."))
          << check;
    }
  }
}

}  // namespace
}  // namespace varnex
