// SHA-256 (FIPS 180-2) of a byte string, for comparing large outputs with stored digests.
#pragma once

#include <string>
#include <string_view>

namespace varnex {

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace varnex
