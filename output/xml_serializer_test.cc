#include "output/xml_serializer.h"

#include <string>

#include <gtest/gtest.h>

#include "testing/xml_check.h"

namespace varnex {
namespace {

const CodePages& Pages() {
  static const std::optional<CodePages> pages = CodePages::Open();
  return *pages;
}

std::string Serialize(NodeList& nodes) {
  XmlValueCleaner cleaner(Pages());
  std::string out;
  SerializeXml(nodes, cleaner, &out);
  return out;
}

std::string Serialize(NodeList& nodes, std::string_view lineEnd) {
  XmlValueCleaner cleaner(Pages());
  std::string out;
  SerializeXml(nodes, cleaner, lineEnd, &out);
  return out;
}

// The text of one leaf of format `format` at depth 0, tags included.
std::string OneLeaf(std::string_view value, char format = 's') {
  NodeList nodes;
  AppendText(nodes, "V", 0, value, format);
  return Serialize(nodes);
}

TEST(XmlSerializerTest, ContainerEnclosesDeeperLeaf) {
  NodeList nodes;
  AppendContainer(nodes, "GrpHdr", 2);
  AppendText(nodes, "MsgId", 3, "V");
  EXPECT_EQ(
      "\t\t<GrpHdr>\n"
      "\t\t\t<MsgId>V</MsgId>\n"
      "\t\t</GrpHdr>\n",
      Serialize(nodes));
}

TEST(XmlSerializerTest, ContainersCloseInnermostFirstWhenDepthDrops) {
  NodeList nodes;
  AppendContainer(nodes, "C3", 3);
  AppendContainer(nodes, "C4", 4);
  AppendContainer(nodes, "C5", 5);
  AppendText(nodes, "L6", 6, "a");
  AppendContainer(nodes, "D4", 4);  // closes C5 and C4, not C3
  AppendContainer(nodes, "E4", 4);  // an empty container: start and end line
  AppendText(nodes, "L3", 3, "b");
  AppendContainer(nodes, "F3", 3);
  AppendText(nodes, "L4", 4, "c");  // F3 stays open to the end of the list
  EXPECT_EQ(
      "\t\t\t<C3>\n"
      "\t\t\t\t<C4>\n"
      "\t\t\t\t\t<C5>\n"
      "\t\t\t\t\t\t<L6>a</L6>\n"
      "\t\t\t\t\t</C5>\n"
      "\t\t\t\t</C4>\n"
      "\t\t\t\t<D4>\n"
      "\t\t\t\t</D4>\n"
      "\t\t\t\t<E4>\n"
      "\t\t\t\t</E4>\n"
      "\t\t\t</C3>\n"
      "\t\t\t<L3>b</L3>\n"
      "\t\t\t<F3>\n"
      "\t\t\t\t<L4>c</L4>\n"
      "\t\t\t</F3>\n",
      Serialize(nodes));
  for (const OutputNode& node : nodes) {
    EXPECT_TRUE(node.closed) << node.tag;
  }
}

TEST(XmlSerializerTest, EmptyLeafIsAnEmptyElement) {
  NodeList nodes;
  AppendContainer(nodes, "GrpHdr", 0);
  AppendText(nodes, "MsgId", 1, "");
  AppendText(nodes, "Nm", 1, "\r\n");  // nothing left once the line break is removed
  AppendText(nodes, "Id", 1, "X");
  std::string text = Serialize(nodes);
  EXPECT_EQ(
      "<GrpHdr>\n"
      "\t<MsgId></MsgId>\n"
      "\t<Nm></Nm>\n"
      "\t<Id>X</Id>\n"
      "</GrpHdr>\n",
      text);
  std::string error;
  EXPECT_TRUE(IsWellFormedXml(text, &error)) << error;
  EXPECT_TRUE(nodes[1].closed);
}

TEST(XmlSerializerTest, AmountCarriesCurrencyAttribute) {
  NodeList nodes;
  AppendCents(nodes, "InstdAmt", 5, 123450, 'a');
  AppendCents(nodes, "Amt", 5, 123450, 'f');
  AppendCents(nodes, "CtrlSum", 3, 246913, 'f');
  EXPECT_EQ(
      "\t\t\t\t\t<InstdAmt Ccy=\"EUR\">1234.50</InstdAmt>\n"
      "\t\t\t\t\t<Amt>1234.50</Amt>\n"
      "\t\t\t<CtrlSum>2469.13</CtrlSum>\n",
      Serialize(nodes));
}

TEST(XmlSerializerTest, FormatCodes) {
  struct Case {
    const char* name;
    OutputNode node;
    const char* expected;
  };
  auto text = [](std::string_view value, char format, int byteCount = 0) {
    OutputNode node;
    node.kind = OutputNode::Kind::kText;
    node.text = value;
    node.format = format;
    node.byteCount = byteCount;
    return node;
  };
  auto integer = [](std::int64_t value, char format) {
    OutputNode node;
    node.kind = OutputNode::Kind::kInteger;
    node.integer = value;
    node.format = format;
    return node;
  };
  const Case cases[] = {
      {"s", text("ABC", 's'), "ABC"},
      {"s stops at a zero", text(std::string_view("AB\0CD", 5), 's'), "AB"},
      {"d", text("20160315", 'd'), "2016-03-15"},
      {"t", text("20161005140307+0200", 't'), "2016-10-05T14:03:07+02:00"},
      {"x cut", text("ABCDEF", 'x', 3), "ABC"},
      {"x up to a zero", text(std::string_view("AB\0CD", 5), 'x', 5), "AB"},
      {"x longer than the text", text("AB", 'x', 10), "AB"},
      {"x no count", text("AB", 'x', 0), ""},
      {"n", integer(-3, 'n'), "-3"},
      {"b 200", integer(200, 'b'), "200"},
      {"b from a char", integer(static_cast<char>(-56), 'b'), "200"},
      {"unknown code", text("ABC", 'z'), ""},
      {"no code", text("ABC", '\0'), ""},
      {"container", OutputNode{}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FormatValue(c.node)) << c.name;
  }
}

TEST(XmlSerializerTest, RecordFieldsReadAsTheirTextUpToZero) {
  // A record field's node reads as a plain text node of its view; a plain text node still
  // ends at its first zero byte.
  FixedText<12> date;
  date.Assign("20160315");
  FixedText<8> name;
  name.Assign("KFT");
  NodeList fields;
  AppendField(fields, "Dt", 0, date, 'd');
  AppendField(fields, "Nm", 0, name);
  NodeList texts;
  AppendText(texts, "Dt", 0, std::string_view("20160315\0junk", 13), 'd');
  AppendText(texts, "Nm", 0, std::string_view("KFT\0junk", 8));
  EXPECT_EQ("<Dt>2016-03-15</Dt>\n<Nm>KFT</Nm>\n", Serialize(fields));
  EXPECT_EQ(Serialize(fields), Serialize(texts));
}

TEST(XmlSerializerTest, ByteNodeIsUnsigned) {
  NodeList nodes;
  AppendInteger(nodes, "DbtrIdType", 1, std::uint8_t{200}, 'b');
  EXPECT_EQ("\t<DbtrIdType>200</DbtrIdType>\n", Serialize(nodes));
}

TEST(XmlSerializerTest, ValuesAreCleanedEscapedAndUtf8) {
  struct Case {
    const char* name;
    std::string_view cp852;
    const char* expected;
  } cases[] = {
      {"line breaks removed", "X\r\nY", "XY"},
      {"control characters become blanks",
       "A\x01"
       "B\x1F"
       "C\x1B"
       "D\x7F",
       "A B C D\x7F"},  // DEL is allowed in XML
      {"tab kept", "A\tB", "A\tB"},
      {"special characters", "&<>'\"", "&amp;&lt;&gt;&apos;&quot;"},
      {"entity escaped again", "&amp;", "&amp;amp;"},
      {"accents stripped", "\xB5rv\xA1zt\xFBr\x8B", "Arvizturo"},
      {"upper case vowels", "\x90\xD6\xE0\x99\xE9\x9A\x8A\xEB", "EIOOUUOU"},
      {"a-umlaut kept as UTF-8", "\x84", "\xC3\xA4"},
      {"sharp s kept as UTF-8", "\xE1", "\xC3\x9F"},
      {"no CP1250 counterpart", "\xC4", "?"},
      {"ASCII unchanged", "KFT ", "KFT "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string("<V>") + c.expected + "</V>\n", OneLeaf(c.cp852)) << c.name;
    EXPECT_EQ(c.expected, CleanXmlValue(c.cp852, Pages())) << c.name;
  }
}

TEST(XmlSerializerTest, TableMatchesStepByStepCleaning) {
  XmlValueCleaner cleaner(Pages());
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(CleanXmlValue(byte, Pages()), cleaner.Of(static_cast<unsigned char>(b))) << b;
  }
}

TEST(XmlSerializerTest, ShortAndLongLinesReadAlike) {
  // Lines are put together on the stack up to a size and appended piece by piece beyond it;
  // both ways give the same text, at every length around the switch, with either line end.
  std::string pattern = "a\x82&<\"\x0d\x0a\x01Z";
  for (std::string lineEnd : {"\n", "\r\n"}) {
    for (std::size_t length : {0, 1, 100, 280, 290, 300, 2000, 5000}) {
      std::string value;
      while (value.size() < length) {
        value.push_back(pattern[value.size() % pattern.size()]);
      }
      std::string tag(length / 3 + 1, 'T');
      NodeList nodes;
      AppendContainer(nodes, tag, 2);
      AppendText(nodes, tag, 3, value);
      AppendText(nodes, tag, 3, "");
      EXPECT_EQ("\t\t<" + tag + ">" + lineEnd + "\t\t\t<" + tag + ">" +
                    CleanXmlValue(value, Pages()) + "</" + tag + ">" + lineEnd + "\t\t\t<" + tag +
                    "></" + tag + ">" + lineEnd + "\t\t</" + tag + ">" + lineEnd,
                Serialize(nodes, lineEnd))
          << length << " " << lineEnd.size();
    }
  }
}

TEST(XmlSerializerTest, EveryByteGivesWellFormedXml) {
  std::string all;  // a text value ends at a zero byte, so it starts at 1
  for (int b = 1; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
  }
  NodeList nodes;
  AppendContainer(nodes, "Doc", 0);
  AppendText(nodes, "V", 1, all);
  std::string text = Serialize(nodes);
  std::string error;
  EXPECT_TRUE(IsWellFormedXml(text, &error)) << error;
  EXPECT_TRUE(IsValidUtf8(text));
  // Bytes 1-8 and 11, 12, 14-31 become blanks; tab stays, LF and CR go.
  std::string expectedStart = "<V>" + std::string(8, ' ') + "\t" + std::string(21, ' ') + "!&quot;";
  EXPECT_NE(std::string::npos, text.find(expectedStart)) << text;
}

}  // namespace
}  // namespace varnex
