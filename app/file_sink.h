// The sink that writes a streamed document into its output file.
//
// Documents are produced with LF line ends; the file receives CR LF, as text files of the
// system always do; text that has them already passes through. Each piece the writer hands
// over (about 64 KB) becomes one write.
#pragma once

#include <string>
#include <string_view>

#include "output/writer.h"
#include "platform/platform.h"

namespace varnex {

class CrLfFileSink : public ByteSink {
 public:
  // `file` must outlive the sink.
  explicit CrLfFileSink(WritableFile& file) : file_(file) {}

  bool Append(std::string_view bytes) override;
  bool TakesCrLf() const override { return true; }
  bool AppendCrLf(std::string_view bytes) override;
  // Flushes the file to the device and closes it. False on failure, or when an Append failed.
  bool Finish();
  // Why the last step failed.
  const std::string& reason() const { return reason_; }

 private:
  WritableFile& file_;
  std::string buffer_;
  std::string reason_;
  bool failed_ = false;
};

}  // namespace varnex
