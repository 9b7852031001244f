#include "app/application.h"

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "testing/run_harness.h"

namespace varnex {
namespace {

TEST(ApplicationTest, EmptyInputDirectoryRun) {
  RunHarness h;
  EXPECT_EQ(0, h.Run("-c"));
  EXPECT_EQ(
      "A program elindult.\n"
      "Paraméterek olvasása a(z) " +
          h.root() +
          "varnex.ini fájlból.\n"
          "Mód: fájlok feldolgozása az input könyvtáról.\n"
          "Input könyvtár vizsgálata: " +
          h.root() +
          "in/\n"
          "Nincs feldolgozandó fájl.\n"
          "A program befejeződött.\n\n",
      h.Log());
  // The daily file holds the same lines in CP1250 with CR LF and the time prefix.
  std::string file = h.Read("log/20161005.log");
  EXPECT_EQ("2016.10.05. 14:03:07 A program elindult.\r\n", file.substr(0, 42));
  EXPECT_EQ(
      "2016.10.05. 14:03:07 A program befejez\xf5"
      "d\xf6tt.\r\n\r\n",
      file.substr(file.size() - 48));
}

// The urgent document's name with an empty TrgtExtension ends in its stamp and a dot, which
// Windows drops.
#ifdef _WIN32
constexpr const char* kStampWithoutExtension = "045";
#else
constexpr const char* kStampWithoutExtension = "045.";
#endif

// A settings file is understood or refused at start, in a run and in the dry run alike: an
// error converts nothing (exit 1, one line), a warning names what is ignored and the run goes on.
TEST(ApplicationTest, SettingsAreUnderstoodOrRefused) {
  enum Want { kNothing, kError, kUnknown, kEmptyExtension };
  struct Case {
    const char* section;  // the lines go first into this section of the usual settings
    const char* lines;
    Want want;
    const char* text;    // the error or the unknown names; ROOT/x/ is directory x of the program's
    const char* output;  // the end of the one output's name; empty: nothing converted
  } cases[] = {
      {"", "", kNothing, "", ".CCU"},  // the usual settings, BOM first and [PrioUrgent] first
      {"General", "RejectDuplicates=0", kNothing, "", ".CCU"},
      {"General", "CheckTotals=1", kNothing, "", ".CCU"},
      {"ExchRate", "SrcKeyword=A;B", kNothing, "", ".CCU"},
      {"General", "RejectDuplicates=yes", kError,
       "[General] RejectDuplicates=yes: a kapcsoló értéke csak 0 vagy 1 lehet", ""},
      {"INT2HUA", "ConvertINTToHUA=true", kError,
       "[INT2HUA] ConvertINTToHUA=true: a kapcsoló értéke csak 0 vagy 1 lehet", ""},
      {"General", "RejectReusedMsgId=2", kError,
       "[General] RejectReusedMsgId=2: a kapcsoló értéke csak 0 vagy 1 lehet", ""},
      {"General", "CheckTotals=", kError,
       "[General] CheckTotals=: a kapcsoló értéke csak 0 vagy 1 lehet", ""},
      {"General", "CheckTotals=1 ; x", kError,
       "[General] CheckTotals=1 ; x: a megjegyzés csak külön sorban állhat (sor eleji ;)", ""},
      {"PrioUrgent", "SrcKeyword=SÜRGŐS,URGENT   ; urgent", kError,
       "[PrioUrgent] SrcKeyword=SÜRGŐS,URGENT   ; urgent: a megjegyzés csak külön sorban állhat "
       "(sor eleji ;)",
       ""},
      {"General", "MinFileAge=-5", kError,
       "[General] MinFileAge=-5: az érték csak nemnegatív egész szám (másodperc) lehet", ""},
      {"General", "RejectDuplicates", kError,
       "a(z) 2. sor (RejectDuplicates) nem [szakasz], nem kulcs=érték és nem megjegyzés", ""},
      {"ExchRate", "Foo=1\n[Extra]\nBar=2", kUnknown, "[ExchRate] Foo, [Extra]", ".CCU"},
      {"General", "TmpPath=a\ntmppath=b", kError,
       "a(z) 3. sor (tmppath=b): a kulcs már szerepelt a fájlban, csak az első érvényes", ""},
      {"ExchRate", "[General]\nLogPath=x", kError,
       "a(z) 17. sor ([General]): a szakasz már szerepelt a fájlban, csak az első érvényes", ""},
      {"PrioUrgent", "TrgtExtension=", kEmptyExtension, "", kStampWithoutExtension},
      {"PrioUrgent", "TrgtExtension=C/U", kError,
       "[PrioUrgent] TrgtExtension=C/U: a kiterjesztésben nem állhat \\ / : * ? \" < > | jel", ""},
      {"General", "InputPath=nowhere", kError, "a [General] InputPath (ROOT/nowhere/) nem létezik",
       ""},
      {"General", "InputPath=locked", kError,
       "a [General] InputPath (ROOT/locked/) tartalma nem olvasható ennek a felhasználónak", ""},
      {"General", "InputPath=varnex.ini", kError,
       "a [General] InputPath (ROOT/varnex.ini/) nem könyvtár", ""},
      {"SEPA", "Address=hybrid", kNothing, "", ".CCU"},
      {"SEPA", "Format=pain.001.001.9", kError,
       "[SEPA] Format=pain.001.001.9: az érték csak ezek egyike lehet: pain.001.001.03, "
       "pain.001.001.09",
       ""},
      {"SEPA", "Format=pain.001.001.09", kError,
       "[PrioUrgent] TrgtField=Cd, TrgtKeyword=URGP: pain.001.001.09 formátumban a "
       "szolgáltatási szint csak TrgtField=Cd és TrgtKeyword=SEPA lehet",
       ""},
      {"SEPA", "Format=pain.001.001.09\nAddress=lines", kError,
       "[SEPA] Address=lines: pain.001.001.09 formátumban 2026. november 22. óta csak hybrid "
       "lehet",
       ""},
  };
  const std::string ini = RunHarness::kIni;
  const std::size_t urgent = ini.find("[PrioUrgent]");
  for (const Case& c : cases) {
    for (const char* mode : {"-c", "--check"}) {
      RunHarness h;
      std::filesystem::create_directory(h.Path("locked"));
      h.fs.unlistableDir = h.Path("locked/");
      std::string text = ini;
      if (*c.section == '\0') {
        text = "\xEF\xBB\xBF" + ini.substr(urgent) + ini.substr(0, urgent);
      } else {
        std::string header = "[" + std::string(c.section) + "]\n";
        std::size_t at = text.find(header);
        // A key the usual settings have in that section is replaced, not given twice.
        std::string_view lines = c.lines;
        std::size_t eq = lines.find('=');
        if (at != std::string::npos && eq != std::string_view::npos &&
            lines.find('\n') == std::string_view::npos) {
          std::size_t old = text.find("\n" + std::string(lines.substr(0, eq + 1)), at);
          if (old != std::string::npos && old < text.find('[', at + 1)) {
            text.erase(old + 1, text.find('\n', old + 1) - old);
          }
        }
        text = at == std::string::npos
                   ? text + header + c.lines + "\n"
                   : text.insert(at + header.size(), c.lines + std::string("\n"));
      }
      h.WriteIni(text);
      h.WriteInput("A.HUA", HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF",
                                                "DE89370400440532013000", "URGENT")}));
      std::string what = c.text;
      if (std::size_t root = what.find("ROOT/"); root != std::string::npos) {
        // ROOT/name/: that directory of the program's, in the platform's spelling.
        std::size_t end = what.find('/', root + 5);
        what.replace(root, end + 1 - root,
                     h.Path(what.substr(root + 5, end - root - 5)) + kDirSeparator);
      }
      // The error line and the warnings name the setting in a run and in --check alike.
      if (c.want == kError) {
        what = "hibás beállítás, a program nem dolgoz fel semmit: " + what;
      } else if (c.want == kEmptyExtension) {
        what = "a [PrioUrgent] TrgtExtension üres";
      }
      std::string where = std::string(mode) + " " + c.lines;
      EXPECT_EQ(c.want == kError ? 1 : 0, h.RunCommand({"varnex", mode})) << where << "\n"
                                                                          << h.Log();
      EXPECT_EQ(c.want == kError || c.want == kNothing ? 0 : 1, Count(h.Log(), "igyelem: "))
          << where;
      EXPECT_EQ(c.want == kError ? 1 : 0, Count(h.Log(), "iba: ")) << where << "\n" << h.Log();
      EXPECT_NE(std::string::npos, h.Log().find(what)) << where << h.Log();
      std::vector<std::string> out = h.Files("out");
      if (std::string(mode) == "--check" || *c.output == '\0') {
        EXPECT_TRUE(out.empty()) << where;
      } else {
        ASSERT_EQ(1u, out.size()) << where << h.Log();
        EXPECT_TRUE(out[0].ends_with(c.output)) << where << out[0];
      }
    }
  }
}

TEST(ApplicationTest, FrameworkFailureNamesWhatIsMissing) {
  RunHarness h;
  int code;
  {
    Application app(Platform{h.fs, h.clock, h.console, h.picker}, h.errors,
                    [](std::string* missing) {
                      *missing = "CP852";
                      return std::optional<CodePages>();
                    });
    code = app.Main(ParseCommandLine({"varnex", "-c"}));
  }
  EXPECT_EQ(1, code);
  EXPECT_EQ(
      std::string(kStartupFailedLine) + "Nem nyitható meg a(z) CP852 kódlap-átalakító (iconv).\n",
      h.errors.str());
  TestLog strip;
  strip.console.Write(h.console.text());
  EXPECT_EQ(
      "A program elindult.\n"
      "Paraméterek olvasása a(z) " +
          h.root() +
          "varnex.ini fájlból.\n"
          "A program befejeződött.\n\n",
      strip.Messages());
}

// Without varnex.ini every directory is the current one: inputs, outputs and backups would
// share it, so the run stops at start in both modes, the file of the current directory left
// as it was and nothing of the run behind.
TEST(ApplicationTest, MissingIniStopsAtStart) {
  for (const char* argument : {"-c", ""}) {
    RunHarness h;
    std::remove(h.Path("varnex.ini").c_str());
    const std::string input = HuaFile({HuaMessage(true, "R1", "HUF5,00", "DEUTDEFF", "DE89")});
    WriteFileBytes(h.Path("X.HUA"), input);
    h.picker.answer = {"X.HUA"};
    std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(h.root());
    int code = h.Run(argument);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(1, code) << argument;
    EXPECT_EQ(1, Count(h.Log(), "Hiba: ")) << h.Log();
    EXPECT_NE(std::string::npos, h.Log().find("A program elindult.\nA(z) " + h.Path("varnex.ini") +
                                              " fájl nem található, a paraméterek alapértékei "
                                              "érvényesek.\n"))
        << h.Log();
    EXPECT_NE(std::string::npos,
              h.Log().find("Hiba: hibás beállítás, a program nem dolgoz fel semmit: a [General] "
                           "InputPath és a [General] BackupPath ugyanaz a könyvtár (az aktuális "
                           "könyvtár)\n"))
        << h.Log();
    EXPECT_EQ(input, h.Read("X.HUA"));
    for (const std::string& name : h.Files("")) {
      EXPECT_EQ(std::string::npos, name.find(".varnex")) << name;
    }
    // The daily log goes to the current directory, not to the root directory.
    EXPECT_EQ(0u, h.Read("20161005.log").find("2016.10.05. 14:03:07 A program elindult.\r\n"));
  }
}

TEST(ApplicationTest, UnreadableIniStopsTheRun) {
  RunHarness h;
  std::remove(h.Path("varnex.ini").c_str());
  std::filesystem::create_directory(h.Path("varnex.ini"));  // unreadable also for root
  h.WriteInput("A.HUA", "");
  EXPECT_EQ(1, h.Run("-c"));
  EXPECT_EQ(std::string(kStartupFailedLine) + "A beállítási fájl nem olvasható: " +
                h.Path("varnex.ini") + " (könyvtár, nem fájl)\n",
            h.errors.str());
  EXPECT_NE(std::string::npos, h.Log().find("Hiba: a(z) " + h.Path("varnex.ini") +
                                            " fájl nem olvasható (könyvtár, nem fájl), a "
                                            "program leáll.\n"));
  // Nothing was scanned or written: no log file in any directory.
  EXPECT_EQ(std::string::npos, h.Log().find("Input könyvtár"));
  EXPECT_EQ((std::vector<std::string>{"A.HUA"}), h.Files("in"));
  EXPECT_TRUE(h.Files("log").empty());
  EXPECT_FALSE(std::filesystem::exists(h.Path("20161005.log")));
}

// varnex.ini as editors on Windows save it: read whatever its line ends, read from UTF-16 with
// a byte-order mark, refused with the encoding named when the parser would misread it. A
// refused file stops the run before any directory is used: no log in the current directory.
TEST(ApplicationTest, SettingsFileEncodingsAndLineEnds) {
  auto utf16 = [](const std::string& ascii, bool mark) {
    std::string bytes = mark ? "\xFF\xFE" : "";
    for (char c : ascii) {
      bytes += std::string{c, '\0'};
    }
    return bytes;
  };
  auto withEnds = [](std::string text, const std::string& end) {
    std::string out;
    for (char c : text) {
      out += c == '\n' ? end : std::string(1, c);
    }
    return out;
  };
  const std::string ini = std::string("; be\xC3\xA1ll\xC3\xADt\xC3\xA1sok\n") + RunHarness::kIni;
  struct Case {
    const char* name;
    std::string bytes;
    const char* refused;  // empty: read and the file converted
  } cases[] = {
      {"UTF-16 LE with mark", utf16(withEnds(RunHarness::kIni, "\r\n"), true), ""},
      {"UTF-16 LE without mark", utf16(withEnds(RunHarness::kIni, "\r\n"), false),
       "UTF-16 LE kódolású, bájtsorrend-jel nélkül: mentse UTF-8 vagy Unicode (UTF-16 LE) "
       "kódolásban"},
      {"CR", withEnds(ini, "\r"), ""},
  };
  for (const Case& c : cases) {
    RunHarness h;
    h.WriteIni(c.bytes);
    h.WriteInput(
        "A.HUA",
        HuaFile({HuaMessage(true, "REF1", "EUR1,00", "DEUTDEFF", "DE89370400440532013000")}));
    std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(h.root());
    int code = h.Run("-c");
    std::filesystem::current_path(cwd);
    const std::string refused = c.refused;
    if (refused.empty()) {
      EXPECT_EQ(0, code) << c.name << "\n" << h.Log();
      EXPECT_NE(std::string::npos,
                h.Log().find("Paraméterek olvasása a(z) " + h.Path("varnex.ini") + " fájlból.\n"))
          << c.name;
      EXPECT_TRUE(h.Files("in").empty()) << c.name << "\n" << h.Log();
      EXPECT_EQ(1u, h.Files("log").size()) << c.name;
    } else {
      EXPECT_EQ(1, code) << c.name;
      EXPECT_EQ(std::string(kStartupFailedLine) + "A beállítási fájl nem olvasható: " +
                    h.Path("varnex.ini") + " (" + refused + ")\n",
                h.errors.str())
          << c.name;
      EXPECT_NE(std::string::npos,
                h.Log().find("Hiba: a(z) " + h.Path("varnex.ini") + " fájl nem olvasható (" +
                             refused + "), a program leáll.\n"))
          << c.name;
      EXPECT_EQ((std::vector<std::string>{"A.HUA"}), h.Files("in")) << c.name;
      EXPECT_TRUE(h.Files("log").empty()) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(h.Path("20161005.log"))) << c.name;
  }
}

TEST(ApplicationTest, EmptyInputPathIsTheCurrentDirectory) {
  RunHarness h;
  h.WriteIni("[General]\nOutputPath=out\nBackupPath=bak\nLogPath=log\n");
  std::string cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(h.root());
  int code = h.Run("-c");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(0, code) << h.Log();
  EXPECT_NE(std::string::npos, h.Log().find("Input könyvtár vizsgálata: " + h.root() +
                                            " (az InputPath üres: az aktuális könyvtár)\n"))
      << h.Log();
}

TEST(ApplicationTest, UnwritableLogFailsTheRun) {
  RunHarness h;
  h.WriteInput("A.HUA",
               HuaFile({HuaMessage(true, "R1", "EUR1,00", "DEUTDEFF", "DE89370400440532013000")}));
  h.fs.failLogOpen = true;
  EXPECT_EQ(kExitLogFailed, h.Run("-c"));
  // Reported once, with the file and the reason; the console keeps every line.
  EXPECT_EQ("Hiba: a napló nem írható: " + h.Path("log/20161005.log") + " (Permission denied)\n",
            h.errors.str());
  EXPECT_NE(std::string::npos, h.console.text().find("Backup fájl létrehozva: "));
  // The conversion itself is whole.
  EXPECT_EQ(1u, h.Files("bak").size());
  EXPECT_EQ(1u, h.Files("out").size());
  EXPECT_TRUE(h.Files("in").empty());

  // A file left unconverted keeps its own code.
  h.WriteInput("B.HUA", "nonsense");
  EXPECT_EQ(kExitFilesLeft, h.Run("-c"));

  // A log directory that cannot be made is named with the reason it cannot.
  RunHarness made;
  std::string ini = RunHarness::kIni;
  made.WriteIni(ini.replace(ini.find("LogPath=log"), 11, "LogPath=varnex.ini/log"));
  EXPECT_EQ(kExitLogFailed, made.Run("-c"));
  EXPECT_NE(std::string::npos,
            made.errors.str().find("(a(z) " + made.Path("varnex.ini/log") + kDirSeparator +
                                   " könyvtár nem hozható "
                                   "létre: "))
      << made.errors.str();
}

TEST(ApplicationTest, ScanOrderAndFiltering) {
  RunHarness h;
  h.WriteIni(std::string(RunHarness::kIni) + "[General]\n");
  h.WriteInput("B.HUA", "");
  h.WriteInput("a.hua", "");
  h.WriteInput("A.Int", "");
  h.WriteInput("C.TXT", "");
  h.WriteInput("D.HUAX", "");
  std::filesystem::create_directory(h.Path("in/X.INT"));
  Settings settings;
  Application app(Platform{h.fs, h.clock, h.console, h.picker}, h.errors);
  app.settings.inputPath = h.Path("in/");
  app.ScanInputDirectory();
  EXPECT_EQ((std::vector<std::string>{h.Path("in/A.Int"), h.Path("in/a.hua"), h.Path("in/B.HUA")}),
            app.inputPaths);
  EXPECT_EQ((std::vector<std::string>{"A", "a", "B"}), app.inputTitles);
}

TEST(ApplicationTest, ManualSelection) {
  RunHarness h;
  h.WriteInput("ONE.HUA", "");
  h.WriteInput("NOTAHUA", "");
  h.WriteInput("A.TXT", "");
  h.picker.answer = {h.Path("in/NOTAHUA"), h.Path("in/A.TXT")};
  Application app(Platform{h.fs, h.clock, h.console, h.picker}, h.errors);
  EXPECT_TRUE(app.SelectInputFiles());
  EXPECT_EQ((std::vector<std::string>{h.Path("in/ONE.HUA")}), h.picker.offered);
  // Only the last three characters decide; titles drop directory and extension.
  EXPECT_EQ((std::vector<std::string>{h.Path("in/NOTAHUA")}), app.inputPaths);
  EXPECT_EQ((std::vector<std::string>{"NOTAHUA"}), app.inputTitles);

  h.picker.answer.clear();
  EXPECT_EQ(0, h.Run(""));
  EXPECT_NE(std::string::npos, h.Log().find("Mód: fájlok kiválasztása kézzel.\n"
                                            "A program befejeződött.\n"));
}

// A picker that cannot offer a choice (no desktop, a failed dialog) is an error, not a cancel.
TEST(ApplicationTest, PickerFailureIsAnError) {
  RunHarness h;
  h.WriteInput("ONE.HUA", "");
  h.picker.failure = "nincs látható asztal";
  EXPECT_EQ(2, h.Run(""));
  EXPECT_NE(std::string::npos,
            h.Log().find("Mód: fájlok kiválasztása kézzel.\n"
                         "Hiba: a fájlok kézi kiválasztása nem lehetséges: nincs látható asztal\n"
                         "A program befejeződött.\n"))
      << h.Log();
  EXPECT_EQ((std::vector<std::string>{"ONE.HUA"}), h.Files("in"));
}

}  // namespace
}  // namespace varnex

namespace varnex {
namespace {

TEST(ApplicationTest, IdleRunForgetsRefusalsOfFilesThatAreGone) {
  RunHarness h;
  h.WriteInput("BAD.HUA", "nonsense");
  EXPECT_EQ(2, h.Run("-c"));
  std::string memory = h.Path("log/" + std::string(kRefusalMemoryName));
  EXPECT_NE(std::string::npos, ReadFileBytes(memory).find("BAD.HUA"));
  std::remove(h.Path("in/BAD.HUA").c_str());
  EXPECT_EQ(0, h.Run("-c"));
  EXPECT_EQ(std::string::npos, ReadFileBytes(memory).find("BAD.HUA"));
}

}  // namespace
}  // namespace varnex

namespace varnex {
namespace {

TEST(ApplicationTest, FilesArrivingDuringTheRunAreTaken) {
  RunHarness h;
  std::string ini = RunHarness::kIni;
  ini.insert(ini.find("BankBIC="), "MinFileAge=30\n");
  h.WriteIni(ini);
  // A.HUA is old; B.HUA ten seconds young, so the run waits for it. Meanwhile an export is
  // dropped again as A.HUA, and C.HUA arrives.
  auto write = [&](const std::string& name, const std::string& ref) {
    h.WriteInput(name,
                 HuaFile({HuaMessage(true, ref, "EUR1,00", "DEUTDEFF", "DE89370400440532013000")}));
    ASSERT_TRUE(SetModified(h.Path("in/" + name), 1400000000));
  };
  write("A.HUA", "R1");
  write("B.HUA", "R2");
  ASSERT_TRUE(SetModified(h.Path("in/B.HUA"), 1475668977));
  h.clock.onSleep = [&] {
    write("A.HUA", "R3");
    write("C.HUA", "R4");
  };
  EXPECT_EQ(0, h.Run("-c")) << h.Log();
  EXPECT_TRUE(h.Files("in").empty()) << h.Log();
  EXPECT_EQ(4u, h.Files("bak").size()) << h.Log();
  EXPECT_EQ(20000 - 45, h.clock.slept);
}

}  // namespace
}  // namespace varnex
