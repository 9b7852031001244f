// Runs of the real executable in separate processes: one run at a time, runs killed at any
// moment, each order reaching the outputs exactly once, and a start through a symbolic link.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <map>
#include <random>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/safety/backup_index.h"
#include "testing/process_fixture.h"
#include "testing/run_harness.h"
#include "testing/xml_check.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// A program directory with the converter, varnex.ini and the usual subdirectories.
class ProcessTest : public ProcessFixture {
 protected:
  void SetUp() override {
    for (const char* sub : {"in", "out", "bak", "log"}) {
      ::mkdir((dir_.path() + sub).c_str(), 0755);
    }
    std::filesystem::copy_file(VARNEX_BINARY, dir_.path() + "varnex");
    WriteFileBytes(dir_.path() + "varnex.ini", RunHarness::kIni);
    exe_ = dir_.path() + "varnex";
  }
  // Starts the converter with `argument` ("": none); standard input from `stdinPath` when
  // given. With `killAtStep` above 0 the converter kills itself just before that file-system
  // step.
  pid_t Start(const char* argument, const std::string& stdinPath = "/dev/null",
              long killAtStep = 0) {
    return Start(
        *argument != '\0' ? std::vector<std::string>{argument} : std::vector<std::string>{},
        stdinPath, killAtStep);
  }
  pid_t Start(const std::vector<std::string>& arguments, const std::string& stdinPath = "/dev/null",
              long killAtStep = 0) {
    std::vector<char*> argv = {const_cast<char*>("varnex")};
    for (const std::string& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      if (killAtStep > 0) {
        ::setenv("VARNEX_TEST_KILL_AT_STEP", std::to_string(killAtStep).c_str(), 1);
      }
      int in = ::open(stdinPath.c_str(), O_RDONLY);
      int out = ::open((dir_.path() + "console.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      int err = ::open((dir_.path() + "errors.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (!workDir_.empty() && ::chdir(workDir_.c_str()) != 0) {
        ::_exit(126);
      }
      if (runAs_ != 0 &&
          (::setgroups(0, nullptr) != 0 || ::setgid(runAs_) != 0 || ::setuid(runAs_) != 0)) {
        ::_exit(125);
      }
      ::execv(exe_.c_str(), argv.data());
      ::_exit(127);
    }
    return pid;
  }
  int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Standard output, then standard error.
  std::string Console() const { return Output() + Errors(); }
  std::string Output() const { return ReadFileBytes(dir_.path() + "console.txt"); }
  std::string Errors() const { return ReadFileBytes(dir_.path() + "errors.txt"); }

  std::string exe_;      // the file started
  std::string workDir_;  // the current directory of the run; empty: the test's own
  uid_t runAs_ = 0;      // the user (and group) of the run; 0: the test's own
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
            Console().find("A fájlt egy másik program vagy futás tartja nyitva, kihagyva: " +
                           Path("in/A.HUA")));
  EXPECT_EQ(input, ReadFileBytes(Path("in/A.HUA")));
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  // Held unchanged for longer than any run holds a file: a program hangs with it.
  struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 20 * 60, 0}};
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, Path("in/A.HUA").c_str(), times, 0));
  EXPECT_EQ(2, Wait(Start("-c")));
  EXPECT_NE(std::string::npos,
            Console().find("Hiba: a fájlt egy másik program zárolja, és 20 perce nem változott: " +
                           Path("in/A.HUA")))
      << Console();
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  ::close(lockFd);
}

// Every argument is read before anything runs: one not understood prints the usage on
// standard error and nothing is converted.
TEST_F(ProcessTest, ArgumentsAreUnderstoodOrRefused) {
  const std::string kInput = "IN";  // stands for the input file's path
  struct Case {
    std::vector<std::string> args;
    int exit;
    bool usageError;
    bool converted;
    const char* output;  // expected on standard output
  } cases[] = {
      {{"-c", "--check"}, 0, false, false, ": konvertálható"},
      {{"--check", "-c"}, 0, false, false, ": konvertálható"},
      {{"/c"}, 0, false, true, "Mód: fájlok feldolgozása az input könyvtáról."},
      {{kInput}, 0, false, true, "Mód: a parancssorban megadott fájlok feldolgozása."},
      {{"c"}, 2, false, false, "Hiba: a parancssorban megadott fájl nem HUA vagy INT fájl: c"},
      {{"NOPE.HUA"}, 2, false, false, "Hiba: a parancssorban megadott fájl nem létezik: NOPE.HUA"},
      {{"-c", "--frobnicate"}, 1, true, false, ""},
      {{"-c", "--version"}, 1, true, false, ""},
      {{"-c", kInput}, 1, true, false, ""},
      {{"-c", "-c"}, 1, true, false, ""},
      {{"-C"}, 1, true, false, ""},
      {{"-x"}, 1, true, false, ""},
      {{"-"}, 1, true, false, ""},
      {{"-cx"}, 1, true, false, ""},
      {{""}, 1, true, false, ""},
      {{"/check"}, 1, true, false, ""},
      {{"--version"}, 0, false, false, "varnex "},
      {{"-c", "--bad", "--help"}, 0, false, false, "Használat:"},
  };
  for (const Case& c : cases) {
    std::string where = testing::PrintToString(c.args);
    Reset();
    ::unlink(Path("console.txt").c_str());
    ::unlink(Path("errors.txt").c_str());
    WriteFileBytes(Path("in/A.HUA"),
                   HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)}));
    std::vector<std::string> args = c.args;
    std::replace(args.begin(), args.end(), kInput, Path("in/A.HUA"));
    EXPECT_EQ(c.exit, Wait(Start(args))) << where << Console();
    EXPECT_EQ(c.usageError ? UsageText() : "", Errors()) << where;
    EXPECT_NE(std::string::npos, Output().find(c.output)) << where << Output();
    EXPECT_EQ(c.converted, Files("in").empty()) << where;
  }
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

// The administrator runs the converter by hand as root; the service's user, who owns the
// directories, must be able to go on afterwards: to append to the day's log, to replace the
// run's records and to read every output.
TEST_F(ProcessTest, RootRunLeavesNothingTheOwnerCannotUse) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to run as two users";
  }
  constexpr uid_t kOwner = 54321;  // a user without a name
  ::chmod(dir_.path().c_str(), 0755);
  // The other user must reach the program directory.
  for (std::filesystem::path p = std::filesystem::path(dir_.path()).parent_path();
       p != p.root_path(); p = p.parent_path()) {
    struct stat st;
    if (::stat(p.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) {
      GTEST_SKIP() << p << " is closed to other users";
    }
  }
  for (const char* sub : {"in", "out", "bak", "log"}) {
    ASSERT_EQ(0, ::chown(Path(sub).c_str(), kOwner, kOwner));
    ::chmod(Path(sub).c_str(), 02770);
  }
  // Inputs as the exporters leave them: the owner's (the moved input is the backup).
  WriteInputs(1, 1);
  ASSERT_EQ(0, ::chown(Path("in/F0.HUA").c_str(), kOwner, kOwner));
  // Root's usual umask: the run must not leave its files readable to others.
  mode_t umask = ::umask(022);
  EXPECT_EQ(0, Wait(Start("-c")));
  EXPECT_NE(std::string::npos, Console().find("A program root felhasználóként indult, az input "
                                              "könyvtár tulajdonosaként (54321) fut tovább."));
  // A refused file too, so that the refusal memory exists.
  WriteFileBytes(Path("in/BAD.HUA"), "nonsense");
  ASSERT_EQ(0, ::chown(Path("in/BAD.HUA").c_str(), kOwner, kOwner));
  EXPECT_EQ(2, Wait(Start("-c")));
  for (const char* sub : {"out", "bak", "log"}) {
    for (const std::string& name : Files(sub)) {
      struct stat st;
      ASSERT_EQ(0, ::stat(Path(std::string(sub) + "/" + name).c_str(), &st));
      EXPECT_EQ(kOwner, st.st_uid) << sub << "/" << name;
      EXPECT_EQ(kOwner, st.st_gid) << sub << "/" << name;
      // What the run creates (the backups are the exporters' inputs, moved).
      if (std::string_view(sub) != "bak" || name.starts_with('.')) {
        EXPECT_EQ(0u, st.st_mode & 07) << sub << "/" << name;
      }
    }
  }
  ::umask(umask);
  runAs_ = kOwner;
  ::unlink(Path("in/BAD.HUA").c_str());
  WriteInputs(2, 1);
  EXPECT_EQ(0, Wait(Start("-c"))) << Console();
  EXPECT_EQ(std::string::npos, Console().find("napló nem írható")) << Console();
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
    // Whatever stands under a final name is complete (dot files are the run's own).
    for (const std::string& name : Files("out")) {
      if (name[0] == '.') {
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
      EXPECT_NE('.', name[0]) << name << " after " << delayMs << " ms";
    }
    EXPECT_EQ(std::vector<std::string>{}, Files("in"));
    EXPECT_EQ(1u, Files("bak").size());
  }
}

// Several small inputs per run, the run killed with SIGKILL after a random delay (most of a
// run's time goes to the syncs of the commits, so the kills fall all over them; a run that
// ends before its kill does not count), then a run that is not killed. Every order of the inputs is
// then in exactly one output, no input is left, and nothing of either run stays behind. Right after
// each kill, an output under its final name belongs to a commit whose journal waits or that is
// complete.
TEST_F(ProcessTest, KilledRunsConvertEveryOrderExactlyOnce) {
  constexpr int kKills = kSanitized ? 60 : 200;  // a sanitized run is several times slower
  constexpr int kFiles = 3;
  std::mt19937 random(20161005);

  // The length of an uninterrupted run sets the range of the kill delays.
  WriteInputs(0, kFiles);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, Wait(Start("-c")));
  long runUs = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
  // A run that ends before its kill narrows the range, so that the kills stay inside runs.
  long rangeUs = runUs;
  int withJournal = 0;
  int kills = 0;
  int round = 0;
  while (kills < kKills && round < 2 * kKills) {
    ++round;
    std::string where = "round " + std::to_string(round);
    Reset();
    std::vector<std::string> refs = WriteInputs(round, kFiles);
    pid_t pid = Start("-c");
    ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<long>(0, rangeUs)(random)));
    ::kill(pid, SIGKILL);
    if (Wait(pid) == -1) {
      ++kills;
    } else {
      rangeUs -= rangeUs / 10;
    }
    withJournal += ExpectNoOutputBeforeCommit(where) ? 1 : 0;
    EXPECT_EQ(0, Wait(Start("-c"))) << where;
    ExpectEachOrderOnce(refs, kFiles, where);
    ASSERT_FALSE(HasFatalFailure());
  }
  EXPECT_EQ(kKills, kills);
  std::printf(
      "%d runs killed at random in %d rounds (the first delays up to %ld us), %d of them inside "
      "a commit past its commit point\n",
      kills, round, runUs, withJournal);
}

// The same, the run killing itself just before each of its file-system steps in turn, so that
// every step boundary of every commit is hit once.
TEST_F(ProcessTest, RunKilledBeforeEveryStepConvertsEveryOrderExactlyOnce) {
  constexpr int kFiles = 3;
  int kills = 0;
  for (long step = 1; step < 1000; ++step) {
    std::string where = "step " + std::to_string(step);
    Reset();
    std::vector<std::string> refs = WriteInputs(static_cast<int>(step % 1000), kFiles);
    if (Wait(Start("-c", "/dev/null", step)) != -1) {
      break;  // the run had fewer steps
    }
    ++kills;
    ExpectNoOutputBeforeCommit(where);
    EXPECT_EQ(0, Wait(Start("-c"))) << where;
    ExpectEachOrderOnce(refs, kFiles, where);
    ASSERT_FALSE(HasFatalFailure());
  }
  EXPECT_GT(kills, 20 * kFiles);
  std::printf("%d runs killed, one before each file-system step\n", kills);
}

}  // namespace
}  // namespace varnex
