#include "app/run_log.h"

#include <cstdio>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

TEST(RunLogTest, DailyFileInCp1250WithCrLfAndPrefix) {
  TestLog t;
  CodePages pages = *CodePages::Open();
  t.log.SetCodePages(&pages);
  t.log.Printf("A program elindult.\n");
  t.clock.Set(2016, 10, 5, 14, 3, 9, 0);
  t.log.Printf("%ld. üzenet: SEPA-megbízás!\n", 3L);
  t.log.Write("A program befejeződött.\n\n");
  EXPECT_EQ(
      "2016.10.05. 14:03:07 A program elindult.\r\n"
      "2016.10.05. 14:03:09 3. \xfczenet: SEPA-megb\xedz\xe1s!\r\n"
      "2016.10.05. 14:03:09 A program befejez\xf5"
      "d\xf6tt.\r\n\r\n",
      ReadFileBytes(t.dir.path() + "20161005.log"));
  // The console copy is UTF-8 with the same prefix.
  EXPECT_EQ("2016.10.05. 14:03:07 A program elindult.\n", t.console.text().substr(0, 41));
}

TEST(RunLogTest, AccentedLetterRecodedAtEveryPosition) {
  // The ASCII runs around the letter are copied eight bytes at a time where they can be.
  TestLog t;
  CodePages pages = *CodePages::Open();
  t.log.SetCodePages(&pages);
  t.clock.Set(2016, 10, 5, 14, 3, 9, 0);
  std::string expected;
  for (std::size_t at = 0; at <= 20; ++at) {
    std::string line(20, 'x');
    t.log.Write(line.substr(0, at) + "é" + line.substr(at) + "\n");
    expected += "2016.10.05. 14:03:09 " + line.substr(0, at) + "\xe9" + line.substr(at) + "\r\n";
  }
  EXPECT_EQ(expected, ReadFileBytes(t.dir.path() + "20161005.log"));
}

TEST(RunLogTest, LineAfterMidnightGoesToTheNextDaysFile) {
  TestLog t;
  t.clock.Set(2016, 10, 5, 23, 59, 59, 999);
  t.log.Write("a\n");
  t.clock.Set(2016, 10, 6, 0, 0, 0, 0);
  t.log.Write("b\n");
  EXPECT_EQ("2016.10.05. 23:59:59 a\r\n", ReadFileBytes(t.dir.path() + "20161005.log"));
  EXPECT_EQ("2016.10.06. 00:00:00 b\r\n", ReadFileBytes(t.dir.path() + "20161006.log"));
}

TEST(RunLogTest, DirectoryMadeOneLevelOnly) {
  TestLog t;
  t.log.SetDirectory(t.dir.path() + "logs/");
  t.log.Write("made\n");
  EXPECT_EQ("2016.10.05. 14:03:07 made\r\n", ReadFileBytes(t.dir.path() + "logs/20161005.log"));

  // Two levels below an existing directory: the file copy is lost, the console keeps the
  // text without the time prefix.
  t.console.Clear();
  t.log.SetDirectory(t.dir.path() + "a/b/");
  t.log.Write("lost\n");
  EXPECT_EQ("lost\n", t.console.text());
}

// Two processes log into one file at the same time: every line arrives whole, once, and in
// the order its process wrote it.
// POSIX: fork. The Windows build shows the same with two processes in its test script.
#ifndef _WIN32
TEST(RunLogTest, TwoProcessesLoseAndInterleaveNothing) {
  constexpr int kLines = 10000;
  ScopedTempDir dir;
  // Long lines make a split write likely to show.
  const std::string filler(150, 'x');
  auto logLines = [&](const char* who) {
    PosixFileSystem fs;
    FakeClock clock;
    CapturingConsole console;
    RunLog log(fs, clock, console);
    log.SetDirectory(dir.path());
    for (int i = 0; i < kLines; ++i) {
      log.Printf("%s %d %s\n", who, i, filler.c_str());
    }
  };
  pid_t child = ::fork();
  ASSERT_NE(-1, child);
  if (child == 0) {
    logLines("child");
    ::_exit(0);
  }
  logLines("parent");
  int status = 0;
  ASSERT_EQ(child, ::waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::istringstream in(ReadFileBytes(dir.path() + "20161005.log"));
  std::string line;
  int next[2] = {0, 0};
  int bad = 0;
  while (std::getline(in, line)) {
    char who[16] = "";
    int number = -1;
    bool parsed = line.size() > 21 && line.rfind("2016.10.05. 14:03:07 ", 0) == 0 &&
                  std::sscanf(line.c_str() + 21, "%15s %d", who, &number) == 2;
    int w = std::string(who) == "child" ? 0 : 1;
    std::string expected = "2016.10.05. 14:03:07 " + std::string(who) + " " +
                           std::to_string(number) + " " + filler + "\r";
    if (!parsed || line != expected || number != next[w]) {
      ++bad;
      continue;
    }
    ++next[w];
  }
  EXPECT_EQ(0, bad);
  EXPECT_EQ(kLines, next[0]);
  EXPECT_EQ(kLines, next[1]);
}
#endif

TEST(RunLogTest, RemovedFileIsMadeAnewWhenTheSecondChanges) {
  TestLog t;
  const std::string path = t.dir.path() + "20161005.log";
  t.log.Write("a\n");
  ASSERT_EQ(0, std::remove(path.c_str()));
  t.clock.AdvanceMs(1000);
  t.log.Write("b\n");
  EXPECT_EQ("2016.10.05. 14:03:08 b\r\n", ReadFileBytes(path));
}

// Within the second of the rename, lines still reach the renamed file; afterwards a new
// file under the name.
TEST(RunLogTest, RenamedFileIsLeftWhenTheSecondChanges) {
  TestLog t;
  const std::string path = t.dir.path() + "20161005.log";
  t.log.Write("a\n");
  ASSERT_EQ(0, std::rename(path.c_str(), (path + ".1").c_str()));
  t.log.Write("b\n");
  t.clock.AdvanceMs(1000);
  t.log.Write("c\n");
  EXPECT_EQ("2016.10.05. 14:03:07 a\r\n2016.10.05. 14:03:07 b\r\n", ReadFileBytes(path + ".1"));
  EXPECT_EQ("2016.10.05. 14:03:08 c\r\n", ReadFileBytes(path));
}

// A log directory that cannot take the file, and a file whose writes fail: the console keeps
// every message, without the prefix.
TEST(RunLogTest, UnwritableFileLeavesTheConsoleCopy) {
  TestLog t;
  WriteFileBytes(t.dir.path() + "plain", "");
  t.log.SetDirectory(t.dir.path() + "plain/");
  t.log.Write("not a directory\n");
  EXPECT_EQ("not a directory\n", t.console.text());

#ifndef _WIN32  // POSIX: a full device behind a symbolic link
  t.console.Clear();
  t.log.SetDirectory(t.dir.path());
  ASSERT_EQ(0, ::symlink("/dev/full", (t.dir.path() + "20161005.log").c_str()));
  t.log.Write("disk full\n");
  t.clock.AdvanceMs(1000);
  t.log.Write("still full\n");
  EXPECT_EQ("disk full\nstill full\n", t.console.text());
#endif
}

}  // namespace
}  // namespace varnex
