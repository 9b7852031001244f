#include "app/file_driver.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <set>

#include "app/application.h"
#include "app/file_commit.h"
#include "mt/mt_file.h"
#include "platform/platform.h"
#include "util/string_printf.h"

namespace varnex {
namespace {

std::string FormatStamp(const LocalTime& t) {
  auto u = [](int v) { return static_cast<unsigned>(v); };
  return StringPrintf("%4.4u%2.2u%2.2u%2.2u%2.2u%2.2u%3.3u", u(t.year), u(t.month), u(t.day),
                      u(t.hour), u(t.minute), u(t.second), u(t.millisecond));
}

// Parses a stamp made by FormatStamp.
LocalTime ParseStamp(const std::string& s) {
  auto num = [&](std::size_t pos, std::size_t len) {
    int v = 0;
    for (std::size_t i = pos; i < pos + len && i < s.size(); ++i) {
      v = v * 10 + (s[i] - '0');
    }
    return v;
  };
  LocalTime t;
  t.year = num(0, 4);
  t.month = num(4, 2);
  t.day = num(6, 2);
  t.hour = num(8, 2);
  t.minute = num(10, 2);
  t.second = num(12, 2);
  t.millisecond = num(14, 3);
  return t;
}

LocalTime PlusOneMillisecond(const LocalTime& t) {
  using namespace std::chrono;
  sys_days date =
      year{t.year} / month{static_cast<unsigned>(t.month)} / day{static_cast<unsigned>(t.day)};
  sys_time<milliseconds> next = date + hours{t.hour} + minutes{t.minute} + seconds{t.second} +
                                milliseconds{t.millisecond + 1};
  sys_days nextDate = floor<days>(next);
  year_month_day ymd{nextDate};
  hh_mm_ss<milliseconds> time{next - nextDate};
  LocalTime r = t;
  r.year = static_cast<int>(ymd.year());
  r.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  r.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  r.hour = static_cast<int>(time.hours().count());
  r.minute = static_cast<int>(time.minutes().count());
  r.second = static_cast<int>(time.seconds().count());
  r.millisecond = static_cast<int>(time.subseconds().count());
  return r;
}

}  // namespace

OutputNames MakeOutputNames(const Settings& settings, const std::string& title,
                            const std::string& ext, const std::string& fileStamp) {
  OutputNames names;
  std::string base = title + "_" + fileStamp;
  names.sepa = settings.outputPath + base + ".CCT";
  // Compared case-sensitively, as the extension of the first document is.
  names.urgent = settings.outputPath + base +
                 (settings.urgentTrgtExtension == "CCT" ? "_U." : ".") +
                 settings.urgentTrgtExtension;
  MtKind kind = KindOfPath(ext);
  if (kind == MtKind::kHua || (kind == MtKind::kInt && settings.convertIntToHua == 1)) {
    names.otherKind = WriterKind::kHua;
    std::string dir = settings.outputPathHua.empty() ? settings.outputPath : settings.outputPathHua;
    names.other = dir + base + "." + (kind == MtKind::kHua ? ext : std::string("HUA"));
  } else if (kind == MtKind::kInt) {
    names.otherKind = WriterKind::kInt;
    std::string dir = settings.outputPathInt.empty() ? settings.outputPath : settings.outputPathInt;
    names.other = dir + base + "." + ext;
  } else {
    names.otherKind = WriterKind::kSepaXml;
    names.other = settings.outputPath + base + "." + ext;
  }
  names.backup = settings.backupPath + base + "." + ext;
  return names;
}

std::string NextFileStamp(const LocalTime& now, const std::string& previous) {
  std::string stamp = FormatStamp(now);
  if (!previous.empty() && stamp <= previous) {
    stamp = FormatStamp(PlusOneMillisecond(ParseStamp(previous)));
  }
  return stamp;
}

}  // namespace varnex

namespace varnex {
namespace {

// Writes the document pieces into a new file with CR LF line ends; every step is checked.
bool WriteDocument(FileCommit& commit, const std::string& path, const DocumentText& document,
                   std::string* reason) {
  std::vector<std::string_view> pieces = {document.header};
  pieces.insert(pieces.end(), document.payments.begin(), document.payments.end());
  pieces.push_back(document.trailer);
  std::unique_ptr<WritableFile> file = commit.CreateOutput(path, reason);
  if (file == nullptr) {
    return false;
  }
  std::string chunk;
  constexpr std::size_t kChunk = 1 << 16;
  chunk.reserve(2 * kChunk + 2);
  for (std::string_view piece : pieces) {
    while (!piece.empty()) {
      std::size_t lf = piece.find('\n');
      std::size_t take = lf == std::string_view::npos ? piece.size() : lf;
      chunk.append(piece.substr(0, take));
      if (lf != std::string_view::npos) {
        chunk.append("\r\n");
        ++take;
      }
      piece.remove_prefix(take);
      if (chunk.size() >= kChunk) {
        if (!file->Append(chunk, reason)) {
          return false;
        }
        chunk.clear();
      }
    }
  }
  if (!chunk.empty() && !file->Append(chunk, reason)) {
    return false;
  }
  return file->Sync(reason) && file->Close(reason);
}

}  // namespace

void Application::ProcessInputFiles() {
  if (inputPaths.empty()) {
    return;
  }
  for (std::size_t i = 0; i < inputPaths.size(); ++i) {
    bool converted = false;
    try {
      converted = ProcessInputFile(inputPaths[i], inputTitles[i]);
    } catch (const std::bad_alloc&) {
      // What the file produced is already removed; the run goes on with the next file.
      log_.Printf("Hiba: nincs elég memória a fájl feldolgozásához, az input marad: %s\n",
                  inputPaths[i].c_str());
    }
    if (!converted) {
      anyFileLeft_ = true;
    }
  }
}

bool Application::ProcessInputFile(const std::string& path, const std::string& title) {
  FileSystem& fs = platform_.fs;
  lastFileStamp_ = NextFileStamp(platform_.clock.Now(), lastFileStamp_);
  std::string ext = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  OutputNames names = MakeOutputNames(settings, title, ext, lastFileStamp_);

  // The lock is held until the input has been moved away or left in place.
  std::unique_ptr<ReadableFile> input;
  std::string reason;
  switch (fs.OpenLocked(path, &input, &reason)) {
  case OpenStatus::kOk:
    break;
  case OpenStatus::kLocked:
    log_.Printf("A fájlt egy másik futás dolgozza fel, kihagyva: %s\n", path.c_str());
    return true;
  case OpenStatus::kGone:
    log_.Printf("A fájl már nincs meg, kihagyva: %s\n", path.c_str());
    return true;
  case OpenStatus::kFailed:
    log_.Printf("Hiba: az input fájl nem olvasható: %s (%s)\n", path.c_str(), reason.c_str());
    return false;
  }
  std::string bytes;
  if (!input->ReadAll(&bytes, &reason)) {
    log_.Printf("Hiba: az input fájl nem olvasható: %s (%s)\n", path.c_str(), reason.c_str());
    return false;
  }

  MtFile file;
  file.Load(path, std::move(bytes), *codePages_, log_);
  ConversionContext context{settings, platform_.clock, *codePages_, log_, sequence};
  std::vector<MessageClass> classes = Classify(file, context);
  log_.Printf("Input fájl feldolgozása: %s.\n", path.c_str());

  if (!fs.IsDirectory(settings.backupPath)) {
    log_.Printf("Hiba: a backup könyvtár nem létezik: %s (az input marad: %s)\n",
                settings.backupPath.c_str(), path.c_str());
    return false;
  }
  if (fs.Exists(names.backup)) {
    log_.Printf("Hiba: a backup fájl már létezik: %s (az input marad: %s)\n", names.backup.c_str(),
                path.c_str());
    return false;
  }

  FileCommit commit(fs, tempNames_);
  struct Pass {
    WriterKind kind;
    bool urgent;
    const std::string& name;
  };
  const Pass passes[] = {{WriterKind::kSepaXml, false, names.sepa},
                         {WriterKind::kSepaXml, true, names.urgent},
                         {names.otherKind, false, names.other}};
  for (const Pass& pass : passes) {
    PassResult result = Convert(file, classes, context, pass.kind, pass.urgent);
    if (result.status == PassResult::Status::kInternalError) {
      log_.Printf("Hiba: a fájl nem konvertálható, az input marad: %s\n", path.c_str());
      return false;
    }
    if (result.status == PassResult::Status::kAmountTooLarge) {
      log_.Printf("Hiba: a(z) %ld. üzenet összege nem írható ki pontosan: %s (az input marad)\n",
                  result.failedMessage, path.c_str());
      return false;
    }
    if (result.status == PassResult::Status::kUnreadable) {
      if (result.failedMessage > 0) {
        log_.Printf(
            "Hiba: a(z) %ld. üzenet szövege a kimeneti fájl szerkezetét jelző részt tartalmaz, "
            "változatlanul nem írható ki: %s (az input marad)\n",
            result.failedMessage, path.c_str());
      } else {
        log_.Printf(
            "Hiba: a fájl fejléce a kimeneti fájl szerkezetét jelző részt tartalmaz, "
            "változatlanul nem írható ki: %s (az input marad)\n",
            path.c_str());
      }
      return false;
    }
    if (result.writer == nullptr) {
      continue;
    }
    if (!WriteDocument(commit, pass.name, result.document, &reason)) {
      log_.Printf("Hiba: az output fájl nem hozható létre: %s (%s)\n", pass.name.c_str(),
                  reason.c_str());
      return false;
    }
  }

  if (!commit.Commit(path, input->Identity(), names.backup, log_)) {
    return false;
  }
  for (const std::string& output : commit.FinalNames()) {
    log_.Printf("Output fájl létrehozva: %s\n", output.c_str());
  }
  log_.Printf("Backup fájl létrehozva: %s.\n", names.backup.c_str());
  return true;
}

}  // namespace varnex
