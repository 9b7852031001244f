#include "mt/hua_writer.h"

#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "mt/mt_file.h"
#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

GroupHeaderRecord SampleHeader() {
  GroupHeaderRecord h{};
  h.MsgId.Assign("MSG20160315");
  h.CreDtTm.Assign("20160315083005+0100");
  h.NbOfTxs = 2;
  h.CtrlSum = 1259990;
  h.BankBic.Assign("OTPVHUHB");
  h.InitgPtyNm.Assign("KOVACS KFT");
  h.InitgPtyAdr1.Assign("FO UTCA 1");
  return h;
}

PaymentRecord SamplePayment() {
  PaymentRecord p{};
  p.SrcType.Assign("HUA");
  p.InstrId.Assign("REF0001");
  p.InstdAmt = 1250000;
  p.InstdAmtCcy.Assign("HUF");
  p.ReqdExctnDt.Assign("20160315");
  p.DbtrNm.Assign("KOVACS KFT");
  p.DbtrAdr1.Assign("FO UTCA 1");
  p.DbtrAdr2.Assign("1011 BUDAPEST");
  p.DbtrAcctId.Assign("HU42117730161111101800000000");
  p.DbtrAgtBankCode.Assign("11773016");
  p.ChrgsAcctCcy.Assign("HUF");
  p.ChrgsAmt = 15050;
  p.Fld52DWord1.Assign("001");
  p.CdtrCtry.Assign("DE");
  p.CdtrAgtCtry.Assign("DE");
  p.CdtrAgtBic.Assign("COBADEFFXXX");
  p.CdtrAcctId.Assign("DE89370400440532013000");
  p.CdtrNm.Assign("MUSTER GMBH");
  p.CdtrAdr1.Assign("HAUPTSTR 1");
  p.CdtrAdr2.Assign("BERLIN");
  p.RmtInfUstrd1.Assign("INVOICE 42");
  p.ChrgBr71A.Assign("SHA");
  p.Info72W1.Assign("W1");
  p.Info72W2.Assign("W2");
  p.Info72W3.Assign("W3");
  p.Info72W4.Assign("W4");
  p.Info72Line2Short.Assign("L2");
  p.LclInstrmPrtry.Assign("L3");
  p.Info72T.Assign("AB");
  p.Info72F.Assign("CD");
  p.DbtrCtry.Assign("HU");
  p.Flag72a = 'N';
  p.Flag72b = '0';
  p.Flag72c = '1';
  p.Flag72d = 'S';
  p.Flag72e = 'X';
  return p;
}

// The message text of one payment.
std::string RenderPayment(const PaymentRecord& payment, std::int32_t autofill = 0) {
  HuaWriter writer(autofill);
  writer.AddPayment(payment);
  writer.SetGroupHeader(SampleHeader());
  return writer.FinishDocument().Payments();
}

TEST(HuaWriterTest, WholeDocument) {
  PaymentRecord second{};
  second.SrcType.Assign("HUA");
  second.InstdAmt = 9990;
  second.InstdAmtCcy.Assign("EUR");
  second.ReqdExctnDt.Assign("20160316");
  second.DbtrAdr1.Assign("FO UTCA 1");
  second.DbtrAcctId.Assign("HU42117730161111101800000000");
  second.ChrgsAcctId.Assign("12345678");
  second.CdtrCtry.Assign("AT");
  second.CdtrAgtCtry.Assign("AT");
  second.CdtrAgtNm.Assign("BANK NAME");
  second.CdtrAgtAdr1.Assign("WIEN");
  second.CdtrNm.Assign("MAX MUSTER");
  second.ChrgBr71A.Assign("OUR");
  second.DbtrCtry.Assign("HU");

  HuaWriter writer(0);
  EXPECT_EQ(1250000, writer.AddPayment(SamplePayment()));
  EXPECT_EQ(9990, writer.AddPayment(second));
  writer.SetGroupHeader(SampleHeader());
  EXPECT_EQ(Blanks(R"(
:01:MSG20160315
:02:12599,90
:03:2
:04:OTPVHUHB
:05:KOVACS KFT
FO UTCA 1
:07:~
{1:F0111773016XXXX000000001}{2:I100COBADEFFXXXXN1}{4:
:20:REF0001
:32A:160315HUF12500,00
:50:KOVACS KFT
FO UTCA 1
1011 BUDAPEST
:52D:HU42117730161111101800000000
~
HUF150,50
001 DE DE
:57A:COBADEFFXXX
:59:/DE89370400440532013000
MUSTER GMBH
HAUPTSTR 1
BERLIN
:70:INVOICE 42
:71A:SHA
:72:W1 W2 W3 W4
L2
L3
T AB F CD
HU N 0 1 S X
-}
${1:F01XXXXXXXXXXXX000000002}{2:I100XXXXXXXXXXXXN1}{4:
:20:~
:32A:160316EUR99,90
:50:
FO UTCA 1
:52D:HU42117730161111101800000000
12345678
HUF0,00
000 AT AT
:57D:BANK NAME
WIEN
:59:/
MAX MUSTER
:71A:OUR
:72:  ~
~
~
~
HU~
-}
)"),
            writer.BuildDocument());
}

TEST(HuaWriterTest, MessageLines) {
  using Mutate = void (*)(PaymentRecord&);
  struct Row {
    const char* name;
    Mutate mutate;
    std::int32_t autofill;
    std::string contains;
    std::string lacks;
  };
  const Row rows[] = {
      {"empty reference", [](PaymentRecord& p) { p.InstrId.Assign(""); }, 0, "\n:20: \n:32A:", ""},
      {"no ordering customer",
       [](PaymentRecord& p) {
         p.DbtrNm.Assign("");
         p.DbtrAdr1.Assign("");
         p.DbtrAdr2.Assign("");
       },
       0, "\n:32A:160315HUF12500,00\n:52D:", ":50:"},
      {"ordering customer without name", [](PaymentRecord& p) { p.DbtrNm.Assign(""); }, 0,
       "\n:50:\nFO UTCA 1\n1011 BUDAPEST\n:52D:", ""},
      {"INT order charged to debtor account", [](PaymentRecord& p) { p.SrcType.Assign("INT"); }, 1,
       "\n:52D:HU42117730161111101800000000\nHU42117730161111101800000000\nHUF", ""},
      {"autofill off", [](PaymentRecord& p) { p.SrcType.Assign("INT"); }, 0,
       "\n:52D:HU42117730161111101800000000\n \nHUF", ""},
      {"autofill acts only at 1", [](PaymentRecord& p) { p.SrcType.Assign("INT"); }, 2,
       "\n:52D:HU42117730161111101800000000\n \nHUF", ""},
      {"HUA order never autofilled", [](PaymentRecord&) {}, 1,
       "\n:52D:HU42117730161111101800000000\n \nHUF", ""},
      {"charges account wins",
       [](PaymentRecord& p) {
         p.SrcType.Assign("INT");
         p.ChrgsAcctId.Assign("CHARGES");
       },
       1, "\n:52D:HU42117730161111101800000000\nCHARGES\nHUF", ""},
      {"no charges currency",
       [](PaymentRecord& p) {
         p.ChrgsAcctCcy.Assign("");
         p.ChrgsAmt = 0;
       },
       0, "\nHUF0,00\n", ""},
      {"short charges currency padded",
       [](PaymentRecord& p) {
         p.ChrgsAcctCcy.Assign("EU");
         p.ChrgsAmt = 150;
       },
       0, "\nEU 1,50\n", ""},
      {"no first word", [](PaymentRecord& p) { p.Fld52DWord1.Assign(""); }, 0,
       "\n000 DE DE\n:57A:", ""},
      {"bank without BIC",
       [](PaymentRecord& p) {
         p.CdtrAgtBic.Assign("");
         p.CdtrAgtNm.Assign("BANK");
         p.CdtrAgtAdr2.Assign("CITY");
       },
       0, "\n:57D:BANK\nCITY\n:59:/", ":57A:"},
      {"no beneficiary account", [](PaymentRecord& p) { p.CdtrAcctId.Assign(""); }, 0,
       "\n:59:/\nMUSTER GMBH\n", ""},
      {"no beneficiary at all",
       [](PaymentRecord& p) {
         p.CdtrAcctId.Assign("");
         p.CdtrNm.Assign("");
         p.CdtrAdr1.Assign("");
         p.CdtrAdr2.Assign("");
       },
       0, "\n:57A:COBADEFFXXX\n:70:", ":59:"},
      {"empty sender lines get a blank",
       [](PaymentRecord& p) {
         p.Info72Line2Short.Assign("");
         p.LclInstrmPrtry.Assign("");
       },
       0, "\n:72:W1 W2 W3 W4\n \n \nT AB F CD\n", ""},
      {"T part only", [](PaymentRecord& p) { p.Info72F.Assign(""); }, 0, "\nT AB \nHU N", ""},
      {"F part only", [](PaymentRecord& p) { p.Info72T.Assign(""); }, 0, "\n F CD\nHU N", ""},
      {"neither part",
       [](PaymentRecord& p) {
         p.Info72T.Assign("");
         p.Info72F.Assign("");
       },
       0, "\nL3\n \nHU N", ""},
      {"all flags zero",
       [](PaymentRecord& p) { p.Flag72a = p.Flag72b = p.Flag72c = p.Flag72d = p.Flag72e = 0; }, 0,
       "\nHU \n-}\n", ""},
      {"third flag zero ends the line", [](PaymentRecord& p) { p.Flag72c = 0; }, 0,
       "\nHU N 0 \n-}\n", ""},
      {"no country", [](PaymentRecord& p) { p.DbtrCtry.Assign(""); }, 0, "\n   N 0 1 S X\n-}", ""},
      {"words cut at 140",
       [](PaymentRecord& p) {
         p.Info72W1.Assign(std::string(100, 'A'));
         p.Info72W2.Assign(std::string(100, 'B'));
       },
       0, "\n:72:" + std::string(100, 'A') + " " + std::string(39, 'B') + "\nL2\n", ""},
      {"blank in bank code", [](PaymentRecord& p) { p.DbtrAgtBankCode.Assign("1177 016"); }, 0,
       "{1:F011177X016XXXX000000001}", ""},
  };
  for (const Row& row : rows) {
    PaymentRecord payment = SamplePayment();
    row.mutate(payment);
    std::string text = RenderPayment(payment, row.autofill);
    EXPECT_NE(std::string::npos, text.find(row.contains)) << row.name << "\n" << text;
    if (!row.lacks.empty()) {
      EXPECT_EQ(std::string::npos, text.find(row.lacks)) << row.name << "\n" << text;
    }
  }
}

TEST(HuaWriterTest, FieldWithEmptyFirstLineReadsBack) {
  PaymentRecord payment = SamplePayment();
  payment.DbtrNm.Assign("");
  payment.CdtrAcctId.Assign("");
  HuaWriter writer(0);
  writer.AddPayment(payment);
  writer.SetGroupHeader(SampleHeader());
  std::string file;
  for (char c : writer.BuildDocument()) {
    if (c == '\n') {
      file.push_back('\r');
    }
    file.push_back(c);
  }
  std::optional<CodePages> pages = CodePages::Open();
  ASSERT_TRUE(pages.has_value());
  MtFile read;
  read.Parse("OUT.HUA", file, *pages);
  ASSERT_EQ(1, read.MessageCount());
  const MtMessage& message = read.message(0);
  std::optional<MtFieldView> ordering = message.Find("50");
  ASSERT_TRUE(ordering.has_value());
  ASSERT_EQ(3, ordering->lineCount());
  EXPECT_EQ("", ordering->line(0));
  EXPECT_EQ("FO UTCA 1", ordering->line(1));
  EXPECT_EQ("1011 BUDAPEST", ordering->line(2));
  std::optional<MtFieldView> beneficiary = message.Find("59");
  ASSERT_TRUE(beneficiary.has_value());
  ASSERT_EQ(4, beneficiary->lineCount());
  EXPECT_EQ("/", beneficiary->line(0));
  EXPECT_EQ("MUSTER GMBH", beneficiary->line(1));
}

TEST(HuaWriterTest, MessagesNumberedInOrder) {
  HuaWriter writer(0);
  for (const char* bic : {"AAAAHUHB", "BBBBHUHB", "CCCCHUHB"}) {
    PaymentRecord payment = SamplePayment();
    payment.CdtrAgtBic.Assign(bic);
    writer.AddPayment(payment);
  }
  std::string text = writer.FinishDocument().Payments();
  std::string headers;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    std::string line = text.substr(start, end - start + 1);
    if (line.find("{1:F01") != std::string::npos) {
      headers.append(line);
    }
  }
  EXPECT_EQ(
      "{1:F0111773016XXXX000000001}{2:I100AAAAHUHBXXXXN1}{4:\n"
      "${1:F0111773016XXXX000000002}{2:I100BBBBHUHBXXXXN1}{4:\n"
      "${1:F0111773016XXXX000000003}{2:I100CCCCHUHBXXXXN1}{4:\n",
      headers);
}

TEST(HuaWriterTest, HeaderLines) {
  GroupHeaderRecord header{};
  header.CtrlSum = 5;
  header.NbOfTxs = 1;
  header.InitgPtyAdr2.Assign("CITY");
  HuaWriter writer(0);
  writer.SetGroupHeader(header);
  EXPECT_EQ(Blanks("\n:02:0,05\n:03:1\n:04:~\n:05:\nCITY\n:07:~\n"),
            std::string(writer.FinishDocument().header));
}

TEST(HuaWriterTest, AddressPaddedAndCut) {
  const struct {
    std::string_view code, expected;
  } rows[] = {
      {"", "XXXXXXXXXXXX"},
      {"ABCDHUHB", "ABCDHUHBXXXX"},
      {"AB CD", "ABXCDXXXXXXX"},
      {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKL"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.expected, FormatMtAddress(row.code)) << row.code;
  }
}

}  // namespace
}  // namespace varnex
