#include "output/sepa_xml_writer.h"

#include <string>

#include <gtest/gtest.h>

#include "output/formatters.h"
#include "output/schema_check.h"
#include "testing/xml_check.h"

namespace varnex {
namespace {

const CodePages& Pages() {
  static const std::optional<CodePages> pages = CodePages::Open();
  return *pages;
}

// Record texts below are CP852: \xB5 Á, \xA1 í, \xFB ű, \x8B ő, \x82 é, \x84 ä, \xA0 á.

GroupHeaderRecord Header(const char* creDtTm) {
  GroupHeaderRecord h{};
  h.MsgId.Assign("MSG-2016-0001");
  h.CreDtTm.Assign(creDtTm);
  h.InitgPtyNm.Assign("\xB5rv\xA1zt\xFBr\x8B Kft.");
  return h;
}

// An urgent order with every optional element the writer knows.
PaymentRecord UrgentOrder() {
  PaymentRecord p{};
  p.SrcType.Assign("HUA");
  p.PmtInfId.Assign("B20160115083005123000002");
  p.InstrId.Assign("REF-1");
  p.EndToEndId.Assign("NOTPROVIDED");
  p.SvcLvlCd.Assign("URGP");
  p.SvcLvlPrtry.Assign("EXPRESS");
  p.LclInstrmPrtry.Assign("INST");
  p.InstdAmt = 123450;
  p.InstdAmtCcy.Assign("EUR");
  p.ReqdExctnDt.Assign("20160118");
  p.DbtrIdType = 2;
  p.DbtrNm.Assign(
      "B\x84"
      "cker 'P\x82k' & T\xA0rsa");
  p.DbtrNm2.Assign("<Budapest>");
  p.DbtrCtry.Assign("HU");
  p.DbtrAdr1.Assign("F\x8B utca 1.");
  p.DbtrAdr2.Assign("1011 Budapest");
  p.DbtrAcctId.Assign("HU42117730161111101800000000");
  p.DbtrAgtBic.Assign("GIBAHUHB");
  p.DbtrAgtBankCode.Assign("11773016");
  p.HasXchgRate = 1;
  p.XchgRateTp.Assign("AGRD");
  p.CdtrAgtBic.Assign("COBADEFFXXX");
  p.CdtrIdType = 2;
  p.CdtrNm.Assign("Tom \"Q\" Smith");
  p.CdtrCtry.Assign("DE");
  p.CdtrAdr1.Assign("Hauptstr. 5");
  p.CdtrAcctId.Assign("DE89370400440532013000");
  p.PurpCd.Assign("SUPP");
  p.PurpPrtry.Assign("GOODS");
  p.RmtInfUstrd1.Assign("Invoice 1/2016 ");
  p.RmtInfUstrd3.Assign("and 2/2016");
  p.ChrgBr71A.Assign("SHA");
  return p;
}

// A plain order: no BIC, no service level, a domestic debtor account, a control character.
PaymentRecord PlainOrder() {
  PaymentRecord p{};
  p.SrcType.Assign("HUA");
  p.PmtInfId.Assign("B20160115083005123000003");
  p.EndToEndId.Assign("NOTPROVIDED");
  p.LclInstrmPrtry.Assign("INST");
  p.InstdAmt = 1005;
  p.InstdAmtCcy.Assign("HUF");
  p.ReqdExctnDt.Assign("20160119");
  p.DbtrIdType = 2;
  p.DbtrNm.Assign("KFT");
  p.DbtrAcctId.Assign("2000000230000003");
  p.DbtrAgtBankCode.Assign("10000001");
  p.HasXchgRate = 2;
  p.XchgRateTp.Assign("SPOT");
  p.CdtrIdType = 2;
  p.CdtrNm.Assign(
      "Kov\xA0"
      "cs\x01Tibor");
  p.CdtrNm2.Assign("ifj.");
  p.CdtrAdr2.Assign("Szeged");
  p.CdtrAcctId.Assign("HU93116000060000000012345676");
  p.PurpPrtry.Assign("SALARY");
  return p;
}

std::string Document(const GroupHeaderRecord& header, std::initializer_list<PaymentRecord> list) {
  SepaXmlWriter writer(Pages());
  GroupHeaderRecord h = header;
  for (const PaymentRecord& p : list) {
    writer.AddPayment(p);
    ++h.NbOfTxs;
    h.CtrlSum += p.InstdAmt;
  }
  writer.SetGroupHeader(h);
  return writer.BuildDocument();
}

constexpr std::string_view kStart =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
    "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03 pain.001.001.03.xsd\">\n"
    "\t<CstmrCdtTrfInitn>\n";

TEST(SepaXmlWriterTest, TwoPaymentsWholeDocument) {
  std::string doc = Document(Header("20160115083005+0100"), {UrgentOrder(), PlainOrder()});
  std::string expected = std::string(kStart) + R"(		<GrpHdr>
			<MsgId>MSG-2016-0001</MsgId>
			<CreDtTm>2016-01-15T08:30:05+01:00</CreDtTm>
			<NbOfTxs>2</NbOfTxs>
			<CtrlSum>1244.55</CtrlSum>
			<InitgPty>
				<Nm>Arvizturo Kft. </Nm>
			</InitgPty>
		</GrpHdr>
		<PmtInf>
			<PmtInfId>B20160115083005123000002</PmtInfId>
			<PmtMtd>TRF</PmtMtd>
			<BtchBookg>false</BtchBookg>
			<PmtTpInf>
				<SvcLvl>
					<Cd>URGP</Cd>
				</SvcLvl>
				<LclInstrm>
					<Prtry>INST</Prtry>
				</LclInstrm>
			</PmtTpInf>
			<ReqdExctnDt>2016-01-18</ReqdExctnDt>
			<Dbtr>
				<Nm>Bäcker &apos;Pek&apos; &amp; Tarsa &lt;Budapest&gt;</Nm>
				<PstlAdr>
					<Ctry>HU</Ctry>
					<AdrLine>Fo utca 1.</AdrLine>
					<AdrLine>1011 Budapest</AdrLine>
				</PstlAdr>
			</Dbtr>
			<DbtrAcct>
				<Id>
					<IBAN>HU42117730161111101800000000</IBAN>
				</Id>
			</DbtrAcct>
			<DbtrAgt>
				<FinInstnId>
					<BIC>GIBAHUHB</BIC>
				</FinInstnId>
			</DbtrAgt>
			<ChrgBr>SLEV</ChrgBr>
			<CdtTrfTxInf>
				<PmtId>
					<InstrId>REF-1</InstrId>
					<EndToEndId>NOTPROVIDED</EndToEndId>
				</PmtId>
				<Amt>
					<InstdAmt Ccy="EUR">1234.50</InstdAmt>
				</Amt>
				<XchgRateInf>
					<RateTp>AGRD</RateTp>
				</XchgRateInf>
				<ChrgBr>SLEV</ChrgBr>
				<CdtrAgt>
					<FinInstnId>
						<BIC>COBADEFFXXX</BIC>
					</FinInstnId>
				</CdtrAgt>
				<Cdtr>
					<Nm>Tom &quot;Q&quot; Smith </Nm>
					<PstlAdr>
						<Ctry>DE</Ctry>
						<AdrLine>Hauptstr. 5</AdrLine>
					</PstlAdr>
				</Cdtr>
				<CdtrAcct>
					<Id>
						<IBAN>DE89370400440532013000</IBAN>
					</Id>
				</CdtrAcct>
				<Purp>
					<Cd>SUPP</Cd>
				</Purp>
				<RmtInf>
					<Ustrd>Invoice 1/2016 and 2/2016</Ustrd>
				</RmtInf>
			</CdtTrfTxInf>
		</PmtInf>
		<PmtInf>
			<PmtInfId>B20160115083005123000003</PmtInfId>
			<PmtMtd>TRF</PmtMtd>
			<BtchBookg>false</BtchBookg>
			<ReqdExctnDt>2016-01-19</ReqdExctnDt>
			<Dbtr>
				<Nm>KFT </Nm>
			</Dbtr>
			<DbtrAcct>
				<Id>
					<IBAN>HU21100000012000000230000003</IBAN>
				</Id>
			</DbtrAcct>
			<DbtrAgt>
				<FinInstnId>
					<Othr>
						<Id>NOTPROVIDED</Id>
					</Othr>
				</FinInstnId>
			</DbtrAgt>
			<ChrgBr>SLEV</ChrgBr>
			<CdtTrfTxInf>
				<PmtId>
					<EndToEndId>NOTPROVIDED</EndToEndId>
				</PmtId>
				<Amt>
					<InstdAmt Ccy="EUR">10.05</InstdAmt>
				</Amt>
				<ChrgBr>SLEV</ChrgBr>
				<Cdtr>
					<Nm>Kovacs Tibor ifj.</Nm>
					<PstlAdr>
						<AdrLine>Szeged</AdrLine>
					</PstlAdr>
				</Cdtr>
				<CdtrAcct>
					<Id>
						<IBAN>HU93116000060000000012345676</IBAN>
					</Id>
				</CdtrAcct>
				<Purp>
					<Prtry>SALARY</Prtry>
				</Purp>
			</CdtTrfTxInf>
		</PmtInf>
	</CstmrCdtTrfInitn>
</Document>
)";
  EXPECT_EQ(expected, doc);
  std::string error;
  EXPECT_TRUE(ValidatesAgainstPain001(doc, &error)) << error;
}

TEST(SepaXmlWriterTest, SummerOffsetAndEmptyOptionalFields) {
  GroupHeaderRecord h = Header("20160715083005+0200");
  h.InitgPtyNm2.Assign("Szeged");
  PaymentRecord p{};
  p.PmtInfId.Assign("P1");
  p.EndToEndId.Assign("NOTPROVIDED");
  p.InstdAmt = 50;
  p.ReqdExctnDt.Assign("20160718");
  p.DbtrAcctId.Assign("HU42117730161111101800000000");
  p.DbtrAgtBic.Assign("GIBAHUHB");
  p.CdtrAcctId.Assign("DE89370400440532013000");
  std::string doc = Document(h, {p});
  EXPECT_NE(std::string::npos, doc.find("<CreDtTm>2016-07-15T08:30:05+02:00</CreDtTm>"));
  EXPECT_NE(std::string::npos, doc.find("<Nm>Arvizturo Kft. Szeged</Nm>"));
  EXPECT_NE(std::string::npos, doc.find("\t\t\t\t<Nm> </Nm>\n"));  // empty debtor name
  EXPECT_NE(std::string::npos, doc.find("\t\t\t<BtchBookg>false</BtchBookg>\n"
                                        "\t\t\t<ReqdExctnDt>2016-07-18</ReqdExctnDt>\n"));
  EXPECT_NE(std::string::npos, doc.find("\t\t\t\t<ChrgBr>SLEV</ChrgBr>\n"
                                        "\t\t\t\t<CdtrAcct>\n"));
  for (const char* absent :
       {"PmtTpInf", "PstlAdr", "InstrId", "XchgRateInf", "CdtrAgt", "Cdtr>", "Purp", "RmtInf"}) {
    EXPECT_EQ(std::string::npos, doc.find(absent)) << absent;
  }
  std::string error;
  EXPECT_TRUE(ValidatesAgainstPain001(doc, &error)) << error;
}

// Each variation of the urgent order must still give a valid document.
TEST(SepaXmlWriterTest, VariationsValidate) {
  struct Case {
    const char* name;
    void (*change)(PaymentRecord&);
    const char* expectedPart;
  } cases[] = {
      {"proprietary service level", [](PaymentRecord& p) { p.SvcLvlCd.Assign(""); },
       "\t\t\t\t<SvcLvl>\n\t\t\t\t\t<Prtry>EXPRESS</Prtry>\n"},
      {"local instrument code wins", [](PaymentRecord& p) { p.LclInstrmCd.Assign("CORE"); },
       "\t\t\t\t<LclInstrm>\n\t\t\t\t\t<Cd>CORE</Cd>\n\t\t\t\t</LclInstrm>\n"},
      {"no local instrument", [](PaymentRecord& p) { p.LclInstrmPrtry.Assign(""); },
       "\t\t\t\t</SvcLvl>\n\t\t\t</PmtTpInf>\n"},
      {"no creditor", [](PaymentRecord& p) { p.CdtrIdType = 0; },
       "\t\t\t\t</CdtrAgt>\n\t\t\t\t<CdtrAcct>\n"},
      {"no creditor agent, no creditor",
       [](PaymentRecord& p) {
         p.CdtrAgtBic.Assign("");
         p.CdtrIdType = 0;
       },
       "\t\t\t\t<ChrgBr>SLEV</ChrgBr>\n\t\t\t\t<CdtrAcct>\n"},
      {"no exchange rate when the flag is not 1", [](PaymentRecord& p) { p.HasXchgRate = 2; },
       "\t\t\t\t</Amt>\n\t\t\t\t<ChrgBr>SLEV</ChrgBr>\n"},
      {"debtor address without country", [](PaymentRecord& p) { p.DbtrCtry.Assign(""); },
       "\t\t\t\t<PstlAdr>\n\t\t\t\t\t<AdrLine>Fo utca 1.</AdrLine>\n"},
      {"remittance in the last line only",
       [](PaymentRecord& p) {
         p.RmtInfUstrd1.Assign("");
         p.RmtInfUstrd3.Assign("");
         p.RmtInfUstrd4.Assign("X");
       },
       "<Ustrd>X</Ustrd>"},
      {"no remittance",
       [](PaymentRecord& p) {
         p.RmtInfUstrd1.Assign("");
         p.RmtInfUstrd3.Assign("");
       },
       "\t\t\t\t</Purp>\n\t\t\t</CdtTrfTxInf>\n"},
      {"tab and line breaks in the remittance",
       [](PaymentRecord& p) { p.RmtInfUstrd1.Assign("A\tB\r\nC\x7F"); },
       "<Ustrd>A\tBC\x7F"
       "and 2/2016</Ustrd>"},
  };
  for (const Case& c : cases) {
    PaymentRecord p = UrgentOrder();
    c.change(p);
    std::string doc = Document(Header("20160115083005+0100"), {p});
    EXPECT_NE(std::string::npos, doc.find(c.expectedPart)) << c.name << "\n" << doc;
    std::string error;
    EXPECT_TRUE(ValidatesAgainstPain001(doc, &error)) << c.name << ": " << error;
  }
}

TEST(SepaXmlWriterTest, LongCompositionsAreCut) {
  PaymentRecord p = UrgentOrder();
  p.DbtrNm.Assign(std::string(60, 'A'));
  p.DbtrNm2.Assign(std::string(20, 'B'));
  p.CdtrNm.Assign(std::string(70, 'C'));
  p.CdtrNm2.Assign("D");
  p.RmtInfUstrd1.Assign(std::string(140, '1'));
  p.RmtInfUstrd2.Assign(std::string(140, '2'));
  p.RmtInfUstrd3.Assign(std::string(140, '3'));
  p.RmtInfUstrd4.Assign(std::string(140, '4'));
  std::string doc = Document(Header("20160115083005+0100"), {p});
  EXPECT_NE(std::string::npos,
            doc.find("<Nm>" + std::string(60, 'A') + " " + std::string(9, 'B') + "</Nm>"));
  EXPECT_NE(std::string::npos, doc.find("<Nm>" + std::string(70, 'C') + "</Nm>"));
  EXPECT_NE(std::string::npos, doc.find("<Ustrd>" + std::string(140, '1') + "</Ustrd>"));
  std::string error;
  EXPECT_TRUE(ValidatesAgainstPain001(doc, &error)) << error;
}

TEST(SepaXmlWriterTest, BuffersAreRefilledPerPayment) {
  // The second payment has shorter names and no remittance: nothing of the first remains.
  PaymentRecord second = PlainOrder();
  std::string doc = Document(Header("20160115083005+0100"), {UrgentOrder(), second, second});
  std::size_t last = doc.rfind("<PmtInf>");
  std::string_view tail = std::string_view(doc).substr(last);
  EXPECT_NE(std::string::npos, tail.find("<Nm>KFT </Nm>"));
  EXPECT_EQ(std::string::npos, tail.find("Ustrd"));
  EXPECT_NE(std::string::npos, doc.find("<CtrlSum>1254.60</CtrlSum>"));
}

// Keeps what a stream hands over, by the line ends it came with.
class RecordingSink : public ByteSink {
 public:
  explicit RecordingSink(bool takesCrLf) : takesCrLf_(takesCrLf) {}
  bool Append(std::string_view bytes) override {
    lf.append(bytes);
    return true;
  }
  bool TakesCrLf() const override { return takesCrLf_; }
  bool AppendCrLf(std::string_view bytes) override {
    crLf.append(bytes);
    return true;
  }
  std::string lf;
  std::string crLf;

 private:
  bool takesCrLf_;
};

TEST(SepaXmlWriterTest, StreamEndsLinesAsTheSinkTakesThem) {
  // A sink taking CR LF gets the very text of the LF stream, each LF preceded by CR.
  GroupHeaderRecord h = Header("20160115083005+0100");
  h.NbOfTxs = 2;
  h.CtrlSum = 124455;
  std::string documents[2];
  for (bool crLf : {false, true}) {
    SepaXmlWriter writer(Pages());
    RecordingSink sink(crLf);
    writer.BeginStream(h, sink);
    writer.AddPayment(UrgentOrder());
    writer.AddPayment(PlainOrder());
    EXPECT_TRUE(writer.EndStream());
    EXPECT_EQ(crLf, sink.lf.empty()) << crLf;
    documents[crLf ? 1 : 0] = sink.lf + sink.crLf;
  }
  EXPECT_EQ(Document(Header("20160115083005+0100"), {UrgentOrder(), PlainOrder()}), documents[0]);
  std::string expected;
  for (char c : documents[0]) {
    if (c == '\n') {
      expected.push_back('\r');
    }
    expected.push_back(c);
  }
  EXPECT_EQ(expected, documents[1]);
}

// A mandatory element left empty by its record is still a closed element, so the document
// stays readable, though the schema rejects it.
TEST(SepaXmlWriterTest, EmptyMandatoryLeavesAreWellFormed) {
  GroupHeaderRecord h = Header("20160115083005+0100");
  h.MsgId.Assign("");
  PaymentRecord p = UrgentOrder();
  p.XchgRateTp.Assign("");
  std::string doc = Document(h, {p});
  EXPECT_NE(std::string::npos, doc.find("\t\t\t<MsgId></MsgId>\n"));
  EXPECT_NE(std::string::npos, doc.find("\t\t\t\t\t<RateTp></RateTp>\n"));
  std::string error;
  EXPECT_TRUE(IsWellFormedXml(doc, &error)) << error;
  EXPECT_FALSE(ValidatesAgainstPain001(doc, &error));
}

TEST(SepaXmlWriterTest, WithoutPaymentsOnlyFrameAndHeader) {
  SepaXmlWriter writer(Pages());
  writer.SetGroupHeader(Header("20160115083005+0100"));
  std::string doc = writer.BuildDocument();
  EXPECT_EQ(0u, doc.find(kStart));
  EXPECT_NE(std::string::npos, doc.find("\t\t</GrpHdr>\n\t</CstmrCdtTrfInitn>\n</Document>\n"));
}

// What one payment reports, and the document it ends up in.
struct Checked {
  std::vector<LeafProblem> payment;
  std::vector<LeafProblem> header;
  std::string document;
};

Checked Check(const GroupHeaderRecord& header, const PaymentRecord& p) {
  SepaXmlWriter writer(Pages());
  Checked out;
  writer.AddPayment(p);
  out.payment = writer.problems();
  GroupHeaderRecord h = header;
  h.NbOfTxs = 1;
  h.CtrlSum = p.InstdAmt;
  writer.SetGroupHeader(h);
  out.document = writer.BuildDocument();
  out.header = writer.problems();
  return out;
}

constexpr std::string_view kDebtorIban = "PmtInf/DbtrAcct/Id/IBAN";

TEST(SepaXmlWriterTest, ValidOrdersReportNothing) {
  for (const PaymentRecord& p : {UrgentOrder(), PlainOrder()}) {
    Checked c = Check(Header("20160115083005+0100"), p);
    EXPECT_TRUE(c.payment.empty()) << c.payment.front().element;
    EXPECT_TRUE(c.header.empty()) << c.header.front().element;
  }
}

// The defects orders arrive with: each is named by element, value as written and rule, and
// the document indeed fails the schema.
TEST(SepaXmlWriterTest, DefectsAreReportedPrecisely) {
  const std::string noIban = HuIbanSourceRule("11773016");
  struct Case {
    const char* name;
    PaymentRecord (*order)();
    void (*change)(PaymentRecord&);
    LeafProblem expected;
  } cases[] = {
      {"dashed debtor account",
       PlainOrder,
       [](PaymentRecord& p) {
         p.DbtrAcctId.Assign("11773016-11111018");
         p.DbtrAgtBankCode.Assign("11773016");
       },
       {std::string(kDebtorIban), "11773016-11111018", noIban}},
      {"name in the account line",
       PlainOrder,
       [](PaymentRecord& p) {
         p.DbtrAcctId.Assign("KOVACS");
         p.DbtrAgtBankCode.Assign("11773016");
       },
       {std::string(kDebtorIban), "KOVACS", noIban}},
      {"empty debtor account",
       PlainOrder,
       [](PaymentRecord& p) {
         p.DbtrAcctId.Assign("");
         p.DbtrAgtBankCode.Assign("11773016");
       },
       {std::string(kDebtorIban), "", noIban}},
      {"bank code of 7 digits",
       PlainOrder,
       [](PaymentRecord& p) { p.DbtrAgtBankCode.Assign("1177301"); },
       {std::string(kDebtorIban), "2000000230000003", HuIbanSourceRule("1177301")}},
      {"lower-case country",
       UrgentOrder,
       [](PaymentRecord& p) { p.CdtrCtry.Assign("de"); },
       {"PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/Ctry", "de", "nem érvényes országkód (két nagybetű)"}},
      {"country with a letter outside ASCII",
       UrgentOrder,
       [](PaymentRecord& p) { p.DbtrCtry.Assign("\x84T"); },
       {"PmtInf/Dbtr/PstlAdr/Ctry", "\xC3\xA4T", "nem érvényes országkód (két nagybetű)"}},
      {"BIC of four letters",
       UrgentOrder,
       [](PaymentRecord& p) { p.DbtrAgtBic.Assign("ABCD"); },
       {"PmtInf/DbtrAgt/FinInstnId/BIC", "ABCD",
        "nem érvényes BIC (minta: 8 vagy 11 nagybetű vagy számjegy, az első hat betű)"}},
      {"negative amount",
       UrgentOrder,
       [](PaymentRecord& p) { p.InstdAmt = -500; },
       {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "-5.00", "az összeg 0,01 és 999999999,99 között lehet"}},
      {"zero amount",
       PlainOrder,
       [](PaymentRecord& p) { p.InstdAmt = 0; },
       {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "0.00", "az összeg 0,01 és 999999999,99 között lehet"}},
      {"amount of a billion",
       PlainOrder,
       [](PaymentRecord& p) { p.InstdAmt = 100000000000; },
       {"PmtInf/CdtTrfTxInf/Amt/InstdAmt", "1000000000.00",
        "az összeg 0,01 és 999999999,99 között lehet"}},
      {"no such day",
       PlainOrder,
       [](PaymentRecord& p) { p.ReqdExctnDt.Assign("20160230"); },
       {"PmtInf/ReqdExctnDt", "2016-02-30", "nem érvényes dátum (ÉÉÉÉ-HH-NN, létező nap)"}},
      {"service level code of five",
       UrgentOrder,
       [](PaymentRecord& p) { p.SvcLvlCd.Assign("URGPX"); },
       {"PmtInf/PmtTpInf/SvcLvl/Cd", "URGPX", "legfeljebb 4 karakter"}},
      {"exchange rate type",
       UrgentOrder,
       [](PaymentRecord& p) { p.XchgRateTp.Assign("agrd"); },
       {"PmtInf/CdtTrfTxInf/XchgRateInf/RateTp", "agrd", "nem megengedett kód (SPOT, SALE, AGRD)"}},
      {"creditor IBAN with a blank",
       UrgentOrder,
       [](PaymentRecord& p) { p.CdtrAcctId.Assign("DE89 3704 0044 0532 0130 00"); },
       {"PmtInf/CdtTrfTxInf/CdtrAcct/Id/IBAN", "DE89 3704 0044 0532 0130 00",
        "nem érvényes IBAN (minta: két nagybetű, két számjegy, 1–30 betű vagy számjegy)"}},
      {"empty end-to-end id",
       UrgentOrder,
       [](PaymentRecord& p) { p.EndToEndId.Assign(""); },
       {"PmtInf/CdtTrfTxInf/PmtId/EndToEndId", "", "nem lehet üres"}},
  };
  for (const Case& c : cases) {
    PaymentRecord p = c.order();
    c.change(p);
    Checked checked = Check(Header("20160115083005+0100"), p);
    ASSERT_EQ(checked.payment.size(), 1u) << c.name;
    EXPECT_EQ(checked.payment[0], c.expected)
        << c.name << ": " << checked.payment[0].element << " [" << checked.payment[0].value << "] "
        << checked.payment[0].rule;
    // The amount range is a usage rule beyond the schema.
    bool schemaRule = c.expected.element != "PmtInf/CdtTrfTxInf/Amt/InstdAmt" || p.InstdAmt < 0;
    std::string error;
    EXPECT_EQ(ValidatesAgainstPain001(checked.document, &error), !schemaRule) << c.name;
  }
}

TEST(SepaXmlWriterTest, DebtorAccountThatIsNoIbanSourceStaysAsItIs) {
  PaymentRecord p = PlainOrder();
  p.DbtrAcctId.Assign("11773016-11111018");
  p.DbtrAgtBankCode.Assign("11773016");
  Checked c = Check(Header("20160115083005+0100"), p);
  EXPECT_NE(std::string::npos, c.document.find("<IBAN>11773016-11111018</IBAN>"));
  // An 8-digit account is a source: eight zeros complete it.
  p.DbtrAcctId.Assign("11111018");
  c = Check(Header("20160115083005+0100"), p);
  EXPECT_TRUE(c.payment.empty());
  EXPECT_NE(std::string::npos, c.document.find("<IBAN>HU42117730161111101800000000</IBAN>"));
}

// A value is judged as written: an accented capital loses its accent and fits.
TEST(SepaXmlWriterTest, ValuesAreCheckedAsWritten) {
  PaymentRecord p = UrgentOrder();
  p.CdtrCtry.Assign("\xB5T");  // ÁT in CP852, written AT
  p.RmtInfUstrd1.Assign(std::string(70, 'R') + "\r\n");
  p.RmtInfUstrd2.Assign(std::string(68, 'S'));
  p.EndToEndId.Assign("&" + std::string(34, 'E'));  // 35 characters, more bytes escaped
  Checked c = Check(Header("20160115083005+0100"), p);
  EXPECT_TRUE(c.payment.empty()) << c.payment.front().element;
  EXPECT_NE(std::string::npos, c.document.find("<Ctry>AT</Ctry>"));
  std::string error;
  EXPECT_TRUE(ValidatesAgainstPain001(c.document, &error)) << error;
}

TEST(SepaXmlWriterTest, EveryProblemOfARecordIsReported) {
  PaymentRecord p = UrgentOrder();
  p.DbtrAcctId.Assign("KOVACS");
  p.DbtrCtry.Assign("hu");
  p.InstdAmt = -500;
  Checked c = Check(Header("20160115083005+0100"), p);
  ASSERT_EQ(c.payment.size(), 3u);
  EXPECT_EQ(c.payment[0].element, "PmtInf/Dbtr/PstlAdr/Ctry");
  EXPECT_EQ(c.payment[1].element, kDebtorIban);
  EXPECT_EQ(c.payment[1].value, "KOVACS");
  EXPECT_EQ(c.payment[2].element, "PmtInf/CdtTrfTxInf/Amt/InstdAmt");
}

TEST(SepaXmlWriterTest, DefectsAreReportedAlikeAfterOtherPayments) {
  // A payment that repeats the elements of the one before takes their leaf types from it;
  // its problems and their paths stay those it has when checked alone.
  std::vector<PaymentRecord> defective(3);
  defective[0] = UrgentOrder();
  defective[0].CdtrCtry.Assign("de");
  defective[1] = UrgentOrder();
  defective[1].DbtrAcctId.Assign("KOVACS");
  defective[1].DbtrCtry.Assign("hu");
  defective[1].InstdAmt = -500;
  defective[2] = PlainOrder();
  defective[2].InstdAmt = 0;
  const PaymentRecord urgent = UrgentOrder();
  const PaymentRecord plain = PlainOrder();
  for (std::size_t k = 0; k < defective.size(); ++k) {
    std::vector<LeafProblem> alone = Check(Header("20160115083005+0100"), defective[k]).payment;
    ASSERT_FALSE(alone.empty()) << k;
    SepaXmlWriter writer(Pages());
    const PaymentRecord* sequence[] = {&urgent,       &plain,  &defective[k],
                                       &defective[k], &urgent, &defective[k]};
    for (std::size_t i = 0; i < std::size(sequence); ++i) {
      writer.AddPayment(*sequence[i]);
      if (sequence[i] == &defective[k]) {
        EXPECT_EQ(writer.problems(), alone) << k << " at " << i;
      } else {
        EXPECT_TRUE(writer.problems().empty()) << k << " at " << i;
      }
    }
  }
}

TEST(SepaXmlWriterTest, ProblemsBelongToThePartRenderedLast) {
  SepaXmlWriter writer(Pages());
  PaymentRecord bad = PlainOrder();
  bad.InstdAmt = 0;
  writer.AddPayment(bad);
  EXPECT_EQ(writer.problems().size(), 1u);
  writer.AddPayment(PlainOrder());
  EXPECT_TRUE(writer.problems().empty());
  GroupHeaderRecord h = Header("20160230083005+0100");
  h.MsgId.Assign("");
  h.NbOfTxs = -1;
  writer.SetGroupHeader(h);
  writer.FinishDocument();
  std::vector<LeafProblem> expected = {
      {"GrpHdr/MsgId", "", "nem lehet üres"},
      {"GrpHdr/CreDtTm", "2016-02-30T08:30:05+01:00",
       "nem érvényes időpont (ÉÉÉÉ-HH-NNTóó:pp:mm, létező nap)"},
      {"GrpHdr/NbOfTxs", "-1", "1–15 számjegy lehet"},
  };
  EXPECT_EQ(writer.problems(), expected);
}

}  // namespace
}  // namespace varnex
