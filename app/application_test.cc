#include "app/application.h"

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "testing/run_harness.h"

namespace varnex {
namespace {

TEST(ApplicationTest, ModeFromFirstArgument) {
  struct Case {
    const char* argument;
    RunMode mode;
  } cases[] = {
      {"-c", RunMode::kInputDirectory},  {"/c", RunMode::kInputDirectory},
      {"-cx", RunMode::kInputDirectory}, {"-C", RunMode::kManualSelection},
      {"c", RunMode::kManualSelection},  {"-", RunMode::kManualSelection},
      {"", RunMode::kManualSelection},   {nullptr, RunMode::kManualSelection},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.mode, ModeFromArgument(c.argument)) << (c.argument ? c.argument : "(none)");
  }
}

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

TEST(ApplicationTest, FrameworkFailureExitsWithOne) {
  RunHarness h;
  int code;
  {
    Application app(Platform{h.fs, h.clock, h.console, h.picker}, h.errors,
                    [] { return std::optional<CodePages>(); });
    const char* argv[] = {"varnex", "-c", nullptr};
    code = app.Main(2, argv);
  }
  EXPECT_EQ(1, code);
  EXPECT_EQ("Fatal Error: MFC initialization failed\n", h.errors.str());
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

TEST(ApplicationTest, MissingIniGivesDefaults) {
  RunHarness h;
  std::remove(h.Path("varnex.ini").c_str());
  // Every directory is empty then, the current one; run inside the temporary directory.
  std::string cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(h.root());
  int code = h.Run("-c");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(0, code);
  EXPECT_NE(std::string::npos, h.Log().find("Input könyvtár vizsgálata: \n"));
  // The daily log goes to the current directory, not to the root directory.
  EXPECT_EQ(0u, h.Read("20161005.log").find("2016.10.05. 14:03:07 A program elindult.\r\n"));
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

}  // namespace
}  // namespace varnex
