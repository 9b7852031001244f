#include "convert/postal_address.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace varnex {
namespace {

const CodePages& Pages() {
  static const CodePages pages = *CodePages::Open();
  return pages;
}

std::string Utf8(std::string_view cp852) {
  return Pages().Recode(cp852, CodePage::k852, CodePage::kUtf8);
}

// "country|postcode|town|line|line" in UTF-8, or "none".
std::string Dump(const std::optional<HybridAddress>& address) {
  if (!address) {
    return "none";
  }
  return Utf8(address->country) + "|" + Utf8(address->postcode) + "|" + Utf8(address->town) + "|" +
         Utf8(address->lines[0]) + "|" + Utf8(address->lines[1]);
}

bool Inside(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

struct TownRow {
  std::string_view country;
  std::string_view line1;  // UTF-8, passed in CP852
  std::string_view line2;
  std::string_view expected;
};

TEST(PostalAddressTest, FindsOnlyCertainTowns) {
  const TownRow rows[] = {
      // The postcode and town of every country.
      {"AT", "1010 Wien", "", "AT|1010|Wien||"},
      {"BE", "1000 Bruxelles", "", "BE|1000|Bruxelles||"},
      {"BG", "1000 Sofia", "", "BG|1000|Sofia||"},
      {"CH", "8001 Zürich", "", "CH|8001|Zürich||"},
      {"CY", "1010 Nicosia", "", "CY|1010|Nicosia||"},
      {"CZ", "602 00 Brno", "", "CZ|602 00|Brno||"},
      {"DE", "10115 Berlin", "", "DE|10115|Berlin||"},
      {"DK", "8000 Aarhus C", "", "DK|8000|Aarhus C||"},
      {"EE", "10111 Tallinn", "", "EE|10111|Tallinn||"},
      {"ES", "28001 Madrid", "", "ES|28001|Madrid||"},
      {"FI", "00100 Helsinki", "", "FI|00100|Helsinki||"},
      {"FR", "75001 Paris", "", "FR|75001|Paris||"},
      {"GB", "London SW1A 2AA", "", "GB|SW1A 2AA|London||"},
      {"GR", "105 57 Athina", "", "GR|105 57|Athina||"},
      {"HR", "10000 Zagreb", "", "HR|10000|Zagreb||"},
      {"HU", "1051 Budapest", "", "HU|1051|Budapest||"},
      {"IE", "Dublin D02 X285", "", "IE|D02 X285|Dublin||"},
      {"IS", "101 Reykjavík", "", "IS|101|Reykjavík||"},
      {"IT", "00184 Roma", "", "IT|00184|Roma||"},
      {"LI", "9490 Vaduz", "", "LI|9490|Vaduz||"},
      {"LT", "LT-01103 Vilnius", "", "LT|LT-01103|Vilnius||"},
      {"LT", "01103 Vilnius", "", "LT|01103|Vilnius||"},
      {"LU", "1111 Luxembourg", "", "LU|1111|Luxembourg||"},
      {"LV", "LV-1010 Riga", "", "LV|LV-1010|Riga||"},
      {"MC", "98000 Monaco", "", "MC|98000|Monaco||"},
      {"MT", "Valletta VLT 1117", "", "MT|VLT 1117|Valletta||"},
      {"NL", "1012 LG Amsterdam", "", "NL|1012 LG|Amsterdam||"},
      {"NL", "1012LG Amsterdam", "", "NL|1012LG|Amsterdam||"},
      {"NO", "0150 Oslo", "", "NO|0150|Oslo||"},
      {"PL", "00-624 Warszawa", "", "PL|00-624|Warszawa||"},
      {"PT", "1100-053 Lisboa", "", "PT|1100-053|Lisboa||"},
      {"RO", "010011 Bucuresti", "", "RO|010011|Bucuresti||"},
      {"SE", "111 51 Stockholm", "", "SE|111 51|Stockholm||"},
      {"SI", "1000 Ljubljana", "", "SI|1000|Ljubljana||"},
      {"SK", "81101 Bratislava", "", "SK|81101|Bratislava||"},
      {"SM", "47890 San Marino", "", "SM|47890|San Marino||"},
      {"VA", "00120 Citta del Vaticano", "", "VA|00120|Citta del Vaticano||"},
      {"AD", "AD500 Andorra la Vella", "", "AD|AD500|Andorra la Vella||"},
      {"GI", "Gibraltar GX11 1AA", "", "GI|GX11 1AA|Gibraltar||"},
      {"JE", "St Helier JE2 3AB", "", "JE|JE2 3AB|St Helier||"},
      {"GG", "St. Peter Port GY1 1AA", "", "GG|GY1 1AA|St. Peter Port||"},
      {"IM", "Douglas IM1 1AA", "", "IM|IM1 1AA|Douglas||"},
      {"CH", "9000 St. Gallen", "", "CH|9000|St. Gallen||"},
      // Prefixes name the country; PstCd leaves them out but for LV and LT.
      {"", "D-10115 Berlin", "", "DE|10115|Berlin||"},
      {"", "A-1010 Wien", "", "AT|1010|Wien||"},
      {"", "H-1051 Budapest", "", "HU|1051|Budapest||"},
      {"", "CH-8001 Zürich", "", "CH|8001|Zürich||"},
      {"", "FIN-00100 Helsinki", "", "FI|00100|Helsinki||"},
      {"", "S-111 51 Stockholm", "", "SE|111 51|Stockholm||"},
      {"", "NL-1012 LG Amsterdam", "", "NL|1012 LG|Amsterdam||"},
      {"", "PL-00-624 Warszawa", "", "PL|00-624|Warszawa||"},
      {"", "LV-1010 Riga", "", "LV|LV-1010|Riga||"},
      {"", "I-00184 Roma", "", "IT|00184|Roma||"},
      {"", "N-0150 Oslo", "", "NO|0150|Oslo||"},
      {"", "L-1111 Luxembourg", "", "LU|1111|Luxembourg||"},
      {"DE", "DE-10115 Berlin", "", "DE|10115|Berlin||"},
      {"AT", "D-10115 Berlin", "", "none"},
      {"HU", "Budapest", "D-10115 Berlin", "none"},
      {"", "X-10115 Berlin", "", "none"},
      // The piece with the town, and what stays of its line.
      {"HU", "1051 Budapest, Nádor u. 5.", "", "HU|1051|Budapest|Nádor u. 5.|"},
      {"DE", "Hauptstraße 5, 10115 Berlin", "", "DE|10115|Berlin|Hauptstraße 5|"},
      {"HU", "Nádor u. 5.", "1051 Budapest", "HU|1051|Budapest|Nádor u. 5.|"},
      {"HU", "1051 Budapest", "Nádor u. 5.", "HU|1051|Budapest|Nádor u. 5.|"},
      {"HU", "1051 Budapest - Nádor u. 5.", "2. em.", "HU|1051|Budapest|Nádor u. 5.|2. em."},
      {"FR", "12, rue de Rivoli ; 75001 Paris", "", "FR|75001|Paris|12, rue de Rivoli|"},
      {"GB", "10 Downing Street, London SW1A 2AA", "", "GB|SW1A 2AA|London|10 Downing Street|"},
      {"DE", "Hauptstraße 5 10115 Berlin", "", "none"},
      {"GB", "Baker St London NW1 6XE", "", "none"},
      {"HU", "1051 Budapest, 1052 Budapest", "", "none"},
      {"HU", "1051 Budapest", "1061 Budapest", "none"},
      // Town text: Roman district numerals stay, digits and street words refuse it.
      {"HU", "1051 Budapest V., Nádor u. 5.", "", "HU|1051|Budapest V.|Nádor u. 5.|"},
      {"HU", "1051 Budapest 5", "", "none"},
      {"HU", "1051 Budapest Nádor utca", "", "none"},
      {"DE", "10115 Berlin Chausseestr.", "", "none"},
      {"FR", "75008 Paris Cedex", "", "none"},
      {"CZ", "110 00 Praha 1", "", "none"},
      {"IE", "Dublin 2 D02 X285", "", "none"},
      {"DE", "61348 Bad Homburg vor der Höhe", "", "none"},
      {"NL", "1012 Amsterdam", "", "none"},
      // A line that is a town by itself beside a street and number.
      {"HU", "Budapest", "Váci út 12.", "HU||Budapest|Váci út 12.|"},
      {"DE", "Berlin", "Hauptstraße 5", "DE||Berlin|Hauptstraße 5|"},
      {"FR", "Paris", "", "FR||Paris||"},
      {"HU", "", " Debrecen ", "HU||Debrecen||"},
      {"HU", "Váci út 12.", "Budapest", "HU||Budapest|Váci út 12.|"},
      {"HU", "Budapest V.", "Nádor u. 5.", "HU||Budapest V.|Nádor u. 5.|"},
      {"DE", "Frankfurt am Main", "Zeil 10", "DE||Frankfurt am Main|Zeil 10|"},
      {"HU", "Budapest", "Debrecen", "none"},
      {"", "Budapest", "Váci út 12.", "none"},
      {"hu", "Budapest", "Váci út 12.", "none"},
      {"DE", "Hauptstraße", "Postfach 12", "none"},
      {"DE", "Kaiser-Wilhelm-Ring", "", "none"},
      {"HU", "Fő utca", "12", "none"},
      {"DE", "Muster GmbH", "Hauptstraße 5", "none"},
      {"HU", "Váci út 12.", "Magyarország", "none"},
      {"DE", "Hauptstraße 5", "Deutschland", "none"},
      {"GB", "12 High Street", "UK", "none"},
      {"HU", "c/o Kovács", "Váci út 12.", "none"},
      {"HU", "Budapest 5", "Nádor u. 5.", "none"},
      {"HU", "KOSSUTH TÉR", "12", "none"},
      {"HU", "Fő u. 1.", "MAGYARORSZÁG", "none"},
      {"HU", "SZÉKESFEHÉRVÁR", "FŐ U. 1.", "HU||SZÉKESFEHÉRVÁR|FŐ U. 1.|"},
      // Post boxes, floors, rooms, references and numbers of the wrong form.
      {"GB", "Building 5", "", "none"},
      {"HU", "3. emelet 12. ajtó", "", "none"},
      {"GB", "Floor 2", "", "none"},
      {"AT", "Postfach 1234", "", "none"},
      {"DE", "Postfach 1234", "", "none"},
      {"GB", "PO Box 123", "", "none"},
      {"DE", "Pf. 12", "", "none"},
      {"FR", "BP 123", "", "none"},
      {"GB", "Apt 4B", "", "none"},
      {"GB", "Room 101", "", "none"},
      {"HU", "Invoice 2026/117", "", "none"},
      {"HU", "Számla 12345 Ref", "", "none"},
      {"DE", "1011 Berlin", "", "none"},
      {"DE", "101150 Berlin", "", "none"},
      {"HU", "1051A Budapest", "", "none"},
      {"HU", "10115 Berlin", "", "none"},
      {"HU", "2026", "", "none"},
      {"HU", "1051", "", "none"},
      {"IE", "Dublin 2", "", "none"},
      {"", "1051 Budapest", "", "none"},
  };
  for (const TownRow& row : rows) {
    const std::string line1 = Pages().Recode(row.line1, CodePage::kUtf8, CodePage::k852);
    const std::string line2 = Pages().Recode(row.line2, CodePage::kUtf8, CodePage::k852);
    std::optional<HybridAddress> address = FindTown(row.country, line1, line2);
    EXPECT_EQ(Dump(address), row.expected) << row.line1 << " / " << row.line2;
    if (address) {
      for (std::string_view part :
           {address->postcode, address->town, address->lines[0], address->lines[1]}) {
        EXPECT_TRUE(part.empty() || Inside(part, line1) || Inside(part, line2))
            << row.line1 << ": " << part;
      }
    }
  }
}

}  // namespace
}  // namespace varnex
