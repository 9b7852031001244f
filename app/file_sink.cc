#include "app/file_sink.h"

#include <cstring>

namespace varnex {

bool CrLfFileSink::Append(std::string_view bytes) {
  if (failed_) {
    return false;
  }
  // Every byte becomes at most two; the buffer only grows, so it is sized once per document.
  if (buffer_.size() < 2 * bytes.size()) {
    buffer_.resize(2 * bytes.size());
  }
  char* out = buffer_.data();
  const char* in = bytes.data();
  const char* end = in + bytes.size();
  while (in != end) {
    const void* found = std::memchr(in, '\n', static_cast<std::size_t>(end - in));
    const char* lf = found == nullptr ? end : static_cast<const char*>(found);
    std::memcpy(out, in, static_cast<std::size_t>(lf - in));
    out += lf - in;
    if (lf == end) {
      break;
    }
    *out++ = '\r';
    *out++ = '\n';
    in = lf + 1;
  }
  std::string_view converted(buffer_.data(), static_cast<std::size_t>(out - buffer_.data()));
  if (!file_.Append(converted, &reason_)) {
    failed_ = true;
  }
  return !failed_;
}

bool CrLfFileSink::Finish() {
  if (failed_) {
    return false;
  }
  failed_ = !file_.Sync(&reason_) || !file_.Close(&reason_);
  return !failed_;
}

}  // namespace varnex
