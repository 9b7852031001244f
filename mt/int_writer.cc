#include "mt/int_writer.h"

#include "convert/account_utils.h"
#include "mt/mt_serializer.h"
#include "output/formatters.h"

namespace varnex {

void IntWriter::BuildGroupHeader() {
  const GroupHeaderRecord& h = groupHeader_;
  NodeList& list = headerNodes_;
  AppendText(list, "", 0, " ");
  AppendField(list, ":01:", 0, h.MsgId);
  AppendCents(list, ":02:", 0, h.CtrlSum, 'a');
  AppendInteger(list, ":03:", 0, h.NbOfTxs, 'n');
  AppendField(list, ":04:", 0, h.BankBic);
  AppendField(list, ":05:", 0, h.InitgPtyNm);
  AppendField(list, "", 0, h.InitgPtyNm2);
  AppendField(list, "", 0, h.InitgPtyAdr1);
  AppendField(list, "", 0, h.InitgPtyAdr2);
  AppendText(list, ":06:", 0, " ");
  AppendText(list, ":07:", 0, " ");
}

void IntWriter::BuildPayment(const PaymentRecord& p) {
  line32A_.assign(SafeMidFrom(p.ReqdExctnDt.view(), 2));
  line32A_.append(p.InstdAmtCcy.view());
  line32A_.append(FormatAmountComma(p.InstdAmt));
  CutComposedLine(&line32A_);
  account52_.assign("/D/").append(p.DbtrAcctId.view());
  CutComposedLine(&account52_);
  account53_.assign("/D/").append(p.SndrCorrAcct.view());
  CutComposedLine(&account53_);

  NodeList& list = paymentNodes_;
  AppendText(list, "", 0, " ");
  // The reference line starts the message when the file is read: it is written, with a
  // single blank, also for an order without reference.
  AppendText(list, ":20:", 0, p.InstrId.empty() ? std::string_view(" ") : p.InstrId.view());
  AppendText(list, ":32A:", 0, line32A_);
  AppendOrderingCustomer(list, p);

  if (!p.DbtrAgtBic.empty()) {
    AppendMtField(
        list, ":52A:",
        {account52_, p.DbtrAgtIdType == 2 ? p.DbtrAgtBankCode.view() : p.DbtrAgtBic.view()});
  } else {
    AppendMtField(list, ":52D:",
                  {account52_, p.DbtrAgtNm.view(), p.DbtrAgtAdr1.view(), p.DbtrAgtAdr2.view(),
                   p.DbtrAgtAdr3.view()});
  }

  // The correspondent needs an account and either a BIC or a name.
  if (!p.SndrCorrAcct.empty()) {
    if (!p.SndrCorrBic.empty()) {
      AppendMtField(list, ":53A:", {account53_, p.SndrCorrBic.view()});
    } else if (!p.SndrCorrNm.empty()) {
      AppendMtField(list, ":53D:",
                    {account53_, p.SndrCorrNm.view(), p.SndrCorrAdr1.view(), p.SndrCorrAdr2.view(),
                     p.SndrCorrAdr3.view()});
    }
  }

  AppendBeneficiaryBank(list, p);

  // Without an account the name stands on the tag line.
  if (!p.CdtrAcctId.empty()) {
    AppendField(list, ":59:/", 0, p.CdtrAcctId);
    AppendField(list, "", 0, p.CdtrNm);
  } else {
    AppendField(list, ":59:", 0, p.CdtrNm);
  }
  AppendField(list, "", 0, p.CdtrNm2);
  AppendField(list, "", 0, p.CdtrAdr1);
  AppendField(list, "", 0, p.CdtrAdr2);

  AppendRemittanceAndCharges(list, p);
  AppendMtField(list, ":72:",
                {p.Info72Line1.view(), p.Info72Line2.view(), p.Info72Line3.view(),
                 p.Info72Line4.view(), p.Info72Line5.view(), p.Info72Line6.view()});
}

void IntWriter::SerializeNodes(NodeList& nodes, std::string* out) {
  std::size_t start = out->size();
  bool readsBack = SerializeMtNodes(nodes, lineEnd(), out);
  std::string_view text = std::string_view(*out).substr(start);
  readsBack = readsBack && (&nodes == &headerNodes_ ? MtHeaderReadsBack(text, false, lineEnd())
                                                    : MtMessageReadsBack(text, false, lineEnd()));
  if (!readsBack) {
    MarkNotReadingBack();
  }
}

}  // namespace varnex
