#include "convert/converter.h"

#include <cstddef>

#include "convert/field_rules.h"
#include "convert/generated_id.h"
#include "convert/hua_converter.h"
#include "convert/int_converter.h"
#include "convert/settings.h"
#include "platform/platform.h"

namespace varnex {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) {
    return false;
  }
  std::string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = tail[i];
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    if (c != suffix[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

void Converter::SetFileHeader(std::string_view text, const MtMessage& header) {
  headerText_ = text;
  header_ = &header;
}

void Converter::SetMessage(std::string_view text, const MtMessage& message) {
  messageText_ = text;
  message_ = &message;
}

std::int64_t Converter::ReadAmounts(std::vector<AmountProblem>* problems) const {
  AmountProblem problem;
  AmountReading amount = ReadInstructedAmount(FieldReader(message_, StopsAtTrailer()), &problem);
  if (!problem.rule.empty()) {
    problems->push_back(problem);
  }
  return amount.cents;
}

bool Converter::CarriesUnwritableRate() const {
  return settings_.sepa.version09() && message_ != nullptr &&
         KeywordRuleMatches(FieldReader(message_, StopsAtTrailer()).Find(settings_.xchgSrcField),
                            settings_.xchgSrcKeyword);
}

bool Converter::IsSepa() const {
  return MeetsSepaRules() && !CarriesUnwritableRate();
}

std::vector<std::string> Converter::SepaFailures(const CodePages& codePages) const {
  std::vector<std::string> failures = SepaRuleFailures(codePages);
  if (CarriesUnwritableRate()) {
    failures.push_back(":" + settings_.xchgSrcField +
                       ": egyeztetett árfolyamot jelöl, amelyet a pain.001.001.09 dokumentum nem "
                       "hordoz: a megbízás a(z) " +
                       (StopsAtTrailer() || settings_.convertIntToHua == 1 ? "HUA" : "INT") +
                       " kimenetbe kerül");
  }
  return failures;
}

std::string Converter::GenerateId(std::int32_t& sequence) {
  FixedText<36> id;
  AssignGeneratedId(clock_.Now(), sequence, id);
  return std::string(id.view());
}

void Converter::FillGroupHeader(GroupHeaderRecord& out, std::int32_t& sequence) {
  out = GroupHeaderRecord{};
  LocalTime now = clock_.Now();
  AssignGeneratedId(now, sequence, out.MsgId);
  AssignCreationTime(now, out.CreDtTm);

  FieldReader fields(header_, false);
  FieldLines messageId = fields.Find("01");
  if (messageId.has(1)) {
    out.MsgId.Assign(messageId.line(1));
  }
  out.BankBic.Assign(fields.Find("04").line(1));
  PartyLines party = ReadPartyLines(fields.Find("05"), 1);
  out.InitgPtyNm.Assign(party.name);
  out.InitgPtyNm2.Assign(party.name2);
  out.InitgPtyAdr1.Assign(party.address1);
  out.InitgPtyAdr2.Assign(party.address2);
}

std::unique_ptr<Converter> MakeConverter(std::string_view path, const Settings& settings,
                                         Clock& clock) {
  if (EndsWithNoCase(path, "INT")) {
    return std::make_unique<IntConverter>(settings, clock);
  }
  if (EndsWithNoCase(path, "HUA")) {
    return std::make_unique<HuaConverter>(settings, clock);
  }
  return nullptr;
}

}  // namespace varnex
