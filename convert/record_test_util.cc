#include "convert/record_test_util.h"

#include "output/formatters.h"
#include "util/string_printf.h"

namespace varnex {

MtMessage MakeMessage(std::initializer_list<TestField> fields) {
  MtMessage message;
  for (const TestField& field : fields) {
    message.Store(MtField{field.tag, static_cast<int>(field.lines.size()), field.lines});
  }
  return message;
}

namespace {

class Dumper {
 public:
  void Text(const char* name, std::string_view value) {
    if (!value.empty()) {
      StringAppendF(&out_, "%s=%.*s\n", name, static_cast<int>(value.size()), value.data());
    }
  }
  void Amount(const char* name, std::int64_t cents) {
    if (cents != 0) {
      StringAppendF(&out_, "%s=%s\n", name, FormatAmount(cents).c_str());
    }
  }
  void Number(const char* name, long value) {
    if (value != 0) {
      StringAppendF(&out_, "%s=%ld\n", name, value);
    }
  }
  void Flag(const char* name, char value) {
    if (value != '\0') {
      StringAppendF(&out_, "%s=%c\n", name, value);
    }
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string DumpRecord(const PaymentRecord& r) {
  Dumper d;
#define VARNEX_TEXT(field) d.Text(#field, r.field.view())
  VARNEX_TEXT(SrcType);
  VARNEX_TEXT(PmtInfId);
  VARNEX_TEXT(InstrId);
  VARNEX_TEXT(EndToEndId);
  VARNEX_TEXT(SvcLvlCd);
  VARNEX_TEXT(SvcLvlPrtry);
  VARNEX_TEXT(LclInstrmCd);
  VARNEX_TEXT(LclInstrmPrtry);
  d.Amount("InstdAmt", r.InstdAmt);
  VARNEX_TEXT(InstdAmtCcy);
  VARNEX_TEXT(ReqdExctnDt);
  d.Number("DbtrIdType", r.DbtrIdType);
  d.Flag("Flag72a", r.Flag72a);
  VARNEX_TEXT(DbtrNm);
  VARNEX_TEXT(DbtrNm2);
  VARNEX_TEXT(DbtrCtry);
  VARNEX_TEXT(DbtrAdr1);
  VARNEX_TEXT(DbtrAdr2);
  VARNEX_TEXT(DbtrAcctId);
  d.Number("DbtrAgtIdType", r.DbtrAgtIdType);
  VARNEX_TEXT(DbtrAgtBic);
  VARNEX_TEXT(DbtrAgtBankCode);
  VARNEX_TEXT(DbtrAgtNm);
  VARNEX_TEXT(DbtrAgtAdr1);
  VARNEX_TEXT(DbtrAgtAdr2);
  VARNEX_TEXT(DbtrAgtAdr3);
  VARNEX_TEXT(ChrgsAcctCcy);
  VARNEX_TEXT(SndrCorrAcct);
  VARNEX_TEXT(SndrCorrBic);
  VARNEX_TEXT(SndrCorrNm);
  VARNEX_TEXT(SndrCorrAdr1);
  VARNEX_TEXT(SndrCorrAdr2);
  VARNEX_TEXT(SndrCorrAdr3);
  VARNEX_TEXT(ChrgsAcctId);
  VARNEX_TEXT(Info72Line2Short);
  VARNEX_TEXT(Info72T);
  VARNEX_TEXT(Info72F);
  d.Number("CdtrIdType", r.CdtrIdType);
  d.Flag("Flag72b", r.Flag72b);
  VARNEX_TEXT(CdtrNm);
  VARNEX_TEXT(CdtrNm2);
  VARNEX_TEXT(CdtrCtry);
  VARNEX_TEXT(CdtrAdr1);
  VARNEX_TEXT(CdtrAdr2);
  VARNEX_TEXT(CdtrAcctId);
  VARNEX_TEXT(CdtrAgtBic);
  VARNEX_TEXT(CdtrAgtNm);
  VARNEX_TEXT(CdtrAgtAdr1);
  VARNEX_TEXT(CdtrAgtAdr2);
  VARNEX_TEXT(CdtrAgtAdr3);
  VARNEX_TEXT(CdtrAgtCtry);
  VARNEX_TEXT(PurpCd);
  VARNEX_TEXT(PurpPrtry);
  VARNEX_TEXT(RmtInfUstrd1);
  VARNEX_TEXT(RmtInfUstrd2);
  VARNEX_TEXT(RmtInfUstrd3);
  VARNEX_TEXT(RmtInfUstrd4);
  VARNEX_TEXT(Info72Line1);
  VARNEX_TEXT(Info72Line2);
  VARNEX_TEXT(Info72Line3);
  VARNEX_TEXT(Info72Line4);
  VARNEX_TEXT(Info72Line5);
  VARNEX_TEXT(Info72Line6);
  VARNEX_TEXT(ChrgBr71A);
  d.Amount("ChrgsAmt", r.ChrgsAmt);
  VARNEX_TEXT(Info72W1);
  VARNEX_TEXT(Info72W2);
  VARNEX_TEXT(Info72W3);
  VARNEX_TEXT(Info72W4);
  d.Flag("Flag72c", r.Flag72c);
  d.Flag("Flag72d", r.Flag72d);
  d.Flag("Flag72e", r.Flag72e);
  d.Number("IsUrgent", r.IsUrgent);
  d.Number("HasXchgRate", r.HasXchgRate);
  VARNEX_TEXT(XchgRateTp);
  VARNEX_TEXT(Fld52DWord1);
#undef VARNEX_TEXT
  return d.Take();
}

}  // namespace varnex
