#include "testing/fake_platform.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/string_printf.h"

namespace varnex {

void FakeClock::Set(int year, int month, int day, int hour, int minute, int second, int millisecond,
                    int utcOffsetMinutes) {
  now_ = LocalTime{year, month, day, hour, minute, second, millisecond, utcOffsetMinutes};
}

void FakeClock::AdvanceMs(int ms) {
  now_.millisecond += ms;
  now_.second += now_.millisecond / 1000;
  now_.millisecond %= 1000;
  now_.minute += now_.second / 60;
  now_.second %= 60;
}

ScopedTempDir::ScopedTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::error_code ec;
  std::string parent = base != nullptr && *base ? std::string(base)
                                                : std::filesystem::temp_directory_path(ec).string();
  parent = WithTrailingSeparator(parent.empty() ? std::string(".") : parent);
  // A new name made of the clock and a counter; create_directory tells whether it was free.
  static std::atomic<unsigned> counter = 0;
  auto seed =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = parent + StringPrintf("varnex-%llx-%x", seed, counter++);
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate + kDirSeparator;
      return;
    }
  }
  std::abort();
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  // Read-only directories made by tests must not stop the clean-up.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(path_, ec);
}

TestLog::TestLog() : log(fs, clock, console) {
  log.SetDirectory(dir.path());
}

std::string TestLog::Messages() const {
  // Each message starts with the 21-character prefix "YYYY.MM.DD. HH:MM:SS ".
  std::string out;
  std::istringstream in(console.text());
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (!first) {
      out.push_back('\n');
    }
    first = false;
    if (line.size() >= 21 && line[4] == '.' && line[7] == '.' && line[10] == '.' &&
        line[14] == ':') {
      line.erase(0, 21);
    }
    out.append(line);
  }
  if (!console.text().empty() && console.text().back() == '\n') {
    out.push_back('\n');
  }
  return out;
}

std::string Blanks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '~') {
      c = ' ';
    }
  }
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace varnex
