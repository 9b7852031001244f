#include "app/file_driver.h"

#include <gtest/gtest.h>

#include "app/safety/file_commit.h"
#include "convert/settings.h"
#include "platform/platform.h"

namespace varnex {
namespace {

TEST(FileDriverTest, OutputNames) {
  struct Case {
    const char* ini;
    const char* ext;
    const char* sepa;
    const char* urgent;
    const char* other;
    WriterKind kind;
  } cases[] = {
      {"", "HUA", "/o/ABC_20161005140307045.CCT", "/o/ABC_20161005140307045.CCU",
       "/o/ABC_20161005140307045.HUA", WriterKind::kHua},
      {"", "hua", "/o/ABC_20161005140307045.CCT", "/o/ABC_20161005140307045.CCU",
       "/o/ABC_20161005140307045.hua", WriterKind::kHua},
      {"OutputPathHUA=/h\nOutputPathINT=/i\n", "int", "/o/ABC_20161005140307045.CCT",
       "/o/ABC_20161005140307045.CCU", "/i/ABC_20161005140307045.int", WriterKind::kInt},
      {"OutputPathHUA=/h\n[INT2HUA]\nConvertINTToHUA=1\n", "int", "/o/ABC_20161005140307045.CCT",
       "/o/ABC_20161005140307045.CCU", "/h/ABC_20161005140307045.HUA", WriterKind::kHua},
      {"[INT2HUA]\nConvertINTToHUA=2\n", "INT", "/o/ABC_20161005140307045.CCT",
       "/o/ABC_20161005140307045.CCU", "/o/ABC_20161005140307045.INT", WriterKind::kInt},
      {"[PrioUrgent]\nTrgtExtension=CCT\n", "HUA", "/o/ABC_20161005140307045.CCT",
       "/o/ABC_20161005140307045_U.CCT", "/o/ABC_20161005140307045.HUA", WriterKind::kHua},
      {"[PrioUrgent]\nTrgtExtension=cct\n", "HUA", "/o/ABC_20161005140307045.CCT",
       "/o/ABC_20161005140307045.cct", "/o/ABC_20161005140307045.HUA", WriterKind::kHua},
  };
  for (const Case& c : cases) {
    Settings s;
    s.Load("/p/varnex.ini", std::string("[General]\nOutputPath=/o\nBackupPath=/b\n") + c.ini,
           "/p/");
    OutputNames names = MakeOutputNames(s, "ABC", c.ext, "20161005140307045");
    EXPECT_EQ(c.sepa, names.sepa) << c.ini << c.ext;
    EXPECT_EQ(c.urgent, names.urgent) << c.ini << c.ext;
    EXPECT_EQ(c.other, names.other) << c.ini << c.ext;
    EXPECT_EQ(c.kind, names.otherKind) << c.ini << c.ext;
    EXPECT_EQ(std::string("/b/ABC_20161005140307045.") + c.ext, names.backup);
  }
}

TEST(FileDriverTest, FileStampsNeverRepeat) {
  LocalTime t{2016, 10, 5, 14, 3, 7, 45, 120};
  EXPECT_EQ("20161005140307045", NextFileStamp(t, ""));
  EXPECT_EQ("20161005140307046", NextFileStamp(t, "20161005140307045"));
  // A clock that went back still gives a later stamp.
  EXPECT_EQ("20161005140307100", NextFileStamp(t, "20161005140307099"));
  EXPECT_EQ("20161005140308000", NextFileStamp(t, "20161005140307999"));
  LocalTime early{2000, 1, 1, 0, 0, 0, 0, 60};
  EXPECT_EQ("20170101000000000", NextFileStamp(early, "20161231235959999"));
  EXPECT_EQ("20160301000000000", NextFileStamp(early, "20160229235959999"));
  EXPECT_EQ("20160229000000000", NextFileStamp(early, "20160228235959999"));
  EXPECT_EQ("20150301000000000", NextFileStamp(early, "20150228235959999"));
  EXPECT_EQ("20161005140307046",
            NextFileStamp(LocalTime{2016, 10, 5, 14, 3, 7, 46, 0}, "20161005140307045"));
}

}  // namespace
}  // namespace varnex
