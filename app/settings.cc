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
  return resolved;
}

void Settings::Load(const std::string& iniPathValue, const std::string& text,
                    const std::string& programDir) {
  iniPath = iniPathValue;
  utf8_ = IsValidUtf8(text);
  IniFile ini = IniFile::Parse(text);
  auto path = [&](std::string_view key) {
    return WithTrailingSeparator(ResolvePath(ini.GetString("General", key, ""), programDir));
  };
  inputPath = path("InputPath");
  outputPath = path("OutputPath");
  outputPathHua = path("OutputPathHUA");
  outputPathInt = path("OutputPathINT");
  backupPath = path("BackupPath");
  logPath = path("LogPath");
  tmpPath = path("TmpPath");
  convertIntToHua = ini.GetInt("INT2HUA", "ConvertINTToHUA", 0);
  autofillChargesAccount = ini.GetInt("INT2HUA", "AutofillChargesAccount", 0);
  bankBic = ini.GetString("General", "BankBIC", "");
  sepaCountries = ini.GetString("General", "SEPACountries", "");
  // A switch is on only when its value reads as 1; a missing key gives the default.
  checkTotals = ini.GetInt("General", "CheckTotals", 1) == 1 ? 1 : 0;
  minFileAge = ini.GetInt("General", "MinFileAge", 0);
  rejectDuplicates = ini.GetInt("General", "RejectDuplicates", 1) == 1 ? 1 : 0;
  urgentSrcField = ini.GetString("PrioUrgent", "SrcField", "");
  urgentSrcKeyword = ini.GetString("PrioUrgent", "SrcKeyword", "");
  urgentTrgtField = ini.GetString("PrioUrgent", "TrgtField", "");
  urgentTrgtKeyword = ini.GetString("PrioUrgent", "TrgtKeyword", "");
  urgentTrgtExtension = ini.GetString("PrioUrgent", "TrgtExtension", "CCU");
  normalTrgtField = ini.GetString("PrioNormal", "TrgtField", "");
  normalTrgtKeyword = ini.GetString("PrioNormal", "TrgtKeyword", "");
  xchgSrcField = ini.GetString("ExchRate", "SrcField", "");
  xchgSrcKeyword = ini.GetString("ExchRate", "SrcKeyword", "");
  xchgTrgtKeyword = ini.GetString("ExchRate", "TrgtKeyword", "");
}

void Settings::ToRecordCodePage(const CodePages& codePages) {
  CodePage from = utf8_ ? CodePage::kUtf8 : CodePage::k1250;
  for (std::string* text : {&bankBic, &urgentSrcKeyword, &urgentTrgtKeyword, &normalTrgtKeyword,
                            &xchgSrcKeyword, &xchgTrgtKeyword}) {
    *text = codePages.Recode(*text, from, CodePage::k852);
  }
}

}  // namespace varnex
