// Committing one input file: the names of a run's files, liveness told by locks, an input
// that changes while it is converted, and a crash after every file-system step with every
// loss of unsynced state the file system allows, each followed by the next run.
#include "app/safety/file_commit.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "app/application.h"
#include "testing/crash_file_system.h"
#include "testing/fake_platform.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";

// A SEPA order, an urgent SEPA order and an order that is not a SEPA order: three outputs.
std::string ThreeOutputInput() {
  return HuaFile({HuaMessage(true, "R1", "EUR100,10", "DEUTDEFF", kDeIban),
                  HuaMessage(false, "R2", "EUR200,20", "BNPAFRPP", kFrIban, "URGENT"),
                  HuaMessage(false, "R3", "HUF300,00", "DEUTDEFF", kDeIban)});
}

// The program directory /v/ on a crash file system, with in/, out/, log/ and the backup
// directory, either /v/bak/ or /b/bak/ on a file system of its own.
struct CrashWorld {
  explicit CrashWorld(bool backupElsewhere)
      : fs({"/v/", "/b/"}, "/v/"), bak(backupElsewhere ? "/b/bak/" : "/v/bak/") {
    for (const char* dir : {"/v/", "/v/in/", "/v/out/", "/v/log/", "/b/"}) {
      fs.AddDirectory(dir);
    }
    fs.AddDirectory(bak);
    std::string ini = RunHarness::kIni;
    ini.replace(ini.find("BackupPath=bak"), 14, "BackupPath=" + bak);
    fs.AddFile("/v/varnex.ini", ini);
    fs.AddFile("/v/in/ABC.HUA", ThreeOutputInput());
  }
  int Run() {
    console.Clear();
    Application app(Platform{fs, clock, console, picker}, errors);
    return app.Main(ParseCommandLine({"varnex", "-c"}));
  }
  // The files of `dir` that are not this program's own dot files, with their content.
  std::map<std::string, std::string> Finals(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : fs.ListNames(dir)) {
      std::string bytes;
      if (name[0] != '.' && fs.ReadFile(dir + name, &bytes, nullptr)) {
        files[name] = bytes;
      }
    }
    return files;
  }
  int Count(const std::string& dir, RunFileName::Kind kind) {
    int n = 0;
    for (const std::string& name : fs.ListNames(dir)) {
      RunFileName parsed;
      n += ParseRunFileName(name, &parsed) && parsed.kind == kind ? 1 : 0;
    }
    return n;
  }

  CrashFileSystem fs;
  std::string bak;
  FakeClock clock;
  CapturingConsole console;
  FakePicker picker;
  std::ostringstream errors;
};

TEST(FileCommitTest, RunFileNames) {
  using Kind = RunFileName::Kind;
  struct Row {
    const char* name;
    bool ours;
    const char* run;
    Kind kind;
  } rows[] = {
      {".varnex-r12-7.tmp", true, "r12", Kind::kTemp},
      {".varnex-1fat3-70.jrn", true, "1fat3", Kind::kJournal},
      {".varnex-ab9.lock", true, "ab9", Kind::kLock},
      {".varnex-ab9-.tmp", false, "", Kind::kTemp},
      {".varnex-AB-1.tmp", false, "", Kind::kTemp},
      {".varnex--1.tmp", false, "", Kind::kTemp},
      {".varnex-ab-1.HUA", false, "", Kind::kTemp},
      {".varnex-ab-1.lock", false, "", Kind::kTemp},
      {"varnex-ab-1.tmp", false, "", Kind::kTemp},
      {".other-123-7.tmp", false, "", Kind::kTemp},
  };
  for (const Row& row : rows) {
    RunFileName parsed;
    EXPECT_EQ(row.ours, ParseRunFileName(row.name, &parsed)) << row.name;
    if (row.ours) {
      EXPECT_EQ(row.run, parsed.run) << row.name;
      EXPECT_EQ(row.kind, parsed.kind) << row.name;
    }
  }
}

// The files of a run whose lock is held stay; those of a dead run go, whatever its process
// id was.
TEST(FileCommitTest, LiveRunsKeepTheirFiles) {
  CrashWorld w(false);
  std::string reason;
  std::unique_ptr<Lock> live = w.fs.CreateRunLock("/v/out/.varnex-live.lock", "/v/bak/\n", &reason);
  w.fs.AddFile("/v/out/.varnex-live-1.tmp", "being written");
  w.fs.AddFile("/v/out/.varnex-dead-1.tmp", "left over");
  ASSERT_EQ(0, w.Run());
  EXPECT_TRUE(w.fs.Exists("/v/out/.varnex-live-1.tmp"));
  EXPECT_TRUE(w.fs.Exists("/v/out/.varnex-live.lock"));
  EXPECT_FALSE(w.fs.Exists("/v/out/.varnex-dead-1.tmp"));
  EXPECT_NE(
      std::string::npos,
      w.console.text().find(
          "Egy korábbi, megszakadt futás ideiglenes fájlja törölve: /v/out/.varnex-dead-1.tmp"));
  EXPECT_EQ(3u, w.Finals("/v/out/").size());
  live.reset();
  ASSERT_EQ(0, w.Run());
  EXPECT_FALSE(w.fs.Exists("/v/out/.varnex-live-1.tmp"));
  EXPECT_FALSE(w.fs.Exists("/v/out/.varnex-live.lock"));
}

TEST(FileCommitTest, InputChangedWhileConvertedIsLeftForTheNextRun) {
  for (bool elsewhere : {false, true}) {
    CrashWorld w(elsewhere);
    // Step 1 is the first file the run makes, after it has read the input.
    w.fs.AtStep(1, [&] { w.fs.Rewrite("/v/in/ABC.HUA", ThreeOutputInput() + " "); });
    EXPECT_EQ(2, w.Run());
    EXPECT_NE(std::string::npos,
              w.console.text().find("Hiba: az input fájl megváltozott a feldolgozás közben, a "
                                    "következő futás dolgozza fel: /v/in/ABC.HUA\n"))
        << w.console.text();
    EXPECT_EQ(std::vector<std::string>{}, w.fs.ListNames("/v/out/"));
    EXPECT_EQ(std::vector<std::string>{}, w.fs.ListNames(w.bak));
    w.clock.AdvanceMs(1000);
    EXPECT_EQ(0, w.Run());
    EXPECT_EQ(3u, w.Finals("/v/out/").size());
    EXPECT_EQ(std::vector<std::string>{}, w.fs.ListNames("/v/in/"));
  }
}

// The first number of steps after which a stopped run leaves a state where `holds`.
template <typename Pred>
int FirstStop(Pred holds) {
  for (int stop = 1; stop < 100; ++stop) {
    CrashWorld probe(false);
    probe.fs.StopAfter(stop);
    probe.Run();
    probe.fs.Crash(~0ULL);
    if (holds(probe)) {
      return stop;
    }
  }
  return 0;
}

// Recovery runs before any input is read, in both modes, also when there is no input at all.
TEST(FileCommitTest, RecoveryRunsInBothModesWithoutInput) {
  int inputMoved = FirstStop([](CrashWorld& w) {
    return w.Count(w.bak, RunFileName::Kind::kJournal) == 1 && !w.fs.Exists("/v/in/ABC.HUA");
  });
  ASSERT_NE(0, inputMoved);
  for (const char* argument : {"-c", ""}) {
    CrashWorld w(false);
    w.fs.StopAfter(inputMoved);
    w.Run();
    w.fs.Crash(~0ULL);
    Application app(Platform{w.fs, w.clock, w.console, w.picker}, w.errors);
    std::vector<std::string> arguments = {"varnex"};
    if (*argument != '\0') {
      arguments.push_back(argument);
    }
    EXPECT_EQ(0, app.Main(ParseCommandLine(arguments))) << argument;
    if (*argument != '\0') {
      EXPECT_NE(std::string::npos, w.console.text().find("Nincs feldolgozandó fájl.\n"));
    }
    EXPECT_NE(
        std::string::npos,
        w.console.text().find("Egy megszakadt futás véglegesítése befejezve: /v/in/ABC.HUA\n"))
        << argument << w.console.text();
    EXPECT_EQ(0, w.Count(w.bak, RunFileName::Kind::kJournal)) << argument;
    EXPECT_EQ(3u, w.Finals("/v/out/").size()) << argument;
  }
}

// A commit that cannot be finished (a file took an output's name after the commit point)
// stops every run from converting anything, its files all kept, until it can be finished.
TEST(FileCommitTest, UnfinishableCommitBlocksConversion) {
  CrashWorld w(false);
  int commitPoint =
      FirstStop([](CrashWorld& p) { return p.Count(p.bak, RunFileName::Kind::kJournal) == 1; });
  ASSERT_NE(0, commitPoint);
  w.fs.StopAfter(commitPoint);
  EXPECT_EQ(2, w.Run());
  w.fs.Crash(~0ULL);
  ASSERT_TRUE(w.Finals("/v/out/").empty());
  w.fs.AddFile("/v/out/ABC_20161005140307045.CCT", "someone else's");
  // Another export (not a copy of the interrupted one, which would be refused as such).
  std::string other = ThreeOutputInput();
  std::size_t id = other.find(":01:") + 4;
  other.replace(id, other.find('\r', id) - id, "OTHER1");
  w.fs.AddFile("/v/in/NEW.HUA", other);
  w.clock.AdvanceMs(1000);
  // The journal blocks its own input, not the other files.
  EXPECT_EQ(2, w.Run());
  EXPECT_NE(std::string::npos,
            w.console.text().find("Hiba: egy megszakadt futás véglegesítése nem fejezhető be"))
      << w.console.text();
  EXPECT_NE(std::string::npos,
            w.console.text().find("az input (/v/in/ABC.HUA) addig nem dolgozható fel, a többi "
                                  "fájl igen"))
      << w.console.text();
  EXPECT_NE(std::string::npos,
            w.console.text().find("Hiba: a fájl egy megszakadt futás be nem fejezett "
                                  "véglegesítéséhez tartozik, addig nem dolgozható fel, az input "
                                  "marad: /v/in/ABC.HUA"))
      << w.console.text();
  EXPECT_TRUE(w.fs.Exists("/v/in/ABC.HUA"));
  EXPECT_FALSE(w.fs.Exists("/v/in/NEW.HUA"));
  EXPECT_EQ(3, w.Count("/v/out/", RunFileName::Kind::kTemp));

  std::string reason;
  ASSERT_TRUE(w.fs.Remove("/v/out/ABC_20161005140307045.CCT", &reason));
  w.clock.AdvanceMs(1000);
  EXPECT_EQ(0, w.Run());
  EXPECT_NE(std::string::npos,
            w.console.text().find("Egy megszakadt futás véglegesítése befejezve: /v/in/ABC.HUA\n"));
  EXPECT_EQ(6u, w.Finals("/v/out/").size());
  EXPECT_EQ(2u, w.Finals(w.bak).size());
  EXPECT_EQ(std::vector<std::string>{}, w.fs.ListNames("/v/in/"));
}

// The masks of the changes a crash keeps. Up to kFull pending changes every subset; beyond,
// all, none, each one alone lost and each one alone kept, which covers every single
// reordering a file system may show between two syncs.
std::vector<std::uint64_t> CrashMasks(int pending) {
  constexpr int kFull = 10;
  std::vector<std::uint64_t> masks;
  if (pending <= kFull) {
    for (std::uint64_t m = 0; m < (1ULL << pending); ++m) {
      masks.push_back(m);
    }
    return masks;
  }
  std::uint64_t all = pending >= 64 ? ~0ULL : (1ULL << pending) - 1;
  masks = {all, 0};
  for (int i = 0; i < pending && i < 64; ++i) {
    masks.push_back(all & ~(1ULL << i));
    masks.push_back(1ULL << i);
  }
  return masks;
}

// What runs without crash produce at the crashed run's time (0) and at the later runs' (1, 2).
struct Reference {
  explicit Reference(bool elsewhere) {
    for (int i = 0; i < 3; ++i) {
      CrashWorld clean(elsewhere);
      clean.clock.AdvanceMs(1000 * i);
      EXPECT_EQ(0, clean.Run());
      steps = clean.fs.steps();
      outputs[i] = clean.Finals("/v/out/");
      backup[i] = clean.Finals(clean.bak);
      EXPECT_EQ(3u, outputs[i].size());
    }
  }
  std::map<std::string, std::string> outputs[3];
  std::map<std::string, std::string> backup[3];
  int steps = 0;
};

// The MsgIds the pain.001 documents among `outputs` (of /v/out/) carry, in the order the
// record holds them.
std::vector<WrittenMessageId> IdsOf(const std::map<std::string, std::string>& outputs) {
  std::vector<WrittenMessageId> ids;
  for (const auto& [name, bytes] : outputs) {
    std::size_t at = bytes.find("<MsgId>");
    if (at != std::string::npos) {
      at += 7;
      ids.push_back({bytes.substr(at, bytes.find('<', at) - at), "/v/out/" + name});
    }
  }
  return ids;
}

std::vector<WrittenMessageId> RecordOf(CrashWorld& w) {
  std::vector<WrittenMessageId> ids;
  std::string reason;
  EXPECT_TRUE(ReadMessageIds(w.fs, w.bak, &ids, &reason)) << reason;
  for (WrittenMessageId& id : ids) {
    std::replace(id.output.begin(), id.output.end(), '\\', '/');  // as IdsOf names them
  }
  return ids;
}

// Right after a crash: an output of the crashed run under its final name only after the
// commit point, and then with its whole content; its MsgIds recorded only after it too.
void ExpectNoOutputBeforeCommit(CrashWorld& w, const Reference& ref, const std::string& where) {
  std::vector<WrittenMessageId> recorded = RecordOf(w);
  if (!recorded.empty()) {
    EXPECT_EQ(IdsOf(ref.outputs[0]), recorded) << where;
    EXPECT_TRUE(w.Count(w.bak, RunFileName::Kind::kJournal) == 1 ||
                w.Finals("/v/out/") == ref.outputs[0])
        << where;
  }
  std::map<std::string, std::string> seen = w.Finals("/v/out/");
  if (!seen.empty() && w.Count(w.bak, RunFileName::Kind::kJournal) == 0) {
    EXPECT_EQ(ref.outputs[0], seen) << where;
    EXPECT_EQ(ref.backup[0], w.Finals(w.bak)) << where;
  }
  for (const auto& [name, bytes] : seen) {
    EXPECT_EQ(ref.outputs[0].count(name) ? ref.outputs[0].at(name) : "?", bytes) << where;
  }
}

// After a run that was not interrupted: the input converted by exactly one run, all of its
// outputs and its backup in place, the MsgIds of its documents recorded, nothing of any run
// left behind.
void ExpectConvertedOnce(CrashWorld& w, const Reference& ref, const std::string& where) {
  std::map<std::string, std::string> out = w.Finals("/v/out/");
  int by = 0;
  while (by < 3 && out != ref.outputs[by]) {
    ++by;
  }
  ASSERT_LT(by, 3) << where << w.console.text();
  EXPECT_EQ(ref.backup[by], w.Finals(w.bak)) << where;
  EXPECT_EQ(std::vector<std::string>{}, w.fs.ListNames("/v/in/")) << where;
  EXPECT_EQ(IdsOf(ref.outputs[by]), RecordOf(w)) << where;
  EXPECT_EQ(2u, w.fs.ListNames(w.bak).size()) << where;  // the backup and the record
  EXPECT_EQ(3u, w.fs.ListNames("/v/out/").size()) << where;
}

std::string Where(bool elsewhere, int stop, std::uint64_t mask) {
  return "stop " + std::to_string(stop) + " mask " + std::to_string(mask) +
         (elsewhere ? " backup elsewhere" : "");
}

// Every crash point and every loss of unsynced changes ends, after the next run, with the
// input converted exactly once: by the crashed run (its outputs and backup all in place) or
// by the next one.
TEST(FileCommitTest, EveryCrashEndsConvertedExactlyOnce) {
  for (bool elsewhere : {false, true}) {
    Reference ref(elsewhere);
    int states = 0;
    int mostPending = 0;
    for (int stop = 0; stop <= ref.steps; ++stop) {
      CrashWorld crashed(elsewhere);
      crashed.fs.StopAfter(stop);
      crashed.Run();
      mostPending = std::max(mostPending, crashed.fs.PendingChanges());
      for (std::uint64_t mask : CrashMasks(crashed.fs.PendingChanges())) {
        std::string where = Where(elsewhere, stop, mask);
        CrashWorld w(elsewhere);
        w.fs = crashed.fs;
        w.fs.Crash(mask);
        ExpectNoOutputBeforeCommit(w, ref, where);
        w.clock.AdvanceMs(1000);
        EXPECT_EQ(0, w.Run()) << where << w.console.text();
        ExpectConvertedOnce(w, ref, where);
        ++states;
        if (HasFailure()) {
          return;
        }
      }
    }
    std::cout << "crash states explored" << (elsewhere ? " (backup on another file system)" : "")
              << ": " << states << " over " << ref.steps + 1 << " crash points, at most "
              << mostPending << " unsynced changes at one\n";
    RecordProperty(elsewhere ? "crash_states_backup_elsewhere" : "crash_states", states);
  }
}

// A crash while a journal is being rolled forward: the run after that finishes it. Every
// crash point of the first run that leaves a journal, with all or none of its unsynced
// changes kept, then every crash point of the recovering run, likewise.
TEST(FileCommitTest, CrashDuringRecoveryStillEndsOnce) {
  for (bool elsewhere : {false, true}) {
    Reference ref(elsewhere);
    int states = 0;
    for (int stop = 0; stop <= ref.steps; ++stop) {
      CrashWorld crashed(elsewhere);
      crashed.fs.StopAfter(stop);
      crashed.Run();
      for (std::uint64_t mask : {~0ULL, 0ULL}) {
        CrashWorld first(elsewhere);
        first.fs = crashed.fs;
        first.fs.Crash(mask);
        if (first.Count(first.bak, RunFileName::Kind::kJournal) == 0) {
          continue;
        }
        first.clock.AdvanceMs(1000);
        CrashWorld probe(elsewhere);
        probe.fs = first.fs;
        probe.clock = first.clock;
        probe.Run();
        int recoverySteps = probe.fs.steps() - first.fs.steps();
        for (int stop2 = 0; stop2 <= recoverySteps; ++stop2) {
          for (std::uint64_t mask2 : {~0ULL, 0ULL}) {
            std::string where =
                Where(elsewhere, stop, mask) + ", then " + Where(false, stop2, mask2);
            CrashWorld w(elsewhere);
            w.fs = first.fs;
            w.clock = first.clock;
            w.fs.StopAfter(stop2);
            w.Run();
            w.fs.Crash(mask2);
            w.clock.AdvanceMs(1000);
            EXPECT_EQ(0, w.Run()) << where << w.console.text();
            ExpectConvertedOnce(w, ref, where);
            ++states;
            if (HasFailure()) {
              return;
            }
          }
        }
      }
    }
    std::cout << "crash states explored with a second crash during recovery"
              << (elsewhere ? " (backup on another file system)" : "") << ": " << states << "\n";
  }
}

}  // namespace
}  // namespace varnex
