// The code page tables from Windows' MultiByteToWideChar.
#include <windows.h>

#include "platform/code_page.h"

namespace varnex {

bool DecodeSingleByte(CodePage page, std::array<char32_t, 256>* table, char32_t undefined) {
  static constexpr UINT kIds[] = {437, 852, 1250};
  const UINT id = kIds[static_cast<int>(page)];
  if (IsValidCodePage(id) == 0) {
    return false;
  }
  for (int b = 0; b < 256; ++b) {
    const char in = static_cast<char>(b);
    wchar_t out[2] = {};
    int n = MultiByteToWideChar(id, MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    // Windows gives the unassigned bytes of 1250 (0x81, 0x83, 0x88, 0x90, 0x98) the C1
    // control of the same value; they stand for no character, as in the other code pages.
    bool unassigned = n != 1 || (b >= 0x80 && out[0] >= 0x80 && out[0] < 0xA0);
    (*table)[static_cast<std::size_t>(b)] = unassigned ? undefined : static_cast<char32_t>(out[0]);
  }
  return true;
}

}  // namespace varnex
