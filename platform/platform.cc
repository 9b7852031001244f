#include "platform/platform.h"

namespace varnex {

std::string WithTrailingSeparator(std::string path) {
  if (!path.empty() && path.back() != kDirSeparator) {
    path.push_back(kDirSeparator);
  }
  return path;
}

}  // namespace varnex
