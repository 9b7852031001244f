#include "app/command_line.h"

#include <string_view>

namespace varnex {

Command CommandOf(int argc, const char* const* argv) {
  if (argc < 2 || argv[1] == nullptr) {
    return Command::kConvert;
  }
  std::string_view arg = argv[1];
  if (arg == "--help" || arg == "-h") {
    return Command::kHelp;
  }
  if (arg == "--version") {
    return Command::kVersion;
  }
  if (arg == "--check") {
    return Command::kCheck;
  }
  if (arg == "-check" || arg == "/check") {
    return Command::kMistypedCheck;
  }
  return Command::kConvert;
}

std::string UsageText() {
  return "Használat:\n"
         "  varnex -c                 az input könyvtár (InputPath) összes INT, majd HUA\n"
         "                            fájljának konvertálása\n"
         "  varnex                    a konvertálandó fájlok kiválasztása kézzel\n"
         "  varnex --check [FÁJL...]  próbafuttatás: megmutatja, mi történne a fájlokkal\n"
         "                            (FÁJL nélkül az input könyvtár fájljaival); semmit nem\n"
         "                            ír, nem mozgat és nem naplóz\n"
         "  varnex --help, -h         ez a leírás\n"
         "  varnex --version          a program verziója\n"
         "\n"
         "Beállítások: a varnex.ini fájl a program könyvtárában.\n"
         "Kilépési kódok: 0 – rendben; 1 – az indítás nem sikerült (vagy hibás\n"
         "argumentum); 2 – legalább egy fájl nem lett (--check: nem lenne) konvertálva.\n";
}

std::string VersionText() {
  return std::string("varnex ") + VARNEX_VERSION + "\n";
}

}  // namespace varnex
