#include "app/file_driver.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>
#include <set>
#include <span>

#include "app/application.h"
#include "app/completeness.h"
#include "app/file_sink.h"
#include "app/safety/directories.h"
#include "app/safety/file_commit.h"
#include "convert/field_rules.h"
#include "mt/mt_file.h"
#include "platform/platform.h"
#include "util/string_printf.h"
#include "util/task_runner.h"

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

// At most this many problem lines are logged per file; the rest are counted.
constexpr std::size_t kMaxProblemLines = 20;

// One output of a file: its pass, its file and sink once created, and how the pass went.
struct PassRun {
  WriterKind kind;
  bool urgent;
  const std::string& name;
  std::unique_ptr<WritableFile> output = nullptr;
  std::unique_ptr<CrLfFileSink> sink = nullptr;
  PassResult result = {};
  bool finished = false;  // the output synced and closed
};

// Runs the passes into their sinks (a pass without a sink takes no order and writes nothing),
// and `announce`, the logging of the classification, as tasks. With `twoThreads` they run on
// this thread and one more, the longest first, so that each thread ends up with about half
// of the work: measured per order, a payment of the pain.001 document costs about twice one
// written back as HUA or INT, and each five to ten times the logging of its classification
// line. Otherwise they run one after another, `announce` first, then in pass order. Passes
// log nothing; each starts from its own place in the identifier sequence, counted from
// `context.sequence`, which is then advanced past all of them.
void RunPasses(const MtFile& file, const Classification& classification, ConversionContext& context,
               std::span<PassRun> passes, const std::function<void()>& announce, bool twoThreads) {
  struct Task {
    long cost;
    std::function<void()> run;
  };
  std::vector<Task> work;
  work.push_back({file.MessageCount(), announce});
  const std::int32_t first = context.sequence;
  for (std::size_t k = 0; k < passes.size(); ++k) {
    PassRun* pass = &passes[k];
    long perOrder = pass->kind == WriterKind::kSepaXml ? 9 : 5;
    work.push_back(
        {classification.ForPass(pass->kind, pass->urgent).count * perOrder, [&, pass, k] {
           std::int32_t sequence = first + static_cast<std::int32_t>(k) * PassSequenceLength(file);
           ConversionContext own{context.settings,  context.clock, context.codePages,
                                 context.log,       sequence,      context.listNotes,
                                 context.freshMsgId};
           StringSink unused;
           pass->result =
               Convert(file, classification, own, pass->kind, pass->urgent,
                       pass->sink != nullptr ? static_cast<ByteSink&>(*pass->sink) : unused);
           if (pass->sink != nullptr && pass->result.status == PassResult::Status::kOk) {
             pass->finished = pass->sink->Finish();
           }
         }});
  }
  if (twoThreads) {
    std::stable_sort(work.begin(), work.end(),
                     [](const Task& a, const Task& b) { return a.cost > b.cost; });
  }
  std::vector<std::function<void()>> tasks;
  for (Task& task : work) {
    tasks.push_back(std::move(task.run));
  }
  context.sequence = first + static_cast<std::int32_t>(passes.size()) * PassSequenceLength(file);
  RunTasks(tasks, twoThreads);
}

}  // namespace

std::int64_t EpochMs(const LocalTime& t) {
  using namespace std::chrono;
  sys_days date =
      year{t.year} / month{static_cast<unsigned>(t.month)} / day{static_cast<unsigned>(t.day)};
  sys_time<milliseconds> time = date + hours{t.hour} + minutes{t.minute} + seconds{t.second} +
                                milliseconds{t.millisecond} - minutes{t.utcOffsetMinutes};
  return time.time_since_epoch().count();
}

void Application::ProcessInputFiles() {
  if (nextInput_ >= inputPaths.size()) {
    return;
  }
  if (!backupIndex_) {
    backupIndex_.emplace(platform_.fs, tempNames_, settings.backupPath);
  }
  if (!refusals_) {
    refusals_.emplace(platform_.fs, tempNames_, settings.logPath);
  }
  if (!messageIds_) {
    messageIds_.emplace(platform_.fs, settings.backupPath);
  }
  for (std::size_t i = nextInput_; i < inputPaths.size(); ++i) {
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
  nextInput_ = inputPaths.size();
  refusals_->Save();
  backupIndex_->Save();
}

std::string Application::NowText() {
  LocalTime t = platform_.clock.Now();
  auto u = [](int v) { return static_cast<unsigned>(v); };
  return StringPrintf("%4.4u.%2.2u.%2.2u. %2.2u:%2.2u:%2.2u", u(t.year), u(t.month), u(t.day),
                      u(t.hour), u(t.minute), u(t.second));
}

void Application::RefuseFile(const std::string& path, const FileIdentity& identity,
                             const MtFile* file, const std::vector<FileProblem>& problems) {
  if (problems.empty()) {
    return;
  }
  ReportProblems(path, file, problems);
  std::string reason = DescribeProblem(file, problems[0], *codePages_);
  if (problems.size() > 1) {
    StringAppendF(&reason, " (és további %zu hiba)", problems.size() - 1);
  }
  refusals_->Record(path, identity, NowText(), reason);
}

void Application::ReportProblems(const std::string& path, const MtFile* file,
                                 const std::vector<FileProblem>& problems) {
  for (std::size_t i = 0; i < problems.size() && i < kMaxProblemLines; ++i) {
    log_.Printf("Hiba: %s: %s\n", path.c_str(),
                DescribeProblem(file, problems[i], *codePages_).c_str());
  }
  if (problems.size() > kMaxProblemLines) {
    log_.Printf("Hiba: további %zu hiba ebben a fájlban: %s\n", problems.size() - kMaxProblemLines,
                path.c_str());
  }
  log_.Printf("Hiba: a fájl nem konvertálható, az input marad: %s\n", path.c_str());
}

std::int64_t Application::TimeUntilOfAge(const std::string& path) {
  if (mode != RunMode::kInputDirectory || settings.minFileAge <= 0) {
    return 0;
  }
  FileIdentity identity;
  if (!platform_.fs.Stat(path, &identity)) {
    return 0;  // the open reports what happened to it
  }
  std::int64_t ageMs = EpochMs(platform_.clock.Now()) - identity.mtimeNs / 1000000;
  return std::max<std::int64_t>(0, static_cast<std::int64_t>(settings.minFileAge) * 1000 - ageMs);
}

// How long an input may be held open by another program, unchanged, before that is a problem.
constexpr std::int64_t kHeldBoundMs = 10 * 60 * 1000;

std::string LongNameText(FileSystem& fs, const OutputNames& names) {
  for (const std::string* name : {&names.sepa, &names.urgent, &names.other, &names.backup}) {
    std::size_t length = 0;
    std::size_t limit = 0;
    if (!fs.NameFits(*name, &length, &limit)) {
      return StringPrintf(
          "a(z) %s név hosszabb (%zu), mint amennyit a fájlrendszer enged (%zu); rövidítse az "
          "input fájl nevét legalább %zu karakterrel",
          name->c_str(), length, limit, length - limit);
    }
  }
  return "";
}

std::string FutureStampText(const FileIdentity& identity, const LocalTime& now,
                            std::int32_t minFileAge) {
  std::int64_t aheadMs = identity.mtimeNs / 1000000 - EpochMs(now);
  if (minFileAge <= 0 || identity.mtimeNs == 0 ||
      aheadMs <= static_cast<std::int64_t>(minFileAge) * 1000) {
    return "";
  }
  return StringPrintf(
      "a fájl módosítási ideje %lld másodperccel jár az óra előtt, így a MinFileAge (%d "
      "másodperc) várakozása nem ér véget; állítsa be az exportáló gép óráját, és adjon a "
      "fájlnak mostani időt (touch FÁJL)",
      static_cast<long long>((aheadMs + 999) / 1000), minFileAge);
}

bool Application::ProcessInputFile(const std::string& path, const std::string& title) {
  FileSystem& fs = platform_.fs;
  if (FileIdentity stamp; mode == RunMode::kInputDirectory && fs.Stat(path, &stamp)) {
    // A time stamp ahead of the clock would be waited for until the clock catches up.
    if (std::string ahead = FutureStampText(stamp, platform_.clock.Now(), settings.minFileAge);
        !ahead.empty()) {
      log_.Printf("Hiba: %s: %s\n", path.c_str(), ahead.c_str());
      log_.Printf("Hiba: a fájl nem konvertálható, az input marad: %s\n", path.c_str());
      return false;
    }
  }
  if (blockedInputs_.contains(path)) {
    log_.Printf(
        "Hiba: a fájl egy megszakadt futás be nem fejezett véglegesítéséhez tartozik, addig nem "
        "dolgozható fel, az input marad: %s\n",
        path.c_str());
    return false;
  }
  if (fs.IsLink(path)) {
    log_.Printf("Hiba: %s: %s\n", path.c_str(), LinkInputText().c_str());
    log_.Printf("Hiba: a fájl nem konvertálható, az input marad: %s\n", path.c_str());
    return false;
  }
  if (std::int64_t waitMs = TimeUntilOfAge(path); waitMs > 0) {
    // A modification time in the future (another machine's clock) is not waited for.
    if (round_ + 1 < kRounds && waitMs <= static_cast<std::int64_t>(settings.minFileAge) * 1000) {
      log_.Printf("A fájl %d másodpercnél frissebb, ez a futás később újra megnézi: %s\n",
                  settings.minFileAge, path.c_str());
      heldBack_.insert(path);
      heldBackMs_ = std::max(heldBackMs_, waitMs);
    } else {
      log_.Printf("A fájl %d másodpercnél frissebb, a következő futás dolgozza fel: %s\n",
                  settings.minFileAge, path.c_str());
    }
    return true;
  }
  lastFileStamp_ = NextFileStamp(platform_.clock.Now(), lastFileStamp_);
  std::string ext = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  OutputNames names = MakeOutputNames(settings, title, ext, lastFileStamp_);

  // The lock is held until the input has been moved away or left in place.
  std::unique_ptr<ReadableFile> input;
  std::string reason;
  switch (fs.OpenLocked(path, &input, &reason)) {
  case OpenStatus::kOk:
    break;
  case OpenStatus::kLocked: {
    // A run holds an input for the seconds it converts it, and an exporter while it writes
    // (changing it). One held unchanged for long is held by a program that hangs.
    FileIdentity held;
    std::int64_t unchangedMs =
        fs.Stat(path, &held) ? EpochMs(platform_.clock.Now()) - held.mtimeNs / 1000000 : 0;
    std::int64_t boundMs = std::max<std::int64_t>(kHeldBoundMs, settings.minFileAge * 1000LL);
    if (unchangedMs > boundMs) {
      log_.Printf(
          "Hiba: a fájlt egy másik program zárolja, és %lld perce nem változott: %s (zárja be a "
          "fájlt tartó programot, vagy vegye ki a fájlt az input könyvtárból)\n",
          static_cast<long long>(unchangedMs / 60000), path.c_str());
      return false;
    }
    log_.Printf("A fájlt egy másik program vagy futás tartja nyitva, kihagyva: %s\n", path.c_str());
    return true;
  }
  case OpenStatus::kGone:
    log_.Printf("A fájl már nincs meg, kihagyva: %s\n", path.c_str());
    return true;
  case OpenStatus::kFailed:
    log_.Printf("Hiba: az input fájl nem olvasható: %s (%s)\n", path.c_str(), reason.c_str());
    return false;
  }
  const FileIdentity identity = input->Identity();
  if (mode == RunMode::kInputDirectory) {
    std::optional<Refusal> earlier = refusals_->Find(path, identity);
    // A copy of a backup that is gone is looked at anew: its refusal's reason is gone.
    if (earlier && !DuplicateBackupOf(earlier->reason).empty() &&
        !fs.Exists(DuplicateBackupOf(earlier->reason))) {
      refusals_->Forget(path);
      earlier.reset();
    }
    if (earlier) {
      log_.Printf(
          "Hiba: a fájlt egy korábbi futás már elutasította, azóta nem változott, kihagyva: %s "
          "(elutasítva: %s, oka: %s)\n",
          path.c_str(), earlier->when.c_str(), earlier->reason.c_str());
      return false;
    }
  }
  // Backups are never inputs, also when picked by hand.
  if (SameDirectory(fs, DirectoryOf(path), settings.backupPath)) {
    RefuseFile(path, identity, nullptr, {{0, BackupInputText(path)}});
    return false;
  }
  std::string bytes;
  if (!input->ReadAll(&bytes, &reason)) {
    log_.Printf("Hiba: az input fájl nem olvasható: %s (%s)\n", path.c_str(), reason.c_str());
    return false;
  }
  const Fingerprint print = FingerprintOf(bytes);
  if (settings.rejectDuplicates == 1 && !resubmit_) {
    std::string itself;
    std::string unreadable;
    std::optional<std::string> copy =
        backupIndex_->FindCopy(bytes, print, &identity, &itself, &unreadable);
    if (copy || !itself.empty()) {
      RefuseFile(path, identity, nullptr,
                 {{0, copy ? DuplicateText(*copy) : BackupInputText(itself)}});
      return false;
    }
    if (!unreadable.empty()) {
      // Not remembered: the next run looks again, once the backup can be read.
      ReportProblems(path, nullptr, {{0, UnconfirmedCopyText(unreadable)}});
      return false;
    }
  }
  // A name the commit could not make, or an input it could not move away, would stop it past
  // its commit point.
  if (std::string tooLong = LongNameText(fs, names); !tooLong.empty()) {
    RefuseFile(path, identity, nullptr, {{0, tooLong}});
    return false;
  }
  if (!fs.CanRemove(path, &reason)) {
    // Not remembered: the file itself may stay as it is while the cause goes.
    ReportProblems(path, nullptr, {{0, UnremovableText(reason)}});
    return false;
  }

  MtFile file;
  file.Parse(path, std::move(bytes), *codePages_);
  log_.Printf("Input fájl neve: %s\n", path.c_str());
  log_.Printf("Üzenetek száma: %ld\n", static_cast<long>(file.MessageCount()));
  ConversionContext context{settings, platform_.clock, *codePages_, log_, sequence};
  if (resubmit_) {
    context.freshMsgId = "R" + lastFileStamp_;
    log_.Printf(
        "Szándékos újraküldés (--resubmit): a másolat-ellenőrzés kimarad, a dokumentumok "
        "üzenetazonosítója %s: %s\n",
        context.freshMsgId.c_str(), path.c_str());
  }
  Classification classification = Classify(file, context);
  std::vector<FileProblem> problems =
      FindIncompleteness(file, classification, settings.checkTotals == 1);
  if (!problems.empty()) {
    LogClassification(classification, log_);
    RefuseFile(path, identity, &file, problems);
    return false;
  }
  // The classification's lines and the processing line. On the way to converting they are
  // one of the tasks, logged by one thread while the other converts (passes log nothing); a
  // way out before that logs them first.
  bool announced = false;
  auto announce = [&] {
    if (!announced) {
      announced = true;
      LogClassification(classification, log_);
      if (!classification.grammar.dropped.empty()) {
        log_.Printf(
            "Figyelem: a név- és címmezők %zu további sora nem kerül a kimenetekbe (a "
            "sorokat a varnex --check sorolja fel): %s\n",
            classification.grammar.dropped.size(), path.c_str());
      }
      log_.Printf("Input fájl feldolgozása: %s.\n", path.c_str());
    }
  };

  if (!fs.IsDirectory(settings.backupPath)) {
    announce();
    log_.Printf("Hiba: a backup könyvtár nem létezik: %s (az input marad: %s)\n",
                settings.backupPath.c_str(), path.c_str());
    return false;
  }
  if (fs.Exists(names.backup)) {
    announce();
    log_.Printf("Hiba: a backup fájl már létezik: %s (az input marad: %s)\n", names.backup.c_str(),
                path.c_str());
    return false;
  }

  // The outputs are created in pass order, then the passes run (RunPasses); their outcomes
  // are taken in pass order.
  FileCommit commit(fs, tempNames_);
  PassRun passes[] = {{WriterKind::kSepaXml, false, names.sepa},
                      {WriterKind::kSepaXml, true, names.urgent},
                      {names.otherKind, false, names.other}};
  for (PassRun& pass : passes) {
    if (classification.ForPass(pass.kind, pass.urgent).count > 0) {
      pass.output = commit.CreateOutput(pass.name, &reason);
      if (pass.output == nullptr) {
        announce();
        log_.Printf("Hiba: az output fájl nem hozható létre: %s (%s)\n", pass.name.c_str(),
                    reason.c_str());
        return false;
      }
      pass.sink = std::make_unique<CrLfFileSink>(*pass.output);
    }
  }
  RunPasses(file, classification, context, passes, announce, fs.WritesConcurrently());
  for (PassRun& pass : passes) {
    switch (pass.result.status) {
    case PassResult::Status::kOk:
      break;
    case PassResult::Status::kInternalError:
      log_.Write(pass.result.internalError);
      log_.Printf("Hiba: a fájl nem konvertálható, az input marad: %s\n", path.c_str());
      return false;
    case PassResult::Status::kProblems:
      for (FileProblem& problem : pass.result.problems) {
        problems.push_back(std::move(problem));
      }
      continue;
    case PassResult::Status::kWriteFailed:
      break;
    }
    if (pass.sink != nullptr && !pass.finished) {
      log_.Printf("Hiba: az output fájl nem hozható létre: %s (%s)\n", pass.name.c_str(),
                  pass.sink->reason().c_str());
      return false;
    }
  }
  if (!problems.empty()) {
    RefuseFile(path, identity, &file,
               FoldSettingProblems(std::move(problems), settings, *codePages_));
    return false;
  }

  // The MsgIds of the documents go into the record with the commit; one written before
  // refuses the file.
  std::vector<WrittenMessageId> ids;
  std::vector<FileProblem> reused;
  bool generatedReused = false;
  for (const PassRun& pass : passes) {
    if (pass.kind != WriterKind::kSepaXml || pass.sink == nullptr) {
      continue;
    }
    WrittenMessageId written{pass.result.msgId, pass.name};
    std::optional<std::string> earlier;
    if (settings.rejectReusedMsgId == 1 && !messageIds_->Find(written.id, &earlier, &reason)) {
      log_.Printf(
          "Hiba: az üzenetazonosítók nyilvántartása nem olvasható: %s (%s; az input "
          "marad: %s)\n",
          messageIds_->Path().c_str(), reason.c_str(), path.c_str());
      return false;
    }
    if (earlier) {
      reused.push_back(ReusedMsgIdProblem(written.id, *earlier));
      generatedReused = generatedReused || !pass.result.msgIdFromHeader;
    }
    commit.AddMessageId(written);
    ids.push_back(std::move(written));
  }
  if (!reused.empty()) {
    // A generated id met again (the clock was set back) is not the file's fault: the next
    // run generates another, so the refusal is not remembered.
    if (generatedReused) {
      ReportProblems(path, &file, reused);
    } else {
      RefuseFile(path, identity, &file, reused);
    }
    return false;
  }

  bool committed = commit.Commit(path, input->Identity(), names.backup, log_);
  if (commit.published()) {
    for (const WrittenMessageId& written : ids) {
      messageIds_->Add(written);
    }
  }
  if (!committed) {
    return false;
  }
  backupIndex_->Add(names.backup, print);
  refusals_->Forget(path);
  converted_.insert(path);
  for (const std::string& output : commit.FinalNames()) {
    log_.Printf("Output fájl létrehozva: %s\n", output.c_str());
  }
  std::int64_t omitted = 0;
  std::int64_t changed = 0;
  for (const PassRun& pass : passes) {
    omitted += pass.result.omittedAddresses;
    changed += pass.result.changedTexts;
  }
  if (changed > 0) {
    log_.Printf(
        "Az EPC-karakterkészlet miatt %lld szöveges érték változott a SEPA-dokumentumban "
        "([SEPA] Characters=epc; a varnex --check felsorolja őket): %s\n",
        static_cast<long long>(changed), path.c_str());
  }
  if (omitted > 0) {
    log_.Printf(
        "Figyelem: %lld cím kimaradt a SEPA-dokumentumból, mert nincs benne biztos "
        "település ([SEPA] AddressWithoutTown=omit): %s\n",
        static_cast<long long>(omitted), path.c_str());
  }
  log_.Printf("Backup fájl létrehozva: %s.\n", names.backup.c_str());
  return true;
}

}  // namespace varnex
