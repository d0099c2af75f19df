#include "engine/xml_routines.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/platform/ansi_code_page.h"

namespace {

using engine::AttributeOr;
using engine::LoadXmlFile;
using engine::LoadXmlFromBytes;
using engine::RejoinLines;
using engine::SetExistingAttribute;

TEST(XmlRoutinesRejoinLines, LineBreakRules) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"a", "a\r\n"},
      {"a\r\n", "a\r\n"},
      {"a\n", "a\r\n"},
      {"a\r", "a\r\n"},
      {"a\nb", "a\r\nb\r\n"},
      {"a\rb", "a\r\nb\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\n\r", "a\r\n\r\n"},       // LF then CR: two line ends
      {"a\r\r\n", "a\r\n\r\n"},
      {"\n", "\r\n"},
      {"\n\n", "\r\n\r\n"},
      {std::string("ab\0cd", 5), "ab\r\n"},  // up to the first zero byte
      {std::string("\0ab", 3), ""},
      {std::string("a\n\0\nb", 5), "a\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(RejoinLines(c.in), c.out) << c.in;
}

TEST(XmlRoutinesStream, GbkBytesUnderAGb2312DeclarationParse) {
  testing_support::ChineseAnsiCodePage cp936;
  ASSERT_EQ(platform::Utf8ToAnsi("\xE4\xB8\xAD"), "\xD6\xD0");  // the code page really is 936
  // 丂 (GBK 0x8140) is outside GB2312 proper: decoding follows the code page.
  const std::string manifest =
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n"
      "<data><ZEPRA mainfile=\"\xD6\xD0.exe\"><\xB1\xA8\xB1\xED.dll Version=\"\x81\x40\"/></ZEPRA></data>\n";
  auto doc = LoadXmlFromBytes(manifest);
  ASSERT_NE(doc, nullptr);
  ASSERT_NE(doc->documentElement(), nullptr);
  EXPECT_EQ(doc->encoding(), "GB2312");  // kept for saving
  const xml::XmlNode* group = doc->SelectSingleNode("data/ZEPRA");
  EXPECT_EQ(AttributeOr(group, "mainfile", ""), "\xE4\xB8\xAD.exe");
  const xml::XmlNode* entry = doc->SelectSingleNode("data/ZEPRA/\xE6\x8A\xA5\xE8\xA1\xA8.dll");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(AttributeOr(entry, "Version", ""), "\xE4\xB8\x82");
}

TEST(XmlRoutinesStream, DeclarationPlaysNoPartInDecoding) {
  testing_support::ChineseAnsiCodePage cp936;
  // Declared UTF-8, but the bytes are taken in the code page all the same.
  auto doc = LoadXmlFromBytes("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a v=\"\xD6\xD0\"/>");
  ASSERT_NE(doc->documentElement(), nullptr);
  EXPECT_EQ(AttributeOr(doc->documentElement(), "v", ""), "\xE4\xB8\xAD");
  EXPECT_EQ(doc->encoding(), "UTF-8");
}

TEST(XmlRoutinesStream, ZeroByteEndsTheDocument) {
  auto doc = LoadXmlFromBytes(std::string("<a x=\"1\"/>\0<junk", 16));
  ASSERT_NE(doc->documentElement(), nullptr);
  EXPECT_EQ(AttributeOr(doc->documentElement(), "x", ""), "1");
  // A zero byte inside the root cuts it short: malformed, so empty.
  auto cut = LoadXmlFromBytes(std::string("<a>\0</a>", 8));
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->documentElement(), nullptr);
}

TEST(XmlRoutinesStream, LineEndsInAttributeValuesBecomeSpaces) {
  // Lines rejoined with CR LF, then normalised by the parser: one space each.
  auto doc = LoadXmlFromBytes("<a v=\"1\n2\r3\r\n4\"/>");
  ASSERT_NE(doc->documentElement(), nullptr);
  EXPECT_EQ(AttributeOr(doc->documentElement(), "v", ""), "1 2 3 4");
}

TEST(XmlRoutinesStream, MalformedOrEmptyInputGivesAnEmptyDocument) {
  const std::string inputs[] = {"", "<a>", "not xml", "<a></b>", "<a/><b/>", std::string(1, '\0'),
                                "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>"};
  for (const std::string& in : inputs) {
    auto doc = LoadXmlFromBytes(in);
    ASSERT_NE(doc, nullptr) << in;
    EXPECT_EQ(doc->documentElement(), nullptr) << in;
    EXPECT_EQ(doc->SelectSingleNode("data/DataSource"), nullptr) << in;
  }
}

TEST(XmlRoutinesFile, ReadsWithTheFileEncodingRules) {
  testing_support::TempDir dir;
  platform::WriteWholeFile(dir / "c.xml",
                           "<?xml version=\"1.0\" encoding=\"GB2312\"?><data><DataSource ServerURL=\"\xD6\xD0\"/></data>");
  auto doc = LoadXmlFile(dir / "c.xml");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(AttributeOr(doc->SelectSingleNode("data/DataSource"), "ServerURL", "-"), "\xE4\xB8\xAD");
  // UTF-8 bytes under no declaration are read as UTF-8, whatever the code page.
  platform::WriteWholeFile(dir / "u.xml", "<data v=\"\xE4\xB8\xAD\"/>");
  EXPECT_EQ(AttributeOr(LoadXmlFile(dir / "u.xml")->documentElement(), "v", ""), "\xE4\xB8\xAD");
}

TEST(XmlRoutinesFile, MissingOrBrokenFileGivesAnEmptyDocument) {
  testing_support::TempDir dir;
  platform::WriteWholeFile(dir / "bad.xml", "<data><x></data>");
  platform::WriteWholeFile(dir / "enc.xml", "<?xml version=\"1.0\" encoding=\"x-none\"?><data/>");
  for (const char* name : {"missing.xml", "bad.xml", "enc.xml"}) {
    auto doc = LoadXmlFile(dir / name);
    ASSERT_NE(doc, nullptr) << name;
    EXPECT_EQ(doc->documentElement(), nullptr) << name;
  }
}

class XmlRoutinesAttributes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(doc.LoadXml("<data><ZEPRA IsDesktop=\"1\" mainfile=\"Z.exe\" empty=\"\"/></data>"));
    group = doc.SelectSingleNode("data/ZEPRA");
  }
  xml::XmlDocument doc;
  xml::XmlNode* group = nullptr;
};

TEST_F(XmlRoutinesAttributes, GetByExactName) {
  struct Case {
    const char* name;
    const char* result;
  };
  const Case cases[] = {
      {"IsDesktop", "1"},
      {"IsDeskTop", "dflt"},  // differs in case: not found
      {"isdesktop", "dflt"},
      {"mainfile", "Z.exe"},
      {"MainFile", "dflt"},
      {"empty", ""},          // present and empty is not the default
      {"missing", "dflt"},
      {"", "dflt"},
  };
  for (const Case& c : cases) EXPECT_EQ(AttributeOr(group, c.name, "dflt"), c.result) << c.name;
  EXPECT_EQ(AttributeOr(nullptr, "IsDesktop", "0"), "0");
}

TEST_F(XmlRoutinesAttributes, SetChangesOnlyAnExistingAttribute) {
  SetExistingAttribute(group, "mainfile", "C:\\Client\\Z.exe");
  EXPECT_EQ(AttributeOr(group, "mainfile", ""), "C:\\Client\\Z.exe");
  SetExistingAttribute(group, "MainFile", "x");  // not that name exactly: nothing
  SetExistingAttribute(group, "path", "x");
  EXPECT_EQ(group->attributes().length(), 3u);
  EXPECT_EQ(AttributeOr(group, "mainfile", ""), "C:\\Client\\Z.exe");
  SetExistingAttribute(nullptr, "mainfile", "x");  // no node: nothing
  SetExistingAttribute(group, "empty", "\xE4\xB8\xAD");
  EXPECT_EQ(group->attributes().item(2)->nodeValue(), "\xE4\xB8\xAD");
}

}  // namespace
