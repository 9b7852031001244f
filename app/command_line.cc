#include "app/command_line.h"

namespace varnex {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  bool check = false;
  bool inputDirectory = false;
  bool version = false;
  bool resubmit = false;
  bool understood = true;
  std::vector<std::string> files;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    bool* option = arg == "--check"             ? &check
                   : arg == "-c" || arg == "/c" ? &inputDirectory
                   : arg == "--version"         ? &version
                   : arg == "--resubmit"        ? &resubmit
                                                : nullptr;
    if (arg == "--help" || arg == "-h") {
      return {Command::kHelp, RunMode::kManualSelection, {}};
    } else if (option != nullptr) {
      understood = understood && !*option;  // twice is a slip, like any other
      *option = true;
    } else if (arg.empty() || arg.starts_with("-") || arg == "/check") {
      understood = false;  // `/check` is the easy slip of `--check`, not a path
    } else {
      files.push_back(arg);
    }
  }
  if (!understood || (version && arguments.size() != 2) || (inputDirectory && !files.empty()) ||
      (resubmit && (files.empty() || check || inputDirectory))) {
    return {Command::kUsageError, RunMode::kManualSelection, {}};
  }
  if (version) {
    return {Command::kVersion, RunMode::kManualSelection, {}};
  }
  bool scan = inputDirectory || (check && files.empty());
  return {check ? Command::kCheck : Command::kConvert,
          scan ? RunMode::kInputDirectory : RunMode::kManualSelection, std::move(files), resubmit};
}

std::string UsageText() {
  return "Használat:\n"
         "  varnex -c                 az input könyvtár (InputPath) összes INT, majd HUA\n"
         "                            fájljának konvertálása\n"
         "  varnex                    a konvertálandó fájlok kiválasztása kézzel\n"
         "  varnex FÁJL...            a megadott HUA és INT fájlok konvertálása (mintha\n"
         "                            kézzel választotta volna ki őket)\n"
         "  varnex --resubmit FÁJL...  a megadott fájlok szándékos újraküldése: nincs\n"
         "                            másolat-ellenőrzés, a dokumentumok új üzenet-\n"
         "                            azonosítót kapnak (a backup fájlt előbb másolja\n"
         "                            az input könyvtárba)\n"
         "  varnex --check [FÁJL|KÖNYVTÁR...]\n"
         "                            próbafuttatás: megmutatja, mi történne a fájlokkal\n"
         "                            (könyvtár: annak HUA és INT fájljai; argumentum\n"
         "                            nélkül, vagy -c mellett, az input könyvtár fájljai);\n"
         "                            semmit nem ír, nem mozgat és nem naplóz\n"
         "  varnex --help, -h         ez a leírás\n"
         "  varnex --version          a program verziója\n"
         "\n"
         "Beállítások: a varnex.ini fájl a program könyvtárában.\n"
         "Minden argumentumnak értelmesnek kell lennie, különben ez a leírás jelenik meg.\n"
         "Kilépési kódok: 0 – rendben; 1 – az indítás nem sikerült, hibás beállítás\n"
         "vagy hibás argumentum; 2 – legalább egy fájl nem lett (--check: nem lenne)\n"
         "konvertálva; 3 – minden fájl rendben, de a napló nem volt írható.\n"
         "Részletek: man varnex\n";
}

std::string VersionText() {
  return std::string("varnex ") + VARNEX_VERSION + "\n";
}

}  // namespace varnex
