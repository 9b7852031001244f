#include "app/safety/refusal_memory.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/safety/file_commit.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

class RefusalMemoryTest : public ::testing::Test {
 protected:
  // An input file; returns its identity.
  FileIdentity Input(const std::string& name, std::string_view bytes) {
    WriteFileBytes(inputs_.path() + name, bytes);
    FileIdentity id;
    EXPECT_TRUE(fs_.Stat(inputs_.path() + name, &id)) << name;
    return id;
  }
  std::string InputPath(const std::string& name) const { return inputs_.path() + name; }
  std::string MemoryPath() const { return logs_.path() + std::string(kRefusalMemoryName); }
  // A memory as the next run finds it.
  RefusalMemory NextRun() { return RefusalMemory(fs_, tempNames_, logs_.path()); }
  // "when|reason" of the refusal found, or "-".
  std::string Found(RefusalMemory& memory, const std::string& path, const FileIdentity& id) {
    std::optional<Refusal> refusal = memory.Find(path, id);
    return refusal ? refusal->when + "|" + refusal->reason : "-";
  }

  ScopedTempDir inputs_;
  ScopedTempDir logs_;
  NativeFileSystem fs_;
  TempNames tempNames_{fs_};
};

TEST_F(RefusalMemoryTest, RefusalCountsOnlyForTheSameFileUnchanged) {
  FileIdentity id = Input("A.HUA", "refused orders");
  {
    RefusalMemory memory = NextRun();
    memory.Record(InputPath("A.HUA"), id, "2016.10.05. 14:03:07", "hibás :32A: mező");
    memory.Save();
  }
  const struct {
    const char* change;
    FileIdentity id;
    std::string expected;
  } rows[] = {
      {"none", id, "2016.10.05. 14:03:07|hibás :32A: mező"},
      {"size", {id.device, id.inode, id.size + 1, id.mtimeNs}, "-"},
      {"modification time", {id.device, id.inode, id.size, id.mtimeNs + 1}, "-"},
      {"inode", {id.device, id.inode + 1, id.size, id.mtimeNs}, "-"},
      {"device", {id.device + 1, id.inode, id.size, id.mtimeNs}, "-"},
  };
  RefusalMemory memory = NextRun();
  for (const auto& row : rows) {
    EXPECT_EQ(row.expected, Found(memory, InputPath("A.HUA"), row.id)) << row.change;
  }
  EXPECT_EQ("-", Found(memory, InputPath("B.HUA"), id));
}

TEST_F(RefusalMemoryTest, ForgottenPathIsNotFound) {
  FileIdentity a = Input("A.HUA", "a");
  FileIdentity b = Input("B.HUA", "b");
  {
    RefusalMemory memory = NextRun();
    memory.Record(InputPath("A.HUA"), a, "2016.10.05. 14:03:07", "a");
    memory.Record(InputPath("B.HUA"), b, "2016.10.05. 14:03:08", "b");
    memory.Save();
  }
  {
    RefusalMemory memory = NextRun();
    memory.Forget(InputPath("A.HUA"));
    EXPECT_EQ("-", Found(memory, InputPath("A.HUA"), a));
    memory.Save();
  }
  RefusalMemory memory = NextRun();
  EXPECT_EQ("-", Found(memory, InputPath("A.HUA"), a));
  EXPECT_EQ("2016.10.05. 14:03:08|b", Found(memory, InputPath("B.HUA"), b));
}

TEST_F(RefusalMemoryTest, LostOrDamagedFileForgetsHarmlessly) {
  FileIdentity id = Input("A.HUA", "refused orders");
  {
    RefusalMemory memory = NextRun();
    memory.Record(InputPath("A.HUA"), id, "2016.10.05. 14:03:07", "ok");
    memory.Save();
  }
  const std::string saved = ReadFileBytes(MemoryPath());
  const std::string entry = saved.substr(saved.find('\n') + 1);
  const struct {
    const char* name;
    std::string content;
    bool found;
  } rows[] = {
      {"saved", saved, true},
      {"lost", "", false},
      {"garbage", "\x01\x02\n\n\t\t%%\n", false},
      {"no header", entry, false},
      {"cut short", saved.substr(0, saved.size() - 3), false},
      {"bad escape", saved.substr(0, saved.size() - 1) + "%G\n", false},
      {"extra field", saved.substr(0, saved.size() - 1) + "\tx\n", false},
      {"bad number", "varnex elutasitott fajlok 1\nx" + entry, false},
      {"CR LF", saved.substr(0, saved.size() - 1) + "\r\n", true},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(MemoryPath());
    if (!row.content.empty()) {
      WriteFileBytes(MemoryPath(), row.content);
    }
    RefusalMemory memory = NextRun();
    EXPECT_EQ(row.found ? "2016.10.05. 14:03:07|ok" : "-", Found(memory, InputPath("A.HUA"), id))
        << row.name;
    memory.Save();
    // A damaged file is replaced by a good one; a good one is left as it is.
    std::string expected = row.content.empty() ? "" : "varnex elutasitott fajlok 1\n";
    EXPECT_EQ(row.found ? row.content : expected, ReadFileBytes(MemoryPath())) << row.name;
  }
}

TEST_F(RefusalMemoryTest, UnwritableMemoryStillAnswersThisRun) {
  FileIdentity id = Input("A.HUA", "refused orders");
  std::filesystem::create_directory(MemoryPath());
  RefusalMemory memory = NextRun();
  memory.Record(InputPath("A.HUA"), id, "2016.10.05. 14:03:07", "ok");
  memory.Save();
  EXPECT_EQ("2016.10.05. 14:03:07|ok", Found(memory, InputPath("A.HUA"), id));
  for (const auto& file : std::filesystem::directory_iterator(logs_.path())) {
    RunFileName ours;
    EXPECT_FALSE(ParseRunFileName(file.path().filename().string(), &ours) &&
                 ours.kind == RunFileName::Kind::kTemp)
        << file.path();
  }
}

TEST_F(RefusalMemoryTest, AnyBytesInNamesAndReasonsRoundTrip) {
  const std::string name = "tab\there\nnew line\r%41 é \x7F.HUA";
  const std::string reason = "két\tsor:\nmásodik %s %%";
  FileIdentity id = Input(name, "x");
  FileIdentity plain = Input("B.HUA", "y");
  {
    RefusalMemory memory = NextRun();
    memory.Record(InputPath(name), id, "2016.10.05.\t14:03:07", reason);
    memory.Record(InputPath("B.HUA"), plain, "2016.10.05. 14:03:08", "b");
    memory.Save();
  }
  const std::string text = ReadFileBytes(MemoryPath());
  EXPECT_EQ(3, std::count(text.begin(), text.end(), '\n')) << text;
  RefusalMemory memory = NextRun();
  EXPECT_EQ("2016.10.05.\t14:03:07|" + reason, Found(memory, InputPath(name), id));
  EXPECT_EQ("2016.10.05. 14:03:08|b", Found(memory, InputPath("B.HUA"), plain));
}

TEST_F(RefusalMemoryTest, SavingDropsPathsGoneOrChanged) {
  FileIdentity kept = Input("KEPT.HUA", "kept");
  FileIdentity gone = Input("GONE.HUA", "gone");
  FileIdentity changed = Input("CHANGED.HUA", "changed");
  {
    RefusalMemory memory = NextRun();
    memory.Record(InputPath("KEPT.HUA"), kept, "2016.10.05. 14:03:07", "kept");
    memory.Record(InputPath("GONE.HUA"), gone, "2016.10.05. 14:03:07", "gone");
    memory.Record(InputPath("CHANGED.HUA"), changed, "2016.10.05. 14:03:07", "changed");
    memory.Save();
  }
  std::filesystem::remove(InputPath("GONE.HUA"));
  Input("CHANGED.HUA", "changed again");
  {
    // A run that only looks up one file still drops the others.
    RefusalMemory memory = NextRun();
    EXPECT_EQ("-", Found(memory, InputPath("OTHER.HUA"), kept));
    memory.Save();
  }
  const std::string text = ReadFileBytes(MemoryPath());
  EXPECT_EQ(2, std::count(text.begin(), text.end(), '\n')) << text;
  RefusalMemory memory = NextRun();
  EXPECT_EQ("2016.10.05. 14:03:07|kept", Found(memory, InputPath("KEPT.HUA"), kept));
  EXPECT_EQ("-", Found(memory, InputPath("GONE.HUA"), gone));
  EXPECT_EQ("-", Found(memory, InputPath("CHANGED.HUA"), changed));
}

}  // namespace
}  // namespace varnex
