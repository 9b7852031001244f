#include "convert/settings.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/code_page.h"
#include "platform/ini_file.h"
#include "platform/platform.h"
#include "util/ascii.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

constexpr std::string_view kFormat03 = "pain.001.001.03";
constexpr std::string_view kFormat09 = "pain.001.001.09";

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return (IsUpper(x) ? x - 'A' + 'a' : x) == (IsUpper(y) ? y - 'A' + 'a' : y);
  });
}

// A ';' after a blank: Windows keeps it in the value, so a comment there would become part
// of a keyword or a directory name.
bool HasTrailingComment(std::string_view rawValue) {
  for (std::size_t i = rawValue.find(';'); i != std::string_view::npos;
       i = rawValue.find(';', i + 1)) {
    if (i > 0 && (rawValue[i - 1] == ' ' || rawValue[i - 1] == '\t')) {
      return true;
    }
  }
  return false;
}

bool IsChoice(std::string_view choices, std::string_view value) {
  while (true) {
    std::size_t bar = choices.find('|');
    if (choices.substr(0, bar) == value) {
      return true;
    }
    if (bar == std::string_view::npos) {
      return false;
    }
    choices.remove_prefix(bar + 1);
  }
}

bool IsPlainNumber(std::string_view value) {
  return !value.empty() && value.size() <= 9 && std::all_of(value.begin(), value.end(), IsDigit);
}

// What is wrong with the value of a key the program reads; empty when nothing.
std::string ValueProblem(const SettingsKey& key, const IniLine& line) {
  if (HasTrailingComment(line.rawValue)) {
    return "a megjegyzés csak külön sorban állhat (sor eleji ;)";
  }
  if (key.kind == SettingsKey::Kind::kSwitch && line.value != "0" && line.value != "1") {
    return "a kapcsoló értéke csak 0 vagy 1 lehet";
  }
  if (key.kind == SettingsKey::Kind::kSeconds && !IsPlainNumber(line.value)) {
    return "az érték csak nemnegatív egész szám (másodperc) lehet";
  }
  // The extension of a file name on every platform the outputs may reach.
  if (key.key == "TrgtExtension" && !line.value.empty() &&
      (line.value.find_first_of("\\/:*?\"<>|") != std::string::npos ||
       std::any_of(line.value.begin(), line.value.end(),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20; }) ||
       line.value.back() == '.' || line.value.back() == ' ')) {
    return "a kiterjesztésben nem állhat \\ / : * ? \" < > | jel vagy vezérlőkarakter, és nem "
           "végződhet ponttal vagy szóközzel (a Windows nem enged ilyen fájlnevet)";
  }
  if (key.kind == SettingsKey::Kind::kChoice && !line.value.empty() &&
      !IsChoice(key.choices, line.value)) {
    std::string listed;
    for (char c : key.choices) {
      listed += c == '|' ? std::string(", ") : std::string(1, c);
    }
    return "az érték csak ezek egyike lehet: " + listed;
  }
  return "";
}

// A pain.001.001.09 document for the EPC carries the service level as the code SEPA only,
// and it must carry one: both the urgent and the normal orders' target must be that. Its
// addresses must have the town in an element of its own since 22 November 2026.
void CheckFormatRules(const Settings& settings, std::vector<SettingsProblem>* problems) {
  if (!settings.sepa.version09()) {
    return;
  }
  if (settings.sepa.address == SepaOptions::Address::kLines) {
    problems->push_back({SettingsProblem::Kind::kInvalid,
                         "[SEPA] Address=lines: pain.001.001.09 formátumban 2026. november 22. "
                         "óta csak hybrid lehet (a település és az ország külön elemben)"});
  }
  auto check = [&](std::string_view section, const std::string& field, const std::string& keyword) {
    if (field != "Cd" || keyword != "SEPA") {
      problems->push_back(
          {SettingsProblem::Kind::kInvalid,
           "[" + std::string(section) + "] TrgtField=" + field + ", TrgtKeyword=" + keyword +
               ": pain.001.001.09 formátumban a szolgáltatási szint csak TrgtField=Cd és "
               "TrgtKeyword=SEPA lehet (a sürgős megbízások InstrPrty=HIGH jelzést kapnak)"});
    }
  };
  check("PrioUrgent", settings.urgentTrgtField, settings.urgentTrgtKeyword);
  check("PrioNormal", settings.normalTrgtField, settings.normalTrgtKeyword);
}

std::vector<SettingsProblem> FindProblems(const IniFile& ini) {
  const std::vector<SettingsKey> known = Settings::KeysRead();
  auto find = [&](std::string_view section, std::string_view key) {
    return std::find_if(known.begin(), known.end(), [&](const SettingsKey& k) {
      return EqualsNoCase(k.section, section) && (key.empty() || EqualsNoCase(k.key, key));
    });
  };
  std::vector<SettingsProblem> problems;
  std::vector<std::string> unknown;
  auto addUnknown = [&](std::string name) {
    if (std::find(unknown.begin(), unknown.end(), name) == unknown.end()) {
      unknown.push_back(std::move(name));
    }
  };
  // Only the first of a section or of a key in it counts: a second one would be read as
  // nothing, without a word.
  std::set<std::string> seen;
  auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
  };
  bool inRepeated = false;  // the keys of a repeated section are not looked at one by one
  for (const IniLine& line : ini.Lines()) {
    const std::string section = "[" + line.section + "]";
    if (line.kind == IniLine::Kind::kKey && inRepeated) {
      continue;
    }
    if (line.kind != IniLine::Kind::kOther) {
      std::string name =
          lower(line.kind == IniLine::Kind::kSection ? section : section + " " + line.key);
      bool repeated = !seen.insert(name).second;
      if (line.kind == IniLine::Kind::kSection) {
        inRepeated = repeated;
      }
      if (repeated) {
        problems.push_back(
            {SettingsProblem::Kind::kInvalid,
             StringPrintf("a(z) %d. sor (%s): %s már szerepelt a fájlban, csak az első érvényes",
                          line.number, line.text.c_str(),
                          line.kind == IniLine::Kind::kSection ? "a szakasz" : "a kulcs")});
        continue;
      }
    }
    if (line.kind == IniLine::Kind::kOther) {
      problems.push_back({SettingsProblem::Kind::kInvalid,
                          StringPrintf("a(z) %d. sor (%s) nem [szakasz], nem kulcs=érték és nem "
                                       "megjegyzés",
                                       line.number, line.text.c_str())});
    } else if (find(line.section, "") == known.end()) {
      // Lines before the first section belong to none: Windows never reads them.
      addUnknown(line.kind == IniLine::Kind::kKey && line.section.empty() ? line.key : section);
    } else if (line.kind == IniLine::Kind::kKey) {
      auto key = find(line.section, line.key);
      if (key == known.end()) {
        addUnknown(section + " " + line.key);
      } else if (std::string why = ValueProblem(*key, line); !why.empty()) {
        problems.push_back(
            {SettingsProblem::Kind::kInvalid, section + " " + line.text + ": " + why});
      } else if (key->key == "TrgtExtension" && line.value.empty()) {
        problems.push_back({SettingsProblem::Kind::kEmptyExtension, ""});
      }
    }
  }
  if (!unknown.empty()) {
    std::string names;
    for (const std::string& name : unknown) {
      names += (names.empty() ? "" : ", ") + name;
    }
    problems.push_back({SettingsProblem::Kind::kUnknown, names});
  }
  return problems;
}

}  // namespace

std::string ResolvePath(const std::string& path, const std::string& programDir) {
  if (path.empty()) {
    return path;
  }
  return UniversalName(AbsolutePath(path, programDir));
}

std::vector<SettingsProblem> Settings::Load(const std::string& iniPathValue,
                                            const std::string& text,
                                            const std::string& programDir) {
  iniPath = iniPathValue;
  utf8_ = IsValidUtf8(text);
  IniFile ini = IniFile::Parse(text);
  Read(ini, programDir, nullptr);
  std::vector<SettingsProblem> problems = FindProblems(ini);
  CheckFormatRules(*this, &problems);
  return problems;
}

std::vector<SettingsKey> Settings::KeysRead() {
  std::vector<SettingsKey> keys;
  Settings().Read(IniFile::Parse(""), "/", &keys);
  return keys;
}

void Settings::Read(const IniFile& ini, const std::string& programDir,
                    std::vector<SettingsKey>* keysRead) {
  auto text = [&](std::string_view section, std::string_view key, std::string_view fallback) {
    if (keysRead != nullptr) {
      keysRead->push_back({section, key, SettingsKey::Kind::kText, ""});
    }
    return ini.GetString(section, key, fallback);
  };
  auto number = [&](std::string_view section, std::string_view key, std::int32_t fallback,
                    SettingsKey::Kind kind) {
    if (keysRead != nullptr) {
      keysRead->push_back({section, key, kind, ""});
    }
    return ini.GetInt(section, key, fallback);
  };
  // A switch reads as 0 or 1; Load reports any other value.
  auto flag = [&](std::string_view section, std::string_view key, std::int32_t fallback) {
    return number(section, key, fallback, SettingsKey::Kind::kSwitch) == 1 ? 1 : 0;
  };
  auto path = [&](std::string_view key) {
    return WithTrailingSeparator(ResolvePath(text("General", key, ""), programDir));
  };
  inputPath = path("InputPath");
  outputPath = path("OutputPath");
  outputPathHua = path("OutputPathHUA");
  outputPathInt = path("OutputPathINT");
  backupPath = path("BackupPath");
  logPath = path("LogPath");
  tmpPath = path("TmpPath");
  convertIntToHua = flag("INT2HUA", "ConvertINTToHUA", 0);
  autofillChargesAccount = flag("INT2HUA", "AutofillChargesAccount", 0);
  bankBic = text("General", "BankBIC", "");
  sepaCountries = text("General", "SEPACountries", "");
  // A missing key gives the default.
  checkTotals = flag("General", "CheckTotals", 1);
  minFileAge = number("General", "MinFileAge", 0, SettingsKey::Kind::kSeconds);
  rejectDuplicates = flag("General", "RejectDuplicates", 1);
  rejectReusedMsgId = flag("General", "RejectReusedMsgId", 1);
  urgentSrcField = text("PrioUrgent", "SrcField", "");
  urgentSrcKeyword = text("PrioUrgent", "SrcKeyword", "");
  urgentTrgtField = text("PrioUrgent", "TrgtField", "");
  urgentTrgtKeyword = text("PrioUrgent", "TrgtKeyword", "");
  urgentTrgtExtension = text("PrioUrgent", "TrgtExtension", "CCU");
  normalTrgtField = text("PrioNormal", "TrgtField", "");
  normalTrgtKeyword = text("PrioNormal", "TrgtKeyword", "");
  xchgSrcField = text("ExchRate", "SrcField", "");
  xchgSrcKeyword = text("ExchRate", "SrcKeyword", "");
  xchgTrgtKeyword = text("ExchRate", "TrgtKeyword", "");
  // A value outside the choices is reported by Load; it reads as the default, as an empty
  // one does.
  auto choice = [&](std::string_view key, std::string_view choices, std::string_view fallback) {
    if (keysRead != nullptr) {
      keysRead->push_back({"SEPA", key, SettingsKey::Kind::kChoice, choices});
    }
    std::string value = ini.GetString("SEPA", key, fallback);
    return value.empty() || !IsChoice(choices, value) ? std::string(fallback) : value;
  };
  sepa.format = choice("Format", "pain.001.001.03|pain.001.001.09", kFormat03) == kFormat09
                    ? SepaOptions::Format::kPain00100109
                    : SepaOptions::Format::kPain00100103;
  const bool v09 = sepa.version09();
  sepa.address = choice("Address", "lines|hybrid", v09 ? "hybrid" : "lines") == "hybrid"
                     ? SepaOptions::Address::kHybrid
                     : SepaOptions::Address::kLines;
  sepa.withoutTown = choice("AddressWithoutTown", "refuse|omit", "refuse") == "omit"
                         ? SepaOptions::WithoutTown::kOmit
                         : SepaOptions::WithoutTown::kRefuse;
  sepa.characters = choice("Characters", "utf8|epc", v09 ? "epc" : "utf8") == "epc"
                        ? SepaOptions::Characters::kEpc
                        : SepaOptions::Characters::kUtf8;
}

void Settings::ToRecordCodePage(const CodePages& codePages) {
  CodePage from = utf8_ ? CodePage::kUtf8 : CodePage::k1250;
  for (std::string* text : {&bankBic, &urgentSrcKeyword, &urgentTrgtKeyword, &normalTrgtKeyword,
                            &xchgSrcKeyword, &xchgTrgtKeyword}) {
    *text = codePages.Recode(*text, from, CodePage::k852);
  }
}

}  // namespace varnex
