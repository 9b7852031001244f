#include "mt/hua_writer.h"

#include <charconv>
#include <initializer_list>

#include "convert/account_utils.h"
#include "mt/mt_serializer.h"
#include "output/formatters.h"

namespace varnex {
namespace {

constexpr std::size_t kAddressLength = 12;

// Appends `text` cut or blank-padded to `width` characters ("%-W.Ws").
void AppendPadded(std::string_view text, std::size_t width, std::string* out) {
  text = text.substr(0, width);
  out->append(text);
  out->append(width - text.size(), ' ');
}

// Appends the words joined by single blanks ("%s %s ...").
void AppendWords(std::initializer_list<std::string_view> words, std::string* out) {
  bool first = true;
  for (std::string_view word : words) {
    if (!first) {
      out->push_back(' ');
    }
    out->append(word);
    first = false;
  }
}

void PointsToCommas(std::string* text) {
  for (char& c : *text) {
    if (c == '.') {
      c = ',';
    }
  }
}

std::string_view OrBlank(std::string_view text) {
  return text.empty() ? " " : text;
}

}  // namespace

std::string FormatMtAddress(std::string_view code) {
  std::string address(code.substr(0, kAddressLength));
  address.resize(kAddressLength, ' ');
  for (char& c : address) {
    if (c == ' ') {
      c = 'X';
    }
  }
  return address;
}

void HuaWriter::BuildGroupHeader() {
  const GroupHeaderRecord& h = groupHeader_;
  NodeList& list = headerNodes_;
  AppendField(list, ":01:", 0, h.MsgId);
  AppendCents(list, ":02:", 0, h.CtrlSum, 'a');
  AppendInteger(list, ":03:", 0, h.NbOfTxs, 'n');
  AppendText(list, ":04:", 0, h.BankBic.empty() ? std::string_view(" ") : h.BankBic.view());
  AppendField(list, ":05:", 0, h.InitgPtyNm);
  AppendField(list, "", 0, h.InitgPtyNm2);
  AppendField(list, "", 0, h.InitgPtyAdr1);
  AppendField(list, "", 0, h.InitgPtyAdr2);
  AppendText(list, ":07:", 0, " ");
}

void HuaWriter::ComposeLines(const PaymentRecord& p) {
  bool first = messageCounter_ == 0;
  ++messageCounter_;
  // "%s%s%s%06ld%s%sN1}{4:" with the prefix, the two addresses, "000", the counter and
  // "}{2:I100", put together without printf: this runs once per payment.
  blockHeader_.assign(first ? "{1:F01" : "${1:F01");
  blockHeader_.append(FormatMtAddress(p.DbtrAgtBankCode.view()).c_str());
  blockHeader_.append("000");
  char counter[24];
  std::to_chars_result r =
      std::to_chars(counter, counter + sizeof counter, static_cast<long>(messageCounter_));
  auto digits = static_cast<std::size_t>(r.ptr - counter);
  if (digits < 6) {
    blockHeader_.append(6 - digits, '0');
  }
  blockHeader_.append(counter, digits);
  blockHeader_.append("}{2:I100");
  blockHeader_.append(FormatMtAddress(p.CdtrAgtBic.view()).c_str());
  blockHeader_.append("N1}{4:");

  line32A_.assign(SafeMidFrom(p.ReqdExctnDt.view(), 2));
  line32A_.append(p.InstdAmtCcy.view());
  line32A_.append(FormatAmountComma(p.InstdAmt));

  line52D_[0].assign(p.DbtrAcctId.view());
  if (!p.ChrgsAcctId.empty()) {
    line52D_[1].assign(p.ChrgsAcctId.view());
  } else if (p.SrcType.view() == "INT" && autofillChargesAccount_ == 1) {
    line52D_[1].assign(p.DbtrAcctId.view());
  } else {
    line52D_[1].assign(" ");
  }
  line52D_[2].clear();
  AppendPadded(p.ChrgsAcctCcy.empty() ? "HUF" : p.ChrgsAcctCcy.view(), 3, &line52D_[2]);
  line52D_[2].append(FormatAmount(p.ChrgsAmt));  // "%1.2f"
  PointsToCommas(&line52D_[2]);
  line52D_[3].clear();
  AppendWords({p.Fld52DWord1.empty() ? "000" : p.Fld52DWord1.view(), p.CdtrCtry.view(),
               p.CdtrAgtCtry.view()},
              &line52D_[3]);

  account59_.assign(p.CdtrAcctId.view());

  line72_[0].clear();
  AppendWords({p.Info72W1.view(), p.Info72W2.view(), p.Info72W3.view(), p.Info72W4.view()},
              &line72_[0]);
  line72_[1].assign(OrBlank(p.Info72Line2Short.view()));
  line72_[2].assign(OrBlank(p.LclInstrmPrtry.view()));
  // "T ..." and "F ..." joined by one blank, each part left out when empty.
  line72_[3].clear();
  if (!p.Info72T.empty()) {
    line72_[3].append("T ").append(p.Info72T.view());
  }
  line72_[3].push_back(' ');
  if (!p.Info72F.empty()) {
    line72_[3].append("F ").append(p.Info72F.view());
  }
  // The country and five one-character flags; a zero flag ends the line there, the blank
  // in front of it included.
  line72_[4].clear();
  AppendPadded(p.DbtrCtry.view(), 2, &line72_[4]);
  for (char flag : {p.Flag72a, p.Flag72b, p.Flag72c, p.Flag72d, p.Flag72e}) {
    line72_[4].push_back(' ');
    if (flag == '\0') {
      break;
    }
    line72_[4].push_back(flag);
  }

  for (std::string* line : {&blockHeader_, &line32A_, &account59_}) {
    CutComposedLine(line);
  }
  for (std::string& line : line52D_) {
    CutComposedLine(&line);
  }
  for (std::string& line : line72_) {
    CutComposedLine(&line);
  }
}

void HuaWriter::BuildPayment(const PaymentRecord& p) {
  ComposeLines(p);
  NodeList& list = paymentNodes_;
  AppendText(list, "", 0, blockHeader_);
  AppendText(list, ":20:", 0, p.InstrId.empty() ? std::string_view(" ") : p.InstrId.view());
  AppendText(list, ":32A:", 0, line32A_);
  AppendOrderingCustomer(list, p);
  AppendMtField(list, ":52D:", {line52D_[0], line52D_[1], line52D_[2], line52D_[3]});
  AppendBeneficiaryBank(list, p);
  AppendMtField(
      list, ":59:/",
      {account59_, p.CdtrNm.view(), p.CdtrNm2.view(), p.CdtrAdr1.view(), p.CdtrAdr2.view()});
  AppendRemittanceAndCharges(list, p);
  AppendText(list, ":72:", 0, line72_[0]);
  for (std::size_t i = 1; i < line72_.size(); ++i) {
    AppendText(list, "", 0, line72_[i]);
  }
  AppendText(list, "", 0, "-}");
}

void HuaWriter::SerializeNodes(NodeList& nodes, std::string* out) {
  std::size_t start = out->size();
  bool readsBack = SerializeMtNodes(nodes, lineEnd(), out);
  std::string_view text = std::string_view(*out).substr(start);
  readsBack = readsBack && (&nodes == &headerNodes_ ? MtHeaderReadsBack(text, true, lineEnd())
                                                    : MtMessageReadsBack(text, true, lineEnd()));
  if (!readsBack) {
    MarkNotReadingBack();
  }
}

}  // namespace varnex
