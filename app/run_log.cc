#include "app/run_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"
#include "platform/platform.h"
#include "util/string_printf.h"
#include "util/visible_text.h"

namespace varnex {
namespace {

bool IsAsciiByte(char c) {
  return static_cast<unsigned char>(c) < 0x80;
}

// The index of the first byte of `text` at or after `from` that is no ASCII byte; the size of
// `text` when there is none. Log lines are mostly ASCII, so eight bytes are tested at a time.
std::size_t FindNonAscii(std::string_view text, std::size_t from) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if ((word & kHighBits) != 0) {
      break;
    }
  }
  while (i < text.size() && IsAsciiByte(text[i])) {
    ++i;
  }
  return i;
}

// Appends UTF-8 `text` in CP1250. Runs of ASCII, which every code page shares, are copied;
// only the runs between them are recoded. A UTF-8 character never holds an ASCII byte, so the
// result is that of recoding the whole text.
void AppendCp1250(std::string_view text, const CodePages& codePages, std::string* out) {
  std::size_t next = 0;
  while (next < text.size()) {
    std::size_t other = FindNonAscii(text, next);
    out->append(text.substr(next, other - next));
    next = other;
    while (next < text.size() && !IsAsciiByte(text[next])) {
      ++next;
    }
    if (next != other) {
      codePages.AppendRecoded(text.substr(other, next - other), CodePage::kUtf8, CodePage::k1250,
                              out);
    }
  }
}

// Appends `text` with CR LF for every LF.
void AppendCrLf(std::string_view text, std::string* out) {
  for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n')) {
    out->append(text.substr(0, lf)).append("\r\n");
    text.remove_prefix(lf + 1);
  }
  out->append(text);
}

}  // namespace

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

  // One message is one line (or ends in its own blank lines): control characters that input
  // text brings into it are made visible.
  text = OneLogMessage(text, &visible_);
  line_.assign(prefix_).append(text);
  std::string_view fileText = line_;
  if (codePages_ != nullptr && !IsAscii(text)) {
    recoded_.clear();
    AppendCp1250(line_, *codePages_, &recoded_);
    fileText = recoded_;
  }
  fileBytes_.clear();
  AppendCrLf(fileText, &fileBytes_);
  if (consoleOnly_) {
    console_.Write(line_);
    return;
  }
  bool written = WriteFile(newSecond);
  if (!written && !failed_) {
    failed_ = true;
    if (errors_ != nullptr) {
      *errors_ << "Hiba: a napló nem írható: " << path_ << " ("
               << (failReason_.empty() ? "az írás nem sikerült" : failReason_) << ")\n"
               << std::flush;
    }
  }
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
  failReason_.clear();
  if (file_->Append(fileBytes_, &failReason_)) {
    return true;
  }
  // A failed write into a file that still has its name (a full disk) loses this message;
  // a file that lost its name is made anew.
  if (file_->StillNamed(path_)) {
    return false;
  }
  file_.reset();
  Open();
  return file_ != nullptr && file_->Append(fileBytes_, &failReason_);
}

void RunLog::Open() {
  openPath_ = path_;
  failReason_.clear();
  file_ = fs_.OpenAppend(path_, &failReason_);
  // The directory is made once it turns out to be missing, one level only; when it cannot
  // be, its reason is the one that tells.
  if (file_ == nullptr && !dir_.empty() && !fs_.IsDirectory(dir_)) {
    std::string reason;
    if (fs_.MakeDir(dir_, &reason)) {
      failReason_.clear();
      file_ = fs_.OpenAppend(path_, &failReason_);
    } else {
      failReason_ = "a(z) " + dir_ + " könyvtár nem hozható létre: " + reason;
    }
  }
}

}  // namespace varnex
