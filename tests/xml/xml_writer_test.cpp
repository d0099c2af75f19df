#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/os_error.h"
#include "support/base/test_paths.h"
#include "xml/xml_document.h"
#include "xml_canonical.h"

namespace {

using testing_support::TempDir;
using xml::XmlDocument;
using xml::XmlError;
using xml_testing::Canonical;

const char kRich[] =
    "<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"yes\"?>"
    "<!--head--><?app cfg?>"
    "<data>"
    "<setup path=\"C:\\Client\\\"/>"
    "<ZEPRA name=\"\xE4\xB8\xAD\xE6\x96\x87 &amp; &lt;x&gt; &quot;q&quot; 'a'\" tab=\"&#9;|&#10;|&#13;\">"
    "<\xE6\x8A\xA5\xE8\xA1\xA8.dll Version=\"1.2\"/>"
    "<note>  spaced  text &amp; &lt;tag&gt; ]]&gt; line1\nline2&#13;</note>"
    "<mixed>a<b>b</b>c<!--in--></mixed>"
    "<cd><![CDATA[<raw> & stuff]]></cd>"
    "</ZEPRA>"
    "</data>"
    "<!--tail-->";

std::string ReadBytes(const std::string& path) { return platform::ReadWholeFile(path).value_or("<missing>"); }

TEST(XmlWriter, SerializedTextReadsBackToTheSameTree) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml(kRich));
  XmlDocument again;
  ASSERT_TRUE(again.LoadXml(doc.Xml())) << doc.Xml();
  EXPECT_EQ(Canonical(again), Canonical(doc));
  EXPECT_EQ(again.encoding(), "GB2312");
  EXPECT_EQ(again.standalone(), "yes");
}

TEST(XmlWriter, OneElementPerLineIndentedTextInline) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\"?><data><a x=\"1\"><b/><c>t<d/></c></a><!--k--><e/></data>"));
  EXPECT_EQ(doc.Xml(),
            "<?xml version=\"1.0\"?>\r\n"
            "<data>\r\n"
            "  <a x=\"1\">\r\n"
            "    <b/>\r\n"
            "    <c>t<d/></c>\r\n"
            "  </a>\r\n"
            "  <!--k-->\r\n"
            "  <e/>\r\n"
            "</data>\r\n");
}

TEST(XmlWriter, DeepTreesAreWrittenWithBoundedIndentation) {
  constexpr size_t depth = 20000;
  std::string text;
  for (size_t i = 0; i < depth; ++i) text += "<a>";
  for (size_t i = 0; i < depth; ++i) text += "</a>";
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml(text));
  const std::string out = doc.Xml();
  EXPECT_LT(out.size(), depth * 2 * 200);  // not quadratic in the depth
  XmlDocument again;
  ASSERT_TRUE(again.LoadXml(out));
  size_t levels = 1;
  for (const xml::XmlNode* n = again.documentElement(); n->hasChildNodes(); n = n->firstChild()) {
    ASSERT_EQ(n->childNodes().size(), 1u);
    ++levels;
  }
  EXPECT_EQ(levels, depth);
}

TEST(XmlWriter, ContentThatCannotBeWrittenRaises) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a x=\"1\"><!--c--><?p d?></a>"));
  xml::XmlNode* a = doc.documentElement();
  a->firstChild()->SetNodeValue("x--y");
  EXPECT_THROW(doc.Xml(), XmlError);
  a->firstChild()->SetNodeValue("ends-");
  EXPECT_THROW(doc.Xml(), XmlError);
  a->firstChild()->SetNodeValue("fine");
  a->lastChild()->SetNodeValue("a?>b");
  EXPECT_THROW(doc.Xml(), XmlError);
  a->lastChild()->SetNodeValue("ok");
  a->attributes().GetNamedItem("x")->SetNodeValue(std::string("nul\0", 4));
  EXPECT_THROW(doc.Xml(), XmlError);
  a->attributes().GetNamedItem("x")->SetNodeValue("\xFF");
  EXPECT_THROW(doc.Xml(), XmlError);
  a->attributes().GetNamedItem("x")->SetNodeValue("ok");
  EXPECT_NO_THROW(doc.Xml());
}

TEST(XmlWriter, CDataHoldingItsOwnEndIsSplit) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a><![CDATA[x]]></a>"));
  doc.documentElement()->firstChild()->SetNodeValue("1]]>2]]>");
  XmlDocument again;
  ASSERT_TRUE(again.LoadXml(doc.Xml())) << doc.Xml();
  EXPECT_EQ(again.documentElement()->text(), "1]]>2]]>");
}

// ---- save ------------------------------------------------------------------

TEST(XmlSave, WritesTheDeclaredEncodingAndReadsBack) {
  struct Case {
    const char* encoding;
    std::string expectInBytes;  // how a Chinese text or a reference appears in the file
  };
  const Case cases[] = {
      {"GB2312", "\xD6\xD0\xCE\xC4"},               // 中文 in GBK
      {"gbk", "\xD6\xD0\xCE\xC4"},
      {"UTF-8", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"ISO-8859-1", "&#20013;&#25991;"},           // not held: character references
      {"US-ASCII", "&#20013;&#25991;"},
      {"UTF-16", std::string("\x2D\x4E\x87\x65", 4)},  // little-endian
  };
  TempDir dir;
  for (const Case& c : cases) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding +
                            "\"?><data><a n=\"\xE4\xB8\xAD\xE6\x96\x87\">\xE4\xB8\xAD\xE6\x96\x87</a></data>"));
    const std::string path = dir / (std::string(c.encoding) + ".xml");
    doc.Save(path);
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find(c.expectInBytes), std::string::npos) << c.encoding;
    XmlDocument again;
    ASSERT_TRUE(again.Load(path)) << c.encoding;
    EXPECT_EQ(Canonical(again), Canonical(doc)) << c.encoding;
  }
}

TEST(XmlSave, Utf16StartsWithItsByteOrderMark) {
  TempDir dir;
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>"));
  doc.Save(dir / "u.xml");
  EXPECT_EQ(ReadBytes(dir / "u.xml").substr(0, 4), std::string("\xFF\xFE<\0", 4));
}

TEST(XmlSave, CharacterOutsideGbkBecomesAReference) {
  TempDir dir;
  XmlDocument doc;
  // U+D55C (Hangul) and U+1F600 are not in GBK; the Chinese text is.
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"GB2312\"?>"
                          "<a v=\"\xED\x95\x9C\">\xE4\xB8\xAD\xF0\x9F\x98\x80</a>"));
  doc.Save(dir / "g.xml");
  const std::string bytes = ReadBytes(dir / "g.xml");
  EXPECT_NE(bytes.find("v=\"&#54620;\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\xD6\xD0&#128512;</a>"), std::string::npos) << bytes;
  XmlDocument again;
  ASSERT_TRUE(again.Load(dir / "g.xml"));
  EXPECT_EQ(Canonical(again), Canonical(doc));
}

TEST(XmlSave, NameTheEncodingCannotHoldRaises) {
  TempDir dir;
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><\xE4\xB8\xAD/>"));
  try {
    doc.Save(dir / "n.xml");
    ADD_FAILURE() << "saved";
  } catch (const XmlError& e) {
    EXPECT_NE(std::string(e.what()).find("ISO-8859-1"), std::string::npos) << e.what();
  }
}

TEST(XmlSave, UnknownEncodingRaisesNamingIt) {
  TempDir dir;
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"x-private\"?><a/>"));
  try {
    doc.Save(dir / "x.xml");
    ADD_FAILURE() << "saved";
  } catch (const XmlError& e) {
    EXPECT_NE(std::string(e.what()).find("“x-private”"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(platform::FileExists(dir / "x.xml"));
}

TEST(XmlSave, NoDeclarationMeansUtf8WithoutOne) {
  TempDir dir;
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a>\xE4\xB8\xAD</a>"));
  doc.Save(dir / "plain.xml");
  EXPECT_EQ(ReadBytes(dir / "plain.xml"), "<a>\xE4\xB8\xAD</a>\r\n");
}

TEST(XmlSave, UnwritablePathRaisesInChineseWithTheSystemText) {
  TempDir dir;
  const std::string path = dir / "missing-folder" + (dir.path().find('\\') != std::string::npos ? "\\" : "/") + "c.xml";
  std::string systemText;
  try {
    platform::WriteWholeFile(path, "x");
  } catch (const platform::OsError& e) {
    systemText = e.systemText();
  }
  ASSERT_FALSE(systemText.empty());
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a/>"));
  try {
    doc.Save(path);
    ADD_FAILURE() << "saved";
  } catch (const XmlError& e) {
    EXPECT_EQ(std::string(e.what()), "无法保存文件“" + path + "”：" + systemText);
  }
}

TEST(XmlSave, OverwritesAnExistingFile) {
  TempDir dir;
  platform::WriteWholeFile(dir / "o.xml", std::string(1000, 'z'));
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a/>"));
  doc.Save(dir / "o.xml");
  EXPECT_EQ(ReadBytes(dir / "o.xml"), "<a/>\r\n");
}

}  // namespace
