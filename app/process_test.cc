// Runs of the real executable in separate processes: one run at a time, a run killed at any
// moment, and a start through a symbolic link.
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/backup_index.h"
#include "testing/run_harness.h"
#include "testing/xml_check.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";

// A program directory with the converter, varnex.ini and the usual subdirectories.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"in", "out", "bak", "log"}) {
      ::mkdir((dir_.path() + sub).c_str(), 0755);
    }
    std::filesystem::copy_file(VARNEX_BINARY, dir_.path() + "varnex");
    WriteFileBytes(dir_.path() + "varnex.ini", RunHarness::kIni);
    exe_ = dir_.path() + "varnex";
  }
  std::string Path(const std::string& relative) const { return dir_.path() + relative; }

  // Starts the converter; standard input from `stdinPath` when given.
  pid_t Start(const char* argument, const std::string& stdinPath = "/dev/null") {
    pid_t pid = ::fork();
    if (pid == 0) {
      int in = ::open(stdinPath.c_str(), O_RDONLY);
      int out = ::open((dir_.path() + "console.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(out, 2);
      if (!workDir_.empty() && ::chdir(workDir_.c_str()) != 0) {
        ::_exit(126);
      }
      ::execl(exe_.c_str(), "varnex", argument, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Console() const { return ReadFileBytes(dir_.path() + "console.txt"); }
  std::vector<std::string> Files(const std::string& relative) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(Path(relative), ec)) {
      if (e.path().filename() != kBackupIndexName) {
        names.push_back(e.path().filename().string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  ScopedTempDir dir_;
  std::string exe_;      // the file started
  std::string workDir_;  // the current directory of the run; empty: the test's own
};

TEST_F(ProcessTest, SecondRunOnTheSameInputDirectoryDoesNothing) {
  std::string input = HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)});
  WriteFileBytes(Path("in/A.HUA"), input);
  int lockFd = ::open(Path("in").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(0, ::flock(lockFd, LOCK_EX | LOCK_NB));
  EXPECT_EQ(0, Wait(Start("-c")));
  EXPECT_NE(std::string::npos, Console().find("Egy másik futás már dolgozik az input"));
  EXPECT_EQ(input, ReadFileBytes(Path("in/A.HUA")));
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  ::close(lockFd);

  EXPECT_EQ(0, Wait(Start("-c")));
  EXPECT_EQ(1u, Files("out").size());
  EXPECT_EQ(std::vector<std::string>{}, Files("in"));
}

TEST_F(ProcessTest, LockedInputFileIsSkipped) {
  std::string input = HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)});
  WriteFileBytes(Path("in/A.HUA"), input);
  WriteFileBytes(Path("choice.txt"), Path("in/A.HUA") + "\n");
  int lockFd = ::open(Path("in/A.HUA").c_str(), O_RDONLY);
  ASSERT_EQ(0, ::flock(lockFd, LOCK_EX | LOCK_NB));
  EXPECT_EQ(0, Wait(Start("", Path("choice.txt"))));
  EXPECT_NE(std::string::npos,
            Console().find("A fájlt egy másik futás dolgozza fel, kihagyva: " + Path("in/A.HUA")));
  EXPECT_EQ(input, ReadFileBytes(Path("in/A.HUA")));
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  ::close(lockFd);
}

TEST_F(ProcessTest, SettingsAreFoundBesideTheRealExecutable) {
  std::string input = HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)});
  WriteFileBytes(Path("in/A.HUA"), input);
  // A link from another directory, which is also the current directory of the run and holds
  // settings of its own that must not be read.
  ScopedTempDir other;
  std::string otherIn = other.path() + "in";
  ::mkdir(otherIn.c_str(), 0755);
  WriteFileBytes(otherIn + "/B.HUA", input);
  WriteFileBytes(other.path() + "varnex.ini", "[General]\nInputPath=" + otherIn +
                                                  "\nOutputPath=" + other.path() +
                                                  "\nBackupPath=" + other.path() + "\n");
  ASSERT_EQ(0, ::symlink(exe_.c_str(), (other.path() + "varnex").c_str()));
  exe_ = other.path() + "varnex";
  workDir_ = other.path();

  EXPECT_EQ(0, Wait(Start("-c"))) << Console();
  EXPECT_EQ(std::vector<std::string>{}, Files("in"));
  EXPECT_EQ(1u, Files("out").size());
  EXPECT_EQ(1u, Files("bak").size());
  EXPECT_EQ(1u, Files("log").size());
  EXPECT_EQ(input, ReadFileBytes(otherIn + "/B.HUA"));
}

TEST_F(ProcessTest, KilledRunLeavesNoIncompleteOutput) {
  std::vector<std::string> messages;
  for (int i = 0; i < 4000; ++i) {
    messages.push_back(HuaMessage(i == 0, "R" + std::to_string(i), i % 2 ? "EUR1,00" : "HUF1,00",
                                  "DEUTDEFF", kDeIban, i % 7 ? "A B C D" : "URGENT"));
  }
  std::string input = HuaFile(messages);
  for (int delayMs : {1, 5, 15, 40, 80, 150}) {
    for (const char* dir : {"in", "out", "bak"}) {
      std::filesystem::remove_all(Path(dir));
      ::mkdir(Path(dir).c_str(), 0755);
    }
    WriteFileBytes(Path("in/BIG.HUA"), input);
    pid_t pid = Start("-c");
    ::usleep(static_cast<useconds_t>(delayMs) * 1000);
    ::kill(pid, SIGKILL);
    Wait(pid);
    // Whatever stands under a final name is complete.
    for (const std::string& name : Files("out")) {
      if (name.ends_with(".tmp")) {
        continue;
      }
      std::string text = ReadFileBytes(Path("out/" + name));
      if (name.ends_with(".HUA")) {
        EXPECT_TRUE(text.ends_with("-}\r\n")) << name << " after " << delayMs << " ms";
      } else {
        std::string error;
        EXPECT_TRUE(ValidatesAgainstPain001(text, &error)) << name << error;
      }
    }
    // A later run converts the file (when it is still there) and removes the temporary
    // files of the killed run; they are never taken for inputs.
    EXPECT_EQ(0, Wait(Start("-c")));
    for (const std::string& name : Files("out")) {
      EXPECT_FALSE(name.ends_with(".tmp")) << name << " after " << delayMs << " ms";
    }
    EXPECT_EQ(std::vector<std::string>{}, Files("in"));
    EXPECT_EQ(1u, Files("bak").size());
  }
}

}  // namespace
}  // namespace varnex
