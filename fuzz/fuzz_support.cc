#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/code_page.h"
#include "util/visible_text.h"

namespace varnex {
namespace {

constexpr std::string_view kNoDisk = "no disk in a fuzz run";

void SetReason(std::string* reason) {
  if (reason != nullptr) {
    reason->assign(kNoDisk);
  }
}

class DiscardingAppendFile : public AppendFile {
 public:
  bool Append(std::string_view, std::string*) override { return true; }
  bool StillNamed(const std::string&) override { return true; }
};

}  // namespace

const CodePages& FuzzCodePages() {
  static const std::optional<CodePages> tables = CodePages::Open();
  if (!tables) {
    std::fputs("the C library lacks CP437, CP852 or CP1250\n", stderr);
    std::abort();
  }
  return *tables;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "==varnex fuzz== check failed: %s\n", what);
    std::abort();
  }
}

bool CheckFinding(bool ok, std::string_view id, const char* what) {
  if (ok) {
    return true;
  }
  static const std::string tolerated = [] {
    const char* value = std::getenv("VARNEX_FUZZ_TOLERATE");
    return value != nullptr ? "," + std::string(value) + "," : std::string();
  }();
  if (tolerated.find("," + std::string(id) + ",") == std::string::npos) {
    std::fprintf(stderr, "==varnex fuzz== finding %.*s: %s\n", static_cast<int>(id.size()),
                 id.data(), what);
    std::abort();
  }
  return false;
}

int CountMarkers(std::string_view text, std::string_view marker) {
  int n = 0;
  for (std::size_t at = text.find(marker); at != std::string_view::npos;
       at = text.find(marker, at + 1)) {
    ++n;
  }
  return n;
}

OpenStatus DiscardingFileSystem::OpenLocked(const std::string&, std::unique_ptr<ReadableFile>* file,
                                            std::string* reason) {
  file->reset();
  SetReason(reason);
  return OpenStatus::kFailed;
}

std::unique_ptr<Lock> DiscardingFileSystem::TryLockDirectory(const std::string&, bool* busy) {
  if (busy != nullptr) {
    *busy = false;
  }
  return nullptr;
}

bool DiscardingFileSystem::ReadFile(const std::string&, std::string* out, std::string* reason) {
  out->clear();
  SetReason(reason);
  return false;
}

std::unique_ptr<WritableFile> DiscardingFileSystem::CreateExclusive(const std::string&,
                                                                    std::string* reason) {
  SetReason(reason);
  return nullptr;
}

std::unique_ptr<WritableFile> DiscardingFileSystem::ExtendFile(const std::string&,
                                                               std::string* reason) {
  SetReason(reason);
  return nullptr;
}

std::unique_ptr<AppendFile> DiscardingFileSystem::OpenAppend(const std::string&, std::string*) {
  return std::make_unique<DiscardingAppendFile>();
}

bool DiscardingFileSystem::MakeDir(const std::string&, std::string*) {
  return false;
}

bool DiscardingFileSystem::IsDirectory(const std::string&) {
  return false;
}

bool DiscardingFileSystem::Exists(const std::string&) {
  return false;
}

bool DiscardingFileSystem::Remove(const std::string&, std::string* reason) {
  SetReason(reason);
  return false;
}

bool DiscardingFileSystem::RenameNoReplace(const std::string&, const std::string&,
                                           std::string* reason) {
  SetReason(reason);
  return false;
}

bool DiscardingFileSystem::MoveNoReplace(const std::string&, const std::string&, const std::string&,
                                         std::string* reason) {
  SetReason(reason);
  return false;
}

std::vector<std::string> DiscardingFileSystem::ListFiles(const std::string&, std::string_view) {
  return {};
}

std::vector<std::string> DiscardingFileSystem::ListNames(const std::string&) {
  return {};
}

bool DiscardingFileSystem::ReplaceFile(const std::string&, std::string_view, const std::string&,
                                       std::string* reason) {
  SetReason(reason);
  return false;
}

bool DiscardingFileSystem::SyncDirectory(const std::string&, std::string* reason) {
  SetReason(reason);
  return false;
}

std::unique_ptr<Lock> DiscardingFileSystem::CreateRunLock(const std::string&, std::string_view,
                                                          std::string* reason) {
  SetReason(reason);
  return nullptr;
}

std::string DiscardingFileSystem::RunId() {
  return "1";
}

std::string DiscardingFileSystem::ExecutableDir() {
  return "/varnex/";
}

void DiscardingConsole::Write(std::string_view utf8) {
  std::size_t end = utf8.find_last_not_of('\n');
  Check(!HasControlCharacter(utf8.substr(0, end == std::string_view::npos ? 0 : end + 1)),
        "a logged message holds a line end or another control character before its end");
}

LocalTime FixedClock::Now() {
  LocalTime t;
  t.year = 2016;
  t.month = 10;
  t.day = 5;
  t.hour = 14;
  t.minute = 3;
  t.second = 7;
  t.millisecond = 45;
  t.utcOffsetMinutes = 120;
  return t;
}

}  // namespace varnex
