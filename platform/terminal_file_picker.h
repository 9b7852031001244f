// Manual selection without a dialog: on the terminal, or one path per line from a pipe.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace varnex {

// Manual selection on the terminal, or one path per line from a pipe.
class TerminalFilePicker : public FilePicker {
 public:
  TerminalFilePicker(std::istream& in, std::ostream& out, bool interactive, FileSystem& fs)
      : in_(in), out_(out), interactive_(interactive), fs_(fs) {}
  bool Pick(const std::vector<std::string>& candidates, std::vector<std::string>* chosen) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  bool interactive_;
  FileSystem& fs_;
};

// Splits an answer line into words; blanks inside double or single quotes are kept.
std::vector<std::string> SplitAnswer(std::string_view line);

}  // namespace varnex
