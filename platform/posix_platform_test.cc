#include "platform/posix_platform.h"

#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace varnex {
namespace {

class PosixPlatformTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.path() + name; }

  ScopedTempDir dir_;
  PosixFileSystem fs_;
};

TEST_F(PosixPlatformTest, ListFilesMatchesThreeLetterExtensionWithoutCase) {
  for (const char* name : {"b.HUA", "A.hua", "c.Hua", "d.HUAX", "e.HU", "HUA", "f.INT"}) {
    WriteFileBytes(Path(name), "");
  }
  ::mkdir(Path("dir.HUA").c_str(), 0755);
  EXPECT_EQ((std::vector<std::string>{"A.hua", "b.HUA", "c.Hua"}),
            fs_.ListFiles(dir_.path(), "HUA"));
}

TEST_F(PosixPlatformTest, RenameAndMoveNeverReplace) {
  WriteFileBytes(Path("a"), "A");
  WriteFileBytes(Path("b"), "B");
  std::string reason;
  EXPECT_FALSE(fs_.RenameNoReplace(Path("a"), Path("b"), &reason));
  EXPECT_EQ("a fájl már létezik", reason);
  EXPECT_FALSE(fs_.MoveNoReplace(Path("a"), Path("b"), ".t.tmp", &reason));
  EXPECT_EQ("B", ReadFileBytes(Path("b")));
  EXPECT_TRUE(fs_.MoveNoReplace(Path("a"), Path("c"), ".t.tmp", &reason));
  EXPECT_EQ("A", ReadFileBytes(Path("c")));
  EXPECT_FALSE(fs_.Exists(Path("a")));
}

// A run lock tells another process (here: another open file description) that the run is
// alive; once released, the finder holds it and may remove the file.
TEST_F(PosixPlatformTest, RunLockTellsLiveRunsFromDeadOnes) {
  std::string reason;
  std::unique_ptr<Lock> lock = fs_.CreateRunLock(Path(".r.lock"), "bak/\n", &reason);
  ASSERT_NE(nullptr, lock) << reason;
  EXPECT_EQ(nullptr, fs_.CreateRunLock(Path(".r.lock"), "", &reason));
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(OpenStatus::kLocked, fs_.OpenLocked(Path(".r.lock"), &file, &reason));
  lock.reset();
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(Path(".r.lock"), &file, &reason));
  std::string content;
  EXPECT_TRUE(file->ReadAll(&content, &reason));
  EXPECT_EQ("bak/\n", content);
  EXPECT_TRUE(fs_.SyncDirectory(dir_.path(), &reason)) << reason;
  EXPECT_FALSE(fs_.SyncDirectory(Path("none/"), &reason));
  EXPECT_NE(fs_.RunId(), "");
  EXPECT_EQ(std::string::npos,
            fs_.RunId().find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz"));
}

TEST_F(PosixPlatformTest, OpenLockedTellsLockedAndGoneApart) {
  WriteFileBytes(Path("in.HUA"), "x");
  std::unique_ptr<ReadableFile> file;
  std::string reason;
  EXPECT_EQ(OpenStatus::kGone, fs_.OpenLocked(Path("none.HUA"), &file, &reason));
  int other = ::open(Path("in.HUA").c_str(), O_RDONLY);
  ASSERT_EQ(0, ::flock(other, LOCK_EX));
  EXPECT_EQ(OpenStatus::kLocked, fs_.OpenLocked(Path("in.HUA"), &file, &reason));
  ::close(other);
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(Path("in.HUA"), &file, &reason));
  std::string bytes;
  EXPECT_TRUE(file->ReadAll(&bytes, &reason));
  EXPECT_EQ("x", bytes);
}

// Only regular files are read: a directory or a FIFO under an input name fails at once
// instead of blocking the run.
TEST_F(PosixPlatformTest, OpenLockedRefusesWhatIsNotARegularFile) {
  ASSERT_EQ(0, ::mkdir(Path("dir.HUA").c_str(), 0755));
  ASSERT_EQ(0, ::mkfifo(Path("fifo.HUA").c_str(), 0644));
  std::unique_ptr<ReadableFile> file;
  std::string reason;
  EXPECT_EQ(OpenStatus::kFailed, fs_.OpenLocked(Path("dir.HUA"), &file, &reason));
  EXPECT_EQ("könyvtár, nem fájl", reason);
  EXPECT_EQ(OpenStatus::kFailed, fs_.OpenLocked(Path("fifo.HUA"), &file, &reason));
  EXPECT_EQ("nem közönséges fájl", reason);
  EXPECT_EQ(nullptr, file);
}

TEST_F(PosixPlatformTest, CreateExclusiveRefusesExistingName) {
  WriteFileBytes(Path("out"), "old");
  std::string reason;
  EXPECT_EQ(nullptr, fs_.CreateExclusive(Path("out"), &reason));
  EXPECT_EQ(nullptr, fs_.CreateExclusive(Path("missing/out"), &reason));
  EXPECT_EQ("nincs ilyen fájl vagy könyvtár", reason);
}

// Two descriptors on one file: each record lands at the end, after the other's.
TEST_F(PosixPlatformTest, AppendFileWritesAtTheEnd) {
  std::string reason;
  std::unique_ptr<AppendFile> first = fs_.OpenAppend(Path("log"), &reason);
  std::unique_ptr<AppendFile> second = fs_.OpenAppend(Path("log"), &reason);
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_TRUE(first->Append("1\r\n", nullptr));
  EXPECT_TRUE(second->Append("2\r\n", nullptr));
  EXPECT_TRUE(first->Append("3\r\n", nullptr));
  EXPECT_EQ("1\r\n2\r\n3\r\n", ReadFileBytes(Path("log")));
  EXPECT_EQ(nullptr, fs_.OpenAppend(Path("missing/log"), &reason));
  EXPECT_EQ("nincs ilyen fájl vagy könyvtár", reason);
}

TEST_F(PosixPlatformTest, AppendFileKnowsWhetherItsNameStillLeadsToIt) {
  std::string reason;
  std::unique_ptr<AppendFile> file = fs_.OpenAppend(Path("log"), &reason);
  ASSERT_NE(nullptr, file);
  EXPECT_TRUE(file->StillNamed(Path("log")));
  ASSERT_EQ(0, ::rename(Path("log").c_str(), Path("log.1").c_str()));
  EXPECT_FALSE(file->StillNamed(Path("log")));
  EXPECT_TRUE(file->StillNamed(Path("log.1")));
  // Another file under the old name is not the opened one.
  WriteFileBytes(Path("log"), "");
  EXPECT_FALSE(file->StillNamed(Path("log")));
  ASSERT_EQ(0, ::unlink(Path("log.1").c_str()));
  EXPECT_FALSE(file->StillNamed(Path("log.1")));
  // A failed write reports failure.
  std::unique_ptr<AppendFile> full = fs_.OpenAppend("/dev/full", &reason);
  ASSERT_NE(nullptr, full);
  std::string why;
  EXPECT_FALSE(full->Append("x", &why));
  EXPECT_EQ("nincs több hely az eszközön", why);
}

TEST(TerminalFilePickerTest, AnswersByNumberAndPath) {
  ScopedTempDir dir;
  PosixFileSystem fs;
  WriteFileBytes(dir.path() + "my file.HUA", "");
  std::istringstream in("2 \"" + dir.path() + "my file.HUA\" /no/such.HUA\n" + dir.path() +
                        "my file.HUA\n");
  std::ostringstream out;
  TerminalFilePicker picker(in, out, /*interactive=*/true, fs);
  std::vector<std::string> chosen;
  ASSERT_TRUE(picker.Pick({"/in/A.INT", "/in/B.HUA"}, &chosen));
  EXPECT_EQ((std::vector<std::string>{"/in/B.HUA", dir.path() + "my file.HUA",
                                      dir.path() + "my file.HUA"}),
            chosen);
  EXPECT_NE(std::string::npos, out.str().find("  1. /in/A.INT\n  2. /in/B.HUA\n"));
  EXPECT_NE(std::string::npos, out.str().find("Nem létező fájl: /no/such.HUA"));

  std::istringstream empty("\n");
  TerminalFilePicker cancel(empty, out, true, fs);
  EXPECT_FALSE(cancel.Pick({"/in/A.INT"}, &chosen));
}

TEST(TerminalFilePickerTest, PipeGivesOnePathPerLine) {
  PosixFileSystem fs;
  std::ostringstream out;
  std::istringstream in("/a/X.HUA\r\n\n/b/Y Z.INT\n");
  TerminalFilePicker picker(in, out, /*interactive=*/false, fs);
  std::vector<std::string> chosen;
  ASSERT_TRUE(picker.Pick({}, &chosen));
  EXPECT_EQ((std::vector<std::string>{"/a/X.HUA", "/b/Y Z.INT"}), chosen);
  std::istringstream none("");
  TerminalFilePicker nothing(none, out, false, fs);
  EXPECT_FALSE(nothing.Pick({}, &chosen));
}

}  // namespace
}  // namespace varnex
