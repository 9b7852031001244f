#include "app/file_sink.h"

namespace varnex {

bool CrLfFileSink::Append(std::string_view bytes) {
  if (failed_) {
    return false;
  }
  buffer_.clear();
  buffer_.reserve(bytes.size() + bytes.size() / 16 + 16);
  while (!bytes.empty()) {
    std::size_t lf = bytes.find('\n');
    if (lf == std::string_view::npos) {
      buffer_.append(bytes);
      break;
    }
    buffer_.append(bytes.substr(0, lf)).append("\r\n");
    bytes.remove_prefix(lf + 1);
  }
  if (!file_.Append(buffer_, &reason_)) {
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
