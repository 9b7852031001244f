#include "app/run_log.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

TEST(RunLogTest, DailyFileInCp1250WithCrLfAndPrefix) {
  TestLog t;
  CodePages pages = *CodePages::Open();
  t.log.SetCodePages(&pages);
  t.log.Printf("A program elindult.\n");
  t.clock.Set(2016, 10, 5, 14, 3, 9, 0);
  t.log.Printf("%ld. üzenet: SEPA-megbízás!\n", 3L);
  t.log.Write("A program befejeződött.\n\n");
  EXPECT_EQ(
      "2016.10.05. 14:03:07 A program elindult.\r\n"
      "2016.10.05. 14:03:09 3. \xfczenet: SEPA-megb\xedz\xe1s!\r\n"
      "2016.10.05. 14:03:09 A program befejez\xf5"
      "d\xf6tt.\r\n\r\n",
      ReadFileBytes(t.dir.path() + "20161005.log"));
  // The console copy is UTF-8 with the same prefix.
  EXPECT_EQ("2016.10.05. 14:03:07 A program elindult.\n", t.console.text().substr(0, 41));
}

TEST(RunLogTest, LineAfterMidnightGoesToTheNextDaysFile) {
  TestLog t;
  t.clock.Set(2016, 10, 5, 23, 59, 59, 999);
  t.log.Write("a\n");
  t.clock.Set(2016, 10, 6, 0, 0, 0, 0);
  t.log.Write("b\n");
  EXPECT_EQ("2016.10.05. 23:59:59 a\r\n", ReadFileBytes(t.dir.path() + "20161005.log"));
  EXPECT_EQ("2016.10.06. 00:00:00 b\r\n", ReadFileBytes(t.dir.path() + "20161006.log"));
}

TEST(RunLogTest, DirectoryMadeOneLevelOnly) {
  TestLog t;
  t.log.SetDirectory(t.dir.path() + "logs/");
  t.log.Write("made\n");
  EXPECT_EQ("2016.10.05. 14:03:07 made\r\n", ReadFileBytes(t.dir.path() + "logs/20161005.log"));

  // Two levels below an existing directory: the file copy is lost, the console keeps the
  // text without the time prefix.
  t.console.Clear();
  t.log.SetDirectory(t.dir.path() + "a/b/");
  t.log.Write("lost\n");
  EXPECT_EQ("lost\n", t.console.text());
}

}  // namespace
}  // namespace varnex
