#include "testing/process_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "app/safety/backup_index.h"
#include "platform/platform.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";

}  // namespace

std::string ProcessFixture::Path(const std::string& relative) const {
  std::string native = relative;
  std::replace(native.begin(), native.end(), '/', kDirSeparator);
  return dir_.path() + native;
}

std::vector<std::string> ProcessFixture::Files(const std::string& relative) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(Path(relative), ec)) {
    if (!IsBackupDirectoryRecord(e.path().filename().string())) {
      names.push_back(e.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ProcessFixture::Reset() {
  for (const char* dir : {"in", "out", "bak"}) {
    std::filesystem::remove_all(Path(dir));
    std::filesystem::create_directory(Path(dir));
  }
}

std::vector<std::string> ProcessFixture::WriteInputs(int round, int files) {
  std::vector<std::string> refs;
  for (int f = 0; f < files; ++f) {
    std::vector<std::string> messages;
    for (int m = 0; m < 3; ++m) {
      char ref[32];
      std::snprintf(ref, sizeof ref, "K%03dF%02dM%d", round, f, m);
      refs.push_back(ref);
      messages.push_back(HuaMessage(m == 0, ref, m == 2 ? "HUF1,00" : "EUR1,00", "DEUTDEFF",
                                    kDeIban, m == 1 ? "URGENT" : "A B C D"));
    }
    WriteFileBytes(Path("in/F" + std::to_string(f) + ".HUA"), HuaFile(messages));
  }
  return refs;
}

bool ProcessFixture::ExpectNoOutputBeforeCommit(const std::string& where) {
  bool journal = false;
  for (const std::string& name : Files("bak")) {
    journal = journal || name.ends_with(".jrn");
  }
  for (const std::string& name : Files("out")) {
    std::string backup = name.substr(0, name.rfind('.')) + ".HUA";
    EXPECT_TRUE(name[0] == '.' || journal || std::filesystem::exists(Path("bak/" + backup)))
        << name << " stands before its commit, " << where;
  }
  return journal;
}

void ProcessFixture::ExpectEachOrderOnce(const std::vector<std::string>& refs, int files,
                                         const std::string& where) {
  std::map<std::string, int> seen;
  for (const std::string& name : Files("out")) {
    ASSERT_NE('.', name[0]) << name << " left behind, " << where;
    std::string text = ReadFileBytes(Path("out/" + name));
    for (const std::string& ref : refs) {
      seen[ref] +=
          Count(text, "<InstrId>" + ref + "</InstrId>") + Count(text, ":20:" + ref + "\r\n");
    }
  }
  for (const std::string& ref : refs) {
    ASSERT_EQ(1, seen[ref]) << ref << ", " << where;
  }
  ASSERT_EQ(std::vector<std::string>{}, Files("in")) << where;
  std::vector<std::string> backups = Files("bak");
  ASSERT_EQ(static_cast<std::size_t>(files), backups.size()) << where;
  ASSERT_NE('.', backups.front()[0]) << backups.front() << " left behind, " << where;
}

}  // namespace varnex
