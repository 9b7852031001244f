// Checks of the leaf values of a pain.001 document before it is placed.
//
// The gateway validates every document against its schema (pain.001.001.03, or the EPC's
// pain.001.001.09) and rejects the whole file when one element fails. The checks here mirror the
// facets of the schema types that the SEPA writer fills (patterns, lengths, decimal digits,
// calendar dates, code lists), hand-written and without allocation, so that every order can be
// checked on the way. Values are taken as the element holds them: UTF-8, after the writer's
// cleaning and before XML escaping; lengths count characters, not bytes. Types derived from
// xs:string keep their whitespace (a blank counts and fails a pattern); decimals and booleans allow
// blanks around the value, as the validator does.
//
// Two SEPA usage rules that the schema does not carry come with them: the range of an
// instructed amount, and what a Hungarian IBAN may be built from (IsHuIbanSource).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/sepa_options.h"

namespace varnex {

// The schema types of the leaves the SEPA writer writes.
enum class LeafType : std::uint8_t {
  kMax35Text,
  kMax70Text,
  kMax140Text,
  kMax16Text,
  kMax70Name,  // a party's name in the EPC's 2019 document: Max140Text cut to 70
  kExternalServiceLevel1Code,
  kEpcServiceLevelCode,  // the EPC's 2019 service level: SEPA only     // 1 to 4 characters
  kExternalLocalInstrument1Code,  // 1 to 35 characters
  kExternalPurpose1Code,          // 1 to 4 characters
  kIban2007Identifier,
  kBicIdentifier,
  kBicfiIdentifier,  // BICFIDec2014Identifier
  kCountryCode,
  kMax15NumericText,
  kActiveOrHistoricCurrencyAndAmount,
  kDecimalNumber,
  kDecimalNumber2,  // the EPC's control sum: at most two decimals
  kIsoDate,
  kIsoDateTime,
  kPaymentMethod3Code,
  kChargeBearerType1Code,
  kExchangeRateType1Code,
  kPriority2Code,
  kBatchBookingIndicator,  // xs:boolean
};

// True for the text types, whose only facets are a minimum and a maximum length.
bool IsTextType(LeafType type);
// The length rule a value of `characters` characters breaks as a text type; empty when it
// fits, and for a type that is no text type.
std::string_view TextLengthRule(LeafType type, std::size_t characters);

// The rule `value` breaks as a value of `type`, a short Hungarian text; empty when the
// value fits the type.
std::string_view LeafTypeRule(LeafType type, std::string_view value);

// The SEPA range of an instructed amount, 0.01 to 999999999.99, counted in cents from the
// digits of `printed` (the amount as written, two decimals with a point); empty when it
// holds, the rule text when the amount lies outside or is no number.
std::string_view InstructedAmountRule(std::string_view printed);

// The rule text for a debtor account that is no IBAN and from which no Hungarian IBAN can be
// built (IsHuIbanSource fails); names the bank code, which is not part of the value.
std::string HuIbanSourceRule(std::string_view bankCodeUtf8);

// Follows the elements of a document of `format`, given one after the other in document order
// by tag and depth, through the elements the SEPA writer writes, and names the schema type of
// each leaf. Depth 2 is the first level below CstmrCdtTrfInitn (GrpHdr, PmtInf).
class Pain001Path {
 public:
  explicit Pain001Path(SepaOptions::Format format = SepaOptions::Format::kPain00100103);

  // Moves to element `tag` at `depth`; returns its leaf type, nullopt for a container and
  // for an element the writer does not write at that place.
  std::optional<LeafType> Enter(std::string_view tag, int depth);
  // The path of the element last entered, tags joined by "/" from depth 2 on.
  std::string Path() const;

  static constexpr int kFirstDepth = 2;
  static constexpr int kMaxLevels = 6;

  // The elements of one format (schema_check.cc).
  struct Table;

 private:
  const Table* table_;
  std::array<std::string_view, kMaxLevels> tags_{};
  static constexpr int kUnknown = -1;
  // The table index of the element last entered at each level down to level_; kUnknown for
  // an element outside the tree.
  std::array<int, kMaxLevels> entries_{};
  int level_ = -1;
};

// The leaf type of the element at `path` (as Pain001Path::Path forms it); nullopt for a
// container or an unknown path.
std::optional<LeafType> Pain001LeafType(
    std::string_view path, SepaOptions::Format format = SepaOptions::Format::kPain00100103);

}  // namespace varnex
