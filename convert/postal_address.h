// The town, postcode and country of a party, found in its free address lines, for the hybrid
// postal address (TwnNm, PstCd, Ctry and at most two AdrLine) of the ISO 20022 documents.
//
// A wrong town is worse than none, so a town is taken only from these forms (lines in CP852,
// trimmed of blanks; "piece": a line's text before its first or after its last separator,
// a separator being ',' ';' or " - "):
//   postcode  := [prefix] form of the country (table in the .cc), then a blank or the end;
//                five digits DE FR IT ES FI HR EE, four AT BE BG CH CY DK HU LU NO SI,
//                94dd LI, "1012 LG" NL, "00-624" PL, "1100-053" PT, "111 51" SE CZ SK GR,
//                six digits RO, three IS, "LV-1010"/"1010" LV, "LT-01103"/"01103" LT, 980dd
//                MC, 4789d SM, 00120 VA, "AD500" AD; after the town: the GB outward and
//                inward codes "SW1A 2AA" (outward JE.., GY.., IM.. for JE GG IM, "GX11 1AA"
//                GI), "VLT 1117" MT and the Eircode "D02 X285" IE (a district number, as
//                in "Dublin 2", is none). The blank shown inside a form may be left out.
//   prefix    := "D-", "A-", "CH-", "FIN-", ...: an ISO or car-sign code and '-', directly
//                before the postcode. It names the country: with an empty party country it
//                gives Ctry, with another party country there is no town at all. PstCd
//                leaves it out, but for LV and LT, whose national form holds it.
//   piece     := postcode blank town            (the countries writing the postcode first)
//              | town blank postcode            (GB JE GG IM GI MT IE)
//   line      := piece [sep rest] | rest sep piece ("1051 Budapest, Nádor u. 5.",
//                "Hauptstraße 5, 10115 Berlin"); nothing but the piece may stand before the
//                postcode unless a separator parts it off.
//   town      := 1-3 words, at most 35 characters, beginning with a letter, of letters
//                (bytes >= 0x80 included), blanks and - . ' ( ); no digit, so "Budapest 5",
//                "Praha 1" or "Dublin 2" is none; a Roman district numeral is letters and
//                stays part of the town ("Budapest V."); no word (split at blanks, '-' and
//                brackets, dots ignored, any case) of the street, building, floor, post-box
//                and firm vocabulary ("utca", "u.", "Straße", "...str.", "rue", "Postfach",
//                "BP", "emelet", "Kft.", "GmbH", "Cedex", ...), nor "St"/"St." but as the
//                first of several words, a saint ("St. Gallen"; "Baker St London" is none).
//   bare town := with a party country and no postcode piece in either line: a line that is
//                a town by itself, not a country's name nor an all-capital word of up to
//                three letters ("UK"), while the other line is empty or holds a digit (a
//                street and number). So two such lines are no town. It gives no PstCd.
// Only the party's own country's forms, or the prefix's, are tried; with neither there is no
// town. More than one postcode piece in the lines is no town either, nor is a party country
// that is not two capital letters.
//
// The rest of the lines stays as AdrLine, in order: the line holding the town loses the
// piece and the separators next to it, a line left empty disappears.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace varnex {

struct HybridAddress {
  std::string_view country;   // 2 letters to write as Ctry
  std::string_view postcode;  // empty when the lines give none
  std::string_view town;
  std::array<std::string_view, 2> lines{};  // the rest, in order; unused entries empty
};

// The town, postcode and remaining lines of a party's free address lines; nullopt when no
// town is certain. `country` is the party's country code (may be empty; otherwise two
// capital letters, anything else gives nullopt). The results view the arguments, or a
// static literal for a country named by a prefix.
std::optional<HybridAddress> FindTown(std::string_view country, std::string_view line1,
                                      std::string_view line2);

}  // namespace varnex
