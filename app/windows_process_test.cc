// Runs of the real Windows executable in separate processes: one run at a time, a held input
// skipped, runs ended by TerminateProcess at random moments and before every file-system
// step, each order reaching the outputs exactly once, and the log read while it is written.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <windows.h>

#include <gtest/gtest.h>

#include "app/safety/backup_index.h"
#include "platform/windows_platform.h"
#include "testing/process_fixture.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
constexpr DWORD kKilled = 137;  // the exit code given to TerminateProcess

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

class WindowsProcessTest : public ProcessFixture {
 protected:
  void SetUp() override {
    for (const char* sub : {"in", "out", "bak", "log"}) {
      std::filesystem::create_directory(Path(sub));
    }
    std::filesystem::copy_file(VARNEX_BINARY, Path("varnex.exe"));
    WriteFileBytes(Path("varnex.ini"), RunHarness::kIni);
  }
  // Starts the converter with its output appended to console.txt; standard input from
  // `stdinPath` when given. With `killAtStep` above 0 the converter ends itself just before
  // that file-system step.
  HANDLE Start(const char* argument, const std::string& stdinPath = "", long killAtStep = 0) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = CreateFileW(stdinPath.empty() ? L"NUL" : Wide(stdinPath).c_str(), GENERIC_READ,
                            FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(Wide(Path("console.txt")).c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring commandLine = L"\"" + Wide(Path("varnex.exe")) + L"\" " + Wide(argument);
    SetEnvironmentVariableW(L"VARNEX_TEST_KILL_AT_STEP",
                            killAtStep > 0 ? std::to_wstring(killAtStep).c_str() : nullptr);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableW(L"VARNEX_TEST_KILL_AT_STEP", nullptr);
    CloseHandle(in);
    CloseHandle(out);
    EXPECT_TRUE(started);
    CloseHandle(process.hThread);
    return process.hProcess;
  }
  // The exit code; kKilled for a run that was ended.
  DWORD Wait(HANDLE process) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
  }
  std::string Console() const { return ReadFileBytes(Path("console.txt")); }
  std::string Log() const {
    std::vector<std::string> names = Files("log");
    return names.empty() ? std::string() : ReadFileBytes(Path("log/" + names.front()));
  }
  WindowsFileSystem fs_;
};

TEST_F(WindowsProcessTest, SecondRunOnTheSameInputDirectoryDoesNothing) {
  std::string input = HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)});
  WriteFileBytes(Path("in/A.HUA"), input);
  bool busy = false;
  std::unique_ptr<Lock> lock = fs_.TryLockDirectory(Path("in"), &busy);
  ASSERT_NE(nullptr, lock);
  EXPECT_EQ(0u, Wait(Start("-c")));
  // The log is in CP1250.
  EXPECT_NE(std::string::npos, Log().find("Egy m\xe1sik fut\xe1s m\xe1r dolgozik")) << Log();
  EXPECT_EQ(input, ReadFileBytes(Path("in/A.HUA")));
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  lock.reset();

  EXPECT_EQ(0u, Wait(Start("-c")));
  EXPECT_EQ(1u, Files("out").size());
  EXPECT_EQ(std::vector<std::string>{}, Files("in"));
}

// An input held by another run is skipped; so is one that another program is still writing.
TEST_F(WindowsProcessTest, HeldInputFileIsSkipped) {
  std::string input = HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)});
  WriteFileBytes(Path("in/A.HUA"), input);
  WriteFileBytes(Path("choice.txt"), Path("in/A.HUA") + "\r\n");
  std::unique_ptr<ReadableFile> held;
  std::string reason;
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(Path("in/A.HUA"), &held, &reason)) << reason;
  EXPECT_EQ(0u, Wait(Start("", Path("choice.txt"))));
  EXPECT_EQ(input, ReadFileBytes(Path("in/A.HUA")));
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  held.reset();

  HANDLE writer = CreateFileW(Wide(Path("in/A.HUA")).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(0u, Wait(Start("-c")));
  EXPECT_EQ(std::vector<std::string>{}, Files("out"));
  CloseHandle(writer);
  EXPECT_EQ(0u, Wait(Start("-c")));
  EXPECT_EQ(1u, Files("out").size());
}

// An input that could not be moved to the backup after the commit is left, with its reason,
// while the other files of the run are converted: one held by a reader that does not share
// deletion. A read-only one whose backup is on another volume is copied there and deleted;
// that volume is VARNEX_TEST_OTHER_VOLUME (a directory), which the Wine stage provides.
TEST_F(WindowsProcessTest, InputsMovedAwayOrLeftBeforeTheCommit) {
  const std::string input = HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban)});
  WriteFileBytes(Path("in/A.HUA"), input);
  WriteFileBytes(Path("in/B.HUA"),
                 HuaFile({HuaMessage(true, "R2", "EUR2,00", "DEUTDEFF", kDeIban)}));
  HANDLE reader =
      CreateFileW(Wide(Path("in/B.HUA")).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_EQ(2u, Wait(Start("-c")));
  EXPECT_EQ(std::vector<std::string>{"B.HUA"}, Files("in"));
  EXPECT_EQ(1u, Files("out").size());
  EXPECT_NE(std::string::npos, Log().find("B.HUA: az input a konvert\xe1l\xe1s ut\xe1n nem volna"))
      << Log();
  CloseHandle(reader);
  EXPECT_EQ(0u, Wait(Start("-c")));
  EXPECT_EQ(std::vector<std::string>{}, Files("in"));
  EXPECT_EQ(2u, Files("out").size());

  const char* other = std::getenv("VARNEX_TEST_OTHER_VOLUME");
  if (other == nullptr) {
    GTEST_SKIP() << "no VARNEX_TEST_OTHER_VOLUME for a backup on another volume";
  }
  std::string backup =
      WithTrailingSeparator(other) + "varnex-backup-" + std::to_string(GetCurrentProcessId());
  std::filesystem::create_directory(std::filesystem::path(Wide(backup)));
  std::string ini = RunHarness::kIni;
  ini.replace(ini.find("BackupPath=bak"), 14, "BackupPath=" + backup);
  WriteFileBytes(Path("varnex.ini"), ini);
  WriteFileBytes(Path("in/C.HUA"), input);
  ASSERT_TRUE(SetFileAttributesW(Wide(Path("in/C.HUA")).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(0u, Wait(Start("-c"))) << Log();
  EXPECT_EQ(std::vector<std::string>{}, Files("in"));
  std::vector<std::string> backups;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(Wide(backup)))) {
    if (entry.path().extension() == ".HUA") {
      backups.push_back(ReadFileBytes(entry.path().string()));
    }
  }
  std::filesystem::remove_all(std::filesystem::path(Wide(backup)));
  EXPECT_EQ(std::vector<std::string>{input}, backups);
}

// While a run writes the daily log, another process reads it (as Notepad would): every read
// finds what the last one found and more, and the finished file holds every line whole, once,
// in order. A read may end inside the line being written.
TEST_F(WindowsProcessTest, LogIsReadWhileWritten) {
  for (int f = 0; f < 4; ++f) {
    std::vector<std::string> messages;
    for (int i = 0; i < 2000; ++i) {
      messages.push_back(HuaMessage(i == 0, "F" + std::to_string(f) + "R" + std::to_string(i),
                                    i % 2 ? "EUR1,00" : "HUF1,00", "DEUTDEFF", kDeIban));
    }
    WriteFileBytes(Path("in/F" + std::to_string(f) + ".HUA"), HuaFile(messages));
  }
  HANDLE run = Start("-c");
  int reads = 0;
  int grown = 0;
  std::string seen;
  while (WaitForSingleObject(run, 0) == WAIT_TIMEOUT) {
    for (const std::string& name : Files("log")) {
      std::string reason;
      std::string bytes;
      if (fs_.ReadFile(Path("log/" + name), &bytes, &reason)) {
        ++reads;
        EXPECT_TRUE(bytes.starts_with(seen)) << "read " << reads;
        grown += bytes.size() > seen.size() ? 1 : 0;
        seen = std::move(bytes);
      }
    }
  }
  EXPECT_EQ(0u, Wait(run));
  ASSERT_EQ(1u, Files("log").size());
  std::string final = ReadFileBytes(Path("log/" + Files("log").front()));
  EXPECT_TRUE(final.starts_with(seen));
  EXPECT_GT(grown, 1);
  // Each line whole; each file listed once and processed once.
  EXPECT_EQ(Count(final, "\r\n"), Count(final, "\n"));
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(2, Count(final, "F" + std::to_string(f) + ".HUA.\r\n")) << f;
  }
  std::printf("the log read %d times while the run wrote it, %d of them found it grown\n", reads,
              grown);
}

// Runs ended by TerminateProcess after a random delay, then a run that is not: every order of
// the inputs is then in exactly one output, no input is left, nothing of either run remains.
TEST_F(WindowsProcessTest, TerminatedRunsConvertEveryOrderExactlyOnce) {
  constexpr int kKills = 40;
  constexpr int kFiles = 3;
  std::mt19937 random(20161005);
  WriteInputs(0, kFiles);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0u, Wait(Start("-c")));
  long runUs = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
  long rangeUs = runUs;
  int withJournal = 0;
  int kills = 0;
  int round = 0;
  while (kills < kKills && round < 3 * kKills) {
    ++round;
    std::string where = "round " + std::to_string(round);
    Reset();
    std::vector<std::string> refs = WriteInputs(round, kFiles);
    HANDLE process = Start("-c");
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<long>(0, rangeUs)(random)));
    TerminateProcess(process, kKilled);
    if (Wait(process) == kKilled) {
      ++kills;
    } else {
      rangeUs -= rangeUs / 10;
    }
    withJournal += ExpectNoOutputBeforeCommit(where) ? 1 : 0;
    EXPECT_EQ(0u, Wait(Start("-c"))) << where;
    ExpectEachOrderOnce(refs, kFiles, where);
    ASSERT_FALSE(HasFatalFailure());
  }
  EXPECT_EQ(kKills, kills);
  std::printf(
      "%d runs terminated at random in %d rounds (the first delays up to %ld us), %d of them "
      "inside a commit past its commit point\n",
      kills, round, runUs, withJournal);
}

// The same, the run ending itself just before each of its file-system steps in turn.
TEST_F(WindowsProcessTest, RunEndedBeforeEveryStepConvertsEveryOrderExactlyOnce) {
  constexpr int kFiles = 3;
  int kills = 0;
  for (long step = 1; step < 1000; ++step) {
    std::string where = "step " + std::to_string(step);
    Reset();
    std::vector<std::string> refs = WriteInputs(static_cast<int>(step % 1000), kFiles);
    if (Wait(Start("-c", "", step)) != kKilled) {
      break;  // the run had fewer steps
    }
    ++kills;
    ExpectNoOutputBeforeCommit(where);
    EXPECT_EQ(0u, Wait(Start("-c"))) << where;
    ExpectEachOrderOnce(refs, kFiles, where);
    ASSERT_FALSE(HasFatalFailure());
  }
  EXPECT_GT(kills, 20 * kFiles);
  std::printf("%d runs terminated, one before each file-system step\n", kills);
}

}  // namespace
}  // namespace varnex
