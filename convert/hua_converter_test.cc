#include "convert/hua_converter.h"

#include <gtest/gtest.h>

#include "convert/record_test_util.h"
#include "convert/settings.h"
#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

class HuaConverterTest : public ::testing::Test {
 protected:
  HuaConverterTest() {
    clock.Set(2016, 3, 15, 9, 5, 7, 45);
    settings.bankBic = "GIBAHUHB";
    header.BankBic.Assign("OTPVHUHB");
  }

  PaymentRecord Fill(const MtMessage& message) {
    converter.SetMessage("", message);
    PaymentRecord record;
    record.InstrId.Assign("stale");  // filled from scratch
    converter.FillPaymentRecord(record, header, sequence);
    EXPECT_EQ(record.IsUrgent != 0, converter.IsUrgentMessage());
    return record;
  }

  Settings settings;
  FakeClock clock;
  HuaConverter converter{settings, clock};
  GroupHeaderRecord header{};
  std::int32_t sequence = 0;
};

TEST_F(HuaConverterTest, WholeMessage) {
  settings.urgentSrcField = "72";
  settings.urgentSrcKeyword = "SURGOS";
  settings.normalTrgtField = "Cd";
  settings.normalTrgtKeyword = "SEPA";
  settings.xchgSrcField = "72";
  settings.xchgSrcKeyword = "TWO";
  settings.xchgTrgtKeyword = "AGRD";
  // The reader leaves the block trailer and the "$" separator in the last field.
  MtMessage message = MakeMessage({
      {"OPGA", {"10032000"}},
      {"20", {"REF-0001"}},
      {"32A", {"160315HUF12500,50"}},
      {"50", {"Kovacs Janos", "Fo utca 1.", "Budapest"}},
      {"52D", {"117730161111101800000000", "10032000-06056353", "HUF150,00", "ABC HU DE"}},
      {"57A", {"DEUTDEFF"}},
      {"59", {"/DE89370400440532013000", "Hans Muller", "Hauptstr. 5", "Berlin"}},
      {"70", {"Szamla 2016/12", "Second line"}},
      {"71A", {"SHA"}},
      {"72",
       {"/REC/ONE TWO THREE FOUR FIVE", "LINE TWO", "LOCAL", "T AB F CD", "HU N I X Y Z", "-}",
        "$"}},
  });
  EXPECT_EQ(DumpRecord(Fill(message)), R"(SrcType=HUA
PmtInfId=B20160315090507045000000
InstrId=REF-0001
EndToEndId=NOTPROVIDED
SvcLvlCd=SEPA
LclInstrmPrtry=LOCAL
InstdAmt=12500.50
InstdAmtCcy=HUF
ReqdExctnDt=20160315
DbtrIdType=2
Flag72a=N
DbtrNm=Kovacs Janos
DbtrCtry=HU
DbtrAdr1=Fo utca 1.
DbtrAdr2=Budapest
DbtrAcctId=1111101800000000
DbtrAgtBic=OTPVHUHB
DbtrAgtBankCode=11773016
ChrgsAcctCcy=HUF
ChrgsAcctId=10032000-06056353
Info72Line2Short=LINE TWO
Info72T=AB
Info72F=CD
CdtrIdType=2
Flag72b=I
CdtrNm=Hans Muller
CdtrCtry=HU
CdtrAdr1=Hauptstr. 5
CdtrAdr2=Berlin
CdtrAcctId=DE89370400440532013000
CdtrAgtBic=DEUTDEFF
CdtrAgtCtry=DE
RmtInfUstrd1=Szamla 2016/12
RmtInfUstrd2=Second line
Info72Line1=/REC/ONE TWO THREE FOUR FIVE
Info72Line2=LINE TWO
Info72Line3=LOCAL
Info72Line4=T AB F CD
Info72Line5=HU N I X Y Z
ChrgBr71A=SHA
ChrgsAmt=150.00
Info72W1=/REC/ONE
Info72W2=TWO
Info72W3=THREE
Info72W4=FOUR
Flag72c=X
Flag72d=Y
Flag72e=Z
HasXchgRate=1
XchgRateTp=AGRD
Fld52DWord1=ABC
)");
}

TEST_F(HuaConverterTest, EmptyMessage) {
  MtMessage message;
  EXPECT_EQ(DumpRecord(Fill(message)), R"(SrcType=HUA
PmtInfId=B20160315090507045000000
EndToEndId=NOTPROVIDED
DbtrIdType=2
DbtrAgtBic=OTPVHUHB
CdtrIdType=2
)");
}

TEST_F(HuaConverterTest, ValueDateCurrencyAndAmount) {
  struct Row {
    std::string line;
    std::string_view date;
    std::string_view currency;
    std::int64_t amount;  // cents
  };
  const Row rows[] = {
      {"160315HUF12500,50", "20160315", "HUF", 1250050},
      {"991231EUR0,07", "20991231", "EUR", 7},
      {"160315EUR1.234,56", "20160315", "EUR", 0},  // not an amount: the file is refused
      {"160315EUR", "20160315", "EUR", 0},
      {"1603", "201603", "", 0},
  };
  for (const Row& row : rows) {
    MtMessage message = MakeMessage({{"32A", {row.line}}});
    PaymentRecord record = Fill(message);
    EXPECT_EQ(record.ReqdExctnDt.view(), row.date) << row.line;
    EXPECT_EQ(record.InstdAmtCcy.view(), row.currency) << row.line;
    EXPECT_EQ(record.InstdAmt, row.amount) << row.line;
  }
}

// The name and address fields of 50 and 59, "name|name2|address1|address2".
std::string DebtorParty(const PaymentRecord& r) {
  return std::string(r.DbtrNm.view()) + "|" + std::string(r.DbtrNm2.view()) + "|" +
         std::string(r.DbtrAdr1.view()) + "|" + std::string(r.DbtrAdr2.view());
}
std::string CreditorParty(const PaymentRecord& r) {
  return std::string(r.CdtrNm.view()) + "|" + std::string(r.CdtrNm2.view()) + "|" +
         std::string(r.CdtrAdr1.view()) + "|" + std::string(r.CdtrAdr2.view());
}

TEST_F(HuaConverterTest, PartiesByLineCount) {
  struct Row {
    std::vector<std::string> lines;
    std::string debtor;    // the lines as field 50
    std::string creditor;  // the lines as field 59, line 1 the account
  };
  const Row rows[] = {
      {{"L1", "L2"}, "L1||L2|", "L2|||"},
      {{"L1", "L2", "L3"}, "L1||L2|L3", "L2||L3|"},
      {{"L1", "L2", "L3", "L4"}, "L1|L2|L3|L4", "L2||L3|L4"},
      {{"L1", "L2", "L3", "L4", "L5"}, "L1|L2|L3|L4", "L2|L3|L4|L5"},
      // The trailer counts for nothing: two lines before it.
      {{"L1", "L2", "-}", "$"}, "L1||L2|", "L2|||"},
  };
  for (const Row& row : rows) {
    MtMessage message = MakeMessage({{"50", row.lines}, {"59", row.lines}});
    PaymentRecord record = Fill(message);
    EXPECT_EQ(DebtorParty(record), row.debtor) << row.lines.size();
    EXPECT_EQ(CreditorParty(record), row.creditor) << row.lines.size();
    EXPECT_EQ(record.CdtrAcctId.view(), "1") << row.lines.size();  // "L1" without its first
  }
}

TEST_F(HuaConverterTest, DebtorAccountAndBankCode) {
  struct Row {
    std::string account;
    std::string acctId;
    std::string bankCode;
  };
  const Row rows[] = {
      // 24 digits: the last 16, and the bank code of the first 8 replaces the block header's.
      {"117730161111101800000000", "1111101800000000", "11773016"},
      {"HU42117730161111101800000000", "HU42117730161111101800000000", "11773016"},
      {"DE89370400440532013000", "DE89370400440532013000", "37040044"},
      {"HU42117730161111101800000001", "HU42117730161111101800000001", "10032000"},
      {"1177301611111018", "1177301611111018", "10032000"},
      {"11773016-11111018-00000000", "11773016-11111018-00000000", "10032000"},
      // 24 characters, but an IBAN: kept whole.
      {"ES6203642621299722003322", "ES6203642621299722003322", "03642621"},
      {"1177301611111018000000AB", "1177301611111018000000AB", "10032000"},
  };
  for (const Row& row : rows) {
    MtMessage message = MakeMessage({{"OPGA", {"10032000"}}, {"52D", {row.account}}});
    PaymentRecord record = Fill(message);
    EXPECT_EQ(record.DbtrAcctId.view(), row.acctId) << row.account;
    EXPECT_EQ(record.DbtrAgtBankCode.view(), row.bankCode) << row.account;
  }
}

TEST_F(HuaConverterTest, ChargesAmountWithOrWithoutBlankAfterTheCurrency) {
  struct Row {
    std::string line;
    std::string_view currency;
    std::int64_t amount;  // cents
  };
  const Row rows[] = {
      {"HUF1234,00", "HUF", 123400},
      {"HUF 1234,00", "HUF", 123400},
      {"HUF   1234,5", "HUF", 123450},
      {"EUR-12", "EUR", 0},  // not an amount: the file is refused
      {"HUF", "HUF", 0},
      {"HU", "HU", 0},
      {"HUFX12", "HUF", 0},
  };
  for (const Row& row : rows) {
    MtMessage message = MakeMessage({{"52D", {"ACC", "CHG", row.line}}});
    PaymentRecord record = Fill(message);
    EXPECT_EQ(record.ChrgsAcctCcy.view(), row.currency) << row.line;
    EXPECT_EQ(record.ChrgsAmt, row.amount) << row.line;
  }
}

TEST_F(HuaConverterTest, CountryWordsOf52DLine4) {
  struct Row {
    std::string line;
    std::string dump;  // Fld52DWord1|CdtrCtry|CdtrAgtCtry
  };
  const Row rows[] = {
      {"ABC HU DE", "ABC|HU|DE"},
      {"ABC HUN DEU", "ABC|HU|DE"},         // short code fields keep their first letters
      {"ABC  DE", "ABC||DE"},               // two blanks in a row give an empty word 2
      {"ABCDEFGH IJK LM", "ABCDEFGH|IJ|"},  // only characters 1-12 are split
      {"", "||"},
  };
  for (const Row& row : rows) {
    MtMessage message = MakeMessage({{"52D", {"ACC", "CHG", "HUF0", row.line}}});
    PaymentRecord r = Fill(message);
    std::string dump = std::string(r.Fld52DWord1.view()) + "|" + std::string(r.CdtrCtry.view()) +
                       "|" + std::string(r.CdtrAgtCtry.view());
    EXPECT_EQ(dump, row.dump) << row.line;
  }
}

TEST_F(HuaConverterTest, TransferLineOf72) {
  struct Row {
    std::string line;
    std::string_view t;
    std::string_view f;
  };
  const Row rows[] = {
      {"T AB F CD", "AB", "CD"},  // as the HUA writer builds it
      {"T 12345678 F 87654321", "12345678", "87654321"},
      {"  T AB   F CD  ", "AB", "CD"},
      {"T AB", "AB", ""},
      {"F CD", "", "CD"},
      {"T AB F CD F EF", "AB", "CD"},
      {"T AB f CD", "AB f CD", ""},  // only an upper-case F splits
      {"", "", ""},
  };
  for (const Row& row : rows) {
    MtMessage message = MakeMessage({{"72", {"L1", "L2", "L3", row.line}}});
    PaymentRecord record = Fill(message);
    EXPECT_EQ(record.Info72T.view(), row.t) << row.line;
    EXPECT_EQ(record.Info72F.view(), row.f) << row.line;
    EXPECT_EQ(record.Info72Line4.view(), row.line) << row.line;
  }
}

TEST_F(HuaConverterTest, FlagsOf72Line5) {
  MtMessage message = MakeMessage({{"72", {"", "", "", "", "HUN Nem  I"}}});
  PaymentRecord record = Fill(message);
  EXPECT_EQ(record.DbtrCtry.view(), "HU");
  EXPECT_EQ(record.Flag72a, 'N');
  EXPECT_EQ(record.Flag72b, '\0');  // empty word
  EXPECT_EQ(record.Flag72c, 'I');
  EXPECT_EQ(record.Flag72d, '\0');  // no such word
  EXPECT_EQ(record.Flag72e, '\0');
}

TEST_F(HuaConverterTest, BlockTrailerNeverReachesTheRecord) {
  struct Row {
    std::vector<TestField> fields;
  };
  const Row rows[] = {
      {{{"72", {"LINE 1", "LINE 2", "LINE 3", "-}", "$"}}}},
      {{{"72", {"LINE 1", "LINE 2", "LINE 3", "-}"}}}},
      {{{"70", {"REMITTANCE", "-}", "$"}}}},
      {{{"70", {"REMITTANCE -}", "$"}}}},
      {{{"71A", {"SHA", "-}", "$"}}}},
      {{{"59", {"/DE89370400440532013000", "NAME", "-}", "$"}}}},
      {{{"52D", {"ACC", "CHG", "HUF1,00", "-}", "$"}}}},
  };
  for (const Row& row : rows) {
    MtMessage message;
    for (const TestField& field : row.fields) {
      message.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
    }
    std::string dump = DumpRecord(Fill(message));
    EXPECT_EQ(dump.find('$'), std::string::npos) << dump;
    EXPECT_EQ(dump.find("-}"), std::string::npos) << dump;
  }
}

TEST_F(HuaConverterTest, ThreeLineField72AtTheEndOfAMessage) {
  MtMessage message = MakeMessage({{"72", {"/REC/A B", "SECOND", "THIRD", "-}", "$"}}});
  PaymentRecord record = Fill(message);
  EXPECT_EQ(record.DbtrCtry.view(), "");
  EXPECT_EQ(record.Info72Line3.view(), "THIRD");
  EXPECT_EQ(record.LclInstrmPrtry.view(), "THIRD");
  EXPECT_EQ(record.Info72Line4.view(), "");
  EXPECT_EQ(record.Info72Line5.view(), "");
  EXPECT_EQ(record.Flag72a, '\0');
}

TEST_F(HuaConverterTest, KeywordRulesSeeNothingAfterTheTrailer) {
  settings.urgentSrcField = "72";
  settings.urgentSrcKeyword = "$";
  settings.xchgSrcField = "72";
  settings.xchgSrcKeyword = "-}";
  settings.xchgTrgtKeyword = "AGRD";
  MtMessage message = MakeMessage({{"72", {"TEXT", "-}", "$"}}});
  PaymentRecord record = Fill(message);
  EXPECT_EQ(record.IsUrgent, 0);
  EXPECT_EQ(record.HasXchgRate, 0);
  EXPECT_EQ(record.XchgRateTp.view(), "");
  // The field as read still holds the trailer; only the mapping leaves it out.
  EXPECT_FALSE(converter.IsUrgentMessage());
}

TEST_F(HuaConverterTest, UrgencyAndServiceLevel) {
  settings.urgentSrcField = "72";
  settings.urgentTrgtKeyword = "URGP";
  settings.normalTrgtKeyword = "NORM";
  struct Row {
    std::string keywords;
    std::string urgentTarget;
    std::string normalTarget;
    std::string line;
    std::string dump;  // IsUrgent|SvcLvlCd|SvcLvlPrtry
  };
  const Row rows[] = {
      {"SURGOS, EXPRESS", "Cd", "Cd", "SEND EXPRESS", "1|URGP|"},
      {"SURGOS, EXPRESS", "Prtry", "Cd", "SEND EXPRESS", "1||URGP"},
      {"SURGOS, EXPRESS", "Prtry", "Cd", "SEND NORMAL", "0|NORM|"},
      {"SURGOS, EXPRESS", "Cd", "Prtry", "SEND NORMAL", "0||NORM"},
      {",SURGOS", "Cd", "Cd", "SURGOS", "0|NORM|"},  // empty first item: nothing matches
      {"SURGOS,  ", "Cd", "Cd", "ANY", "1|URGP|"},   // an all-blank item matches any line
      {"SURGOS", "cd", "CD", "SURGOS", "1||"},       // other target names write nothing
      {"SURGOS", "", "", "X", "0||"},
  };
  for (const Row& row : rows) {
    settings.urgentSrcKeyword = row.keywords;
    settings.urgentTrgtField = row.urgentTarget;
    settings.normalTrgtField = row.normalTarget;
    MtMessage message = MakeMessage({{"72", {"FIRST", row.line}}});
    PaymentRecord r = Fill(message);
    std::string dump = std::to_string(r.IsUrgent) + "|" + std::string(r.SvcLvlCd.view()) + "|" +
                       std::string(r.SvcLvlPrtry.view());
    EXPECT_EQ(dump, row.dump) << row.keywords << " / " << row.line;
  }
}

TEST_F(HuaConverterTest, UrgencyFieldMissingOrNotConfigured) {
  settings.urgentSrcKeyword = "X";
  MtMessage message = MakeMessage({{"72", {"X"}}, {"70", {"X"}}});
  EXPECT_EQ(Fill(message).IsUrgent, 0);  // no SrcField
  settings.urgentSrcField = "23E";
  EXPECT_EQ(Fill(message).IsUrgent, 0);  // field not in the message
  settings.urgentSrcField = "70";
  EXPECT_EQ(Fill(message).IsUrgent, 1);
}

TEST_F(HuaConverterTest, ExchangeRateRule) {
  settings.xchgSrcField = "70";
  settings.xchgSrcKeyword = "ARF, AGRD";
  settings.xchgTrgtKeyword = "SPOTX";  // cut to the four letters the field holds
  MtMessage matching = MakeMessage({{"70", {"INVOICE", "RATE AGRD 312,5"}}});
  PaymentRecord record = Fill(matching);
  EXPECT_EQ(record.HasXchgRate, 1);
  EXPECT_EQ(record.XchgRateTp.view(), "SPOT");
  MtMessage other = MakeMessage({{"70", {"INVOICE"}}});
  record = Fill(other);
  EXPECT_EQ(record.HasXchgRate, 0);
  EXPECT_EQ(record.XchgRateTp.view(), "");
}

TEST_F(HuaConverterTest, BankBicFallback) {
  struct Row {
    std::string headerBic;
    std::string setting;
    std::string_view bic;
  };
  const Row rows[] = {
      {"OTPVHUHB", "GIBAHUHB", "OTPVHUHB"},
      {"OTPVHUHBXXX", "GIBAHUHB", "OTPVHUHBXXX"},
      {"OTP", "GIBAHUHB", "GIBAHUHB"},
      {"", "GIBAHUHB", "GIBAHUHB"},
      {"OTP", "", ""},
      {"OTP", "bad bic", "bad bic"},
  };
  MtMessage message;
  for (const Row& row : rows) {
    header.BankBic.Assign(row.headerBic);
    settings.bankBic = row.setting;
    EXPECT_EQ(Fill(message).DbtrAgtBic.view(), row.bic) << row.headerBic;
  }
}

TEST_F(HuaConverterTest, LongValuesAreCutToTheFieldCapacity) {
  std::string line150(150, 'x');
  MtMessage message = MakeMessage({
      {"20", {"REFERENCE-THAT-IS-LONGER-THAN-THIRTY-FIVE"}},
      {"32A", {"160315EURO1,00"}},
      {"50", {line150}},
      {"57A", {"DEUTDEFFXXXXYYY"}},
      {"70", {line150}},
      {"71A", {"SHARED"}},
      {"72", {line150, line150}},
  });
  PaymentRecord record = Fill(message);
  EXPECT_EQ(record.InstrId.view(), "REFERENCE-THAT-IS-LONGER-THAN-THIRT");
  EXPECT_EQ(record.InstdAmtCcy.view(), "EUR");
  EXPECT_EQ(record.InstdAmt, 0);  // "O1,00" is no amount
  EXPECT_EQ(record.DbtrNm.view(), std::string(70, 'x'));
  EXPECT_EQ(record.CdtrAgtBic.view(), "DEUTDEFFXXX");
  EXPECT_EQ(record.RmtInfUstrd1.view(), std::string(140, 'x'));
  EXPECT_EQ(record.ChrgBr71A.view(), "SHAR");
  EXPECT_EQ(record.Info72Line1.view(), std::string(140, 'x'));
  EXPECT_EQ(record.Info72W1.view(), std::string(140, 'x'));
  EXPECT_EQ(record.Info72Line2Short.view(), std::string(35, 'x'));
  // Nothing spilled into the neighbouring fields.
  EXPECT_EQ(record.EndToEndId.view(), "NOTPROVIDED");
  EXPECT_EQ(record.DbtrNm2.view(), "");
  EXPECT_EQ(record.CdtrAgtNm.view(), "");
  EXPECT_EQ(record.RmtInfUstrd2.view(), "");
}

TEST_F(HuaConverterTest, AccentedKeywordFromTheSettingsMatches) {
  std::optional<CodePages> codePages = CodePages::Open();
  ASSERT_TRUE(codePages.has_value());
  // "SÜRGŐS" in the settings file (UTF-8, then CP1250) and in a message (CP852).
  const std::string inis[] = {
      "[PrioUrgent]\nSrcField=72\nSrcKeyword=S\xC3\x9CRG\xC5\x90S\nTrgtField=Cd\n"
      "TrgtKeyword=URGP\n",
      "[PrioUrgent]\nSrcField=72\nSrcKeyword=S\xDCRG\xD5S\nTrgtField=Cd\nTrgtKeyword=URGP\n",
  };
  MtMessage message = MakeMessage({{"72", {"/S\x9ARG\x8AS/"}}});
  for (const std::string& ini : inis) {
    settings.Load("/etc/varnex.ini", ini, "/opt/varnex/");
    settings.ToRecordCodePage(*codePages);
    PaymentRecord record = Fill(message);
    EXPECT_EQ(record.IsUrgent, 1) << ini;
    EXPECT_EQ(record.SvcLvlCd.view(), "URGP") << ini;
  }
}

TEST_F(HuaConverterTest, IsSepaReadsTheFieldsAsRead) {
  settings.sepaCountries = "AT,BE,DE";
  // A line with "-}" hides nothing from the SEPA rule, though the mapping stops before it.
  MtMessage message = MakeMessage({{"57A", {"DEUTDEFF"}},
                                   {"32A", {"160315EUR1,00 -}", "$"}},
                                   {"59", {"/DE89370400440532013000"}}});
  EXPECT_EQ(Fill(message).InstdAmtCcy.view(), "");
  EXPECT_TRUE(converter.IsSepa());
  std::optional<CodePages> codePages = CodePages::Open();
  ASSERT_TRUE(codePages.has_value());
  EXPECT_TRUE(converter.SepaFailures(*codePages).empty());
}

}  // namespace
}  // namespace varnex
