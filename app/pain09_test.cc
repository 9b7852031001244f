// The EPC's pain.001.001.09 documents with hybrid addresses, beside the pain.001.001.03 ones
// of the same input: valid against their schema, carrying the same orders.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "output/epc_characters.h"
#include "output/schema_validator.h"
#include "platform/code_page.h"
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

// UTF-8 `text` in the EPC's set, as Characters=epc writes it.
std::string InEpcSet(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    out.append(EpcReplacement(DecodeUtf8(text, &i)));
  }
  return out;
}

bool IsText(const std::string& path) {
  return path.ends_with("Nm") || path.ends_with("Ustrd") || path.ends_with("Prtry") ||
         path.ends_with("AdrLine") || path.ends_with("TwnNm");
}

// The leaves of each payment, the text values in the EPC's set when `epc`.
std::vector<Leaves> Payments(const std::string& document, bool epc) {
  std::vector<Leaves> payments = PaymentLeaves(document);
  for (Leaves& payment : payments) {
    for (auto& [path, value] : payment) {
      if (epc && IsText(path)) {
        std::string joined;  // a repeated element's values are joined by "|"
        for (std::size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1) {
          bar = value.find('|', start);
          joined += (start == 0 ? "" : "|") + InEpcSet(value.substr(start, bar - start));
        }
        value = joined;
      }
    }
  }
  return payments;
}

// The orders of a document as the two versions both carry them: the 2019 names read as the
// 2009 ones, addresses, payment type, charge bearer and block totals set aside.
std::vector<Leaves> Orders(const std::string& document, bool epc = false) {
  std::vector<Leaves> orders;
  for (const Leaves& payment : Payments(document, epc)) {
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
    for (const char* sepa : {"Format=pain.001.001.09", "Format=pain.001.001.09\nCharacters=utf8",
                             "Address=hybrid", "Characters=epc"}) {
      SCOPED_TRACE(sepa);
      const bool epc =
          std::string(sepa) == "Format=pain.001.001.09" || std::string(sepa) == "Characters=epc";
      const bool hybrid = std::string(sepa) != "Characters=epc";
      RunOutput now = ConvertWith(Settings(sepa, c.extra), c.name, c.bytes);
      ASSERT_EQ(v03.documents.size(), now.documents.size()) << now.log;
      int outside = 0;  // orders of an agreed rate, out of the 2019 document
      for (const auto& [ext, document] : v03.documents) {
        const std::string& written = now.documents[ext];
        std::string error;
        EXPECT_TRUE(ValidatesAgainstPain001(written, &error)) << ext << ": " << error;
        std::vector<Leaves> want;
        for (Leaves& order : Orders(document, epc)) {
          bool rate = order.count("CdtTrfTxInf/XchgRateInf/RateTp") > 0;
          if (rate && std::string(sepa).find("09") != std::string::npos) {
            ++outside;
          } else {
            want.push_back(order);
          }
        }
        EXPECT_EQ(want, Orders(written)) << ext;
        for (const Leaves& payment : PaymentLeaves(written)) {
          for (const auto& [path, value] : payment) {
            std::string pieces = value;  // a repeated element's values are joined by "|"
            std::replace(pieces.begin(), pieces.end(), '|', ' ');
            EXPECT_TRUE(!epc || IsEpcText(pieces)) << path << ": " << value;
          }
        }
        // Town, postcode and lines hold the words of the free lines, none lost or repeated.
        std::vector<Leaves> before = Payments(document, epc);
        std::vector<Leaves> after = PaymentLeaves(written);
        for (std::size_t i = 0, j = 0; i < before.size() && j < after.size(); ++i) {
          if (before[i].at("CdtTrfTxInf/PmtId/EndToEndId") !=
                  after[j].at("CdtTrfTxInf/PmtId/EndToEndId") ||
              before[i].at("PmtInfId") != after[j].at("PmtInfId")) {
            continue;  // an order that stayed out
          }
          for (const char* party : {"Dbtr", "CdtTrfTxInf/Cdtr"}) {
            EXPECT_EQ(AddressWords(before[i], party), AddressWords(after[j], party)) << party;
            if (hybrid && after[j].count(std::string(party) + "/PstlAdr/Ctry") > 0) {
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

// Addresses and the character set through a check and a run of one order: each case edits the
// order's text (every occurrence) and names a line the check's report or the run's log holds.
TEST(Pain09Test, AddressesAndCharacters) {
  using Edits = std::vector<std::pair<std::string, std::string>>;
  const Edits noTown = {{"Minta Kft.\r\nBudapest\r\n:52D", "Minta Kft.\r\nF\x8B utca 1.\r\n:52D"}};
  const std::string name69(69, 'A');
  struct Case {
    const char* what;
    const char* sepa;
    Edits edits;  // an empty replacement removes the line
    int exit;
    std::string line;
  } cases[] = {
      {"no town, refused", "Address=hybrid", noTown, 2,
       "PmtInf/Dbtr/PstlAdr = \"Fo utca 1.\": a megbízó címéből nem állapítható meg biztosan a "
       "település (TwnNm): írja az irányítószámot és a települést egy sorba, pl. „1051 "
       "Budapest, Nádor u. 5.”"},
      {"no town, omitted", "Address=hybrid\nAddressWithoutTown=omit", noTown, 0,
       "Figyelem: 1 cím kimaradt a SEPA-dokumentumból, mert nincs benne biztos település"},
      {"no town, creditor's bank outside the EEA",
       "Format=pain.001.001.09\nAddressWithoutTown=omit",
       {noTown[0], {"DE89370400440532013000", "CH9300762011623852957"}, {"DEUTDEFF", "UBSWCHZH"}},
       2,
       "(a cím nem hagyható el: a számlák egyike nem EGT-országbeli)"},
      {"postcode, town and street",
       "Format=pain.001.001.09",
       {{"Minta Kft.\r\nBudapest\r\n:52D",
         "Minta Kft.\r\n1051 Budapest, N\xA0"
         "dor u. 5.\r\n:52D"}},
       0,
       "a megbízó címe: TwnNm=Budapest, PstCd=1051, Ctry=HU, AdrLine=Nador u. 5."},
      {"reference outside the set",
       "Characters=epc",
       {{":20:R1\r\n", ":20:REF_1\r\n"}},
       2,
       "PmtInf/CdtTrfTxInf/PmtId/InstrId = \"REF_1\": csak az EPC karakterkészlet karakterei "
       "lehetnek"},
      {"reference starting with a slash",
       "Format=pain.001.001.09",
       {{":20:R1\r\n", ":20:/REF1\r\n"}},
       2,
       "InstrId = \"/REF1\": nem kezdődhet és nem végződhet „/” jellel"},
      {"reference with a double slash",
       "Characters=epc",
       {{":20:R1\r\n", ":20:RE//F1\r\n"}},
       2,
       "InstrId = \"RE//F1\": nem tartalmazhat „//” jelet"},
      {"message id with an accent",
       "Characters=epc",
       {{":01:MSG", ":01:MS\xA0G"}},
       2,
       "GrpHdr/MsgId = \"MSáG"},
      {"the same reference in UTF-8 mode",
       "Characters=utf8",
       {{":20:R1\r\n", ":20:REF_1\r\n"}},
       0,
       "konvertálható"},
      {"generated ids",
       "Format=pain.001.001.09",
       {{":01:", ""}, {"Muster GmbH", "M\x81ller & Co"}},
       0,
       "Az EPC-karakterkészlet miatt 1 szöveges érték változott a SEPA-dokumentumban"},
      {"a sharp s cut whole",
       "Characters=epc",
       {{"Muster GmbH", name69 + "\xE1"}},
       0,
       "PmtInf/CdtTrfTxInf/Cdtr/Nm: „" + name69 + "ß” helyett „" + name69 +
           "” (az elem hosszára vágva)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string file =
        HuaFile({HuaMessage(true, "R1", "EUR10,00", "DEUTDEFF", "DE89370400440532013000")});
    for (const auto& [from, to] : c.edits) {
      for (std::size_t at = file.find(from); at != std::string::npos;
           at = file.find(from, at + to.size())) {
        // An empty replacement takes the line with it.
        file.replace(at, to.empty() ? file.find("\r\n", at) + 2 - at : from.size(), to);
      }
    }
    std::string ini = Settings(c.sepa);
    ini.replace(ini.find("SEPACountries=DE"), 16, "SEPACountries=CH,DE");
    RunHarness h;
    h.WriteIni(ini);
    h.WriteInput("A.HUA", file);
    EXPECT_EQ(c.exit, h.RunCommand({"varnex", "--check"})) << h.Log();
    std::string report = h.Log();
    EXPECT_EQ(c.exit, h.Run("-c")) << h.Log();
    report += h.Log();
    EXPECT_NE(std::string::npos, report.find(c.line)) << report;
    std::vector<std::string> out = h.Files("out");
    ASSERT_EQ(c.exit == 0 ? 1u : 0u, out.size()) << report;
    std::string error;
    EXPECT_TRUE(c.exit != 0 || ValidatesAgainstPain001(h.Read("out/" + out[0]), &error)) << error;
  }
}

}  // namespace
}  // namespace varnex
