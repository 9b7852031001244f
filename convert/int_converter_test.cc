#include "convert/int_converter.h"

#include <gtest/gtest.h>

#include "convert/record_test_util.h"
#include "convert/settings.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

class IntConverterTest : public ::testing::Test {
 protected:
  IntConverterTest() {
    clock.Set(2016, 3, 15, 9, 5, 7, 45);
    settings.bankBic = "GIBAHUHB";
    header.BankBic.Assign("OTPVHUHB");
  }

  PaymentRecord Fill(const MtMessage& message) {
    converter.SetMessage("", message);
    PaymentRecord record;
    record.DbtrCtry.Assign("XX");  // filled from scratch
    converter.FillPaymentRecord(record, header, sequence);
    EXPECT_EQ(record.IsUrgent != 0, converter.IsUrgentMessage());
    return record;
  }

  Settings settings;
  FakeClock clock;
  IntConverter converter{settings, clock};
  GroupHeaderRecord header{};
  std::int32_t sequence = 0;
};

TEST_F(IntConverterTest, WholeMessage) {
  settings.urgentSrcField = "72";
  settings.urgentSrcKeyword = "URGENT";
  settings.urgentTrgtField = "Prtry";
  settings.urgentTrgtKeyword = "EXPRESS";
  settings.xchgSrcField = "70";
  settings.xchgSrcKeyword = "NOMATCH";
  MtMessage message = MakeMessage({
      {"20", {"INTREF"}},
      {"32A", {"160315EUR1000,00"}},
      {"50", {"Kovacs Kft", "Kovacs Kft Export", "Fo utca 1.", "Budapest"}},
      {"52A", {"/D/HU42117730161111101800000000", "GIBAHUHBXXX"}},
      {"52D", {"/D/DE89370400440532013000", "IGNORED BANK"}},
      {"53A", {"/D/12345678", "CITIUS33"}},
      {"57A", {"COBADEFF500"}},
      {"57D", {"IGNORED", "BANK"}},
      {"59", {"/AT611904300234573201", "Hans Muller", "Muller GmbH", "Hauptstr. 5", "Wien"}},
      {"70", {"Invoice 12", "Second", "Third", "Fourth", "Fifth"}},
      {"71A", {"OUR"}},
      {"72", {"/ACC/URGENT", "L2", "L3", "T AB F CD", "HU N I", "L6 -}", "L7"}},
  });
  EXPECT_EQ(DumpRecord(Fill(message)), R"(SrcType=INT
PmtInfId=B20160315090507045000000
InstrId=INTREF
EndToEndId=NOTPROVIDED
SvcLvlPrtry=EXPRESS
InstdAmt=1000.00
InstdAmtCcy=EUR
ReqdExctnDt=20160315
DbtrIdType=2
DbtrNm=Kovacs Kft
DbtrNm2=Kovacs Kft Export
DbtrAdr1=Fo utca 1.
DbtrAdr2=Budapest
DbtrAcctId=HU42117730161111101800000000
DbtrAgtIdType=1
DbtrAgtBic=GIBAHUHBXXX
DbtrAgtBankCode=11773016
SndrCorrAcct=12345678
SndrCorrBic=CITIUS33
CdtrIdType=2
CdtrNm=Hans Muller
CdtrNm2=Muller GmbH
CdtrCtry=AT
CdtrAdr1=Hauptstr. 5
CdtrAdr2=Wien
CdtrAcctId=AT611904300234573201
CdtrAgtBic=COBADEFF500
CdtrAgtCtry=AT
RmtInfUstrd1=Invoice 12
RmtInfUstrd2=Second
RmtInfUstrd3=Third
RmtInfUstrd4=Fourth
Info72Line1=/ACC/URGENT
Info72Line2=L2
Info72Line3=L3
Info72Line4=T AB F CD
Info72Line5=HU N I
Info72Line6=L6 -}
ChrgBr71A=OUR
IsUrgent=1
)");
}

// The debtor's account, country and bank: "AcctId|Ctry|IdType|Bic|BankCode|Nm|Adr1|Adr2|Adr3".
std::string Debtor(const PaymentRecord& r) {
  return std::string(r.DbtrAcctId.view()) + "|" + std::string(r.DbtrCtry.view()) + "|" +
         std::to_string(r.DbtrAgtIdType) + "|" + std::string(r.DbtrAgtBic.view()) + "|" +
         std::string(r.DbtrAgtBankCode.view()) + "|" + std::string(r.DbtrAgtNm.view()) + "|" +
         std::string(r.DbtrAgtAdr1.view()) + "|" + std::string(r.DbtrAgtAdr2.view()) + "|" +
         std::string(r.DbtrAgtAdr3.view());
}

TEST_F(IntConverterTest, DebtorAccountAndBank) {
  struct Row {
    std::vector<TestField> fields;
    std::string debtor;
  };
  const Row rows[] = {
      {{{"52A", {"/D/HU42117730161111101800000000", "OTPVHUHB"}}},
       "HU42117730161111101800000000||1|OTPVHUHB|11773016||||"},
      {{{"52A", {"/D/117730161111101800000000", "10032000"}}},
       "1111101800000000||2|OTPVHUHB|10032000||||"},
      {{{"52A", {"/D/117730161111101800000000"}}}, "1111101800000000||0|OTPVHUHB|11773016||||"},
      // A malformed BIC in line 2 gives way to [General] BankBIC.
      {{{"52A", {"/D/12345", "OTP"}}}, "12345||1|GIBAHUHB|||||"},
      {{{"52A", {"/D/12345", ""}}}, "12345||1|GIBAHUHB|||||"},
      // 52D is not read when 52A is present.
      {{{"52A", {"/D/12345"}}, {"52D", {"/D/DE89370400440532013000", "BANK"}}},
       "12345||0|OTPVHUHB|||||"},
      {{{"52D", {"/D/DE89370400440532013000", "BANK", "ADR 1", "ADR 2", "ADR 3", "ADR 4"}}},
       "DE89370400440532013000|DE|0|OTPVHUHB|37040044|BANK|ADR 1|ADR 2|ADR 3"},
      {{{"52D", {"/D/117730161111101800000000", "BANK"}}},
       "1111101800000000||0|OTPVHUHB|11773016|BANK|||"},
      {{{"52D", {"/D/DE89370400440532013001"}}}, "DE89370400440532013001||0|OTPVHUHB|||||"},
      {{{"52D", {"/D"}}}, "||0|OTPVHUHB|||||"},
      {{}, "||0|OTPVHUHB|||||"},
  };
  for (const Row& row : rows) {
    MtMessage message;
    for (const TestField& field : row.fields) {
      message.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
    }
    EXPECT_EQ(Debtor(Fill(message)), row.debtor) << row.debtor;
  }
}

// "Acct|Bic|Nm|Adr1|Adr2|Adr3" of the sender's correspondent.
std::string Correspondent(const PaymentRecord& r) {
  return std::string(r.SndrCorrAcct.view()) + "|" + std::string(r.SndrCorrBic.view()) + "|" +
         std::string(r.SndrCorrNm.view()) + "|" + std::string(r.SndrCorrAdr1.view()) + "|" +
         std::string(r.SndrCorrAdr2.view()) + "|" + std::string(r.SndrCorrAdr3.view());
}

TEST_F(IntConverterTest, SendersCorrespondent) {
  struct Row {
    std::vector<TestField> fields;
    std::string correspondent;
  };
  const Row rows[] = {
      {{{"53A", {"/D/12345678", "CITIUS33"}}}, "12345678|CITIUS33||||"},
      {{{"53A", {"CITIUS33"}}}, "|CITIUS33||||"},
      {{{"53A", {"CITIUS33", "DEUTDEFF"}}}, "|DEUTDEFF||||"},
      {{{"53A", {"/D/12345678"}}, {"53D", {"NAME"}}}, "12345678|||||"},
      {{{"53D", {"/D/12345678", "NAME", "A1", "A2", "A3", "A4"}}}, "12345678||NAME|A1|A2|A3"},
      {{{"53D", {"NAME", "A1", "A2", "A3", "A4"}}}, "||NAME|A1|A2|A3"},
      {{{"53D", {"NAME", "A1"}}}, "||NAME|A1||"},
  };
  for (const Row& row : rows) {
    MtMessage message;
    for (const TestField& field : row.fields) {
      message.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
    }
    EXPECT_EQ(Correspondent(Fill(message)), row.correspondent) << row.correspondent;
  }
}

// "AgtBic|AgtNm|AgtAdr1|AgtAdr2|AgtAdr3|AgtCtry|Ctry|AcctId|Nm|Nm2|Adr1|Adr2".
std::string Creditor(const PaymentRecord& r) {
  return std::string(r.CdtrAgtBic.view()) + "|" + std::string(r.CdtrAgtNm.view()) + "|" +
         std::string(r.CdtrAgtAdr1.view()) + "|" + std::string(r.CdtrAgtAdr2.view()) + "|" +
         std::string(r.CdtrAgtAdr3.view()) + "|" + std::string(r.CdtrAgtCtry.view()) + "|" +
         std::string(r.CdtrCtry.view()) + "|" + std::string(r.CdtrAcctId.view()) + "|" +
         std::string(r.CdtrNm.view()) + "|" + std::string(r.CdtrNm2.view()) + "|" +
         std::string(r.CdtrAdr1.view()) + "|" + std::string(r.CdtrAdr2.view());
}

TEST_F(IntConverterTest, BeneficiaryBankAndBeneficiary) {
  struct Row {
    std::vector<TestField> fields;
    std::string creditor;
  };
  const Row rows[] = {
      // 57A wins over 57D; the BIC gives both countries.
      {{{"57A", {"COBADEFF"}}, {"57D", {"BANK", "A1"}}}, "COBADEFF|||||DE|DE|||||"},
      {{{"57D", {"BANK", "A1", "A2", "A3", "A4"}}}, "|BANK|A1|A2|A3|||||||"},
      {{{"57A", {"COB"}}}, "COB|||||||||||"},
      // A valid IBAN's country replaces the BIC's; an invalid one does not.
      {{{"57A", {"COBADEFF"}}, {"59", {"/AT611904300234573201", "NAME"}}},
       "COBADEFF|||||AT|AT|AT611904300234573201|NAME|||"},
      {{{"57A", {"COBADEFF"}}, {"59", {"/AT611904300234573202", "NAME"}}},
       "COBADEFF|||||DE|DE|AT611904300234573202|NAME|||"},
      // Without "/" line 1 is the name.
      {{{"59", {"NAME"}}}, "||||||||NAME|||"},
      {{{"59", {"NAME", "A1"}}}, "||||||||NAME||A1|"},
      {{{"59", {"NAME", "A1", "A2"}}}, "||||||||NAME||A1|A2"},
      {{{"59", {"NAME", "N2", "A1", "A2"}}}, "||||||||NAME|N2|A1|A2"},
      {{{"59", {"NAME", "N2", "A1", "A2", "X"}}}, "||||||||NAME|N2|A1|A2"},
      {{{"59", {"/ACC", "NAME", "A1", "A2"}}}, "|||||||ACC|NAME||A1|A2"},
      {{{"59", {"/ACC", "NAME", "N2", "A1", "A2"}}}, "|||||||ACC|NAME|N2|A1|A2"},
  };
  for (const Row& row : rows) {
    MtMessage message;
    for (const TestField& field : row.fields) {
      message.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
    }
    EXPECT_EQ(Creditor(Fill(message)), row.creditor) << row.creditor;
  }
}

TEST_F(IntConverterTest, ServiceLevelProprietaryGoesToItsOwnField) {
  settings.urgentSrcField = "72";
  settings.urgentSrcKeyword = "URGENT";
  settings.urgentTrgtField = "Prtry";
  settings.urgentTrgtKeyword = "EXPRESS";
  settings.normalTrgtField = "Cd";
  settings.normalTrgtKeyword = "SEPA";
  MtMessage urgent = MakeMessage({{"72", {"/ACC/URGENT"}}});
  PaymentRecord record = Fill(urgent);
  EXPECT_EQ(record.IsUrgent, 1);
  EXPECT_EQ(record.SvcLvlPrtry.view(), "EXPRESS");
  EXPECT_EQ(record.SvcLvlCd.view(), "");
  MtMessage normal = MakeMessage({{"72", {"/ACC/LATER"}}});
  record = Fill(normal);
  EXPECT_EQ(record.IsUrgent, 0);
  EXPECT_EQ(record.SvcLvlPrtry.view(), "");
  EXPECT_EQ(record.SvcLvlCd.view(), "SEPA");
}

TEST_F(IntConverterTest, KeywordRulesReadEveryLine) {
  // An INT field is read whole, also after a line with "-}".
  settings.urgentSrcField = "72";
  settings.urgentSrcKeyword = "LATE";
  MtMessage message = MakeMessage({{"72", {"A", "-}", "LATE"}}});
  EXPECT_EQ(Fill(message).IsUrgent, 1);
}

}  // namespace
}  // namespace varnex
