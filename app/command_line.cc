#include "app/command_line.h"

#include <string_view>

namespace varnex {

Command CommandOf(int argc, const char* const* argv) {
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      return Command::kHelp;
    }
  }
  if (argc < 2 || argv[1] == nullptr) {
    return Command::kConvert;
  }
  std::string_view arg = argv[1];
  if (arg == "--version") {
    return Command::kVersion;
  }
  if (arg == "--check") {
    // The files to check; a mistyped option among them is no file name.
    for (int i = 2; i < argc && argv[i] != nullptr; ++i) {
      if (std::string_view(argv[i]).starts_with("--")) {
        return Command::kUnknownOption;
      }
    }
    return Command::kCheck;
  }
  if (arg == "-check" || arg == "/check") {
    return Command::kMistypedCheck;
  }
  if (arg.starts_with("--")) {
    return Command::kUnknownOption;
  }
  return Command::kConvert;
}

std::string UsageText() {
  return "Használat:\n"
         "  varnex -c                 az input könyvtár (InputPath) összes INT, majd HUA\n"
         "                            fájljának konvertálása\n"
         "  varnex                    a konvertálandó fájlok kiválasztása kézzel\n"
         "  varnex --check [FÁJL|KÖNYVTÁR...]\n"
         "                            próbafuttatás: megmutatja, mi történne a fájlokkal\n"
         "                            (könyvtár: annak HUA és INT fájljai; argumentum\n"
         "                            nélkül az input könyvtár fájljai); semmit nem ír,\n"
         "                            nem mozgat és nem naplóz\n"
         "  varnex --help, -h         ez a leírás\n"
         "  varnex --version          a program verziója\n"
         "\n"
         "Beállítások: a varnex.ini fájl a program könyvtárában.\n"
         "Kilépési kódok: 0 – rendben; 1 – az indítás nem sikerült (vagy hibás\n"
         "argumentum); 2 – legalább egy fájl nem lett (--check: nem lenne) konvertálva;\n"
         "3 – minden fájl rendben, de a napló nem volt írható.\n"
         "Részletek: man varnex\n";
}

std::string VersionText() {
  return std::string("varnex ") + VARNEX_VERSION + "\n";
}

}  // namespace varnex
