// Outputs of fixed inputs at a fixed time, compared with stored ones: the bundled examples
// byte for byte, generated 10,000-order HUA and INT files by size and SHA-256. Any change of
// an output byte or name fails. With VARNEX_GOLDEN_OUT set to a directory, the outputs of
// this build are also written there, in the layout of tests/data/golden, for inspection.
#include <cstdlib>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "app/safety/backup_index.h"
#include "testing/order_files.h"
#include "testing/run_harness.h"
#include "testing/sha256.h"

namespace varnex {
namespace {

const std::string kGolden = VARNEX_TEST_DATA_DIR "/golden/";

// Relative name ("output/X.CCT") to bytes of every file in `dirs` after a run.
using Tree = std::map<std::string, std::string>;

Tree Outputs(const RunHarness& h, std::initializer_list<const char*> dirs) {
  Tree tree;
  for (const std::string dir : dirs) {
    for (const std::string& name : h.Files(dir)) {
      tree[dir + "/" + name] = h.Read(dir + "/" + name);
    }
  }
  return tree;
}

Tree ReadTree(const std::string& root) {
  Tree tree;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    // The duplicate index beside the backups is a cache, not an output.
    if (it->is_regular_file(ec) && it->path().filename() != kBackupIndexName) {
      tree[std::filesystem::relative(it->path(), root, ec).string()] =
          ReadFileBytes(it->path().string());
    }
  }
  return tree;
}

// Writes `bytes` under the capture directory, when one is set.
void Capture(const std::string& relative, const std::string& bytes) {
  const char* out = std::getenv("VARNEX_GOLDEN_OUT");
  if (out == nullptr || *out == '\0') {
    return;
  }
  std::filesystem::path path = std::filesystem::path(out) / relative;
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  WriteFileBytes(path.string(), bytes);
}

std::vector<std::string> Names(const Tree& tree) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : tree) {
    names.push_back(name);
  }
  return names;
}

TEST(GoldenTest, BundledExamples) {
  RunHarness h;
  h.WriteIni(ReadFileBytes(VARNEX_EXAMPLES_DIR "/varnex.ini"));
  for (const char* sub : {"input", "output", "backup"}) {
    std::filesystem::create_directory(h.Path(sub));
  }
  for (const char* name : {"KULF1.INT", "PELDA1.HUA"}) {
    WriteFileBytes(h.Path(std::string("input/") + name),
                   ReadFileBytes(std::string(VARNEX_EXAMPLES_DIR "/input/") + name));
  }
  ASSERT_EQ(0, h.Run("-c")) << h.Log();

  Tree actual = Outputs(h, {"input", "output", "backup"});
  for (const auto& [name, bytes] : actual) {
    Capture("examples/" + name, bytes);
  }
  Tree expected = ReadTree(kGolden + "examples");
  ASSERT_EQ(Names(expected), Names(actual));
  for (const auto& [name, bytes] : expected) {
    EXPECT_TRUE(bytes == actual[name]) << name << " differs";
  }
}

TEST(GoldenTest, GeneratedTenThousandOrders) {
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {{"BENCH.HUA", GenerateHuaFile(10000)}, {"BENCH.INT", GenerateIntFile(10000)}};
  // The passes run on two threads where the file system allows it: the outputs and the log
  // must be the same as on one.
  std::string logs[2];
  for (bool twoThreads : {true, false}) {
    // One line per file: run/directory/name, size, SHA-256.
    std::string manifest;
    for (const Row& row : rows) {
      RunHarness h;
      h.fs.SetConcurrency(twoThreads ? FaultyFileSystem::Concurrency::kUnlessArmed
                                     : FaultyFileSystem::Concurrency::kNever);
      h.WriteInput(row.name, row.bytes);
      ASSERT_EQ(0, h.Run("-c")) << h.Log();
      for (const auto& [name, bytes] : Outputs(h, {"in", "out", "bak"})) {
        manifest += std::string(row.name) + "/" + name + " " + std::to_string(bytes.size()) + " " +
                    Sha256Hex(bytes) + "\n";
      }
      std::string log = h.Log();
      for (std::size_t at = log.find(h.Path("")); at != std::string::npos;
           at = log.find(h.Path(""), at)) {
        log.replace(at, h.Path("").size(), "/");
      }
      logs[twoThreads ? 1 : 0] += log;
    }
    if (twoThreads) {
      Capture("generated.txt", manifest);
    }
    EXPECT_EQ(ReadFileBytes(kGolden + "generated.txt"), manifest) << twoThreads;
  }
  EXPECT_FALSE(logs[0].empty());
  EXPECT_EQ(logs[0], logs[1]);
}

}  // namespace
}  // namespace varnex
