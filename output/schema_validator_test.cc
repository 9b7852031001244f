#include "output/schema_validator.h"

#include <fstream>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>
#include <sstream>

#include <gtest/gtest.h>

#include "testing/xml_check.h"

namespace varnex {
namespace {

// A pain.001.001.03 document with `count` transfers to `creditorIban`.
std::string Document(int count, std::string_view creditorIban) {
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03\">\n"
      "\t<CstmrCdtTrfInitn>\n"
      "\t\t<GrpHdr>\n"
      "\t\t\t<MsgId>B20160315090507045000000</MsgId>\n"
      "\t\t\t<CreDtTm>2016-03-15T09:05:07+01:00</CreDtTm>\n"
      "\t\t\t<NbOfTxs>" +
      std::to_string(count) +
      "</NbOfTxs>\n"
      "\t\t\t<InitgPty><Nm>\xC3\x81rv\xC3\xADzt\xC5\xB1r\xC5\x91 Kft.</Nm></InitgPty>\n"
      "\t\t</GrpHdr>\n"
      "\t\t<PmtInf>\n"
      "\t\t\t<PmtInfId>P1</PmtInfId>\n"
      "\t\t\t<PmtMtd>TRF</PmtMtd>\n"
      "\t\t\t<ReqdExctnDt>2016-03-15</ReqdExctnDt>\n"
      "\t\t\t<Dbtr><Nm>A &amp; B</Nm></Dbtr>\n"
      "\t\t\t<DbtrAcct><Id><IBAN>HU42117730161111101800000000</IBAN></Id></DbtrAcct>\n"
      "\t\t\t<DbtrAgt><FinInstnId><BIC>OTPVHUHB</BIC></FinInstnId></DbtrAgt>\n";
  for (int i = 0; i < count; ++i) {
    doc +=
        "\t\t\t<CdtTrfTxInf>\n"
        "\t\t\t\t<PmtId><EndToEndId>NOTPROVIDED</EndToEndId></PmtId>\n"
        "\t\t\t\t<Amt><InstdAmt Ccy=\"EUR\">10.05</InstdAmt></Amt>\n"
        "\t\t\t\t<CdtrAcct><Id><IBAN>";
    doc += creditorIban;
    doc +=
        "</IBAN></Id></CdtrAcct>\n"
        "\t\t\t</CdtTrfTxInf>\n";
  }
  doc +=
      "\t\t</PmtInf>\n"
      "\t</CstmrCdtTrfInitn>\n"
      "</Document>\n";
  return doc;
}

// The verdict on `doc` fed in pieces of `piece` bytes.
bool Validate(SchemaValidator& validator, std::string_view doc, std::size_t piece) {
  validator.Begin();
  for (std::size_t at = 0; at < doc.size(); at += piece) {
    validator.Feed(doc.substr(at, piece));
  }
  return validator.Finish();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    out += line + "\n";
  }
  return out;
}

class SchemaValidatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    validator_ = SchemaValidator::Create();
    ASSERT_NE(validator_, nullptr);
  }

  std::unique_ptr<SchemaValidator> validator_;
};

TEST(SchemaTextTest, IsTheXsdFile) {
  std::ifstream in(std::string(VARNEX_TEST_DATA_DIR) + "/xsd/pain.001.001.03.xsd",
                   std::ios::binary);
  std::stringstream file;
  file << in.rdbuf();
  EXPECT_EQ(file.str(), Pain001SchemaText());
}

TEST_F(SchemaValidatorTest, ValidDocumentInAnyPieces) {
  std::string doc = Document(40, "DE89370400440532013000");
  ASSERT_GT(doc.size(), 2u * 4096);
  std::string error;
  ASSERT_TRUE(ValidatesAgainstPain001(doc, &error)) << error;
  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, doc.size()}) {
    EXPECT_TRUE(Validate(*validator_, doc, piece)) << piece << "\n" << Joined(validator_->errors());
    EXPECT_TRUE(validator_->errors().empty()) << piece;
  }
}

TEST_F(SchemaValidatorTest, InvalidIbanNamesTheElementAndLine) {
  std::string doc = Document(2, "DE89 3704");
  for (std::size_t piece : {std::size_t{7}, doc.size()}) {
    EXPECT_FALSE(Validate(*validator_, doc, piece)) << piece;
    std::string errors = Joined(validator_->errors());
    // Line 20 holds the first creditor IBAN, line 24 the second.
    EXPECT_NE(errors.find("line 20: "), std::string::npos) << errors;
    EXPECT_NE(errors.find("IBAN"), std::string::npos) << errors;
    EXPECT_NE(errors.find("DE89 3704"), std::string::npos) << errors;
    EXPECT_EQ(validator_->errors().size(), 2u) << errors;
  }
}

TEST_F(SchemaValidatorTest, RejectsWhatIsNotAValidDocument) {
  std::string valid = Document(1, "DE89370400440532013000");
  std::size_t body = valid.find("<Document");
  struct Row {
    std::string_view name;
    std::string doc;
    std::string_view message;
  } rows[] = {
      {"tag mismatch", valid.substr(0, valid.size() - 5) + "Doc>\n", "line 24: "},
      {"cut short", valid.substr(0, valid.size() / 2), "line "},
      {"empty", "", "line "},
      {"other root", "<Other/>", "No matching global declaration"},
      {"missing element",
       Document(1, "DE89370400440532013000").replace(valid.find("\t\t\t<PmtMtd>"), 24, ""),
       "PmtMtd"},
      {"DOCTYPE",
       valid.substr(0, body) + "<!DOCTYPE Document [<!ENTITY e \"x\">]>\n" + valid.substr(body),
       "line 2: DOCTYPE not allowed"},
      {"external DOCTYPE",
       valid.substr(0, body) + "<!DOCTYPE Document SYSTEM \"http://127.0.0.1/x.dtd\">\n" +
           valid.substr(body),
       "DOCTYPE not allowed"},
      {"undeclared entity",
       "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03\">"
       "&e;</Document>",
       "line 1: "},
  };
  for (const Row& row : rows) {
    EXPECT_FALSE(Validate(*validator_, row.doc, 3)) << row.name;
    std::string errors = Joined(validator_->errors());
    EXPECT_NE(errors.find(row.message), std::string::npos) << row.name << "\n" << errors;
  }
}

TEST_F(SchemaValidatorTest, EachDocumentStartsAfresh) {
  std::string valid = Document(1, "DE89370400440532013000");
  std::string invalid = Document(1, "XX");
  EXPECT_FALSE(Validate(*validator_, invalid, 64));
  EXPECT_TRUE(Validate(*validator_, valid, 64)) << Joined(validator_->errors());
  EXPECT_TRUE(validator_->errors().empty());
  // A document dropped half way leaves nothing behind.
  validator_->Begin();
  validator_->Feed(invalid.substr(0, 100));
  EXPECT_TRUE(Validate(*validator_, valid, 64)) << Joined(validator_->errors());
  EXPECT_FALSE(validator_->Finish());  // nothing begun
  EXPECT_FALSE(validator_->errors().empty());
}

TEST_F(SchemaValidatorTest, MessagesAreCapped) {
  std::string doc = Document(300, "XX");
  EXPECT_FALSE(Validate(*validator_, doc, 4096));
  ASSERT_EQ(validator_->errors().size(), SchemaValidator::kMaxMessages + 1);
  EXPECT_EQ(validator_->errors().back(), "further messages left out");
}

#if LIBXML_VERSION >= 21200
void CountCall(void* data, const xmlError* /*error*/) {
#else
void CountCall(void* data, xmlErrorPtr /*error*/) {
#endif
  ++*static_cast<int*>(data);
}

TEST_F(SchemaValidatorTest, LeavesTheCallersErrorHandlerInPlace) {
  int calls = 0;
  xmlSetStructuredErrorFunc(&calls, CountCall);
  EXPECT_FALSE(Validate(*validator_, "<Document><", 4));
  EXPECT_FALSE(validator_->errors().empty());
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(xmlStructuredError, CountCall);
  EXPECT_EQ(xmlStructuredErrorContext, &calls);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
}

}  // namespace
}  // namespace varnex
