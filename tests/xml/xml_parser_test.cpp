#include <gtest/gtest.h>

#include <string>

#include "xml/xml_document.h"
#include "xml_canonical.h"

namespace {

using xml::XmlDocument;
using xml_testing::Canonical;

std::string Parse(std::string_view text) {
  XmlDocument doc;
  const bool ok = doc.LoadXml(text);
  const std::string dump = Canonical(doc);
  // The result and the document agree: a failed parse leaves nothing behind.
  EXPECT_EQ(ok, dump != "EMPTY\n") << text;
  EXPECT_EQ(ok, !doc.childNodes().empty()) << text;
  return dump;
}

bool Accepts(std::string_view text) {
  XmlDocument doc;
  return doc.LoadXml(text);
}

struct WellFormedCase {
  const char* what;
  std::string text;
  bool ok;
};

TEST(XmlParserWellFormedness, Prolog) {
  const WellFormedCase cases[] = {
      {"bare root", "<a/>", true},
      {"declaration", "<?xml version=\"1.0\"?><a/>", true},
      {"single quotes", "<?xml version='1.0' encoding='gbk' standalone='no' ?><a/>", true},
      {"spaces around =", "<?xml version = \"1.0\" encoding =\"UTF-8\"?><a/>", true},
      {"declaration not at start", " <?xml version=\"1.0\"?><a/>", false},
      {"second declaration", "<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>", false},
      {"declaration without version", "<?xml encoding=\"UTF-8\"?><a/>", false},
      {"empty declaration", "<?xml?><a/>", false},
      {"attributes out of order", "<?xml encoding=\"UTF-8\" version=\"1.0\"?><a/>", false},
      {"standalone value", "<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", false},
      {"encoding starting with digit", "<?xml version=\"1.0\" encoding=\"8bit\"?><a/>", false},
      {"empty encoding", "<?xml version=\"1.0\" encoding=\"\"?><a/>", false},
      {"no space between pseudo-attributes", "<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>", false},
      {"unterminated declaration", "<?xml version=\"1.0\"", false},
      {"unknown pseudo-attribute", "<?xml version=\"1.0\" foo=\"bar\"?><a/>", false},
      {"byte-order mark", "\xEF\xBB\xBF<a/>", true},
      {"empty text", "", false},
      {"only white space", " \r\n\t", false},
      {"only a comment", "<!-- c -->", false},
      {"text before root", "x<a/>", false},
      {"text after root", "<a/>x", false},
      {"reference outside root", "<a/>&amp;", false},
      {"second root", "<a/><b/>", false},
      {"misc after root", "<a/><!-- c --><?p d?>\r\n", true},
      {"doctype", "<!DOCTYPE a><a/>", true},
      {"doctype system", "<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/a.dtd\"><a/>", true},
      {"doctype public", "<!DOCTYPE a PUBLIC \"-//X//Y//EN\" 'a.dtd'><a/>", true},
      {"doctype bad public id", "<!DOCTYPE a PUBLIC \"{}\" 'a.dtd'><a/>", false},
      {"doctype subset", "<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ATTLIST a x CDATA \"1>\"><!-- ] --><?p ]?> %pe; ]><a/>", true},
      {"doctype unclosed subset", "<!DOCTYPE a [<!ELEMENT a ANY>", false},
      {"doctype junk in subset", "<!DOCTYPE a [ junk ]><a/>", false},
      {"doctype unknown declaration", "<!DOCTYPE a [<!FOO a>]><a/>", false},
      {"doctype after root", "<a/><!DOCTYPE a>", false},
      {"two doctypes", "<!DOCTYPE a><!DOCTYPE a><a/>", false},
      {"doctype without name", "<!DOCTYPE ><a/>", false},
      {"reserved pi target", "<a><?xml version=\"1.0\"?></a>", false},
      {"reserved pi target any case", "<a/><?XmL x?>", false},
      {"pi target starting with xml", "<a><?xml-stylesheet href=\"a\"?></a>", true},
      {"pi without target", "<a><? x?></a>", false},
      {"pi without space before data", "<a><?p\"x\"?></a>", false},
      {"unterminated pi", "<a><?p x</a>", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Accepts(c.text), c.ok) << c.what;
}

TEST(XmlParserWellFormedness, ElementsAndAttributes) {
  const WellFormedCase cases[] = {
      {"nested", "<a><b><c/></b></a>", true},
      {"mismatched end tag", "<a><b></a></b>", false},
      {"end tag case differs", "<a></A>", false},
      {"unclosed", "<a><b></b>", false},
      {"stray end tag", "</a>", false},
      {"end tag with space", "<a></a >", true},
      {"end tag with attribute", "<a></a x=\"1\">", false},
      {"attribute", "<a x=\"1\" y='2'/>", true},
      {"attribute with spaces around =", "<a x = \"1\"/>", true},
      {"attributes without separating space", "<a x=\"1\"y=\"2\"/>", false},
      {"duplicate attribute", "<a x=\"1\" x=\"2\"/>", false},
      {"attributes differing in case", "<a x=\"1\" X=\"2\"/>", true},
      {"unquoted attribute", "<a x=1/>", false},
      {"attribute without value", "<a x/>", false},
      {"lt in attribute", "<a x=\"<\"/>", false},
      {"other quote inside", "<a x=\"'\" y='\"'/>", true},
      {"unterminated attribute", "<a x=\"1/>", false},
      {"bad element name", "<1a/>", false},
      {"bad attribute name", "<a 1x=\"1\"/>", false},
      {"colon names", "<a:b c:d=\"1\"/>", true},
      {"non-ASCII names", "<\xE6\x95\xB0\xE6\x8D\xAE \xE5\x90\x8D=\"1\"/>", true},
      {"space after lt", "< a/>", false},
      {"slash without gt", "<a/ >", false},
      {"unterminated start tag", "<a", false},
      {"many attributes", [] {
         std::string s = "<a";
         for (int i = 0; i < 100; ++i) s += " n" + std::to_string(i) + "=\"v\"";
         return s + "/>";
       }(), true},
      {"duplicate among many attributes", [] {
         std::string s = "<a";
         for (int i = 0; i < 100; ++i) s += " n" + std::to_string(i) + "=\"v\"";
         return s + " n57=\"w\"/>";
       }(), false},
  };
  for (const auto& c : cases) EXPECT_EQ(Accepts(c.text), c.ok) << c.what;
}

TEST(XmlParserWellFormedness, CharacterDataAndReferences) {
  const WellFormedCase cases[] = {
      {"predefined entities", "<a>&lt;&gt;&amp;&apos;&quot;</a>", true},
      {"undeclared entity", "<a>&nbsp;</a>", false},
      {"entity declared in doctype is not expanded", "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", false},
      {"entity without semicolon", "<a>&amp</a>", false},
      {"bare ampersand", "<a>a & b</a>", false},
      {"decimal reference", "<a>&#65;</a>", true},
      {"hex reference", "<a>&#x4E2D;</a>", true},
      {"upper-case x", "<a>&#X41;</a>", false},
      {"reference to NUL", "<a>&#0;</a>", false},
      {"reference to control", "<a>&#1;</a>", false},
      {"reference to surrogate", "<a>&#xD800;</a>", false},
      {"reference to FFFE", "<a>&#xFFFE;</a>", false},
      {"reference beyond Unicode", "<a>&#x110000;</a>", false},
      {"huge reference", "<a>&#99999999999999999999;</a>", false},
      {"empty reference", "<a>&#;</a>", false},
      {"empty hex reference", "<a>&#x;</a>", false},
      {"CDATA end in text", "<a>]]></a>", false},
      {"brackets in text", "<a>]] ]></a>", true},
      {"CDATA", "<a><![CDATA[<&>]]]></a>", true},
      {"CDATA outside root", "<![CDATA[x]]><a/>", false},
      {"unterminated CDATA", "<a><![CDATA[x</a>", false},
      {"comment", "<a><!-- x - y --></a>", true},
      {"comment with double hyphen", "<a><!-- x -- y --></a>", false},
      {"comment ending in hyphen", "<a><!-- x ---></a>", false},
      {"empty comment", "<a><!----></a>", true},
      {"unterminated comment", "<a><!-- x </a>", false},
      {"NUL in text", std::string("<a>x\0y</a>", 10), false},
      {"NUL in attribute", std::string("<a x=\"\0\"/>", 10), false},
      {"NUL in comment", std::string("<a><!--\0--></a>", 15), false},
      {"form feed", "<a>\f</a>", false},
      {"DEL is allowed", "<a>\x7F</a>", true},
      {"invalid UTF-8 in text", "<a>\xFF</a>", false},
      {"invalid UTF-8 in attribute", "<a x=\"\xC3\"/>", false},
      {"invalid UTF-8 in comment", "<a><!--\xE4\xB8--></a>", false},
      {"encoded surrogate", "<a>\xED\xA0\x80</a>", false},
      {"U+FFFF in text", "<a>\xEF\xBF\xBF</a>", false},
      {"Chinese text", "<a>\xE4\xB8\xAD\xE6\x96\x87</a>", true},
      {"supplementary character", "<a>\xF0\x9F\x98\x80</a>", true},
      {"bad markup declaration", "<a><!x></a>", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Accepts(c.text), c.ok) << c.what;
}

TEST(XmlParserTree, ElementsAttributesAndTextInDocumentOrder) {
  EXPECT_EQ(Parse("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
                  "<data>\r\n  <ZEPRA mainfile=\"Z.exe\" IsDeskTop=\"1\">\r\n"
                  "    <a.dll Version=\"2\" SetupPath=\"#System32\"/>\r\n"
                  "    <b>text &amp; more</b>\r\n  </ZEPRA>\r\n</data>\r\n"),
            "decl version=1.0 encoding=GB2312 standalone=\n"
            "element data\n"
            "  element ZEPRA\n"
            "    @mainfile=Z.exe\n"
            "    @IsDeskTop=1\n"
            "    element a.dll\n"
            "      @Version=2\n"
            "      @SetupPath=#System32\n"
            "    element b\n"
            "      text text & more\n");
}

TEST(XmlParserTree, CommentsPiAndCDataAreKept) {
  EXPECT_EQ(Parse("<!--top--><?pi  data  ?><a>x<!--c-->y<![CDATA[<z>]]><?q?></a><!--end-->"),
            "comment top\n"
            "pi pi data  \n"
            "element a\n"
            "  text x\n"
            "  comment c\n"
            "  text y<z>\n"
            "  pi q \n"
            "comment end\n");
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a>x<![CDATA[y]]></a>"));
  const auto& children = doc.documentElement()->childNodes();
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0]->nodeType(), xml::NodeType::Text);
  EXPECT_EQ(children[0]->nodeName(), "#text");
  EXPECT_EQ(children[1]->nodeType(), xml::NodeType::CData);
  EXPECT_EQ(children[1]->nodeName(), "#cdata-section");
  EXPECT_EQ(doc.childNodes().size(), 1u);
}

TEST(XmlParserTree, WhiteSpaceOnlyTextIsDropped) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a>\r\n\t <b/> \n<c> </c><d> x </d>&#32;<e>&#9;</e></a>"));
  const xml::XmlNode* a = doc.documentElement();
  ASSERT_EQ(a->childNodes().size(), 4u);  // b, c, d, e: no white-space text
  EXPECT_FALSE(a->SelectSingleNode("c")->hasChildNodes());
  EXPECT_EQ(a->SelectSingleNode("d")->text(), " x ");
  EXPECT_FALSE(a->SelectSingleNode("e")->hasChildNodes());
}

TEST(XmlParserTree, ReferencesAndLineEnds) {
  struct { const char* text; const char* value; } cases[] = {
      {"<a>&lt;&gt;&amp;&apos;&quot;</a>", "<>&'\""},
      {"<a>&#65;&#x42;&#x00043;</a>", "ABC"},
      {"<a>&#x4E2D;&#25991;</a>", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"<a>&#x1F600;</a>", "\xF0\x9F\x98\x80"},
      {"<a>1\r\n2\r3\n4</a>", "1\n2\n3\n4"},
      {"<a>1&#13;&#10;2</a>", "1\r\n2"},
      {"<a>x\r\n</a>", "x\n"},
      {"<a><![CDATA[1\r\n2\r]]></a>", "1\n2\n"},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(c.text)) << c.text;
    EXPECT_EQ(doc.documentElement()->text(), c.value) << c.text;
  }
}

TEST(XmlParserTree, AttributeValueNormalisation) {
  struct { const char* text; const char* value; } cases[] = {
      {"<a v=\"x\"/>", "x"},
      {"<a v=\"\"/>", ""},
      {"<a v=\"\t\n x\"/>", "   x"},
      {"<a v=\"1\r\n2\r3\"/>", "1 2 3"},
      {"<a v=\"&#9;&#10;&#13;\"/>", "\t\n\r"},
      {"<a v=\"&lt;&amp;&gt;&quot;&apos;\"/>", "<&>\"'"},
      {"<a v='\"'/>", "\""},
      {"<a v=\"\xE7\x89\x88\xE6\x9C\xAC\"/>", "\xE7\x89\x88\xE6\x9C\xAC"},
      {"<a v=\">\"/>", ">"},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(c.text)) << c.text;
    EXPECT_EQ(doc.documentElement()->attributes().GetNamedItem("v")->nodeValue(), c.value) << c.text;
  }
}

TEST(XmlParserTree, DeclarationIsHeldAsWritten) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version='1.0' encoding='gbk' standalone='yes'?><a/>"));
  EXPECT_TRUE(doc.hasDeclaration());
  EXPECT_EQ(doc.version(), "1.0");
  EXPECT_EQ(doc.encoding(), "gbk");
  EXPECT_EQ(doc.standalone(), "yes");
  // The text handed to loadXML is already decoded: any encoding name is kept.
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"x-private\"?><a/>"));
  EXPECT_EQ(doc.encoding(), "x-private");
  EXPECT_EQ(doc.standalone(), "");
  ASSERT_TRUE(doc.LoadXml("<a/>"));
  EXPECT_FALSE(doc.hasDeclaration());
  EXPECT_EQ(doc.version(), "");
  EXPECT_EQ(doc.encoding(), "");
}

TEST(XmlParserTree, FailedLoadEmptiesAPreviouslyLoadedDocument) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\"?><a><b/></a>"));
  EXPECT_FALSE(doc.LoadXml("<a><b></a>"));
  EXPECT_EQ(doc.documentElement(), nullptr);
  EXPECT_TRUE(doc.childNodes().empty());
  EXPECT_FALSE(doc.hasDeclaration());
  EXPECT_EQ(doc.SelectSingleNode("a"), nullptr);
  EXPECT_EQ(doc.SelectSingleNode("a/b"), nullptr);
}

TEST(XmlParserTree, ParentsSiblingsAndChildWalk) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<!--c--><a><b/>t<c><d/></c></a>"));
  const xml::XmlNode* a = doc.documentElement();
  EXPECT_EQ(a->parentNode(), nullptr);
  EXPECT_EQ(doc.childNodes().front()->nextSibling(), a);
  std::string names;
  for (const xml::XmlNode* n = a->firstChild(); n != nullptr; n = n->nextSibling()) {
    names += n->nodeName() + ",";
    EXPECT_EQ(n->parentNode(), a);
  }
  EXPECT_EQ(names, "b,#text,c,");
  EXPECT_EQ(a->lastChild()->nodeName(), "c");
  EXPECT_EQ(a->lastChild()->firstChild()->nodeName(), "d");
  EXPECT_EQ(a->lastChild()->firstChild()->nextSibling(), nullptr);
  EXPECT_EQ(a->attributes().length(), 0u);
}

// ---- hostile input -----------------------------------------------------------

TEST(XmlParserHostile, MillionLevelsDeepIsParsedWithoutRecursion) {
  constexpr size_t depth = 1'000'000;
  std::string text;
  text.reserve(depth * 7 + 16);
  for (size_t i = 0; i < depth; ++i) text += "<a>";
  text += "x";
  for (size_t i = 0; i < depth; ++i) text += "</a>";
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml(text));
  size_t levels = 0;
  const xml::XmlNode* n = doc.documentElement();
  for (; n->firstChild() && n->firstChild()->nodeType() == xml::NodeType::Element; n = n->firstChild()) ++levels;
  EXPECT_EQ(levels + 1, depth);
  EXPECT_EQ(n->text(), "x");
  EXPECT_EQ(doc.documentElement()->text(), "x");  // walked without recursion too
  // Unclosed at the end: empty, not a partial tree.
  text.resize(text.size() - 4);
  EXPECT_FALSE(doc.LoadXml(text));
  EXPECT_EQ(doc.documentElement(), nullptr);
}

TEST(XmlParserHostile, HugeAttributeAndTextValues) {
  const std::string big(8 << 20, 'v');
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a x=\"" + big + "\">" + big + "</a>"));
  EXPECT_EQ(doc.documentElement()->attributes().GetNamedItem("x")->nodeValue().size(), big.size());
  EXPECT_EQ(doc.documentElement()->text().size(), big.size());
  EXPECT_FALSE(doc.LoadXml("<a x=\"" + big + "/>"));  // never closed
}

TEST(XmlParserHostile, EntityExpansionTricksAreRefused) {
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  for (int i = 1; i <= 9; ++i) {
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    laughs += "\">";
  }
  laughs += "]><lolz>&lol9;</lolz>";
  EXPECT_EQ(Parse(laughs), "EMPTY\n");
  // An external entity is neither fetched nor expanded.
  EXPECT_EQ(Parse("<!DOCTYPE a [<!ENTITY ext SYSTEM \"http://127.0.0.1:9/x\">]><a>&ext;</a>"), "EMPTY\n");
  // The declarations alone are skipped: the document itself is fine.
  EXPECT_EQ(Parse("<!DOCTYPE a [<!ENTITY ext SYSTEM \"file:///etc/passwd\">]><a/>"), "element a\n");
}

TEST(XmlParserHostile, TruncationAtEveryByteNeverYieldsAPartialTree) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"GB2312\"?><!DOCTYPE data [<!ELEMENT data ANY>]>"
      "<data><a x=\"1&amp;2\">t&#x4E2D;<![CDATA[c]]><!--k--><?p d?></a><b/></data>";
  ASSERT_TRUE(Accepts(text));
  for (size_t len = 0; len < text.size(); ++len) {
    EXPECT_FALSE(Accepts(text.substr(0, len))) << len;
  }
}

}  // namespace
