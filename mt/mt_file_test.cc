#include "mt/mt_file.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "testing/fake_platform.h"

namespace varnex {
namespace {

const CodePages& Pages() {
  static const CodePages pages = *CodePages::Open();
  return pages;
}

// "tag{line|line}" per field in stored order, fields joined by a blank.
std::string Dump(const MtMessage& message) {
  std::string out;
  for (std::size_t i = 0; i < message.size(); ++i) {
    MtFieldView field = message.field(i);
    if (!out.empty()) {
      out += ' ';
    }
    out.append(field.tag).append("{");
    for (int k = 0; k < field.lineCount(); ++k) {
      if (k) {
        out += '|';
      }
      out.append(field.line(static_cast<std::size_t>(k)));
    }
    out += '}';
  }
  return out;
}

class MtFileTest : public ::testing::Test {
 protected:
  void Parse(const std::string& name, const std::string& bytes) {
    file_.Parse(name, bytes, Pages());
  }
  std::string Message(int i) { return Dump(file_.message(i)); }

  MtFile file_;
};

const char kHua[] =
    "\r\n"
    ":01:MSG1\r\n"
    ":05:ACME KFT\r\n"
    "BUDAPEST\r\n"
    ":07: \r\n"
    "{1:F0112345678XXXX000000001}{2:I100ABCDHUHBXXXXN1}{4:\r\n"
    ":20:REF1\r\n"
    ":32A:160315HUF12500,00\r\n"
    ":72:A B C D\r\n"
    "-}\r\n"
    "${1:F0187654321XXXX000000002}{2:I100ABCDHUHBXXXXN1}{4:\r\n"
    ":20:REF2\r\n"
    ":70:X\r\n"
    "-}\r\n";

TEST_F(MtFileTest, CutsHuaFileIntoHeaderAndMessages) {
  Parse("/in/A.HUA", kHua);
  EXPECT_EQ("01{MSG1} 05{ACME KFT|BUDAPEST}", Dump(file_.header()));
  ASSERT_EQ(2, file_.MessageCount());
  // The "$" of the next block header ends the first message's last field.
  EXPECT_EQ(
      "OPGA{12345678} F0112345678XXXX000000001}{2{I100ABCDHUHBXXXXN1}{4:} 20{REF1} "
      "32A{160315HUF12500,00} 72{A B C D|-}|$}",
      Message(0));
  EXPECT_EQ("OPGA{87654321} F0187654321XXXX000000002}{2{I100ABCDHUHBXXXXN1}{4:} 20{REF2} 70{X|-}}",
            Message(1));
  EXPECT_EQ('$', file_.messageText(0).back());
}

TEST_F(MtFileTest, CutsIntMessagesAtEveryReference) {
  Parse("/in/b.int",
        " \r\n:01:M\r\n:07: \r\n \r\n:20:R1\r\n:70:PAY :20: TOO\r\n \r\n:20:R2\r\n:71A:SHA\r\n");
  ASSERT_EQ(3, file_.MessageCount());
  // ":20:" inside a value starts a message of its own; the single-blank line before the
  // next reference ends the previous message as an empty line.
  EXPECT_EQ("20{R1} 70{PAY}", Message(0));
  EXPECT_EQ("20{ TOO|}", Message(1));
  EXPECT_EQ("20{R2} 71A{SHA}", Message(2));
  EXPECT_EQ(":20:R1\r\n:70:PAY ", file_.messageText(0));
}

TEST_F(MtFileTest, LineRules) {
  struct Case {
    const char* text;
    const char* dump;
  } cases[] = {
      {":20:\r\n:21:X", "20{} 21{X}"},        // empty value: no lines
      {":20:   \r\n:21:X", "20{} 21{X}"},     // blanks: one empty line
      {":70:A\r\n\r\nB", "70{A||B}"},         // empty line in the middle
      {":70:A\nB\r\nC", "70{A|B|C}"},         // bare LF between lines
      {":70:\nA\r\nB", "70{\nA\r\nB}"},       // value starting with LF: one line
      {":70:A \t\x0b\r\n", "70{A \t\x0b}"},   // only blank, tab, CR, LF trimmed
      {"x:20:A:B\r\n:20:C", "20{C}"},         // the last occurrence wins
      {":32a:X\r\n:32A:Y", "32a{X} 32A{Y}"},  // tags are case-sensitive
      {":20:A\r\nB:C\r\n", "20{A|B:C}"},      // a colon not after CR LF
      {"::A\r\n:", "{A}"},                    // empty tag; lone colon ends
  };
  for (const Case& c : cases) {
    MtFieldTokenizer tokenizer(c.text);
    std::string dump;
    std::string_view tag;
    std::string_view value;
    MtMessage message;
    while (tokenizer.NextField(&tag, &value)) {
      MtField field;
      field.tag = std::string(tag);
      std::string_view line;
      while (MtFieldTokenizer::NextLine(&value, &line)) {
        field.lines.emplace_back(line);
      }
      field.lineCount = static_cast<int>(field.lines.size());
      message.Store(field);
    }
    EXPECT_EQ(c.dump, Dump(message)) << c.text;
    MtMessage cut;
    MtFieldTokenizer::CutInto(c.text, &cut);
    EXPECT_EQ(c.dump, Dump(cut)) << c.text;
  }
}

// The model NextField and NextLine give `text`, field by field.
std::string StepwiseDump(std::string_view text) {
  MtFieldTokenizer tokenizer(text);
  std::string_view tag;
  std::string_view value;
  MtMessage message;
  while (tokenizer.NextField(&tag, &value)) {
    std::vector<std::string_view> lines;
    std::string_view line;
    while (MtFieldTokenizer::NextLine(&value, &line)) {
      lines.push_back(line);
    }
    message.StoreUnowned(tag, lines);
  }
  return Dump(message);
}

TEST_F(MtFileTest, CuttingInOneScanMatchesStepwiseCutting) {
  // Texts made of the bytes the cutting looks at, so that every combination of CR, LF,
  // colons and blanks around field and line breaks turns up.
  // Lengths up to a few words of 64 bytes, and now and then one past what is cut from marked
  // places (BytePlaces), which is searched instead.
  const char alphabet[] = {':', '\r', '\n', ' ', '\t', 'A', '2', '0'};
  std::uint32_t state = 12345;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::size_t length = round % 500 == 0 ? 4090 + round % 13 : round % 200;
    for (std::size_t k = 0; k < length; ++k) {
      state = state * 1103515245u + 12345u;
      text.push_back(alphabet[(state >> 16) % sizeof alphabet]);
    }
    MtMessage cut;
    MtFieldTokenizer::CutInto(text, &cut);
    ASSERT_EQ(StepwiseDump(text), Dump(cut)) << testing::PrintToString(text);
  }
}

TEST_F(MtFileTest, MessagesReadOnDemandMatchEachOther) {
  Parse("/in/A.HUA", kHua);
  MtMessage first;
  MtMessage second;
  file_.ReadMessage(1, &second);
  file_.ReadMessage(0, &first);
  EXPECT_EQ(Dump(first), Message(0));
  EXPECT_EQ(Dump(second), Message(1));
  // Reading into a model that held another message replaces it whole.
  file_.ReadMessage(1, &first);
  EXPECT_EQ(Dump(second), Dump(first));
  EXPECT_EQ(Dump(second), Message(1));
}

TEST_F(MtFileTest, LfOnlyFileReadsLikeItsCrLfTwin) {
  std::string crlf = kHua;
  std::string lf;
  for (char c : crlf) {
    if (c != '\r') {
      lf.push_back(c);
    }
  }
  MtFile twin;
  twin.Parse("/in/A.HUA", crlf, Pages());
  Parse("/in/A.HUA", lf);
  ASSERT_EQ(twin.MessageCount(), file_.MessageCount());
  EXPECT_EQ(Dump(twin.header()), Dump(file_.header()));
  for (int i = 0; i < twin.MessageCount(); ++i) {
    EXPECT_EQ(Dump(twin.message(i)), Message(i));
  }
  // A value that starts on the line after its tag, too.
  Parse("x.INT", ":20:\nREF\n:70:\nA\nB\n");
  EXPECT_EQ("20{|REF} 70{|A|B}", Message(0));
}

TEST_F(MtFileTest, StrayBareLfInCrLfFileIsNoFieldBreak) {
  Parse("x.INT", ":20:R\r\n:70:A\n:71A:SHA\r\n");
  EXPECT_EQ("20{R} 70{A|:71A:SHA}", Message(0));
}

// A NUL inside the text stays, for the input grammar to refuse; padding at the end goes.
TEST_F(MtFileTest, NulBytesStayButEndPaddingGoes) {
  Parse("x.INT", std::string(":20:A\0B\r\n:70:C\r\n\0\x1a\0", 17));
  EXPECT_EQ(std::string("20{A\0B} 70{C}", 13), Message(0));
}

TEST_F(MtFileTest, OpgaFromBlockHeader) {
  Parse("x.hua", "{1:F01123}{4:\r\n:20:A\r\n{1:X\r\n:21:B\r\n{1:F01ABCDEFGHIJK:20:C");
  ASSERT_EQ(3, file_.MessageCount());
  EXPECT_EQ("OPGA{123}", Message(0).substr(0, 9));        // shorter prefix, shorter line
  EXPECT_EQ(std::string::npos, Message(1).find("OPGA"));  // no ":20:", no OPGA
  EXPECT_EQ("OPGA{ABCDEFGH}", Message(2).substr(0, 14));
  // A real OPGA field replaces the pseudo-field.
  Parse("x.HUA", "{1:F0112345678}{4:\r\n:20:A\r\n:OPGA:99999999\r\n");
  EXPECT_EQ("OPGA{99999999} F0112345678}{4{} 20{A}", Message(0));
}

TEST_F(MtFileTest, NoHeaderMarker) {
  // Without ":07:" there is no header, and messages are cut from the start of the file.
  Parse("x.INT", ":01:M\r\n:20:A\r\n");
  EXPECT_EQ("", Dump(file_.header()));
  EXPECT_EQ("", file_.headerText());
  ASSERT_EQ(1, file_.MessageCount());
  Parse("x.HUA", "no marker at all");
  EXPECT_EQ(0, file_.MessageCount());
}

TEST_F(MtFileTest, LongFileWithMessageAcrossOldWindowEdge) {
  std::string text = " \r\n:01:M\r\n:07: \r\n";
  int n = 0;
  while (text.size() < 29990) {
    text += " \r\n:20:R" + std::to_string(n++) + "\r\n:70:" + std::string(40, 'x') + "\r\n";
  }
  text += " \r\n:20:LONG\r\n:70:" + std::string(50000, 'y') + "\r\n";
  text += " \r\n:20:LAST\r\n";
  Parse("x.INT", text);
  ASSERT_EQ(n + 2, file_.MessageCount());
  EXPECT_EQ(50000u, file_.message(n).Find("70")->line(0).size());
  EXPECT_EQ("20{LAST}", Message(n + 1));
}

TEST_F(MtFileTest, Int437ArrivesAsCp852) {
  // CP437 0x84 (a-umlaut) is 0x84 in CP852 too; CP437 0x81 (u-umlaut) is CP852 0x81;
  // CP437 0x94 (o-umlaut) is CP852 0x94; CP437 0xE1 (sharp s) is CP852 0xE1; CP437 0x9B (cent
  // sign) has no CP852 counterpart; CP437 0xA0 (a-acute) is CP852 0xA0; CP437 0x82 (e-acute)
  // is CP852 0x82; CP437 0x8E (A-umlaut) is CP852 0x8E; CP437 0xAB (one half) has none.
  Parse("x.INT", ":20:\x8e\x84\x9b\xab\r\n");
  EXPECT_EQ("\x8e\x84??", std::string(file_.message(0).Find("20")->line(0)));
  // Every position of an eight-byte word, and the bytes after the last whole word.
  for (std::size_t at = 0; at < 20; ++at) {
    std::string value(20, 'a');
    value[at] = '\x94';
    Parse("x.INT", ":20:" + value + "\r\n");  // 0x94 is the same letter in CP852
    EXPECT_EQ(value, std::string(file_.message(0).Find("20")->line(0))) << at;
    std::string sharp(20, 'b');
    sharp[at] = '\xab';
    Parse("x.INT", ":20:" + sharp + "\r\n");
    sharp[at] = '?';
    EXPECT_EQ(sharp, std::string(file_.message(0).Find("20")->line(0))) << at;
  }
  // CP437 0x91 (ae ligature) has no CP852 counterpart; CP852 0x91 is something else.
  Parse("x.HUA", "{1:F01}{4:\r\n:20:\x91\r\n");
  EXPECT_EQ("\x91", std::string(file_.message(0).Find("20")->line(0)));
}

TEST_F(MtFileTest, MessageLinesCountLinesOfTheFileAsRead) {
  std::string lfOnly;
  for (char c : std::string(kHua)) {
    if (c != '\r') {
      lfOnly.push_back(c);
    }
  }
  struct Case {
    const char* name;
    std::string path;
    std::string text;
    std::vector<int> lines;
  } cases[] = {
      {"HUA, CR LF", "A.HUA", kHua, {6, 11}},
      {"HUA, LF only", "A.HUA", lfOnly, {6, 11}},
      {"INT, CR LF",
       "b.INT",
       " \r\n:01:M\r\n:07: \r\n \r\n:20:R1\r\n:70:P\r\n \r\n:20:R2\r\n",
       {5, 8}},
      {"INT, LF only", "b.INT", " \n:01:M\n:07: \n \n:20:R1\n:70:P\n \n:20:R2\n", {5, 8}},
      // A bare LF in a CR LF file still ends a line.
      {"INT, mixed", "b.INT", ":20:R1\r\n:70:A\nB\r\n\n:20:R2\n:70:C\r\n:20:R3", {1, 5, 7}},
      {"first message at line 1", "b.INT", ":20:R1\r\n:20:R2", {1, 2}},
      // A marker after other text on its line, and two markers on one line.
      {"mid-line INT", "b.INT", "x\r\nxx:20:R1 :20:R2\r\n\r\nyy:20:R3", {2, 2, 4}},
      {"mid-line HUA", "A.HUA", "\r\n:07: \r\n-}${1:F01}{4:\r\n:20:A\r\n-}${1:F01}", {3, 5}},
      {"NUL bytes", "b.INT", std::string("\0\n\0\n:20:R1", 10), {3}},
  };
  for (const Case& c : cases) {
    Parse(c.path, c.text);
    EXPECT_EQ(c.lines, file_.MessageLines()) << c.name;
  }
  // A reparse starts counting afresh.
  Parse("b.INT", ":20:R1");
  EXPECT_EQ(std::vector<int>{1}, file_.MessageLines());
}

TEST(MtMessageTest, LookupCopiesAndKeepsOutOnMiss) {
  MtMessage message;
  message.Store(MtField{"32A", 1, {"X"}});
  MtField out{"keep", 1, {"k"}};
  EXPECT_FALSE(message.Lookup("32a", &out));
  EXPECT_EQ("keep", out.tag);
  MtMessage copy = message;
  message.Clear();
  ASSERT_TRUE(copy.Lookup("32A", &out));
  EXPECT_EQ((std::vector<std::string>{"X"}), out.lines);
  EXPECT_EQ(1, out.lineCount);
}

TEST(MtMessageTest, ManyTagsSharingKeyBitsAreToldApart) {
  // 300 tags share the 64 bits of the lookup filter, and long tags share their key bytes: each
  // is still found as itself, also after a store replaced its field.
  MtMessage message;
  std::vector<std::string> tags;
  for (int i = 0; i < 300; ++i) {
    tags.push_back(i % 2 == 0 ? std::to_string(i) : "LONGTAG" + std::to_string(i));
  }
  for (const std::string& tag : tags) {
    message.Store(MtField{tag, 1, {"old " + tag}});
  }
  for (std::size_t i = 0; i < tags.size(); i += 3) {
    message.Store(MtField{tags[i], 1, {"new " + tags[i]}});
  }
  ASSERT_EQ(tags.size(), message.size());
  for (std::size_t i = 0; i < tags.size(); ++i) {
    std::optional<MtFieldView> field = message.Find(tags[i]);
    ASSERT_TRUE(field.has_value()) << tags[i];
    EXPECT_EQ(tags[i], field->tag);
    EXPECT_EQ((i % 3 == 0 ? "new " : "old ") + tags[i], field->line(0)) << tags[i];
  }
  EXPECT_FALSE(message.Find("LONGTAG300").has_value());
  EXPECT_FALSE(message.Find("300").has_value());
}

}  // namespace
}  // namespace varnex
