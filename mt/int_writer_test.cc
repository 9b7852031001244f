#include "mt/int_writer.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace varnex {
namespace {

GroupHeaderRecord SampleHeader() {
  GroupHeaderRecord h{};
  h.MsgId.Assign("INT20160315");
  h.NbOfTxs = 2;
  h.CtrlSum = 150000;
  h.BankBic.Assign("OTPVHUHB");
  h.InitgPtyNm.Assign("KOVACS KFT");
  h.InitgPtyNm2.Assign("EXPORT");
  h.InitgPtyAdr1.Assign("FO UTCA 1");
  h.InitgPtyAdr2.Assign("1011 BUDAPEST");
  return h;
}

PaymentRecord SamplePayment() {
  PaymentRecord p{};
  p.SrcType.Assign("INT");
  p.InstrId.Assign("INTREF1");
  p.InstdAmt = 100000;
  p.InstdAmtCcy.Assign("USD");
  p.ReqdExctnDt.Assign("20160315");
  p.DbtrNm.Assign("KOVACS KFT");
  p.DbtrAdr1.Assign("FO UTCA 1");
  p.DbtrAcctId.Assign("1177301611111018");
  p.DbtrAgtIdType = 2;
  p.DbtrAgtBic.Assign("OTPVHUHB");
  p.DbtrAgtBankCode.Assign("11773016");
  p.DbtrAgtNm.Assign("OTP BANK");
  p.SndrCorrAcct.Assign("36012345");
  p.SndrCorrBic.Assign("CHASUS33");
  p.SndrCorrNm.Assign("CHASE");
  p.SndrCorrAdr1.Assign("NEW YORK");
  p.CdtrAgtBic.Assign("CITIUS33");
  p.CdtrAcctId.Assign("123456789");
  p.CdtrNm.Assign("ACME INC");
  p.CdtrAdr1.Assign("1 MAIN ST");
  p.RmtInfUstrd1.Assign("ORDER 7");
  p.ChrgBr71A.Assign("SHA");
  p.Info72Line1.Assign("/ACC/URGENT");
  p.Info72Line2.Assign("//CALL");
  return p;
}

// The message text of one payment.
std::string RenderPayment(const PaymentRecord& payment) {
  IntWriter writer;
  writer.AddPayment(payment);
  writer.SetGroupHeader(SampleHeader());
  return writer.FinishDocument().Payments();
}

TEST(IntWriterTest, WholeDocument) {
  PaymentRecord second{};
  second.SrcType.Assign("INT");
  second.InstdAmt = 50000;
  second.InstdAmtCcy.Assign("CHF");
  second.ReqdExctnDt.Assign("20160316");
  second.DbtrNm.Assign("KOVACS KFT");
  second.DbtrAcctId.Assign("1177301611111018");
  second.DbtrAgtNm.Assign("OTP BANK");
  second.DbtrAgtAdr1.Assign("BUDAPEST");
  second.SndrCorrAcct.Assign("99");
  second.SndrCorrNm.Assign("UBS");
  second.SndrCorrAdr1.Assign("ZURICH");
  second.CdtrAgtNm.Assign("BANK BERN");
  second.CdtrNm.Assign("HANS MUSTER");
  second.CdtrAdr1.Assign("BERN");
  second.ChrgBr71A.Assign("OUR");

  IntWriter writer;
  EXPECT_EQ(100000, writer.AddPayment(SamplePayment()));
  EXPECT_EQ(50000, writer.AddPayment(second));
  writer.SetGroupHeader(SampleHeader());
  EXPECT_EQ(Blanks(R"(~
:01:INT20160315
:02:1500,00
:03:2
:04:OTPVHUHB
:05:KOVACS KFT
EXPORT
FO UTCA 1
1011 BUDAPEST
:06:~
:07:~
~
:20:INTREF1
:32A:160315USD1000,00
:50:KOVACS KFT
FO UTCA 1
:52A:/D/1177301611111018
11773016
:53A:/D/36012345
CHASUS33
:57A:CITIUS33
:59:/123456789
ACME INC
1 MAIN ST
:70:ORDER 7
:71A:SHA
:72:/ACC/URGENT
//CALL
~
:20:~
:32A:160316CHF500,00
:50:KOVACS KFT
:52D:/D/1177301611111018
OTP BANK
BUDAPEST
:53D:/D/99
UBS
ZURICH
:57D:BANK BERN
:59:HANS MUSTER
BERN
:71A:OUR
)"),
            writer.BuildDocument());
}

TEST(IntWriterTest, MessageLines) {
  using Mutate = void (*)(PaymentRecord&);
  struct Row {
    const char* name;
    Mutate mutate;
    std::string_view contains;
    std::string_view lacks;
  };
  const Row rows[] = {
      {"empty reference kept as a blank", [](PaymentRecord& p) { p.InstrId.Assign(""); },
       " \n:20: \n:32A:160315USD1000,00\n", ""},
      {"BIC as second line", [](PaymentRecord& p) { p.DbtrAgtIdType = 1; },
       "\n:52A:/D/1177301611111018\nOTPVHUHB\n:53A:", ""},
      {"no debtor BIC",
       [](PaymentRecord& p) {
         p.DbtrAgtBic.Assign("");
         p.DbtrAgtAdr3.Assign("HUNGARY");
       },
       "\n:52D:/D/1177301611111018\nOTP BANK\nHUNGARY\n:53A:", ":52A:"},
      {"no debtor account", [](PaymentRecord& p) { p.DbtrAcctId.Assign(""); },
       "\n:52A:/D/\n11773016\n", ""},
      {"no correspondent account", [](PaymentRecord& p) { p.SndrCorrAcct.Assign(""); },
       "\n11773016\n:57A:", ":53"},
      {"correspondent by name", [](PaymentRecord& p) { p.SndrCorrBic.Assign(""); },
       "\n:53D:/D/36012345\nCHASE\nNEW YORK\n:57A:", ":53A:"},
      {"correspondent without BIC and name",
       [](PaymentRecord& p) {
         p.SndrCorrBic.Assign("");
         p.SndrCorrNm.Assign("");
       },
       "\n11773016\n:57A:", ":53"},
      {"no beneficiary account", [](PaymentRecord& p) { p.CdtrAcctId.Assign(""); },
       "\n:59:ACME INC\n1 MAIN ST\n:70:", ":59:/"},
      {"no beneficiary account nor name",
       [](PaymentRecord& p) {
         p.CdtrAcctId.Assign("");
         p.CdtrNm.Assign("");
       },
       "\n:59:\n1 MAIN ST\n:70:", ""},
      {"sender lines as they stand",
       [](PaymentRecord& p) {
         p.Info72Line2.Assign("");
         p.Info72Line6.Assign("SIX");
       },
       "\n:72:/ACC/URGENT\nSIX\n", ""},
  };
  for (const Row& row : rows) {
    PaymentRecord payment = SamplePayment();
    row.mutate(payment);
    std::string text = RenderPayment(payment);
    EXPECT_NE(std::string::npos, text.find(row.contains)) << row.name << "\n" << text;
    if (!row.lacks.empty()) {
      EXPECT_EQ(std::string::npos, text.find(row.lacks)) << row.name << "\n" << text;
    }
  }
}

TEST(IntWriterTest, HeaderWithoutBankBic) {
  GroupHeaderRecord header = SampleHeader();
  header.BankBic.Assign("");
  IntWriter writer;
  writer.SetGroupHeader(header);
  EXPECT_EQ(Blanks(" \n:01:INT20160315\n:02:1500,00\n:03:2\n:05:KOVACS KFT\nEXPORT\nFO UTCA 1\n"
                   "1011 BUDAPEST\n:06:~\n:07:~\n"),
            std::string(writer.FinishDocument().header));
}

}  // namespace
}  // namespace varnex
