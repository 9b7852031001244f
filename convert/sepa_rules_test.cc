#include "convert/sepa_rules.h"

#include <gtest/gtest.h>

#include "convert/hua_converter.h"
#include "convert/int_converter.h"
#include "convert/record_test_util.h"
#include "convert/settings.h"
#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

struct SepaRow {
  std::string_view name;
  std::string countries;
  std::vector<TestField> fields;
  bool sepa;
};

MtMessage Message(const std::vector<TestField>& fields) {
  MtMessage message;
  for (const TestField& field : fields) {
    message.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
  }
  return message;
}

const CodePages& Pages() {
  static const CodePages pages = *CodePages::Open();
  return pages;
}

// The decision, and the reasons given for it: none exactly when the order is SEPA.
void ExpectSepa(Converter& converter, Settings& settings, const SepaRow& row) {
  settings.sepaCountries = row.countries;
  MtMessage message = Message(row.fields);
  converter.SetMessage("", message);
  EXPECT_EQ(converter.IsSepa(), row.sepa) << row.name;
  std::vector<std::string> failures = converter.SepaFailures(Pages());
  EXPECT_EQ(failures.empty(), row.sepa) << row.name << ": " << testing::PrintToString(failures);
}

const TestField kEuro = {"32A", {"160315EUR1000,00"}};
const TestField kForint = {"32A", {"160315HUF1000,00"}};
const TestField kGermanIban = {"59", {"/DE89370400440532013000", "Hans Muller"}};

TEST(SepaRulesTest, HuaOrders) {
  Settings settings;
  FakeClock clock;
  HuaConverter converter(settings, clock);
  const TestField germanBank = {"57A", {"DEUTDEFF"}};
  const SepaRow rows[] = {
      {"german bank, euro, IBAN", "AT,BE,DE", {germanBank, kEuro, kGermanIban}, true},
      {"forint", "AT,BE,DE", {germanBank, kForint, kGermanIban}, false},
      {"no 32A", "AT,BE,DE", {germanBank, kGermanIban}, false},
      {"bank country not listed", "AT,BE", {germanBank, kEuro, kGermanIban}, false},
      {"no 57A", "AT,BE,DE", {kEuro, kGermanIban}, false},
      {"short BIC: empty country", "AT", {{"57A", {"DEUT"}}, kEuro, kGermanIban}, true},
      {"57A without lines", "AT", {{"57A", {}}, kEuro, kGermanIban}, true},
      {"codes run together list TB", "ATBE", {{"57A", {"ABCDTBXX"}}, kEuro, kGermanIban}, true},
      {"IBAN country not checked",
       "DE",
       {germanBank, kEuro, {"59", {"/AT611904300234573201"}}},
       true},
      {"59 without slash loses a character",
       "DE",
       {germanBank, kEuro, {"59", {"DE89370400440532013000"}}},
       false},
      {"any first character is dropped",
       "DE",
       {germanBank, kEuro, {"59", {"XDE89370400440532013000"}}},
       true},
      {"invalid IBAN", "DE", {germanBank, kEuro, {"59", {"/DE89370400440532013001"}}}, false},
      {"no 59", "DE", {germanBank, kEuro}, false},
      {"lower-case currency", "DE", {germanBank, {"32A", {"160315eur1,00"}}, kGermanIban}, false},
      {"32A without lines", "DE", {germanBank, {"32A", {}}, kGermanIban}, false},
      {"59 without lines", "DE", {germanBank, kEuro, {"59", {}}}, false},
      {"empty message", "DE", {}, false},
      {"everything wrong", "AT", {germanBank, kForint, {"59", {"/X"}}}, false},
  };
  for (const SepaRow& row : rows) {
    ExpectSepa(converter, settings, row);
  }
}

TEST(SepaRulesTest, IntOrders) {
  Settings settings;
  FakeClock clock;
  IntConverter converter(settings, clock);
  const TestField hungarianIban = {"52A", {"/D/HU42117730161111101800000000", "OTPVHUHB"}};
  const TestField domestic = {"52A", {"/D/1111101800000000", "11773016"}};
  const SepaRow rows[] = {
      {"IBAN debtor, euro, IBAN beneficiary", "HU,DE", {hungarianIban, kEuro, kGermanIban}, true},
      {"debtor country not listed", "DE", {hungarianIban, kEuro, kGermanIban}, false},
      {"beneficiary country not listed", "HU", {hungarianIban, kEuro, kGermanIban}, false},
      {"forint", "HU,DE", {hungarianIban, kForint, kGermanIban}, false},
      {"domestic account needs no listing", "DE", {domestic, kEuro, kGermanIban}, true},
      {"domestic account, bad bank code",
       "DE",
       {{"52A", {"/D/1111101800000000", "11773017"}}, kEuro, kGermanIban},
       false},
      {"domestic account, bank code of 9",
       "DE",
       {{"52A", {"/D/1111101800000000", "117730160"}}, kEuro, kGermanIban},
       false},
      {"domestic account, bad check digit",
       "DE",
       {{"52A", {"/D/1111101800000001", "11773016"}}, kEuro, kGermanIban},
       false},
      {"domestic account in 52D",
       "HU,DE",
       {{"52D", {"/D/1111101800000000", "11773016"}}, kEuro, kGermanIban},
       false},
      {"IBAN in 52D",
       "HU,DE",
       {{"52D", {"/D/HU42117730161111101800000000"}}, kEuro, kGermanIban},
       true},
      {"IBAN in 52D, not listed",
       "DE",
       {{"52D", {"/D/HU42117730161111101800000000"}}, kEuro, kGermanIban},
       false},
      {"malformed 52A hides a valid 52D",
       "HU,DE",
       {{"52A", {"/D/XYZ"}}, {"52D", {"/D/HU42117730161111101800000000"}}, kEuro, kGermanIban},
       false},
      {"no debtor account", "HU,DE", {kEuro, kGermanIban}, false},
      {"59 without slash",
       "HU,DE",
       {hungarianIban, kEuro, {"59", {"DE89370400440532013000"}}},
       false},
      {"59 invalid IBAN",
       "HU,DE",
       {hungarianIban, kEuro, {"59", {"/DE89370400440532013001"}}},
       false},
      {"codes run together list TB",
       "HUATBE",
       {hungarianIban, kEuro, {"59", {"/TB881234567890123456"}}},
       true},
      {"59 without lines", "HU,DE", {hungarianIban, kEuro, {"59", {}}}, false},
      {"52D without lines", "HU,DE", {{"52D", {}}, kEuro, kGermanIban}, false},
      {"52A without lines", "HU,DE", {{"52A", {}}, kEuro, kGermanIban}, false},
      {"no 32A", "HU,DE", {hungarianIban, kGermanIban}, false},
      {"empty message", "HU,DE", {}, false},
  };
  for (const SepaRow& row : rows) {
    ExpectSepa(converter, settings, row);
  }
}

struct FailureRow {
  std::string_view name;
  std::vector<TestField> fields;
  std::vector<std::string> failures;
};

void ExpectFailures(Converter& converter, const FailureRow& row) {
  MtMessage message = Message(row.fields);
  converter.SetMessage("", message);
  EXPECT_EQ(converter.SepaFailures(Pages()), row.failures) << row.name;
}

TEST(SepaRulesTest, HuaFailuresNameTheRuleAndTheValue) {
  Settings settings;
  settings.sepaCountries = "AT,DE";
  FakeClock clock;
  HuaConverter converter(settings, clock);
  const FailureRow rows[] = {
      {"all missing", {}, {"nincs 57A mező", "nincs 32A mező", "nincs 59 mező"}},
      {"all wrong",
       {{"57A", {"CITIUS33"}}, kForint, {"59", {"/US12\x8A"}}},
       {"a kedvezményezett bankjának országa (\"US\") nincs a SEPACountries listában",
        "a deviza (\"HUF\") nem EUR",
        // CP852 0x8A is a capital O with double acute.
        "a kedvezményezett számlaszáma (\"US12\xC5\x90\") nem érvényes IBAN"}},
  };
  for (const FailureRow& row : rows) {
    ExpectFailures(converter, row);
  }
  HuaConverter idle(settings, clock);
  EXPECT_EQ(idle.SepaFailures(Pages()), std::vector<std::string>{"nincs üzenet"});
}

TEST(SepaRulesTest, IntFailuresNameTheRuleAndTheValue) {
  Settings settings;
  settings.sepaCountries = "AT";
  FakeClock clock;
  IntConverter converter(settings, clock);
  const FailureRow rows[] = {
      {"all missing", {}, {"nincs 52A és 52D mező", "nincs 32A mező", "nincs 59 mező"}},
      {"countries not listed",
       {{"52A", {"/D/HU42117730161111101800000000"}}, kEuro, kGermanIban},
       {"a megbízó számlaszámának országa (\"HU\") nincs a SEPACountries listában",
        "a kedvezményezett számlaszámának országa (\"DE\") nincs a SEPACountries listában"}},
      {"bad accounts",
       {{"52A", {"/D/1111101800000001", "11773016"}}, kForint, {"59", {"/DE00"}}},
       {"a megbízó számlaszáma az 52A mezőben (\"1111101800000001\") nem érvényes IBAN, és nem "
        "is érvényes 16 jegyű belföldi számlaszám érvényes 8 jegyű bankkóddal a második sorban",
        "a deviza (\"HUF\") nem EUR",
        "a kedvezményezett számlaszáma (\"DE00\") nem érvényes IBAN"}},
      {"52D and 59 without slash",
       {{"52D", {"/D/1111101800000000"}}, kEuro, {"59", {"Hans Muller"}}},
       {"a megbízó számlaszáma (\"1111101800000000\") nem érvényes IBAN",
        "az 59 mező első sora (\"Hans Muller\") nem \"/\" jellel kezdődik: nincs "
        "kedvezményezett számlaszám"}},
  };
  for (const FailureRow& row : rows) {
    ExpectFailures(converter, row);
  }
}

}  // namespace
}  // namespace varnex
