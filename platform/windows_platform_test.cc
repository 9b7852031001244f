#include "platform/windows_platform.h"

#include <thread>
#include <windows.h>
#undef ReplaceFile  // the method of FileSystem, not the Win32 call

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

namespace varnex {
namespace {

class WindowsFileSystemTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.path() + name; }
  void Put(const std::string& name, const std::string& bytes) {
    std::string reason;
    std::unique_ptr<WritableFile> file = fs_.CreateExclusive(Path(name), &reason);
    ASSERT_NE(nullptr, file) << reason;
    ASSERT_TRUE(file->Append(bytes, &reason) && file->Sync(&reason) && file->Close(&reason))
        << reason;
  }

  ScopedTempDir dir_;
  WindowsFileSystem fs_;
};

// Names travel as UTF-8: an accented name is listed, opened and read as it was written.
TEST_F(WindowsFileSystemTest, AccentedNamesRoundTrip) {
  const std::string name = "\xc3\x81rv\xc3\xadzt\xc5\xb1r\xc5\x91.HUA";  // Árvíztűrő.HUA
  Put(name, "bytes");
  Put("b.hua", "");
  Put("C.INT", "");
  EXPECT_EQ((std::vector<std::string>{"b.hua", name}), fs_.ListFiles(dir_.path(), "HUA"));
  std::unique_ptr<ReadableFile> file;
  std::string reason;
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(Path(name), &file, &reason)) << reason;
  std::string bytes;
  ASSERT_TRUE(file->ReadAll(&bytes, &reason)) << reason;
  EXPECT_EQ("bytes", bytes);
  EXPECT_EQ(5, file->Identity().size);
}

// An input held by a run is locked for every other opener, yet can be read without the lock
// and moved to the backup directory by its holder.
TEST_F(WindowsFileSystemTest, HeldInputIsLockedButReadableAndMovable) {
  Put("A.HUA", "orders");
  std::unique_ptr<ReadableFile> held;
  std::string reason;
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(Path("A.HUA"), &held, &reason)) << reason;
  std::unique_ptr<ReadableFile> second;
  EXPECT_EQ(OpenStatus::kLocked, fs_.OpenLocked(Path("A.HUA"), &second, &reason));
  std::string bytes;
  EXPECT_TRUE(fs_.ReadFile(Path("A.HUA"), &bytes, &reason)) << reason;
  EXPECT_EQ("orders", bytes);
  ASSERT_TRUE(fs_.MakeDir(Path("bak"), nullptr));
  EXPECT_TRUE(fs_.MoveNoReplace(Path("A.HUA"), Path("bak\\A.HUA"), "t.tmp", &reason)) << reason;
  EXPECT_FALSE(fs_.Exists(Path("A.HUA")));
  EXPECT_EQ(OpenStatus::kGone, fs_.OpenLocked(Path("A.HUA"), &second, &reason));
}

TEST_F(WindowsFileSystemTest, RenameNeverReplaces) {
  Put("from", "new");
  Put("to", "old");
  std::string reason;
  EXPECT_FALSE(fs_.RenameNoReplace(Path("from"), Path("to"), &reason));
  EXPECT_EQ("a fájl már létezik", reason);
  EXPECT_FALSE(fs_.MoveNoReplace(Path("from"), Path("to"), "t.tmp", &reason));
  EXPECT_EQ("old", ReadFileBytes(Path("to")));
  EXPECT_EQ("new", ReadFileBytes(Path("from")));
  EXPECT_TRUE(fs_.ReplaceFile(Path("to"), "newer", "r.tmp", &reason)) << reason;
  EXPECT_EQ("newer", ReadFileBytes(Path("to")));
  EXPECT_FALSE(fs_.Exists(Path("r.tmp")));
}

// A run's lock file tells others it is alive while its handle is open, and dead after.
TEST_F(WindowsFileSystemTest, RunLockTellsLiveness) {
  std::string reason;
  std::unique_ptr<Lock> lock = fs_.CreateRunLock(Path(".varnex-r.lock"), "journal\n", &reason);
  ASSERT_NE(nullptr, lock) << reason;
  EXPECT_EQ(nullptr, fs_.CreateRunLock(Path(".varnex-r.lock"), "", &reason));
  std::unique_ptr<ReadableFile> probe;
  EXPECT_EQ(OpenStatus::kLocked, fs_.OpenLocked(Path(".varnex-r.lock"), &probe, &reason));
  lock.reset();
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(Path(".varnex-r.lock"), &probe, &reason)) << reason;
  std::string bytes;
  ASSERT_TRUE(probe->ReadAll(&bytes, &reason));
  EXPECT_EQ("journal\n", bytes);
  // Who finds it dead removes it while holding it.
  EXPECT_TRUE(fs_.Remove(Path(".varnex-r.lock"), &reason)) << reason;
}

TEST_F(WindowsFileSystemTest, OneDirectoryLockAtATime) {
  bool busy = false;
  std::unique_ptr<Lock> first = fs_.TryLockDirectory(dir_.path(), &busy);
  ASSERT_NE(nullptr, first);
  // The lock leaves the directory as it was.
  EXPECT_EQ(std::vector<std::string>{}, fs_.ListNames(dir_.path()));
  std::thread([&] {
    WindowsFileSystem other;
    bool otherBusy = false;
    EXPECT_EQ(nullptr, other.TryLockDirectory(dir_.path(), &otherBusy));
    EXPECT_TRUE(otherBusy);
  }).join();
  first.reset();
  EXPECT_NE(nullptr, fs_.TryLockDirectory(dir_.path(), &busy));
  EXPECT_EQ(nullptr, fs_.TryLockDirectory(Path("missing"), &busy));
  EXPECT_FALSE(busy);
}

// The daily log stays open for appending while others read it, append to it, or rename it.
TEST_F(WindowsFileSystemTest, LogIsSharedWhileWritten) {
  std::string reason;
  std::unique_ptr<AppendFile> log = fs_.OpenAppend(Path("day.log"), &reason);
  ASSERT_NE(nullptr, log) << reason;
  std::unique_ptr<AppendFile> second = fs_.OpenAppend(Path("day.log"), &reason);
  ASSERT_NE(nullptr, second) << reason;
  EXPECT_TRUE(log->Append("one\r\n", nullptr));
  EXPECT_TRUE(second->Append("two\r\n", nullptr));
  EXPECT_TRUE(log->Append("three\r\n", nullptr));
  std::string bytes;
  EXPECT_TRUE(fs_.ReadFile(Path("day.log"), &bytes, &reason)) << reason;
  EXPECT_EQ("one\r\ntwo\r\nthree\r\n", bytes);
  EXPECT_TRUE(log->StillNamed(Path("day.log")));
  EXPECT_TRUE(fs_.RenameNoReplace(Path("day.log"), Path("old.log"), &reason)) << reason;
  EXPECT_FALSE(log->StillNamed(Path("day.log")));
}

TEST(WindowsPathTest, ReservedDeviceNames) {
  struct Case {
    const char* path;
    const char* device;
  } cases[] = {
      {"CON.HUA", "CON"},
      {"C:\\in\\NUL.INT", "NUL"},
      {"\\\\srv\\bank\\in\\com1.hua", "COM1"},
      {"C:/in/LPT1.INT", "LPT1"},
      {"AUX", "AUX"},
      {"prn.tar.gz", "PRN"},
      {"C:\\in\\con .hua", "CON"},
      {"C:\\in\\COM\xC2\xB9.HUA", "COM\xC2\xB9"},
      {"C:\\in\\LPT0.INT", "LPT0"},
      {"C:\\in\\CONTO.HUA", ""},
      {"C:\\in\\COM10.HUA", ""},
      {"C:\\in\\XCON.HUA", ""},
      {"C:\\CON\\A.HUA", ""},  // only the last component
      {"C:\\in\\.CON", ""},
      {"C:\\in\\COM.HUA", ""},
  };
  WindowsFileSystem fs;
  for (const Case& c : cases) {
    EXPECT_EQ(c.device, ReservedDeviceName(c.path)) << c.path;
    if (*c.device != '\0') {
      // Refused as an input with a reason, never opened as the device.
      std::unique_ptr<ReadableFile> file;
      std::string reason;
      EXPECT_TRUE(fs.Exists(c.path)) << c.path;
      EXPECT_EQ(OpenStatus::kFailed, fs.OpenLocked(c.path, &file, &reason)) << c.path;
      EXPECT_EQ("a név a Windows " + std::string(c.device) + " eszközét jelöli, nem fájlt", reason);
    }
  }
}

// Paths from MAX_PATH - 12 characters on take the extended form, folded first: the form no
// Win32 call parses further.
TEST(WindowsPathTest, LongPathsTakeTheExtendedForm) {
  const std::string name(120, 'n');
  const std::wstring wname(120, L'n');
  struct Case {
    std::string path;
    std::wstring wide;
  } cases[] = {
      {"C:\\in\\A.HUA", L"C:\\in\\A.HUA"},
      {"C:/in/" + name + "/../" + name + "/" + name, L"\\\\?\\C:\\in\\" + wname + L"\\" + wname},
      {"\\\\srv\\bank\\" + name + "\\" + name + "\\A.HUA",
       L"\\\\?\\UNC\\srv\\bank\\" + wname + L"\\" + wname + L"\\A.HUA"},
      {"\\\\?\\C:\\" + name + "\\.\\" + name, L"\\\\?\\C:\\" + wname + L"\\.\\" + wname},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.wide, WidePath(c.path)) << c.path;
  }
}

// Every call of the file system on a path far past MAX_PATH.
TEST_F(WindowsFileSystemTest, LongPathsWork) {
  std::string dir = dir_.path();
  for (int i = 0; i < 3; ++i) {
    dir += std::string(100, static_cast<char>('a' + i)) + "\\";
    ASSERT_TRUE(fs_.MakeDir(dir, nullptr)) << dir.size();
  }
  ASSERT_TRUE(fs_.MakeDir(dir + "bak", nullptr));
  const std::string input = dir + "A.HUA";
  std::string reason;
  std::unique_ptr<WritableFile> file = fs_.CreateExclusive(input, &reason);
  ASSERT_NE(nullptr, file) << reason;
  ASSERT_TRUE(file->Append("orders", &reason) && file->Close(&reason)) << reason;
  EXPECT_EQ(std::vector<std::string>{"A.HUA"}, fs_.ListFiles(dir, "HUA"));
  std::unique_ptr<ReadableFile> held;
  ASSERT_EQ(OpenStatus::kOk, fs_.OpenLocked(input, &held, &reason)) << reason;
  EXPECT_TRUE(fs_.CanRemove(input, &reason)) << reason;
  EXPECT_TRUE(fs_.MoveNoReplace(input, dir + "bak\\A.HUA", "t.tmp", &reason)) << reason;
  held.reset();
  EXPECT_TRUE(fs_.Exists(dir + "bak\\A.HUA"));
  EXPECT_TRUE(fs_.Remove(dir + "bak\\A.HUA", &reason)) << reason;
}

// In a window station no one sees (a service's, a task's in session 0) no dialog opens to
// wait for a click: the pick fails with its reason.
TEST_F(WindowsFileSystemTest, NoDialogWithoutAVisibleDesktop) {
  HWINSTA own = GetProcessWindowStation();
  HWINSTA hidden = CreateWindowStationW(L"varnex-test", 0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(nullptr, hidden);
  ASSERT_TRUE(SetProcessWindowStation(hidden));
  WindowsFilePicker picker(fs_, false);
  std::vector<std::string> chosen;
  const bool picked = picker.Pick({Path("A.HUA")}, &chosen);
  SetProcessWindowStation(own);
  CloseWindowStation(hidden);
  EXPECT_FALSE(picked);
  EXPECT_NE(std::string::npos, picker.Failure().find("nincs l\xc3\xa1that\xc3\xb3 asztal"))
      << picker.Failure();
}

TEST(WindowsPathTest, AbsolutePaths) {
  const std::string name(250, 'n');  // a path this long stays in its plain form
  struct Case {
    std::string path;
    std::string base;
    std::string want;
  } cases[] = {
      {"C:/" + name + "/./in", "C:\\prog\\", "C:\\" + name + "\\in"},
      {"in", "C:\\prog\\", "C:\\prog\\in"},
      {"./in/../out/", "C:\\prog\\", "C:\\prog\\out\\"},
      {"D:\\x\\..\\y", "C:\\prog\\", "D:\\y"},
      {"\\data\\in", "C:\\prog\\", "C:\\data\\in"},
      {"\\\\srv\\share\\in\\", "C:\\prog\\", "\\\\srv\\share\\in\\"},
      {"//srv/share/a/../in", "C:\\prog\\", "\\\\srv\\share\\in"},
      {"in", "\\\\srv\\share\\prog\\", "\\\\srv\\share\\prog\\in"},
      {"\\data", "\\\\srv\\share\\prog\\", "\\\\srv\\share\\data"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, AbsolutePath(c.path, c.base)) << c.path << " in " << c.base;
  }
}

TEST(WindowsPathTest, ProgramDirectoryAndSeparators) {
  WindowsFileSystem fs;
  std::string dir = fs.ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ('\\', dir.back());
  EXPECT_EQ("C:\\in\\a b\\X.HUA", WithBackslashes("C:/in/a b\\X.HUA"));
  EXPECT_EQ("\\\\server\\share\\in\\", WithTrailingSeparator("\\\\server\\share\\in"));
  // Only a mapped network drive changes.
  EXPECT_EQ("C:\\in\\", UniversalName("C:\\in\\"));
  EXPECT_EQ("\\\\server\\share\\in\\", UniversalName("\\\\server\\share\\in\\"));
}

}  // namespace
}  // namespace varnex
