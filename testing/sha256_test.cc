#include "testing/sha256.h"

#include <gtest/gtest.h>

namespace varnex {
namespace {

TEST(Sha256Test, FipsVectors) {
  struct Row {
    std::string message;
    const char* digest;
  };
  const Row rows[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      // Lengths around the block end: 55 bytes fit one last block, 56 need two.
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.digest, Sha256Hex(row.message)) << row.message.size() << " bytes";
  }
}

}  // namespace
}  // namespace varnex
