// Inputs at the edges of the file system: a link instead of a file, a backup that cannot be
// read to rule out a resend, an input that cannot be moved away. Each is refused before
// anything is published, and the other files of the run are converted.
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "testing/run_harness.h"

namespace varnex {
namespace {

constexpr const char* kDeIban = "DE89370400440532013000";

std::string OneOrder(const std::string& reference) {
  return HuaFile({HuaMessage(true, reference, "EUR10,00", "DEUTDEFF", kDeIban)});
}

TEST(FileSystemEdgesTest, RefusedBeforeAnythingIsPublished) {
  const std::string longName = std::string(234, 'L') + ".HUA";  // 238 characters
  struct Case {
    const char* what;
    // Prepares the input `name` (and what it needs) in `h`; B.HUA, a plain new file, is
    // written after.
    std::function<void(RunHarness& h)> prepare;
    const char* line;  // the refusal
    std::string name = "A.HUA";
  } cases[] = {
      {"a symbolic link",
       [](RunHarness& h) {
         std::filesystem::create_directory(h.Path("elsewhere"));
         WriteFileBytes(h.Path("elsewhere/A.HUA"), OneOrder("A1"));
         std::filesystem::create_symlink(h.Path("elsewhere/A.HUA"), h.Path("in/A.HUA"));
       },
       "a fájl szimbolikus link"},
      {"a resend whose backup cannot be read",
       [](RunHarness& h) {
         h.WriteInput("A.HUA", OneOrder("A1"));
         ASSERT_EQ(0, h.Run("-c")) << h.Log();
         ASSERT_EQ(1u, h.Files("bak").size());
         h.fs.unreadableFile = h.Path("bak/" + h.Files("bak")[0]);
         h.WriteInput("A.HUA", OneOrder("A1"));
       },
       "nem zárható ki, hogy a fájl egy korábban már feldolgozott fájl másolata"},
      {"an input another program holds without sharing deletion",
       [](RunHarness& h) {
         h.WriteInput("A.HUA", OneOrder("A1"));
         h.fs.unremovableFile = h.Path("in/A.HUA");
       },
       "az input a konvertálás után nem volna áthelyezhető a backup könyvtárba: egy másik program "
       "törlés nélküli megosztással tartja nyitva"},
      {"a name whose outputs' names would be too long",
       [&](RunHarness& h) { h.WriteInput(longName, OneOrder("A1")); },
       "név hosszabb (256), mint amennyit a fájlrendszer enged (255); rövidítse az input fájl "
       "nevét legalább 1 karakterrel",
       longName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
#ifdef _WIN32
    if (std::string(c.what) == "a symbolic link") {
      continue;  // making one needs a privilege Windows' tests do not have
    }
#endif
    RunHarness h;
    c.prepare(h);
    std::size_t published = h.Files("out").size();
    h.WriteInput("B.HUA", OneOrder("B1"));
    for (const char* mode : {"--check", "-c"}) {
      EXPECT_EQ(2, h.RunCommand({"varnex", mode})) << h.Log();
      // "Hiba: PATH: TEXT" in a run, "PATH:0: hiba: TEXT" in --check.
      std::string head = h.Path("in/" + c.name) + (mode[1] == '-' ? ":0: hiba: " : ": ");
      EXPECT_NE(std::string::npos, h.Log().find(head)) << h.Log();
      EXPECT_NE(std::string::npos, h.Log().find(c.line)) << h.Log();
    }
    EXPECT_EQ((std::vector<std::string>{c.name}), h.Files("in"));
    EXPECT_EQ(published + 1, h.Files("out").size());  // B's document
    // Refused again, not converted, while the cause stays.
    EXPECT_EQ(2, h.Run("-c")) << h.Log();
    EXPECT_EQ(published + 1, h.Files("out").size());
  }
}

// A copy refused because a backup holds the same bytes is looked at anew once that backup is
// gone (here, then refused for its message id, which the record still holds).
TEST(FileSystemEdgesTest, RefusalWhoseReasonIsGoneIsForgotten) {
  RunHarness h;
  h.WriteInput("A.HUA", OneOrder("A1"));
  ASSERT_EQ(0, h.Run("-c")) << h.Log();
  h.WriteInput("B.HUA", OneOrder("A1"));
  EXPECT_EQ(2, h.Run("-c")) << h.Log();
  EXPECT_EQ(2, h.Run("-c")) << h.Log();  // remembered
  EXPECT_NE(std::string::npos, h.Log().find("korábbi futás már elutasította")) << h.Log();
  std::filesystem::remove(h.Path("bak/" + h.Files("bak")[0]));
  EXPECT_EQ(2, h.Run("-c")) << h.Log();
  EXPECT_EQ(std::string::npos, h.Log().find("korábbi futás már elutasította")) << h.Log();
  EXPECT_NE(std::string::npos, h.Log().find("ezt az üzenetazonosítót már egy korábbi dokumentum"))
      << h.Log();
}

}  // namespace
}  // namespace varnex
