#include "app/settings.h"

#include <filesystem>

#include "platform/code_page.h"
#include "platform/ini_file.h"
#include "platform/platform.h"

namespace varnex {

std::string ResolvePath(const std::string& path, const std::string& programDir) {
  if (path.empty()) {
    return path;
  }
  std::filesystem::path p(path);
  if (p.is_relative()) {
    p = std::filesystem::path(programDir) / p;
  }
  std::string resolved = p.lexically_normal().string();
  // lexically_normal keeps a trailing separator as an empty last element; keep one only.
  while (resolved.size() > 1 && resolved.back() == kDirSeparator &&
         resolved[resolved.size() - 2] == kDirSeparator) {
    resolved.pop_back();
  }
  return UniversalName(resolved);
}

void Settings::Load(const std::string& iniPathValue, const std::string& text,
                    const std::string& programDir) {
  iniPath = iniPathValue;
  utf8_ = IsValidUtf8(text);
  Read(IniFile::Parse(text), programDir, nullptr);
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
      keysRead->push_back({section, key});
    }
    return ini.GetString(section, key, fallback);
  };
  auto number = [&](std::string_view section, std::string_view key, std::int32_t fallback) {
    if (keysRead != nullptr) {
      keysRead->push_back({section, key});
    }
    return ini.GetInt(section, key, fallback);
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
  convertIntToHua = number("INT2HUA", "ConvertINTToHUA", 0);
  autofillChargesAccount = number("INT2HUA", "AutofillChargesAccount", 0);
  bankBic = text("General", "BankBIC", "");
  sepaCountries = text("General", "SEPACountries", "");
  // A switch is on only when its value reads as 1; a missing key gives the default.
  checkTotals = number("General", "CheckTotals", 1) == 1 ? 1 : 0;
  minFileAge = number("General", "MinFileAge", 0);
  rejectDuplicates = number("General", "RejectDuplicates", 1) == 1 ? 1 : 0;
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
}

void Settings::ToRecordCodePage(const CodePages& codePages) {
  CodePage from = utf8_ ? CodePage::kUtf8 : CodePage::k1250;
  for (std::string* text : {&bankBic, &urgentSrcKeyword, &urgentTrgtKeyword, &normalTrgtKeyword,
                            &xchgSrcKeyword, &xchgTrgtKeyword}) {
    *text = codePages.Recode(*text, from, CodePage::k852);
  }
}

}  // namespace varnex
