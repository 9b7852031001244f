// The form of the SEPA documents, as [SEPA] of the settings chooses it.
#pragma once

#include <string_view>

namespace varnex {

struct SepaOptions {
  // Format: the ISO 20022 version written.
  enum class Format { kPain00100103, kPain00100109 };
  // Address: Ctry and the free lines, or town and country in their own elements.
  enum class Address { kLines, kHybrid };
  // AddressWithoutTown, in hybrid mode: a problem of the order, or the address left out.
  enum class WithoutTown { kRefuse, kOmit };
  // Characters: text values as UTF-8 (Hungarian accents stripped), or in the EPC's basic
  // Latin set, which every SEPA bank takes.
  enum class Characters { kUtf8, kEpc };

  Format format = Format::kPain00100103;
  Address address = Address::kLines;
  WithoutTown withoutTown = WithoutTown::kRefuse;
  Characters characters = Characters::kUtf8;

  bool version09() const { return format == Format::kPain00100109; }
  bool epcCharacters() const { return characters == Characters::kEpc; }
  // "pain.001.001.03" or "pain.001.001.09".
  std::string_view FormatName() const {
    return version09() ? "pain.001.001.09" : "pain.001.001.03";
  }
};

}  // namespace varnex
