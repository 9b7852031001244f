#include "mt/int_writer.h"

#include "convert/account_utils.h"
#include "mt/mt_serializer.h"
#include "output/formatters.h"

namespace varnex {

void IntWriter::BuildGroupHeader() {
  const GroupHeaderRecord& h = groupHeader_;
  NodeList& list = headerNodes_;
  AppendText(list, "", 0, " ");
  AppendText(list, ":01:", 0, h.MsgId.view());
  AppendCents(list, ":02:", 0, h.CtrlSum, 'a');
  AppendInteger(list, ":03:", 0, h.NbOfTxs, 'n');
  AppendText(list, ":04:", 0, h.BankBic.view());
  AppendText(list, ":05:", 0, h.InitgPtyNm.view());
  AppendText(list, "", 0, h.InitgPtyNm2.view());
  AppendText(list, "", 0, h.InitgPtyAdr1.view());
  AppendText(list, "", 0, h.InitgPtyAdr2.view());
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
  AppendText(list, ":20:", 0, p.InstrId.view());
  AppendText(list, ":32A:", 0, line32A_);
  AppendText(list, ":50:", 0, p.DbtrNm.view());
  AppendText(list, "", 0, p.DbtrNm2.view());
  AppendText(list, "", 0, p.DbtrAdr1.view());
  AppendText(list, "", 0, p.DbtrAdr2.view());

  if (!p.DbtrAgtBic.empty()) {
    AppendText(list, ":52A:", 0, account52_);
    AppendText(list, "", 0, p.DbtrAgtIdType == 2 ? p.DbtrAgtBankCode.view() : p.DbtrAgtBic.view());
  } else {
    AppendText(list, ":52D:", 0, account52_);
    AppendText(list, "", 0, p.DbtrAgtNm.view());
    AppendText(list, "", 0, p.DbtrAgtAdr1.view());
    AppendText(list, "", 0, p.DbtrAgtAdr2.view());
    AppendText(list, "", 0, p.DbtrAgtAdr3.view());
  }

  // The correspondent needs an account and either a BIC or a name.
  if (!p.SndrCorrAcct.empty()) {
    if (!p.SndrCorrBic.empty()) {
      AppendText(list, ":53A:", 0, account53_);
      AppendText(list, "", 0, p.SndrCorrBic.view());
    } else if (!p.SndrCorrNm.empty()) {
      AppendText(list, ":53D:", 0, account53_);
      AppendText(list, "", 0, p.SndrCorrNm.view());
      AppendText(list, "", 0, p.SndrCorrAdr1.view());
      AppendText(list, "", 0, p.SndrCorrAdr2.view());
      AppendText(list, "", 0, p.SndrCorrAdr3.view());
    }
  }

  if (!p.CdtrAgtBic.empty()) {
    AppendText(list, ":57A:", 0, p.CdtrAgtBic.view());
  } else {
    AppendText(list, ":57D:", 0, p.CdtrAgtNm.view());
    AppendText(list, "", 0, p.CdtrAgtAdr1.view());
    AppendText(list, "", 0, p.CdtrAgtAdr2.view());
    AppendText(list, "", 0, p.CdtrAgtAdr3.view());
  }

  // Without an account the name stands on the tag line.
  if (!p.CdtrAcctId.empty()) {
    AppendText(list, ":59:/", 0, p.CdtrAcctId.view());
    AppendText(list, "", 0, p.CdtrNm.view());
  } else {
    AppendText(list, ":59:", 0, p.CdtrNm.view());
  }
  AppendText(list, "", 0, p.CdtrNm2.view());
  AppendText(list, "", 0, p.CdtrAdr1.view());
  AppendText(list, "", 0, p.CdtrAdr2.view());

  AppendText(list, ":70:", 0, p.RmtInfUstrd1.view());
  AppendText(list, "", 0, p.RmtInfUstrd2.view());
  AppendText(list, "", 0, p.RmtInfUstrd3.view());
  AppendText(list, "", 0, p.RmtInfUstrd4.view());
  AppendText(list, ":71A:", 0, p.ChrgBr71A.view());
  AppendText(list, ":72:", 0, p.Info72Line1.view());
  AppendText(list, "", 0, p.Info72Line2.view());
  AppendText(list, "", 0, p.Info72Line3.view());
  AppendText(list, "", 0, p.Info72Line4.view());
  AppendText(list, "", 0, p.Info72Line5.view());
  AppendText(list, "", 0, p.Info72Line6.view());
}

void IntWriter::SerializeNodes(NodeList& nodes, std::string* out) {
  SerializeMtNodes(nodes, out);
}

}  // namespace varnex
