// The writer of the SEPA documents: one customer credit transfer initiation per output file,
// with one payment information block (holding one credit transfer transaction) per payment
// record, in the 2009 version (pain.001.001.03) or in the 2019 version as the EPC restricts it
// (pain.001.001.09): ReqdExctnDt/Dt, BICFI, NbOfTxs and CtrlSum per block, the charge bearer
// on the block only, InstrPrty HIGH for an urgent order. An exchange rate has no place in the
// 2019 document; such orders are kept out of it by the converters.
//
// Party addresses are written as the country and the free lines (lines), or as a hybrid
// address (hybrid): TwnNm and Ctry, PstCd when the lines give it, and what remains of the
// lines as at most two AdrLine (FindTown). The country is the party's, else that of its
// account's IBAN. An address whose town is not certain is a problem of the order, or is left
// out (AddressWithoutTown=omit) when both accounts are held in the EEA, where the scheme lets
// a party go without one; omittedAddresses() counts those.
//
// The element tree and the record field behind each element are laid down in BuildGroupHeader
// and BuildPayment; optional elements are left out when their source fields are empty. Names
// and the remittance text are composed into buffers of the writer, which the nodes view until
// the payment has been serialized.
//
// Every leaf value is checked, as it will be written, against its schema type and the SEPA
// usage rules (schema_check.h) before the part is serialized; problems() names each value
// that breaks one. A debtor account that is no IBAN is turned into a Hungarian IBAN only
// when it and the bank code are digits of the domestic lengths; else the account is written
// as it stands and reported.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/sepa_options.h"
#include "output/epc_characters.h"
#include "output/schema_check.h"
#include "output/writer.h"
#include "output/xml_serializer.h"
#include "platform/code_page.h"

namespace varnex {

class SepaXmlWriter : public Writer {
 public:
  // `codePages` is only read while the writer is built.
  explicit SepaXmlWriter(const CodePages& codePages, SepaOptions options = {});

  // Whether each payment's notes() describe its hybrid addresses and the texts the character
  // rule changed, as written.
  void ListNotes(bool on) { listNotes_ = on; }
  // Addresses left out so far (AddressWithoutTown=omit).
  std::int64_t omittedAddresses() const { return omittedAddresses_; }
  // Text values the EPC character rule changed so far (Characters=epc), the header's too.
  std::int64_t changedTexts() const { return changedTexts_; }

  // Longest composed name (first line, blank, second line) and remittance text; longer
  // compositions are cut.
  static constexpr std::size_t kMaxNameLength = 70;
  static constexpr std::size_t kMaxRemittanceLength = 140;
  static constexpr std::size_t kMaxIbanLength = 34;
  static constexpr std::size_t kMaxBicLength = 11;
  static constexpr std::size_t kMaxAddressLineLength = 70;
  static constexpr std::size_t kMaxTownLength = 35;
  static constexpr std::size_t kMaxPostcodeLength = 16;
  static constexpr std::size_t kMaxProprietaryLength = 35;

 protected:
  void BuildGroupHeader() override;
  void BuildPayment(const PaymentRecord& payment) override;
  void CheckNodes(const NodeList& nodes) override;
  void SerializeNodes(NodeList& nodes, std::string* out) override;
  bool EndsLinesFreely() const override { return true; }
  std::string_view LeadingText() const override;
  std::string_view TrailingText() const override;

 private:
  enum class Party { kDebtor, kCreditor };
  // The party's postal address at `depth` in the form the options choose; `accountCountry`
  // is that of the party's IBAN, taken when the party has no country of its own.
  void AppendAddress(NodeList& nodes, int depth, Party party, const FixedText<3>& country,
                     const FixedText<71>& line1, const FixedText<71>& line2,
                     std::string_view accountCountry, const PaymentRecord& p);

  // `cp852` as the element carries it: itself, or with Characters=epc its transliteration
  // into the set, at most `maxChars` characters, in one of epcTexts_. A change beyond the
  // stripped Hungarian accents (which the cleaning of either mode strips) is counted and, when
  // listed, noted under `element`.
  std::string_view EpcText(std::string_view cp852, std::size_t maxChars, std::string_view element);
  // `cp852` in UTF-8, unchanged.
  std::string AsWritten(std::string_view cp852) const;

  SepaOptions options_;
  bool listNotes_ = false;
  std::int64_t omittedAddresses_ = 0;
  std::int64_t changedTexts_ = 0;
  std::optional<EpcTransliterator> epc_;
  std::array<std::string, 256> utf8Of_;
  // True where the set writes a byte otherwise than the UTF-8 mode's cleaning does.
  std::array<bool, 256> epcBeyondAccents_{};
  // The transliterated texts of the part being built; views of them stay valid until it is
  // serialized, as a deque keeps its elements in place when it grows.
  std::deque<std::string> epcTexts_;
  std::size_t epcUsed_ = 0;
  XmlValueCleaner cleaner_;
  // CP852 texts composed per document (initgPtyName_) or per payment (the others).
  std::string initgPtyName_;
  std::string dbtrName_;
  std::string cdtrName_;
  std::string rmtText_;
  std::string dbtrIban_;
  std::string dbtrBic_;
  // The debtor IBAN node of the payment being built, and the rule it breaks when it could
  // not be built (empty otherwise).
  std::size_t dbtrIbanNode_ = 0;
  std::string dbtrIbanRule_;
  // Value texts of the leaf being checked.
  std::string valueScratch_;
  std::string plainScratch_;
  // The elements of the payment checked last, with their leaf types. Payments mostly repeat
  // the same elements, and a node whose predecessors all repeat the last payment's has the
  // type found then. Tags are the writer's string literals, so the views stay valid.
  struct CheckedNode {
    std::string_view tag;
    int depth = 0;
    std::optional<LeafType> type;
  };
  std::vector<CheckedNode> lastPayment_;
};

}  // namespace varnex
