#include "convert/converter.h"

#include <gtest/gtest.h>

#include "convert/hua_converter.h"
#include "convert/int_converter.h"
#include "convert/record_test_util.h"
#include "convert/settings.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

class ConverterTest : public ::testing::Test {
 protected:
  ConverterTest() { clock.Set(2016, 3, 15, 9, 5, 7, 45); }

  Settings settings;
  FakeClock clock;
  HuaConverter converter{settings, clock};
};

TEST_F(ConverterTest, GeneratedIdentifiers) {
  std::int32_t sequence = 0;
  EXPECT_EQ(converter.GenerateId(sequence), "B20160315090507045000000");
  EXPECT_EQ(converter.GenerateId(sequence), "B20160315090507045000001");
  EXPECT_EQ(sequence, 2);
  sequence = 1234567;
  clock.Set(2016, 12, 31, 23, 59, 59, 999);
  EXPECT_EQ(converter.GenerateId(sequence), "B201612312359599991234567");
  EXPECT_EQ(sequence, 1234568);
}

TEST_F(ConverterTest, EachIdentifierConsumesOneSequenceValue) {
  MtMessage header = MakeMessage({{"04", {"OTPVHUHB"}}});
  MtMessage message = MakeMessage({{"20", {"REF1"}}});
  converter.SetFileHeader("", header);
  converter.SetMessage("", message);
  std::int32_t sequence = 0;
  GroupHeaderRecord group{};
  converter.FillGroupHeader(group, sequence);
  PaymentRecord first{};
  PaymentRecord second{};
  converter.FillPaymentRecord(first, group, sequence);
  converter.FillPaymentRecord(second, group, sequence);
  EXPECT_EQ(group.MsgId.view(), "B20160315090507045000000");
  EXPECT_EQ(first.PmtInfId.view(), "B20160315090507045000001");
  EXPECT_EQ(second.PmtInfId.view(), "B20160315090507045000002");
  EXPECT_EQ(sequence, 3);
  // Deciding SEPA and urgency consumes nothing.
  converter.IsSepa();
  converter.IsUrgentMessage();
  EXPECT_EQ(sequence, 3);
}

TEST_F(ConverterTest, CreationTimeCarriesTheUtcOffset) {
  struct Row {
    int offsetMinutes;
    std::string_view stamp;
  };
  const Row rows[] = {
      {120, "20160315090507+0200"},  {60, "20160315090507+0100"},   {0, "20160315090507+0000"},
      {-330, "20160315090507-0530"}, {-600, "20160315090507-1000"},
  };
  MtMessage header;
  converter.SetFileHeader("", header);
  for (const Row& row : rows) {
    clock.Set(2016, 3, 15, 9, 5, 7, 45, row.offsetMinutes);
    std::int32_t sequence = 0;
    GroupHeaderRecord group{};
    converter.FillGroupHeader(group, sequence);
    EXPECT_EQ(group.CreDtTm.view(), row.stamp) << row.offsetMinutes;
  }
}

TEST_F(ConverterTest, GroupHeaderFromFileHeader) {
  struct Row {
    std::vector<TestField> fields;
    std::string dump;  // MsgId|BankBic|Nm|Nm2|Adr1|Adr2
  };
  const std::string generated = "B20160315090507045000000";
  const Row rows[] = {
      {{}, generated + "|||||"},
      {{{"01", {"FILE-7"}}, {"04", {"OTPVHUHB"}}}, "FILE-7|OTPVHUHB||||"},
      {{{"01", {}}}, generated + "|||||"},  // 01 without a line keeps the generated id
      {{{"05", {"Name"}}}, generated + "||Name|||"},
      {{{"05", {"Name", "Street 1"}}}, generated + "||Name||Street 1|"},
      {{{"05", {"Name", "Street 1", "City"}}}, generated + "||Name||Street 1|City"},
      {{{"05", {"Name", "Name 2", "Street 1", "City"}}}, generated + "||Name|Name 2|Street 1|City"},
      {{{"05", {"Name", "Name 2", "Street 1", "City", "Country"}}},
       generated + "||Name|Name 2|Street 1|City"},
      {{{"01", {"A-VERY-LONG-FILE-IDENTIFIER-OF-40-CHARS"}}},
       "A-VERY-LONG-FILE-IDENTIFIER-OF-40-C|||||"},
  };
  for (const Row& row : rows) {
    MtMessage header;
    for (const TestField& field : row.fields) {
      header.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
    }
    converter.SetFileHeader("", header);
    std::int32_t sequence = 0;
    GroupHeaderRecord group;
    group.NbOfTxs = 7;  // filled from scratch
    group.CtrlSum = 7;
    converter.FillGroupHeader(group, sequence);
    std::string dump =
        std::string(group.MsgId.view()) + "|" + std::string(group.BankBic.view()) + "|" +
        std::string(group.InitgPtyNm.view()) + "|" + std::string(group.InitgPtyNm2.view()) + "|" +
        std::string(group.InitgPtyAdr1.view()) + "|" + std::string(group.InitgPtyAdr2.view());
    EXPECT_EQ(dump, row.dump);
    EXPECT_EQ(group.NbOfTxs, 0);
    EXPECT_EQ(group.CtrlSum, 0);
    EXPECT_EQ(sequence, 1);
  }
}

TEST_F(ConverterTest, TheMessageIsReferencedNotCopied) {
  MtMessage message = MakeMessage({{"20", {"FIRST"}}});
  converter.SetMessage("", message);
  message.Store(MtField{"20", 1, {"SECOND"}});
  std::int32_t sequence = 0;
  PaymentRecord record{};
  converter.FillPaymentRecord(record, GroupHeaderRecord{}, sequence);
  EXPECT_EQ(record.InstrId.view(), "SECOND");
}

TEST(MakeConverterTest, ChoosesByTheLastThreeCharacters) {
  Settings settings;
  FakeClock clock;
  struct Row {
    std::string_view path;
    std::string_view kind;  // SrcType of the records, empty for no converter
  };
  const Row rows[] = {
      {"/in/A.INT", "INT"}, {"/in/A.int", "INT"}, {"/in/A.HUA", "HUA"}, {"/in/a.Hua", "HUA"},
      {"/in/AHUA", "HUA"},  {"/in/A.TXT", ""},    {"UA", ""},           {"", ""},
  };
  for (const Row& row : rows) {
    std::unique_ptr<Converter> converter = MakeConverter(row.path, settings, clock);
    if (row.kind.empty()) {
      EXPECT_EQ(converter, nullptr) << row.path;
      continue;
    }
    ASSERT_NE(converter, nullptr) << row.path;
    MtMessage message;
    converter->SetMessage("", message);
    std::int32_t sequence = 0;
    PaymentRecord record{};
    converter->FillPaymentRecord(record, GroupHeaderRecord{}, sequence);
    EXPECT_EQ(record.SrcType.view(), row.kind) << row.path;
  }
}

}  // namespace
}  // namespace varnex
