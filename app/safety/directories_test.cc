// Inputs, outputs and backups kept apart: directory settings that let them meet stop the run
// at start, a backup picked by hand is refused, and an input whose outputs would share a name
// is refused before anything is published.
#include "app/safety/directories.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/check_mode.h"
#include "testing/run_harness.h"

namespace varnex {
namespace {

// A --check report without the line a build without the schema validator adds.
std::string WithoutNote(std::string report) {
  std::size_t note = report.find("megjegyzés: ");
  if (note != std::string::npos) {
    report.erase(note, report.find('\n', note) + 1 - note);
  }
  return report;
}

const char kDeIban[] = "DE89370400440532013000";
const char kFrIban[] = "FR1420041010050500013M02606";

std::string Orders() {
  return HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", kDeIban),
                  HuaMessage(false, "R2", "EUR2,00", "BNPAFRPP", kFrIban, "URGENT"),
                  HuaMessage(false, "R3", "HUF3,00", "DEUTDEFF", kDeIban)});
}

std::string IniWith(const std::string& from, const std::string& to) {
  std::string ini = RunHarness::kIni;
  return ini.replace(ini.find(from), from.size(), to);
}

TEST(DirectoriesTest, SettingsThatLetFilesMeetStopTheRunAtStart) {
  struct Case {
    std::string from, to;  // the line of the default settings replaced
    const char* mode;
    const char* settings;  // the two that meet; empty: none
    const char* dir;
  } cases[] = {
      {"BackupPath=bak", "BackupPath=in", "-c", "InputPath és a [General] BackupPath", "in/"},
      {"BackupPath=bak", "BackupPath=in/../in", "", "InputPath és a [General] BackupPath", "in/"},
      {"OutputPath=out", "OutputPath=bak", "", "OutputPath és a [General] BackupPath", "bak/"},
      {"OutputPath=out", "OutputPath=out\nOutputPathHUA=baklink", "-c",
       "OutputPathHUA és a [General] BackupPath", "bak/"},
      {"OutputPath=out", "OutputPath=out\nOutputPathINT=in", "-c",
       "OutputPathINT és a [General] InputPath", "in/"},
      {"OutputPath=out", "OutputPath=out\nOutputPathINT=in", "", "", ""},
  };
  for (const Case& c : cases) {
    RunHarness h;
    std::error_code linked;
    std::filesystem::create_directory_symlink(h.Path("bak"), h.Path("baklink"), linked);
    if (linked && std::string_view(c.to).find("baklink") != std::string_view::npos) {
      continue;  // no symbolic links here (Windows without the privilege to make them)
    }
    h.WriteIni(IniWith(c.from, c.to));
    h.WriteInput("A.HUA", Orders());
    h.picker.answer = {h.Path("in/A.HUA")};
    const std::string line =
        *c.settings == '\0'
            ? std::string()
            : "hibás beállítás, a program nem dolgoz fel semmit: a [General] " +
                  std::string(c.settings) + " ugyanaz a könyvtár (" + h.Path(c.dir) + ")\n";
    int code = h.Run(c.mode);
    if (line.empty()) {
      EXPECT_EQ(0, code) << c.to << h.Log();
      continue;
    }
    EXPECT_EQ(1, code) << c.to;
    EXPECT_NE(std::string::npos, h.Log().find("Hiba: " + line)) << c.to << h.Log();
    EXPECT_EQ(std::vector<std::string>{"A.HUA"}, h.Files("in")) << c.to;
    EXPECT_EQ(std::vector<std::string>{}, h.Files("out")) << c.to;
    std::ostringstream out;
    std::ostringstream errors;
    std::vector<std::string> files;
    if (*c.mode == '\0') {
      files.push_back(h.Path("in/A.HUA"));
    }
    EXPECT_EQ(1, RunCheck(Platform{h.fs, h.clock, h.console, h.picker}, files, out, errors));
    EXPECT_EQ(h.Path("varnex.ini") + ":0: hiba: " + line, out.str()) << c.to;
  }
}

TEST(DirectoriesTest, BackupPickedByHandStaysRefused) {
  for (const char* extraIni : {"", "RejectDuplicates=0\nRejectReusedMsgId=0\n"}) {
    RunHarness h;
    h.WriteIni(IniWith("BankBIC=", std::string(extraIni) + "BankBIC="));
    h.WriteInput("A.HUA", Orders());
    ASSERT_EQ(0, h.Run("-c")) << h.Log();
    const std::string backup = h.Path("bak/A_20161005140307045.HUA");
    h.picker.answer = {backup};
    h.clock.AdvanceMs(1000);
    EXPECT_EQ(2, h.Run("")) << h.Log();
    const std::string refusal = backup + ": a fájl a backup könyvtárban van (" + backup +
                                "), egy korábbi futás már feldolgozta; a backup fájlok nem "
                                "konvertálhatók újra; szándékos újraküldéshez másolja a fájlt az "
                                "input könyvtárba, és futtassa: varnex --resubmit FÁJL (egy "
                                "futás: nincs másolat-ellenőrzés, új üzenetazonosító)\n";
    EXPECT_NE(std::string::npos, h.Log().find("Hiba: " + refusal)) << h.Log();
    std::ostringstream out;
    std::ostringstream errors;
    EXPECT_EQ(2, RunCheck(Platform{h.fs, h.clock, h.console, h.picker}, {backup}, out, errors));
    EXPECT_EQ(backup + ": NEM konvertálható\n" + backup +
                  ":0: hiba: " + refusal.substr(backup.size() + 2) +
                  "\nEllenőrizve: 1 fájl; konvertálható: 0; NEM konvertálható: 1.\n",
              WithoutNote(out.str()));
    EXPECT_EQ(Orders(), h.Read("bak/A_20161005140307045.HUA"));
    EXPECT_EQ(3u, h.Files("out").size());
  }
}

// The urgent document and the HUA output would take one name (exactly, or but for case):
// refused before the commit point, nothing published, no journal left; --check says so.
TEST(DirectoriesTest, OutputsSharingANameAreRefusedBeforeTheCommitPoint) {
  for (const char* extension : {"HUA", "hua"}) {
    RunHarness h;
    h.WriteIni(
        IniWith("TrgtKeyword=URGP", std::string("TrgtKeyword=URGP\nTrgtExtension=") + extension));
    h.WriteInput("A.HUA", Orders());
    EXPECT_EQ(2, h.RunCommand({"varnex", "--check"})) << h.Log();
    EXPECT_NE(std::string::npos, h.Log().find(":0: hiba: a fájl két kimenete ugyanazt a nevet "
                                              "kapná: " +
                                              h.Path("out/A_.") + extension))
        << h.Log();
    EXPECT_EQ(2, h.Run("-c")) << h.Log();
    EXPECT_NE(std::string::npos, h.Log().find("Hiba: a fájl két kimenete ugyanazt a nevet kapná: " +
                                              h.Path("out/A_20161005140307045.") + extension +
                                              " és " + h.Path("out/A_20161005140307045.HUA") +
                                              " (az input marad: " + h.Path("in/A.HUA") + ")\n"))
        << h.Log();
    EXPECT_EQ(std::vector<std::string>{"A.HUA"}, h.Files("in"));
    EXPECT_EQ(std::vector<std::string>{}, h.Files("out"));
    EXPECT_EQ(std::vector<std::string>{}, h.Files("bak"));
  }
}

}  // namespace
}  // namespace varnex
