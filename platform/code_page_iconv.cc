// The code page tables from the C library's iconv.
#include <iconv.h>

#include "platform/code_page.h"

namespace varnex {

bool DecodeSingleByte(CodePage page, std::array<char32_t, 256>* table, char32_t undefined) {
  static constexpr const char* kNames[] = {"CP437", "CP852", "CP1250"};
  iconv_t cd = iconv_open("UTF-32LE", kNames[static_cast<int>(page)]);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return false;
  }
  for (int b = 0; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    unsigned char out[8] = {};
    char* inPtr = in;
    std::size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<std::size_t>(-1) || sizeof out - outLeft != 4) {
      (*table)[static_cast<std::size_t>(b)] = undefined;
    } else {
      (*table)[static_cast<std::size_t>(b)] =
          static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
    }
  }
  iconv_close(cd);
  return true;
}

}  // namespace varnex
