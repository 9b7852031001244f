#include "mt/mt_serializer.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace varnex {
namespace {

using namespace std::string_view_literals;

std::string Serialize(const NodeList& nodes) {
  std::string out;
  SerializeMtNodes(nodes, &out);
  return out;
}

TEST(MtSerializerTest, FormatsEachCode) {
  struct Row {
    const char* name;
    OutputNode node;
    std::string_view expected;
  };
  auto node = [](auto append) {
    NodeList list;
    append(list);
    return list.front();
  };
  const Row rows[] = {
      {"text", node([](NodeList& l) { AppendText(l, ":20:", 0, "REF1"); }), ":20:REF1\n"},
      {"text stops at zero", node([](NodeList& l) { AppendText(l, ":20:", 0, "AB\0CD"sv); }),
       ":20:AB\n"},
      {"CR and LF removed", node([](NodeList& l) { AppendText(l, ":70:", 0, "A\r\nB\nC\r"); }),
       ":70:ABC\n"},
      {"only a line break", node([](NodeList& l) { AppendText(l, ":70:", 0, "\r\n"); }), ""},
      {"cents amount", node([](NodeList& l) { AppendCents(l, ":02:", 0, -5, 'a'); }),
       ":02:-0,05\n"},
      {"zero cents", node([](NodeList& l) { AppendCents(l, ":02:", 0, 0, 'a'); }), ":02:0,00\n"},
      {"integer", node([](NodeList& l) { AppendInteger(l, ":03:", 0, -3, 'n'); }), ":03:-3\n"},
      {"byte", node([](NodeList& l) { AppendInteger(l, "", 0, 0x1C8, 'b'); }), "200\n"},
      {"date", node([](NodeList& l) { AppendText(l, "", 0, "20160315", 'd'); }), "2016-03-15\n"},
      {"stamp", node([](NodeList& l) { AppendText(l, "", 0, "20160315083005+0100", 't'); }),
       "2016-03-15T08:30:05+01:00\n"},
      {"byte count", node([](NodeList& l) { AppendBytes(l, "", 0, "ABCDEF", 3); }), "ABC\n"},
      {"bytes up to zero", node([](NodeList& l) { AppendBytes(l, "", 0, "AB\0CD"sv, 5); }), "AB\n"},
      {"plain amount has no MT text",
       node([](NodeList& l) { AppendCents(l, ":02:", 0, 150, 'f'); }), ""},
      {"container", node([](NodeList& l) { AppendContainer(l, ":20:", 0); }), ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, Serialize({row.node})) << row.name;
  }
}

TEST(MtSerializerTest, FieldLinesByContent) {
  struct Row {
    const char* name;
    std::string_view first, second, third;
    std::string_view expected;
  };
  const Row rows[] = {
      {"all lines", "NAME", "STREET", "CITY", ":50:NAME\nSTREET\nCITY\n:71A:SHA\n"},
      {"empty middle line dropped", "NAME", "", "CITY", ":50:NAME\nCITY\n:71A:SHA\n"},
      {"empty first line keeps the tag", "", "STREET", "CITY", ":50:\nSTREET\nCITY\n:71A:SHA\n"},
      {"line break only counts as empty", "\r\n", "", "CITY", ":50:\nCITY\n:71A:SHA\n"},
      {"all empty leaves the field out", "", "", "", ":71A:SHA\n"},
  };
  for (const Row& row : rows) {
    NodeList nodes;
    AppendText(nodes, ":50:", 0, row.first);
    AppendText(nodes, "", 0, row.second);
    AppendText(nodes, "", 0, row.third);
    AppendText(nodes, ":71A:", 0, "SHA");
    EXPECT_EQ(row.expected, Serialize(nodes)) << row.name;
  }
}

TEST(MtSerializerTest, EmptyFieldDoesNotLendItsTagToTheNext) {
  NodeList nodes;
  AppendText(nodes, ":50:", 0, "");
  AppendText(nodes, "", 0, "");
  AppendText(nodes, ":57D:", 0, "");
  AppendText(nodes, "", 0, "BANK STREET");
  AppendText(nodes, "", 0, "BANK CITY");
  EXPECT_EQ(":57D:\nBANK STREET\nBANK CITY\n", Serialize(nodes));
}

TEST(MtSerializerTest, UntaggedLinesBeforeAnyFieldStandAlone) {
  NodeList nodes;
  AppendText(nodes, "", 0, " ");
  AppendText(nodes, "", 0, "");
  AppendText(nodes, ":20:", 0, "REF");
  EXPECT_EQ(" \n:20:REF\n", Serialize(nodes));
}

TEST(MtSerializerTest, RecordFieldsReadAsTheirTextUpToZero) {
  // A record field's node reads as a plain text node of its view; a plain text node still
  // ends at its first zero byte.
  FixedText<12> date;
  date.Assign("20160315");
  FixedText<8> name;
  name.Assign("KFT");
  NodeList fields;
  AppendField(fields, ":30:", 0, date, 'd');
  AppendField(fields, ":59:", 0, name);
  NodeList texts;
  AppendText(texts, ":30:", 0, std::string_view("20160315\0junk", 13), 'd');
  AppendText(texts, ":59:", 0, std::string_view("KFT\0junk", 8));
  EXPECT_EQ(":30:2016-03-15\n:59:KFT\n", Serialize(fields));
  EXPECT_EQ(Serialize(fields), Serialize(texts));
}

TEST(MtSerializerTest, AppendsToExistingText) {
  NodeList nodes;
  AppendText(nodes, ":07:", 0, " ");
  std::string out = "\n";
  SerializeMtNodes(nodes, &out);
  EXPECT_EQ("\n:07: \n", out);
}

TEST(MtSerializerTest, CutsComposedLinesAt140) {
  std::string longLine(150, 'W');
  CutComposedLine(&longLine);
  EXPECT_EQ(std::string(140, 'W'), longLine);
  std::string shortLine = "ABC";
  CutComposedLine(&shortLine);
  EXPECT_EQ("ABC", shortLine);
}

}  // namespace
}  // namespace varnex

namespace varnex {
namespace {

TEST(MtReadBackTest, MessagesAndHeaders) {
  struct Row {
    const char* text;
    bool hua;
    bool header;
    bool readsBack;
  } rows[] = {
      {"{1:F01X}{4:\n:20: \n:70:A\n-}\n", true, false, true},
      {"${1:F01X}{4:\n:20:R\n:70:A {1:B\n-}\n", true, false, false},  // second marker
      {"{1:F01X}{4:\n:20:R\n:70:A\nB-}C\n-}\n", true, false, false},  // trailer inside
      {"{1:F01:20:}{4:\n:20:R\n-}\n", true, false, false},            // ":20:" before its line
      {" \n:20:R\n:70:A\n", false, false, true},
      {" \n:20:20:R\n", false, false, false},  // overlapping reference markers
      {" \n:20:R\n:70:PAY :20: X\n", false, false, false},
      {" \n:32A:X\n", false, false, false},  // no reference line at all
      {"\n:01:M\n:05:A\n:07: \n", true, true, true},
      {"\n:01:M\n:05:A {1:\n:07: \n", true, true, false},
      {" \n:01:M:07:\n:06: \n:07: \n", false, true, false},  // header ends early
      {" \n:01:M\n:05::20:\n:06: \n:07: \n", false, true, false},
  };
  for (const Row& row : rows) {
    bool got =
        row.header ? MtHeaderReadsBack(row.text, row.hua) : MtMessageReadsBack(row.text, row.hua);
    EXPECT_EQ(row.readsBack, got) << row.text;
    // The same text written with CR LF line ends reads back alike, judged by that line end.
    std::string crLf;
    for (char c : std::string_view(row.text)) {
      if (c == '\n') {
        crLf.push_back('\r');
      }
      crLf.push_back(c);
    }
    got = row.header ? MtHeaderReadsBack(crLf, row.hua, "\r\n")
                     : MtMessageReadsBack(crLf, row.hua, "\r\n");
    EXPECT_EQ(row.readsBack, got) << row.text;
    // Judged by the other line end, a HUA message or a header that would read back does not
    // end as it should.
    if (row.readsBack && (row.hua || row.header)) {
      got = row.header ? MtHeaderReadsBack(crLf, row.hua) : MtMessageReadsBack(crLf, row.hua);
      EXPECT_FALSE(got) << row.text;
    }
  }
}

TEST(MtSerializerTest, CrLfLinesAreTheLfLinesWithCr) {
  NodeList nodes;
  AppendText(nodes, ":20:", 0, "R\r\nEF");
  AppendText(nodes, ":70:", 0, "");
  AppendText(nodes, "", 0, "B\nC");
  AppendText(nodes, "", 0, "-}");
  std::string lf;
  std::string crLf;
  EXPECT_TRUE(SerializeMtNodes(nodes, &lf));
  EXPECT_TRUE(SerializeMtNodes(nodes, "\r\n", &crLf));
  EXPECT_EQ(":20:REF\n:70:\nBC\n-}\n", lf);
  EXPECT_EQ(":20:REF\r\n:70:\r\nBC\r\n-}\r\n", crLf);
}

TEST(MtReadBackTest, ContinuationStartingWithColonIsReported) {
  NodeList nodes;
  AppendText(nodes, ":70:", 0, "A");
  AppendText(nodes, "", 0, ":32A:261208HUF99999,00");
  std::string out;
  EXPECT_FALSE(SerializeMtNodes(nodes, &out));
  NodeList fine;
  AppendText(fine, ":70:", 0, "A");
  AppendText(fine, "", 0, " :32A: is text here");
  EXPECT_TRUE(SerializeMtNodes(fine, &out));
}

}  // namespace
}  // namespace varnex
