#include "util/byte_search.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace varnex {
namespace {

TEST(FindByteTest, SameAsTheStandardAlgorithmsForEveryStartAndLength) {
  // Few distinct bytes, so that hits fall at every offset of a word, high bytes included.
  const char alphabet[] = {'\n', '\r', ':', 'A', '\x80', '\xff', '\0', 'B'};
  std::uint32_t state = 7;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    std::size_t length = static_cast<std::size_t>(round % 41);
    for (std::size_t k = 0; k < length; ++k) {
      state = state * 1103515245u + 12345u;
      text.push_back(alphabet[(state >> 16) % sizeof alphabet]);
    }
    std::string_view view(text);
    for (char byte : {'\n', ':', '\x80', '\xff', '\0', 'Z'}) {
      ASSERT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), byte)),
                CountByte(view, byte))
          << testing::PrintToString(text) << " byte " << int{byte};
      for (std::size_t from = 0; from <= length + 1; ++from) {
        ASSERT_EQ(view.find(byte, from), FindByte(view, byte, from))
            << testing::PrintToString(text) << " byte " << int{byte} << " from " << from;
        for (char other : {'\r', '\xff', 'Z'}) {
          char pair[] = {byte, other};
          ASSERT_EQ(view.find_first_of(std::string_view(pair, 2), from),
                    FindEitherByte(view, byte, other, from))
              << testing::PrintToString(text) << " bytes " << int{byte} << " " << int{other}
              << " from " << from;
        }
      }
    }
  }
}

TEST(FindTextTest, SameAsFindForEveryStart) {
  // Texts of many markers and near misses, long enough for several steps of sixteen bytes.
  const char* pieces[] = {":20:", ":2", "0:", ":", "{1:", "{", "1:", "\r\n", "A", ":07:", "::"};
  std::uint32_t state = 99;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int k = round % 30; k > 0; --k) {
      state = state * 1103515245u + 12345u;
      text += pieces[(state >> 16) % std::size(pieces)];
    }
    std::string_view view(text);
    for (std::string_view pattern : {":20:", "{1:", ":07:", "::", "\r\n:"}) {
      for (std::size_t from = 0; from <= text.size() + 1; ++from) {
        ASSERT_EQ(view.find(pattern, from), FindText(view, pattern, from))
            << testing::PrintToString(text) << " " << pattern << " from " << from;
      }
    }
  }
}

}  // namespace
}  // namespace varnex
