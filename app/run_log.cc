#include "app/run_log.h"

#include <cstdarg>

#include "platform/code_page.h"
#include "platform/platform.h"
#include "util/string_printf.h"

namespace varnex {

RunLog::RunLog(FileSystem& fs, Clock& clock, Console& console)
    : fs_(fs), clock_(clock), console_(console) {}

RunLog::~RunLog() = default;

void RunLog::Printf(const char* format, ...) {
  std::string text;
  va_list args;
  va_start(args, format);
  StringAppendV(&text, format, args);
  va_end(args);
  Write(text);
}

void RunLog::Write(std::string_view text) {
  if (muted_) {
    return;
  }
  LocalTime now = clock_.Now();
  // The file name and the prefix change at most once a second.
  bool newSecond = false;
  if (now.year != stampTime_.year || now.month != stampTime_.month || now.day != stampTime_.day ||
      now.hour != stampTime_.hour || now.minute != stampTime_.minute ||
      now.second != stampTime_.second || !stampValid_ || dir_ != stampDir_) {
    auto u = [](int v) { return static_cast<unsigned>(v); };
    path_ = dir_;
    StringAppendF(&path_, "%4.4u%2.2u%2.2u.log", u(now.year), u(now.month), u(now.day));
    prefix_ = StringPrintf("%4.4u.%2.2u.%2.2u. %2.2u:%2.2u:%2.2u ", u(now.year), u(now.month),
                           u(now.day), u(now.hour), u(now.minute), u(now.second));
    stampTime_ = now;
    stampDir_ = dir_;
    stampValid_ = true;
    newSecond = true;
  }

  line_.assign(prefix_).append(text);
  std::string_view fileText = line_;
  if (codePages_ != nullptr && !IsAscii(text)) {
    recoded_.clear();
    codePages_->AppendRecoded(line_, CodePage::kUtf8, CodePage::k1250, &recoded_);
    fileText = recoded_;
  }
  fileBytes_.clear();
  for (char c : fileText) {
    if (c == '\n') {
      fileBytes_.push_back('\r');
    }
    fileBytes_.push_back(c);
  }
  bool written = WriteFile(newSecond);
  console_.Write(written ? std::string_view(line_) : text);
}

bool RunLog::WriteFile(bool checkName) {
  if (file_ != nullptr && (openPath_ != path_ || (checkName && !file_->StillNamed(path_)))) {
    file_.reset();
  }
  if (file_ == nullptr) {
    Open();
    if (file_ == nullptr) {
      return false;
    }
  }
  if (file_->Append(fileBytes_)) {
    return true;
  }
  // A failed write into a file that still has its name (a full disk) loses this message;
  // a file that lost its name is made anew.
  if (file_->StillNamed(path_)) {
    return false;
  }
  file_.reset();
  Open();
  return file_ != nullptr && file_->Append(fileBytes_);
}

void RunLog::Open() {
  openPath_ = path_;
  file_ = fs_.OpenAppend(path_, nullptr);
  // The directory is made once it turns out to be missing, one level only.
  if (file_ == nullptr && !dir_.empty() && fs_.MakeDir(dir_)) {
    file_ = fs_.OpenAppend(path_, nullptr);
  }
}

}  // namespace varnex
