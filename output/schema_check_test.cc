#include "output/schema_check.h"

#include <string>

#include <gtest/gtest.h>

#include "testing/xml_check.h"

namespace varnex {
namespace {

std::string Repeat(std::string_view piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text.append(piece);
  }
  return text;
}

struct Row {
  std::string path;
  std::string value;
  bool valid;
  SepaOptions::Format format = SepaOptions::Format::kPain00100103;
};
constexpr auto k09 = SepaOptions::Format::kPain00100109;

// Values at the edges of each leaf type the writer uses, placed into the element they
// belong to. "\xC3\xA9" is é and "\xC5\x91" ő in UTF-8, one character each.
std::vector<Row> AgreementRows() {
  const std::string e = "\xC3\xA9";
  const std::string o = "\xC5\x91";
  return {
      // Max35Text: characters, not bytes; blanks and tabs count; escaping does not.
      {"GrpHdr/MsgId", "M", true},
      {"GrpHdr/MsgId", "", false},
      {"GrpHdr/MsgId", Repeat("a", 35), true},
      {"GrpHdr/MsgId", Repeat("a", 36), false},
      {"GrpHdr/MsgId", Repeat(e, 35), true},
      {"GrpHdr/MsgId", Repeat(e, 36), false},
      {"GrpHdr/MsgId", " ", true},
      {"GrpHdr/MsgId", "\t", true},
      {"GrpHdr/MsgId", Repeat("&", 35), true},
      {"PmtInf/PmtInfId", Repeat("<", 36), false},
      {"PmtInf/PmtTpInf/SvcLvl/Prtry", Repeat("P", 35), true},
      {"PmtInf/PmtTpInf/SvcLvl/Prtry", Repeat("P", 36), false},
      {"PmtInf/PmtTpInf/LclInstrm/Prtry", "", false},
      {"PmtInf/DbtrAgt/FinInstnId/Othr/Id", "NOTPROVIDED", true},
      {"PmtInf/CdtTrfTxInf/PmtId/InstrId", Repeat("'", 36), false},
      {"PmtInf/CdtTrfTxInf/PmtId/EndToEndId", "", false},
      {"PmtInf/CdtTrfTxInf/Purp/Prtry", Repeat("\"", 35), true},
      // Max70Text, Max140Text.
      {"PmtInf/Dbtr/PstlAdr/AdrLine", Repeat(o, 70), true},
      {"PmtInf/Dbtr/PstlAdr/AdrLine", Repeat("a", 71), false},
      {"PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/AdrLine", "", false},
      {"GrpHdr/InitgPty/Nm", Repeat("a", 140), true},
      {"GrpHdr/InitgPty/Nm", Repeat("a", 141), false},
      {"PmtInf/Dbtr/Nm", Repeat(o, 140), true},
      {"PmtInf/Dbtr/Nm", Repeat(o, 141), false},
      {"PmtInf/CdtTrfTxInf/Cdtr/Nm", "KFT ", true},
      {"PmtInf/CdtTrfTxInf/RmtInf/Ustrd", Repeat("1", 140), true},
      {"PmtInf/CdtTrfTxInf/RmtInf/Ustrd", Repeat("1", 141), false},
      // External codes: 1 to 4, 1 to 35, 1 to 4 characters.
      {"PmtInf/PmtTpInf/SvcLvl/Cd", "SEPA", true},
      {"PmtInf/PmtTpInf/SvcLvl/Cd", "URGPX", false},
      {"PmtInf/PmtTpInf/SvcLvl/Cd", "", false},
      {"PmtInf/PmtTpInf/LclInstrm/Cd", Repeat("C", 35), true},
      {"PmtInf/PmtTpInf/LclInstrm/Cd", Repeat("C", 36), false},
      {"PmtInf/CdtTrfTxInf/Purp/Cd", "sup" + e, true},
      {"PmtInf/CdtTrfTxInf/Purp/Cd", "SUPPL", false},
      // IBAN2007Identifier: [A-Z]{2}[0-9]{2}[a-zA-Z0-9]{1,30}, the whole value.
      {"PmtInf/DbtrAcct/Id/IBAN", "HU42117730161111101800000000", true},
      {"PmtInf/DbtrAcct/Id/IBAN", "hu42117730161111101800000000", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "Hu42117730161111101800000000", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "HU4A117730161111101800000000", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "1U42117730161111101800000000", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "HU42abc", true},
      {"PmtInf/DbtrAcct/Id/IBAN", "HU42X", true},
      {"PmtInf/DbtrAcct/Id/IBAN", "HU42", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "DE89" + Repeat("1", 30), true},
      {"PmtInf/DbtrAcct/Id/IBAN", "DE89" + Repeat("1", 31), false},
      {"PmtInf/DbtrAcct/Id/IBAN", "11773016-11111018", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "KOVACS", false},
      {"PmtInf/DbtrAcct/Id/IBAN", "HU42 1177", false},
      {"PmtInf/DbtrAcct/Id/IBAN", " HU42117730161111101800000000", false},
      {"PmtInf/CdtTrfTxInf/CdtrAcct/Id/IBAN", "DE89370400440532013000 ", false},
      {"PmtInf/CdtTrfTxInf/CdtrAcct/Id/IBAN", "DE8937040044053201300" + e, false},
      {"PmtInf/CdtTrfTxInf/CdtrAcct/Id/IBAN", "DE89370400440532013000", true},
      // BICIdentifier: [A-Z]{6}[A-Z2-9][A-NP-Z0-9]([A-Z0-9]{3})?
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAHUHB", true},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "ABCD", false},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "gibahuhb", false},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAH1HB", false},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAHU2B", true},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAHU1B", false},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAHUH1", true},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAHUHO", false},
      {"PmtInf/DbtrAgt/FinInstnId/BIC", "GIBAHUHBXX", false},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC", "COBADEFFXXX", true},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC", "COBADEFF1X2", true},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC", "COBADEFFxxx", false},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC", "COBADEFFXXXX", false},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BIC", "COBADEFF ", false},
      // CountryCode.
      {"PmtInf/Dbtr/PstlAdr/Ctry", "HU", true},
      {"PmtInf/Dbtr/PstlAdr/Ctry", "de", false},
      {"PmtInf/Dbtr/PstlAdr/Ctry", "DEU", false},
      {"PmtInf/Dbtr/PstlAdr/Ctry", "D", false},
      {"PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/Ctry", " DE", false},
      {"PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/Ctry", e + "T", false},
      // Max15NumericText.
      {"GrpHdr/NbOfTxs", "0", true},
      {"GrpHdr/NbOfTxs", Repeat("9", 15), true},
      {"GrpHdr/NbOfTxs", Repeat("9", 16), false},
      {"GrpHdr/NbOfTxs", "-1", false},
      {"GrpHdr/NbOfTxs", " 1", false},
      {"GrpHdr/NbOfTxs", "", false},
      // ActiveOrHistoricCurrencyAndAmount: at least 0, 5 decimals, 18 digits by value.
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "10.05", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "0.00", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "-0.00", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "-0.01", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "-5.00", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "0.001", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "0.00001", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "0.000001", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1.0000100", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "123456789012345678", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1234567890123456789", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "12345678901234567.00", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "123456789012345678.50", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "0012345678901234567.8", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1234567890123.12345", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "12345678901234.12345", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "+1.00", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", ".5", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "5.", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", " 1.00 ", true},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1. 0", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", ".", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "-", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1,00", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1e3", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "nan", false},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "-inf", false},
      // DecimalNumber: 17 decimals, 18 digits, any sign.
      {"GrpHdr/CtrlSum", "-5.00", true},
      {"GrpHdr/CtrlSum", "9999999999999999.99", true},
      {"GrpHdr/CtrlSum", "92233720368547758.07", false},
      {"GrpHdr/CtrlSum", "0.12345678901234567", true},
      {"GrpHdr/CtrlSum", "0.123456789012345678", false},
      {"GrpHdr/CtrlSum", "1.2.3", false},
      // ISODate: real calendar days, no blanks.
      {"PmtInf/ReqdExctnDt", "2016-02-29", true},
      {"PmtInf/ReqdExctnDt", "2015-02-29", false},
      {"PmtInf/ReqdExctnDt", "2016-02-30", false},
      {"PmtInf/ReqdExctnDt", "1900-02-29", false},
      {"PmtInf/ReqdExctnDt", "2000-02-29", true},
      {"PmtInf/ReqdExctnDt", "2016-04-30", true},
      {"PmtInf/ReqdExctnDt", "2016-04-31", false},
      {"PmtInf/ReqdExctnDt", "2016-12-31", true},
      {"PmtInf/ReqdExctnDt", "2016-13-01", false},
      {"PmtInf/ReqdExctnDt", "2016-00-10", false},
      {"PmtInf/ReqdExctnDt", "2016-01-00", false},
      {"PmtInf/ReqdExctnDt", "0000-01-01", false},
      {"PmtInf/ReqdExctnDt", "0001-01-01", true},
      {"PmtInf/ReqdExctnDt", "-2016-02-29", true},
      {"PmtInf/ReqdExctnDt", "-0001-02-29", false},
      {"PmtInf/ReqdExctnDt", "10000-02-29", true},
      {"PmtInf/ReqdExctnDt", "02016-01-18", false},
      {"PmtInf/ReqdExctnDt", "2016-1-18", false},
      {"PmtInf/ReqdExctnDt", "2016-01-1", false},
      {"PmtInf/ReqdExctnDt", "2016-1a-01", false},
      {"PmtInf/ReqdExctnDt", "--", false},
      {"PmtInf/ReqdExctnDt", " 2016-01-18", false},
      {"PmtInf/ReqdExctnDt", "2016-01-18Z", true},
      {"PmtInf/ReqdExctnDt", "2016-01-18-14:00", true},
      {"PmtInf/ReqdExctnDt", "2016-01-18+14:30", false},
      {"PmtInf/ReqdExctnDt", "2016-01-18T", false},
      // ISODateTime: the writer's form, with and without an offset.
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05+01:00", true},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05", true},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05+0100", false},
      {"GrpHdr/CreDtTm", "2016-02-30T08:30:05+01:00", false},
      {"GrpHdr/CreDtTm", "2016-01-15T24:00:00", true},
      {"GrpHdr/CreDtTm", "2016-01-15T24:00:01", false},
      {"GrpHdr/CreDtTm", "2016-01-15T23:60:00", false},
      {"GrpHdr/CreDtTm", "2016-01-15T23:59:60", false},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05+14:00", true},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05+14:01", false},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05-13:59", true},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05+01:60", false},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05.5", true},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05.", false},
      {"GrpHdr/CreDtTm", "2016-01-15T8:30:05", false},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30", false},
      {"GrpHdr/CreDtTm", "--T::", false},
      {"GrpHdr/CreDtTm", "2016-01-15T08:30:05 ", false},
      // Code lists: exact, whitespace kept.
      {"PmtInf/PmtMtd", "TRF", true},
      {"PmtInf/PmtMtd", "CHK", true},
      {"PmtInf/PmtMtd", "trf", false},
      {"PmtInf/PmtMtd", " TRF", false},
      {"PmtInf/ChrgBr", "SLEV", true},
      {"PmtInf/ChrgBr", "SHA", false},
      {"PmtInf/CdtTrfTxInf/ChrgBr", "SLEV ", false},
      {"PmtInf/CdtTrfTxInf/ChrgBr", "SHAR", true},
      {"PmtInf/CdtTrfTxInf/XchgRateInf/RateTp", "AGRD", true},
      {"PmtInf/CdtTrfTxInf/XchgRateInf/RateTp", "agrd", false},
      {"PmtInf/CdtTrfTxInf/XchgRateInf/RateTp", "", false},
      // xs:boolean: blanks around the value are collapsed.
      {"PmtInf/BtchBookg", "false", true},
      {"PmtInf/BtchBookg", "1", true},
      {"PmtInf/BtchBookg", " true ", true},
      {"PmtInf/BtchBookg", "TRUE", false},
      {"PmtInf/BtchBookg", "", false},
      {"PmtInf/BtchBookg", "0 1", false},
      // Address parts, both versions.
      {"PmtInf/Dbtr/PstlAdr/PstCd", Repeat("9", 16), true},
      {"PmtInf/Dbtr/PstlAdr/PstCd", Repeat("9", 17), false},
      {"PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/TwnNm", Repeat(o, 35), true},
      {"PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/TwnNm", Repeat(o, 36), false, k09},
      {"PmtInf/Dbtr/PstlAdr/TwnNm", "", false, k09},
      // The EPC's restrictions of the 2019 document.
      {"PmtInf/Dbtr/Nm", Repeat(o, 70), true, k09},
      {"PmtInf/Dbtr/Nm", Repeat("a", 71), false, k09},
      {"GrpHdr/InitgPty/Nm", Repeat("a", 71), false, k09},
      {"PmtInf/PmtTpInf/SvcLvl/Cd", "SEPA", true, k09},
      {"PmtInf/PmtTpInf/SvcLvl/Cd", "URGP", false, k09},
      {"PmtInf/PmtTpInf/InstrPrty", "NORM", true, k09},
      {"PmtInf/PmtTpInf/InstrPrty", "URGP", false, k09},
      {"PmtInf/DbtrAgt/FinInstnId/BICFI", "1234HUHB", true, k09},
      {"PmtInf/DbtrAgt/FinInstnId/BICFI", "GIBAH1HB", false, k09},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BICFI", "COBADEFF0O1", true, k09},
      {"PmtInf/CdtTrfTxInf/CdtrAgt/FinInstnId/BICFI", "COBADEFFXX", false, k09},
      {"GrpHdr/CtrlSum", "10.1", true, k09},
      {"PmtInf/CtrlSum", "10.105", false, k09},
      {"PmtInf/NbOfTxs", "1", true, k09},
      {"PmtInf/ReqdExctnDt/Dt", "2016-02-30", false, k09},
      {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "999999999.99", true, k09},
  };
}

// The hand-written check and the schema validator give the same verdict for every row.
TEST(SchemaCheckTest, AgreesWithTheSchemaValidator) {
  for (const Row& row : AgreementRows()) {
    std::string document = Pain001WithValue(row.path, row.value, row.format);
    ASSERT_FALSE(document.empty()) << row.path;
    std::optional<LeafType> type = Pain001LeafType(row.path, row.format);
    ASSERT_TRUE(type.has_value()) << row.path;
    std::string error;
    bool schemaValid = ValidatesAgainstPain001(document, &error);
    std::string_view rule = LeafTypeRule(*type, row.value);
    EXPECT_EQ(schemaValid, row.valid) << row.path << " [" << row.value << "] " << error;
    EXPECT_EQ(rule.empty(), schemaValid) << row.path << " [" << row.value << "] " << rule;
  }
}

TEST(SchemaCheckTest, RuleTexts) {
  EXPECT_EQ(LeafTypeRule(LeafType::kMax35Text, ""), "nem lehet üres");
  EXPECT_EQ(LeafTypeRule(LeafType::kMax35Text, std::string(36, 'a')), "legfeljebb 35 karakter");
  EXPECT_EQ(LeafTypeRule(LeafType::kIban2007Identifier, "KOVACS"),
            "nem érvényes IBAN (minta: két nagybetű, két számjegy, 1–30 betű vagy számjegy)");
  EXPECT_EQ(LeafTypeRule(LeafType::kActiveOrHistoricCurrencyAndAmount, "-5.00"),
            "az összeg nem lehet negatív");
}

TEST(SchemaCheckTest, InstructedAmountRange) {
  struct Case {
    const char* printed;
    bool inRange;
  } cases[] = {
      {"0.01", true},
      {"999999999.99", true},
      {"10.05", true},
      {"0.00", false},
      {"-0.00", false},
      {"-5.00", false},
      {"1000000000.00", false},
      {"99999999999999999999999.00", false},
      {"nan", false},
      {"inf", false},
      {"", false},
      {"1.5", false},
      {"1.005", false},
      {".50", false},
  };
  for (const Case& c : cases) {
    std::string_view rule = InstructedAmountRule(c.printed);
    EXPECT_EQ(rule.empty(), c.inRange) << c.printed;
    if (!c.inRange) {
      EXPECT_EQ(rule, "az összeg 0,01 és 999999999,99 között lehet") << c.printed;
    }
  }
}

TEST(SchemaCheckTest, PathsOfTheElementTree) {
  EXPECT_EQ(Pain001LeafType("GrpHdr/MsgId"), LeafType::kMax35Text);
  EXPECT_EQ(Pain001LeafType("PmtInf/DbtrAgt/FinInstnId/Othr/Id"), LeafType::kMax35Text);
  EXPECT_EQ(Pain001LeafType("PmtInf/CdtTrfTxInf/CdtrAcct/Id/IBAN"), LeafType::kIban2007Identifier);
  EXPECT_EQ(Pain001LeafType("PmtInf/CdtTrfTxInf/Purp/Cd"), LeafType::kExternalPurpose1Code);
  EXPECT_EQ(Pain001LeafType("PmtInf/PmtTpInf/SvcLvl/Cd"), LeafType::kExternalServiceLevel1Code);
  for (const char* unknown : {"PmtInf", "PmtInf/DbtrAcct/Id", "GrpHdr/Nm", "PmtInf/Cdtr/Nm",
                              "Document/GrpHdr/MsgId", "PmtInf/DbtrAcct/Id/IBAN/X", ""}) {
    EXPECT_FALSE(Pain001LeafType(unknown).has_value()) << unknown;
  }

  // The walk forms the path of every element, also of those outside the tree.
  Pain001Path path;
  path.Enter("PmtInf", 2);
  path.Enter("CdtTrfTxInf", 3);
  path.Enter("Amt", 4);
  EXPECT_EQ(path.Enter("InstdAmt", 5), LeafType::kActiveOrHistoricCurrencyAndAmount);
  EXPECT_EQ(path.Path(), "PmtInf/CdtTrfTxInf/Amt/InstdAmt");
  EXPECT_FALSE(path.Enter("Extra", 4).has_value());
  EXPECT_FALSE(path.Enter("ChrgBr", 5).has_value());
  EXPECT_EQ(path.Path(), "PmtInf/CdtTrfTxInf/Extra/ChrgBr");
  EXPECT_EQ(path.Enter("ChrgBr", 4), LeafType::kChargeBearerType1Code);
}

}  // namespace
}  // namespace varnex
