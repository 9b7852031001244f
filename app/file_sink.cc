#include "app/file_sink.h"

#include <algorithm>
#include <cstring>

#include "util/byte_search.h"

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
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t lf = std::min(FindByte(bytes, '\n', start), bytes.size());
    std::memcpy(out, bytes.data() + start, lf - start);
    out += lf - start;
    if (lf == bytes.size()) {
      break;
    }
    *out++ = '\r';
    *out++ = '\n';
    start = lf + 1;
  }
  std::string_view converted(buffer_.data(), static_cast<std::size_t>(out - buffer_.data()));
  if (!file_.Append(converted, &reason_)) {
    failed_ = true;
  }
  return !failed_;
}

bool CrLfFileSink::AppendCrLf(std::string_view bytes) {
  if (failed_) {
    return false;
  }
  if (!file_.Append(bytes, &reason_)) {
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
