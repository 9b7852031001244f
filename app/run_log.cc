#include "app/run_log.h"

#include <cstdarg>

#include "platform/code_page.h"
#include "platform/platform.h"
#include "util/string_printf.h"

namespace varnex {

RunLog::RunLog(FileSystem& fs, Clock& clock, Console& console)
    : fs_(fs), clock_(clock), console_(console) {}

void RunLog::Printf(const char* format, ...) {
  std::string text;
  va_list args;
  va_start(args, format);
  StringAppendV(&text, format, args);
  va_end(args);
  Write(text);
}

void RunLog::Write(std::string_view text) {
  LocalTime now = clock_.Now();
  auto u = [](int v) { return static_cast<unsigned>(v); };
  std::string path = dir_;
  StringAppendF(&path, "%4.4u%2.2u%2.2u.log", u(now.year), u(now.month), u(now.day));
  std::string prefix = StringPrintf("%4.4u.%2.2u.%2.2u. %2.2u:%2.2u:%2.2u ", u(now.year),
                                    u(now.month), u(now.day), u(now.hour), u(now.minute),
                                    u(now.second));

  std::string line = prefix;
  line.append(text);
  std::string fileBytes;
  fileBytes.reserve(line.size() + 8);
  std::string cp1250 =
      codePages_ != nullptr ? codePages_->Recode(line, CodePage::kUtf8, CodePage::k1250) : line;
  for (char c : cp1250) {
    if (c == '\n') {
      fileBytes.push_back('\r');
    }
    fileBytes.push_back(c);
  }
  // The directory is made once it turns out to be missing, one level only.
  bool written = fs_.AppendLocked(path, fileBytes);
  if (!written && !dir_.empty() && fs_.MakeDir(dir_)) {
    written = fs_.AppendLocked(path, fileBytes);
  }
  console_.Write(written ? std::string_view(line) : text);
}

}  // namespace varnex
