#include "output/sepa_xml_writer.h"

#include <algorithm>

#include "convert/account_utils.h"
#include "convert/postal_address.h"
#include "output/schema_check.h"
#include "util/byte_search.h"

namespace varnex {
namespace {

constexpr std::string_view kDocumentStart =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
    "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.03"
    " pain.001.001.03.xsd\">\n"
    "\t<CstmrCdtTrfInitn>\n";
constexpr std::string_view kDocumentStart09 =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
    "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.09\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.09"
    " pain.001.001.09.xsd\">\n"
    "\t<CstmrCdtTrfInitn>\n";
constexpr std::string_view kDocumentEnd =
    "\t</CstmrCdtTrfInitn>\n"
    "</Document>\n";

// Charge bearer of every payment: following the service level.
constexpr std::string_view kChargeBearer = "SLEV";
// Debtor agent identification when no BIC is known.
constexpr std::string_view kNotProvided = "NOTPROVIDED";

// `*out` = first, one blank, second, cut to kMaxNameLength. Never empty: a name without a second
// line ends in a blank.
void ComposeName(std::string_view first, std::string_view second, std::string* out) {
  out->assign(first);
  out->push_back(' ');
  out->append(second);
  if (out->size() > SepaXmlWriter::kMaxNameLength) {
    out->resize(SepaXmlWriter::kMaxNameLength);
  }
}

// Tags are the writer's string literals, so equal tags are mostly the same literal.
bool SameTag(std::string_view a, std::string_view b) {
  return (a.data() == b.data() && a.size() == b.size()) || a == b;
}

void AssignCut(std::string_view value, std::size_t limit, std::string* out) {
  out->assign(value.substr(0, limit));
}

// Countries of the European Economic Area, including the territories that share their
// country's code in IBANs; a transfer between two of them may go without addresses.
bool IsEeaCountry(std::string_view code) {
  static constexpr std::string_view kEea =
      "AT BE BG CY CZ DE DK EE ES FI FR GR HR HU IE IT LT LU LV MT NL PL PT RO SE SI SK "
      "IS LI NO AX GF GP MQ RE YT BL MF";
  if (code.size() != 2) {
    return false;
  }
  for (std::size_t at = 0; at + 2 <= kEea.size(); at += 3) {
    if (kEea.substr(at, 2) == code) {
      return true;
    }
  }
  return false;
}

std::string_view IbanCountry(std::string_view account) {
  return IsValidIban(account) ? account.substr(0, 2) : std::string_view();
}

void AppendPostalAddress(NodeList& nodes, int depth, const FixedText<3>& country,
                         std::string_view line1, std::string_view line2) {
  if (country.empty() && line1.empty() && line2.empty()) {
    return;
  }
  AppendContainer(nodes, "PstlAdr", depth);
  if (!country.empty()) {
    AppendField(nodes, "Ctry", depth + 1, country);
  }
  if (!line1.empty()) {
    AppendZeroFreeText(nodes, "AdrLine", depth + 1, line1);
  }
  if (!line2.empty()) {
    AppendZeroFreeText(nodes, "AdrLine", depth + 1, line2);
  }
}

}  // namespace

SepaXmlWriter::SepaXmlWriter(const CodePages& codePages, SepaOptions options)
    : options_(options), cleaner_(codePages) {
  if (options_.epcCharacters()) {
    epc_.emplace(codePages, CodePage::k852);
    std::string scratch;
    for (std::size_t b = 0; b < utf8Of_.size(); ++b) {
      auto byte = static_cast<unsigned char>(b);
      utf8Of_[b] = codePages.Utf8Of(byte, CodePage::k852);
      const char c = static_cast<char>(byte);
      epcBeyondAccents_[b] = cleaner_.Plain(std::string_view(&c, 1), &scratch) != epc_->Of(byte);
    }
  }
  initgPtyName_.reserve(kMaxNameLength);
  dbtrName_.reserve(kMaxNameLength);
  cdtrName_.reserve(kMaxNameLength);
  rmtText_.reserve(kMaxRemittanceLength);
  dbtrIban_.reserve(kMaxIbanLength);
  dbtrBic_.reserve(kMaxBicLength);
}

std::string_view SepaXmlWriter::LeadingText() const {
  return options_.version09() ? kDocumentStart09 : kDocumentStart;
}

std::string_view SepaXmlWriter::TrailingText() const {
  return kDocumentEnd;
}

void SepaXmlWriter::SerializeNodes(NodeList& nodes, std::string* out) {
  SerializeXml(nodes, cleaner_, lineEnd(), out);
}

void SepaXmlWriter::CheckNodes(const NodeList& nodes) {
  bool payment = &nodes == &paymentNodes_;
  Pain001Path path(options_.format);
  // The path has entered nodes[0, entered); nodes of the repeated prefix are entered only
  // when a path is needed.
  std::size_t entered = 0;
  auto enterUpTo = [&](std::size_t end) {
    for (; entered < end; ++entered) {
      path.Enter(nodes[entered].tag, nodes[entered].depth);
    }
  };
  bool repeating = payment;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const OutputNode& node = nodes[i];
    std::optional<LeafType> type;
    repeating = repeating && i < lastPayment_.size() && lastPayment_[i].depth == node.depth &&
                SameTag(lastPayment_[i].tag, node.tag);
    if (repeating) {
      type = lastPayment_[i].type;
    } else {
      enterUpTo(i);
      type = path.Enter(node.tag, node.depth);
      entered = i + 1;
      if (payment) {
        lastPayment_.resize(std::max(lastPayment_.size(), i + 1));
        lastPayment_[i] = {node.tag, node.depth, type};
      }
    }
    if (node.IsContainer()) {
      continue;
    }
    std::string_view raw = LeafValueText(node, &valueScratch_);
    std::string_view rule;
    // Identifiers are never transliterated: with the EPC set, one outside it is a problem.
    bool identifier = epc_ && (SameTag(node.tag, "MsgId") || SameTag(node.tag, "PmtInfId") ||
                               SameTag(node.tag, "InstrId") || SameTag(node.tag, "EndToEndId"));
    if (payment && i == dbtrIbanNode_ && !dbtrIbanRule_.empty()) {
      rule = dbtrIbanRule_;
    } else if (identifier && !EpcIdentifierRule(raw).empty()) {
      enterUpTo(i + 1);
      problems_.push_back({path.Path(), AsWritten(raw), std::string(EpcIdentifierRule(raw))});
      continue;
    } else if (!type) {
      rule = "ismeretlen elem, nem ellenőrizhető";
    } else if (IsTextType(*type)) {
      // Cleaning turns every byte but CR and LF into one character.
      std::size_t lineBreaks = 0;
      for (std::size_t at = FindEitherByte(raw, '\r', '\n'); at != std::string_view::npos;
           at = FindEitherByte(raw, '\r', '\n', at + 1)) {
        ++lineBreaks;
      }
      rule = TextLengthRule(*type, raw.size() - lineBreaks);
    } else {
      std::string_view value = cleaner_.Plain(raw, &plainScratch_);
      if (*type == LeafType::kActiveOrHistoricCurrencyAndAmount) {
        rule = InstructedAmountRule(value);
      }
      if (rule.empty()) {
        rule = LeafTypeRule(*type, value);
      }
    }
    if (!rule.empty()) {
      enterUpTo(i + 1);
      problems_.push_back(
          {path.Path(), std::string(cleaner_.Plain(raw, &plainScratch_)), std::string(rule)});
    }
  }
  if (payment) {
    lastPayment_.resize(nodes.size());
  }
}

void SepaXmlWriter::BuildGroupHeader() {
  const GroupHeaderRecord& h = groupHeader_;
  NodeList& nodes = headerNodes_;
  nodes.clear();
  AppendContainer(nodes, "GrpHdr", 2);
  AppendField(nodes, "MsgId", 3, h.MsgId);
  AppendField(nodes, "CreDtTm", 3, h.CreDtTm, 't');
  AppendInteger(nodes, "NbOfTxs", 3, h.NbOfTxs, 'n');
  AppendCents(nodes, "CtrlSum", 3, h.CtrlSum, 'f');
  AppendContainer(nodes, "InitgPty", 3);
  ComposeName(h.InitgPtyNm.view(), h.InitgPtyNm2.view(), &initgPtyName_);
  epcUsed_ = 0;
  AppendZeroFreeText(nodes, "Nm", 4, EpcText(initgPtyName_, kMaxNameLength, "GrpHdr/InitgPty/Nm"));
}

std::string SepaXmlWriter::AsWritten(std::string_view cp852) const {
  std::string text;
  for (char c : cp852) {
    text.append(utf8Of_[static_cast<unsigned char>(c)]);
  }
  return text;
}

std::string_view SepaXmlWriter::EpcText(std::string_view cp852, std::size_t maxChars,
                                        std::string_view element) {
  if (!epc_) {
    return cp852;
  }
  if (epcUsed_ == epcTexts_.size()) {
    epcTexts_.emplace_back().reserve(kMaxRemittanceLength);  // the others stay where they are
  }
  std::string& text = epcTexts_[epcUsed_++];
  text.clear();
  EpcTransliteration done = epc_->Append(cp852, maxChars, &text);
  // Counted is what the set changes beyond the Hungarian accents, which lose their marks in
  // either mode.
  bool beyondAccents = done.cut;
  for (std::size_t i = 0; done.changed && !beyondAccents && i < done.bytes; ++i) {
    beyondAccents = epcBeyondAccents_[static_cast<unsigned char>(cp852[i])];
  }
  if (beyondAccents) {
    ++changedTexts_;
    if (listNotes_) {
      std::string note(element);
      note.append(": „").append(AsWritten(cp852)).append("” helyett „").append(text).append("”");
      notes_.push_back(note.append(done.cut ? " (az elem hosszára vágva)" : ""));
    }
  }
  return text;
}

void SepaXmlWriter::AppendAddress(NodeList& nodes, int depth, Party party,
                                  const FixedText<3>& country, const FixedText<71>& line1,
                                  const FixedText<71>& line2, std::string_view accountCountry,
                                  const PaymentRecord& p) {
  const std::string_view prefix =
      party == Party::kDebtor ? "PmtInf/Dbtr/PstlAdr/" : "PmtInf/CdtTrfTxInf/Cdtr/PstlAdr/";
  auto text = [&](std::string_view cp852, std::size_t maxChars, std::string_view tag) {
    if (!epc_) {
      return cp852;
    }
    std::string element(prefix);
    return EpcText(cp852, maxChars, element.append(tag));
  };
  if (options_.address == SepaOptions::Address::kLines) {
    AppendPostalAddress(nodes, depth, country, text(line1.view(), kMaxAddressLineLength, "AdrLine"),
                        text(line2.view(), kMaxAddressLineLength, "AdrLine"));
    return;
  }
  if (line1.empty() && line2.empty()) {
    return;  // no address given: none written
  }
  std::string_view code = country.empty() ? accountCountry : country.view();
  std::optional<HybridAddress> found = FindTown(code, line1.view(), line2.view());
  std::string_view who = party == Party::kDebtor ? "megbízó" : "kedvezményezett";
  if (found) {
    found->postcode = text(found->postcode, kMaxPostcodeLength, "PstCd");
    found->town = text(found->town, kMaxTownLength, "TwnNm");
    for (std::string_view& line : found->lines) {
      line = text(line, kMaxAddressLineLength, "AdrLine");
    }
    AppendContainer(nodes, "PstlAdr", depth);
    if (!found->postcode.empty()) {
      AppendZeroFreeText(nodes, "PstCd", depth + 1, found->postcode);
    }
    AppendZeroFreeText(nodes, "TwnNm", depth + 1, found->town);
    AppendZeroFreeText(nodes, "Ctry", depth + 1, found->country);
    for (std::string_view line : found->lines) {
      if (!line.empty()) {
        AppendZeroFreeText(nodes, "AdrLine", depth + 1, line);
      }
    }
    if (listNotes_) {
      std::string note("a ");
      note.append(who).append(" címe: TwnNm=").append(cleaner_.Plain(found->town, &plainScratch_));
      if (!found->postcode.empty()) {
        note.append(", PstCd=").append(cleaner_.Plain(found->postcode, &plainScratch_));
      }
      note.append(", Ctry=").append(found->country);
      for (std::string_view line : found->lines) {
        if (!line.empty()) {
          note.append(", AdrLine=").append(cleaner_.Plain(line, &plainScratch_));
        }
      }
      notes_.push_back(std::move(note));
    }
    return;
  }
  // Both accounts in the EEA: the scheme lets either party go without an address.
  bool omissible =
      IsEeaCountry(IbanCountry(dbtrIban_)) && IsEeaCountry(IbanCountry(p.CdtrAcctId.view()));
  if (options_.withoutTown == SepaOptions::WithoutTown::kOmit && omissible) {
    ++omittedAddresses_;
    if (listNotes_) {
      std::string note("a ");
      notes_.push_back(note.append(who).append(" címe kimarad (nincs benne biztos település)"));
    }
    return;
  }
  std::string lines(cleaner_.Plain(line1.view(), &plainScratch_));
  if (!line2.empty()) {
    lines.append(" / ").append(cleaner_.Plain(line2.view(), &plainScratch_));
  }
  std::string rule("a ");
  rule.append(who).append(" címéből ");
  rule += code.empty() ? "nem állapítható meg az ország (Ctry)"
                       : "nem állapítható meg biztosan a település (TwnNm)";
  rule += ": írja az irányítószámot és a települést egy sorba, pl. „1051 Budapest, Nádor u. 5.”";
  if (options_.withoutTown == SepaOptions::WithoutTown::kOmit) {
    rule += " (a cím nem hagyható el: a számlák egyike nem EGT-országbeli)";
  }
  problems_.push_back(
      {party == Party::kDebtor ? "PmtInf/Dbtr/PstlAdr" : "PmtInf/CdtTrfTxInf/Cdtr/PstlAdr",
       std::move(lines), std::move(rule)});
}

void SepaXmlWriter::BuildPayment(const PaymentRecord& p) {
  const bool v09 = options_.version09();
  NodeList& nodes = paymentNodes_;
  if (listNotes_) {
    notes_.clear();
  }
  epcUsed_ = 0;
  // A choice of code and proprietary text: the code wins when both are set.
  auto codeOrText = [&](int depth, const auto& code, const auto& proprietary,
                        std::string_view element) {
    if (!code.empty()) {
      AppendField(nodes, "Cd", depth, code);
    } else {
      AppendZeroFreeText(nodes, "Prtry", depth,
                         EpcText(proprietary.view(), kMaxProprietaryLength, element));
    }
  };
  AppendContainer(nodes, "PmtInf", 2);
  AppendField(nodes, "PmtInfId", 3, p.PmtInfId);
  AppendZeroFreeText(nodes, "PmtMtd", 3, "TRF");
  AppendZeroFreeText(nodes, "BtchBookg", 3, "false");
  if (v09) {
    AppendInteger(nodes, "NbOfTxs", 3, 1, 'n');
    AppendCents(nodes, "CtrlSum", 3, p.InstdAmt, 'f');
  }
  // A local instrument alone does not open a payment type.
  if (!p.SvcLvlCd.empty() || !p.SvcLvlPrtry.empty()) {
    AppendContainer(nodes, "PmtTpInf", 3);
    if (v09 && p.IsUrgent != 0) {
      AppendZeroFreeText(nodes, "InstrPrty", 4, "HIGH");
    }
    AppendContainer(nodes, "SvcLvl", 4);
    codeOrText(5, p.SvcLvlCd, p.SvcLvlPrtry, "PmtInf/PmtTpInf/SvcLvl/Prtry");
    if (!p.LclInstrmCd.empty() || !p.LclInstrmPrtry.empty()) {
      AppendContainer(nodes, "LclInstrm", 4);
      codeOrText(5, p.LclInstrmCd, p.LclInstrmPrtry, "PmtInf/PmtTpInf/LclInstrm/Prtry");
    }
  }
  if (v09) {
    AppendContainer(nodes, "ReqdExctnDt", 3);
    AppendField(nodes, "Dt", 4, p.ReqdExctnDt, 'd');
  } else {
    AppendField(nodes, "ReqdExctnDt", 3, p.ReqdExctnDt, 'd');
  }

  // A domestic account becomes a Hungarian IBAN only when made of digits alone; anything
  // else stays as it is and is reported.
  AssignCut(p.DbtrAcctId.view(), kMaxIbanLength, &dbtrIban_);
  dbtrIbanRule_.clear();
  if (!IsValidIban(dbtrIban_)) {
    if (IsHuIbanSource(p.DbtrAgtBankCode.view(), p.DbtrAcctId.view())) {
      AssignCut(MakeHuIban(p.DbtrAgtBankCode.view(), p.DbtrAcctId.view()), kMaxIbanLength,
                &dbtrIban_);
    } else {
      dbtrIbanRule_ = HuIbanSourceRule(cleaner_.Plain(p.DbtrAgtBankCode.view(), &plainScratch_));
    }
  }

  AppendContainer(nodes, "Dbtr", 3);
  ComposeName(p.DbtrNm.view(), p.DbtrNm2.view(), &dbtrName_);
  AppendZeroFreeText(nodes, "Nm", 4, EpcText(dbtrName_, kMaxNameLength, "PmtInf/Dbtr/Nm"));
  // The debtor IBAN was checked above: valid unless a rule was found.
  AppendAddress(nodes, 4, Party::kDebtor, p.DbtrCtry, p.DbtrAdr1, p.DbtrAdr2,
                dbtrIbanRule_.empty() ? std::string_view(dbtrIban_).substr(0, 2) : "", p);

  AppendContainer(nodes, "DbtrAcct", 3);
  AppendContainer(nodes, "Id", 4);
  dbtrIbanNode_ = nodes.size();
  AppendZeroFreeText(nodes, "IBAN", 5, dbtrIban_);

  // The debtor agent is mandatory; without a BIC it is named as not provided.
  std::string_view bicTag = v09 ? "BICFI" : "BIC";
  AppendContainer(nodes, "DbtrAgt", 3);
  AppendContainer(nodes, "FinInstnId", 4);
  if (!p.DbtrAgtBic.empty()) {
    AssignCut(p.DbtrAgtBic.view(), kMaxBicLength, &dbtrBic_);
    AppendZeroFreeText(nodes, bicTag, 5, dbtrBic_);
  } else {
    AppendContainer(nodes, "Othr", 5);
    AppendZeroFreeText(nodes, "Id", 6, kNotProvided);
  }
  AppendZeroFreeText(nodes, "ChrgBr", 3, kChargeBearer);

  AppendContainer(nodes, "CdtTrfTxInf", 3);
  AppendContainer(nodes, "PmtId", 4);
  if (!p.InstrId.empty()) {
    AppendField(nodes, "InstrId", 5, p.InstrId);
  }
  AppendField(nodes, "EndToEndId", 5, p.EndToEndId);
  AppendContainer(nodes, "Amt", 4);
  AppendCents(nodes, "InstdAmt", 5, p.InstdAmt, 'a');
  if (p.HasXchgRate == 1) {
    if (v09) {
      // The converters keep such orders out; one that arrives must not lose its rate.
      problems_.push_back({"PmtInf/CdtTrfTxInf/XchgRateInf", std::string(p.XchgRateTp.view()),
                           "egyeztetett árfolyam: a pain.001.001.09 dokumentum nem hordozza"});
    } else {
      AppendContainer(nodes, "XchgRateInf", 4);
      AppendField(nodes, "RateTp", 5, p.XchgRateTp);
    }
  }
  if (!v09) {
    AppendZeroFreeText(nodes, "ChrgBr", 4, kChargeBearer);
  }
  if (!p.CdtrAgtBic.empty()) {
    AppendContainer(nodes, "CdtrAgt", 4);
    AppendContainer(nodes, "FinInstnId", 5);
    AppendField(nodes, bicTag, 6, p.CdtrAgtBic);
  }
  if (p.CdtrIdType != 0) {
    AppendContainer(nodes, "Cdtr", 4);
    ComposeName(p.CdtrNm.view(), p.CdtrNm2.view(), &cdtrName_);
    AppendZeroFreeText(nodes, "Nm", 5,
                       EpcText(cdtrName_, kMaxNameLength, "PmtInf/CdtTrfTxInf/Cdtr/Nm"));
    AppendAddress(nodes, 5, Party::kCreditor, p.CdtrCtry, p.CdtrAdr1, p.CdtrAdr2,
                  p.CdtrCtry.empty() ? IbanCountry(p.CdtrAcctId.view()) : "", p);
  }
  AppendContainer(nodes, "CdtrAcct", 4);
  AppendContainer(nodes, "Id", 5);
  AppendField(nodes, "IBAN", 6, p.CdtrAcctId);
  if (!p.PurpCd.empty() || (!v09 && !p.PurpPrtry.empty())) {
    AppendContainer(nodes, "Purp", 4);
    codeOrText(5, p.PurpCd, p.PurpPrtry, "PmtInf/CdtTrfTxInf/Purp/Prtry");
  }

  rmtText_.assign(p.RmtInfUstrd1.view());
  rmtText_.append(p.RmtInfUstrd2.view());
  rmtText_.append(p.RmtInfUstrd3.view());
  rmtText_.append(p.RmtInfUstrd4.view());
  if (rmtText_.size() > kMaxRemittanceLength) {
    rmtText_.resize(kMaxRemittanceLength);
  }
  if (!rmtText_.empty()) {
    AppendContainer(nodes, "RmtInf", 4);
    AppendZeroFreeText(nodes, "Ustrd", 5,
                       EpcText(rmtText_, kMaxRemittanceLength, "PmtInf/CdtTrfTxInf/RmtInf/Ustrd"));
  }
}

}  // namespace varnex
