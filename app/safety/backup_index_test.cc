#include "app/safety/backup_index.h"

#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "app/safety/file_commit.h"
#include "testing/fake_platform.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

// Counts the files read whole, so that a test can tell the index from a scan of the backups.
class CountingFileSystem : public NativeFileSystem {
 public:
  bool ReadFile(const std::string& path, std::string* out, std::string* reason) override {
    ++reads;
    return NativeFileSystem::ReadFile(path, out, reason);
  }
  int reads = 0;
};

class BackupIndexTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.path() + name; }
  void Put(const std::string& name, std::string_view bytes) { WriteFileBytes(Path(name), bytes); }
  // A backup moved in by a run that records it.
  void Backup(BackupIndex& index, const std::string& name, std::string_view bytes) {
    Put(name, bytes);
    index.Add(Path(name), FingerprintOf(bytes));
  }
  // A lookup as a later run makes it, with a fresh index object; counts the reads.
  std::optional<std::string> FindInNewRun(std::string_view bytes, int* reads = nullptr) {
    BackupIndex index(fs_, tempNames_, dir_.path());
    fs_.reads = 0;
    std::optional<std::string> found = index.FindCopy(bytes);
    if (reads != nullptr) {
      *reads = fs_.reads;
    }
    index.Save();
    return found;
  }

  ScopedTempDir dir_;
  CountingFileSystem fs_;
  TempNames tempNames_{fs_};
};

TEST_F(BackupIndexTest, FindsRecordedBackupButNotOtherBytesOfSameSize) {
  BackupIndex index(fs_, tempNames_, dir_.path());
  Backup(index, "PELDA_1.HUA", "order one");
  Backup(index, "PELDA_2.HUA", "order three, longer");
  EXPECT_EQ(Path("PELDA_1.HUA"), index.FindCopy("order one"));
  EXPECT_EQ(std::nullopt, index.FindCopy("order two"));
  index.Save();

  int reads = 0;
  EXPECT_EQ(Path("PELDA_1.HUA"), FindInNewRun("order one", &reads));
  EXPECT_EQ(2, reads) << "the index and the one backup that matches";
  EXPECT_EQ(std::nullopt, FindInNewRun("order two", &reads));
  EXPECT_EQ(1, reads) << "the index only";
}

TEST_F(BackupIndexTest, FindsBackupsTheIndexDoesNotKnow) {
  BackupIndex index(fs_, tempNames_, dir_.path());
  Backup(index, "PELDA_1.HUA", "order one");
  index.Save();
  // Copied in by hand, or moved in by a run that ended before it saved the index; any byte
  // may occur in a name.
  const std::string odd = "kézzel\n visszatett 1.hua";
  Put(odd, "order two");

  EXPECT_EQ(Path(odd), FindInNewRun("order two"));
  int reads = 0;
  EXPECT_EQ(Path(odd), FindInNewRun("order two", &reads));
  EXPECT_EQ(2, reads) << "the saved index now knows the name and its hash";
}

TEST_F(BackupIndexTest, RebuildsMissingOrDamagedIndex) {
  {
    BackupIndex index(fs_, tempNames_, dir_.path());
    Backup(index, "PELDA_1.HUA", "order one");
    Backup(index, "PELDA_2.HUA", "order two");
    index.Save();
  }
  const std::string saved = ReadFileBytes(Path(std::string(kBackupIndexName)));
  ASSERT_FALSE(saved.empty());
  std::string flipped = saved;
  flipped[flipped.find("\n9 ") + 1] = '8';  // the first entry's size
  std::string otherHash = saved;
  char& digit = otherHash[otherHash.find(" 11 PELDA_1") - 1];  // of the first entry's hash
  digit = digit == '0' ? '1' : '0';
  std::string earlier = saved;
  earlier.replace(0, earlier.find('\n'), "varnex backup index 1");  // hashed otherwise
  const struct {
    const char* name;
    std::string content;
  } rows[] = {
      {"missing", ""},
      {"garbage", "\x01\x02 not an index\n"},
      {"cut short", saved.substr(0, saved.size() - 20)},
      {"size changed", flipped},
      {"hash changed", otherHash},
      {"earlier version", earlier},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(Path(std::string(kBackupIndexName)));
    if (!row.content.empty()) {
      Put(std::string(kBackupIndexName), row.content);
    }
    EXPECT_EQ(Path("PELDA_1.HUA"), FindInNewRun("order one")) << row.name;
    int reads = 0;
    EXPECT_EQ(Path("PELDA_1.HUA"), FindInNewRun("order one", &reads)) << row.name;
    EXPECT_EQ(2, reads) << row.name << ": the rebuilt index is used";
  }
}

TEST_F(BackupIndexTest, UnwritableIndexOnlyCostsReads) {
  std::filesystem::create_directory(Path(std::string(kBackupIndexName)));
  Put("PELDA_1.HUA", "order one");
  EXPECT_EQ(Path("PELDA_1.HUA"), FindInNewRun("order one"));
  EXPECT_EQ(Path("PELDA_1.HUA"), FindInNewRun("order one"));
  EXPECT_TRUE(std::filesystem::is_directory(Path(std::string(kBackupIndexName))));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    RunFileName ours;
    EXPECT_FALSE(ParseRunFileName(entry.path().filename().string(), &ours) &&
                 ours.kind == RunFileName::Kind::kTemp)
        << entry.path();
  }
}

TEST_F(BackupIndexTest, BackupChangedSinceItWasHashedIsNotACopy) {
  {
    BackupIndex index(fs_, tempNames_, dir_.path());
    Backup(index, "PELDA_1.HUA", "order one");
    index.Save();
  }
  // Same size, other bytes; the modification time may even be the same.
  Put("PELDA_1.HUA", "ORDER ONE");
  EXPECT_EQ(std::nullopt, FindInNewRun("order one"));
  EXPECT_EQ(Path("PELDA_1.HUA"), FindInNewRun("ORDER ONE"));
}

TEST_F(BackupIndexTest, EqualHashesAreConfirmedByTheBytes) {
  BackupIndex index(fs_, tempNames_, dir_.path());
  // The index is told that A holds the bytes of B: to the lookup, their hashes collide.
  Put("A.HUA", "order AAA");
  index.Add(Path("A.HUA"), FingerprintOf("order BBB"));
  EXPECT_EQ(std::nullopt, index.FindCopy("order BBB"));
  index.Save();
  // A backup put in by hand is found by the next run, past the colliding entry.
  Put("B.HUA", "order BBB");
  EXPECT_EQ(Path("B.HUA"), FindInNewRun("order BBB"));
}

TEST_F(BackupIndexTest, IgnoresOwnFilesAndWhatIsNotARegularFile) {
  const std::string bytes = "order one";
  Put(".varnex-123-1.tmp", bytes);
  EXPECT_EQ(std::nullopt, FindInNewRun(bytes));
  Put(std::string(kBackupIndexName), bytes);
  EXPECT_EQ(std::nullopt, FindInNewRun(bytes));
  // Of the size of an empty input; reading the FIFO would block.
  std::filesystem::create_directory(Path("DIR.HUA"));
#ifndef _WIN32  // POSIX: FIFOs
  ASSERT_EQ(0, ::mkfifo(Path("FIFO.HUA").c_str(), 0644));
#endif
  EXPECT_EQ(std::nullopt, FindInNewRun(""));
  Put("EMPTY.HUA", "");
  EXPECT_EQ(Path("EMPTY.HUA"), FindInNewRun(""));
}

TEST_F(BackupIndexTest, LookupInLargeDirectoryReadsOnlyFilesOfTheSameSize) {
  // 20,000 backups of 500 different sizes: 40 of each size.
  constexpr int kFiles = 20000;
  constexpr int kSizes = 500;
  for (int i = 0; i < kFiles; ++i) {
    std::string bytes = StringPrintf("%05d", i);
    bytes.resize(static_cast<std::size_t>(5 + i % kSizes), '.');
    Put(StringPrintf("B_%05d.HUA", i), bytes);
  }
  std::string copy = "00123";
  copy.resize(5 + 123, '.');
  std::string fresh = "99999";
  fresh.resize(5 + 123, '.');

  int reads = 0;
  EXPECT_EQ(Path("B_00123.HUA"), FindInNewRun(copy, &reads));
  EXPECT_EQ(kFiles / kSizes + 1, reads) << "no index yet: the files of that size, the match";
  EXPECT_EQ(std::nullopt, FindInNewRun(fresh, &reads));
  EXPECT_EQ(1, reads) << "only the index";
  EXPECT_EQ(std::nullopt, FindInNewRun(fresh + "x", &reads));
  EXPECT_EQ(1 + kFiles / kSizes, reads) << "index and the files of the new size";
}

}  // namespace
}  // namespace varnex
