// The XML checks of a build without libxml2 (Windows): they accept every document. The
// documents such a build writes are compared byte for byte with those of the Linux build,
// whose tests validate them.
#include "testing/xml_check.h"

namespace varnex {

bool IsWellFormedXml(std::string_view, std::string*) {
  return true;
}

bool ValidatesAgainstPain001(std::string_view, std::string*) {
  return true;
}

std::string Pain001WithValue(std::string_view, std::string_view, SepaOptions::Format) {
  return std::string();
}

std::vector<std::map<std::string, std::string>> PaymentLeaves(std::string_view) {
  return {};
}

}  // namespace varnex
