// The two flat records that carry an order from a converter to a writer.
//
// A converter fills one GroupHeaderRecord per input file and one PaymentRecord per message;
// the writers read them field by field. Both are plain values: zero-filled before every fill
// and copied whole. Text fields have a fixed capacity that includes the terminating zero and
// hold CP852 text; a longer value is cut (FixedText::Assign). Field names follow the
// pain.001 elements they feed.
#pragma once

#include <cstdint>
#include <type_traits>

#include "util/fixed_text.h"

namespace varnex {

struct GroupHeaderRecord {
  FixedText<36> MsgId;
  // 14 digits of local time "%Y%m%d%H%M%S" followed by the UTC offset "+HHMM" or "-HHMM".
  FixedText<24> CreDtTm;
  std::int32_t NbOfTxs;
  // Sum of the taken amounts in cents, from the digits their two-decimal form shows.
  std::int64_t CtrlSum;
  FixedText<12> BankBic;
  FixedText<71> InitgPtyNm;
  FixedText<71> InitgPtyNm2;
  FixedText<71> InitgPtyAdr1;
  FixedText<71> InitgPtyAdr2;
};

struct PaymentRecord {
  FixedText<4> SrcType;
  FixedText<36> PmtInfId;
  FixedText<36> InstrId;
  FixedText<36> EndToEndId;
  FixedText<36> SvcLvlCd;
  FixedText<36> SvcLvlPrtry;
  FixedText<36> LclInstrmCd;
  FixedText<36> LclInstrmPrtry;
  std::int64_t InstdAmt;  // cents, exactly as the order states the amount
  FixedText<4> InstdAmtCcy;
  FixedText<11> ReqdExctnDt;
  std::uint8_t DbtrIdType;
  char Flag72a;
  FixedText<71> DbtrNm;
  FixedText<71> DbtrNm2;
  FixedText<3> DbtrCtry;
  FixedText<71> DbtrAdr1;
  FixedText<71> DbtrAdr2;
  FixedText<35> DbtrAcctId;
  std::uint8_t DbtrAgtIdType;
  FixedText<12> DbtrAgtBic;
  FixedText<9> DbtrAgtBankCode;
  FixedText<71> DbtrAgtNm;
  FixedText<71> DbtrAgtAdr1;
  FixedText<71> DbtrAgtAdr2;
  FixedText<71> DbtrAgtAdr3;
  FixedText<4> ChrgsAcctCcy;
  FixedText<35> SndrCorrAcct;
  FixedText<12> SndrCorrBic;
  FixedText<71> SndrCorrNm;
  FixedText<71> SndrCorrAdr1;
  FixedText<71> SndrCorrAdr2;
  FixedText<71> SndrCorrAdr3;
  FixedText<35> ChrgsAcctId;
  FixedText<36> Info72Line2Short;
  FixedText<36> Info72T;
  FixedText<36> Info72F;
  std::uint8_t CdtrIdType;
  char Flag72b;
  FixedText<71> CdtrNm;
  FixedText<71> CdtrNm2;
  FixedText<3> CdtrCtry;
  FixedText<71> CdtrAdr1;
  FixedText<71> CdtrAdr2;
  FixedText<35> CdtrAcctId;
  FixedText<12> CdtrAgtBic;
  FixedText<71> CdtrAgtNm;
  FixedText<71> CdtrAgtAdr1;
  FixedText<71> CdtrAgtAdr2;
  FixedText<71> CdtrAgtAdr3;
  FixedText<3> CdtrAgtCtry;
  FixedText<5> PurpCd;
  FixedText<36> PurpPrtry;
  FixedText<141> RmtInfUstrd1;
  FixedText<141> RmtInfUstrd2;
  FixedText<141> RmtInfUstrd3;
  FixedText<141> RmtInfUstrd4;
  FixedText<141> Info72Line1;
  FixedText<141> Info72Line2;
  FixedText<141> Info72Line3;
  FixedText<141> Info72Line4;
  FixedText<141> Info72Line5;
  FixedText<141> Info72Line6;
  FixedText<5> ChrgBr71A;
  std::int64_t ChrgsAmt;  // cents
  FixedText<141> Info72W1;
  FixedText<141> Info72W2;
  FixedText<141> Info72W3;
  FixedText<141> Info72W4;
  char Flag72c;
  char Flag72d;
  char Flag72e;
  std::int32_t IsUrgent;
  std::int32_t HasXchgRate;
  FixedText<5> XchgRateTp;
  FixedText<43> Fld52DWord1;
};

static_assert(std::is_trivially_copyable_v<GroupHeaderRecord>);
static_assert(std::is_trivially_copyable_v<PaymentRecord>);

}  // namespace varnex
