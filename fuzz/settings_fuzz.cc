// Reads arbitrary bytes as varnex.ini and brings the texts into the records' code page,
// checking that every directory setting comes out empty or absolute with exactly one
// trailing separator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"

#include "convert/settings.h"
#include "platform/platform.h"

namespace varnex {
namespace {

constexpr std::string_view kProgramDir = "/opt/varnex/";

std::size_t Touch(std::string_view text) {
  std::size_t sum = 0;
  for (char c : text) {
    sum = sum * 31 + static_cast<unsigned char>(c);
  }
  return sum;
}

void CheckDirectory(const std::string& dir) {
  if (dir.empty()) {
    return;
  }
  Check(dir.front() == kDirSeparator, "a directory setting is not absolute");
  Check(dir.back() == kDirSeparator, "a directory setting does not end in a separator");
  Check(dir.size() == 1 || dir[dir.size() - 2] != kDirSeparator,
        "a directory setting ends in two separators");
}

std::size_t LoadAndWalk(std::string_view bytes) {
  Settings settings;
  settings.Load("/opt/varnex/varnex.ini", std::string(bytes), std::string(kProgramDir));
  std::size_t sum = 0;
  for (const std::string* dir :
       {&settings.inputPath, &settings.outputPath, &settings.outputPathHua, &settings.outputPathInt,
        &settings.backupPath, &settings.logPath, &settings.tmpPath}) {
    CheckDirectory(*dir);
    sum += Touch(*dir);
  }
  settings.ToRecordCodePage(FuzzCodePages());
  for (const std::string* text :
       {&settings.bankBic, &settings.sepaCountries, &settings.urgentSrcField,
        &settings.urgentSrcKeyword, &settings.urgentTrgtField, &settings.urgentTrgtKeyword,
        &settings.urgentTrgtExtension, &settings.normalTrgtField, &settings.normalTrgtKeyword,
        &settings.xchgSrcField, &settings.xchgSrcKeyword, &settings.xchgTrgtKeyword}) {
    sum += Touch(*text);
  }
  sum += static_cast<std::size_t>(settings.convertIntToHua) +
         static_cast<std::size_t>(settings.autofillChargesAccount);
  return sum;
}

volatile std::size_t sink;

}  // namespace
}  // namespace varnex

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  varnex::sink = varnex::sink + varnex::LoadAndWalk(bytes);
  return 0;
}
