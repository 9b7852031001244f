// Test doubles for the platform interfaces: a settable clock, a console that keeps what it
// was given, a temporary directory removed with its content, and a run log that writes into
// such a directory.
#pragma once

#include <memory>
#include <string>

#include "app/run_log.h"
#include "platform/native_platform.h"
#include "platform/platform.h"

namespace varnex {

class FakeClock : public Clock {
 public:
  FakeClock() { Set(2016, 10, 5, 14, 3, 7, 45); }
  LocalTime Now() override { return now_; }
  void Set(int year, int month, int day, int hour, int minute, int second, int millisecond,
           int utcOffsetMinutes = 120);
  // Moves the time forward; carries into seconds and minutes (not beyond the hour).
  void AdvanceMs(int ms);

 private:
  LocalTime now_;
};

class CapturingConsole : public Console {
 public:
  void Write(std::string_view utf8) override { text_.append(utf8); }
  const std::string& text() const { return text_; }
  void Clear() { text_.clear(); }

 private:
  std::string text_;
};

// A fresh directory under the system's temporary directory; removed on destruction.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // The directory, ending in a separator.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A run log whose file goes to a temporary directory and whose console text is kept.
struct TestLog {
  TestLog();
  // The console text: every message without its time prefix.
  std::string Messages() const;

  ScopedTempDir dir;
  NativeFileSystem fs;
  FakeClock clock;
  CapturingConsole console;
  RunLog log;
};

// Expected texts spell a blank that ends a line as '~', so that no editor trims it; this
// turns every '~' back into a blank.
std::string Blanks(std::string_view text);

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Writes a whole file, replacing it.
void WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace varnex
