#include <gtest/gtest.h>

#include <string>

#include "xml/xml_document.h"
#include "xml_canonical.h"

namespace {

using xml::XmlDocument;
using xml::XmlError;
using xml::XmlNode;

const char kConfig[] =
    "<data>"
    "<DataSource ServerURL=\"http://10.0.0.5:8080/\"/>"
    "<ZEPRA name=\"Z\"><a.dll Version=\"1\"/></ZEPRA>"
    "<grp><x/></grp>"
    "<grp><x><y n=\"second\"/></x></grp>"
    "</data>";

class XmlDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(doc.LoadXml(kConfig)); }
  XmlDocument doc;
};

// "" names no node; "error" marks a malformed path.
struct PathCase {
  const char* path;
  const char* found;
};

TEST_F(XmlDocumentTest, SelectFromTheDocument) {
  const PathCase cases[] = {
      {"data", "data"},
      {"data/DataSource", "DataSource"},
      {"data/ZEPRA/a.dll", "a.dll"},
      {"/data/ZEPRA", "ZEPRA"},
      {"DataSource", ""},         // the first step names the root element
      {"Data", ""},               // names are compared exactly
      {"data/zepra", ""},
      {"data/ZEPRA/b.dll", ""},
      {"data/grp/x/y", "y"},      // the first match in document order, over all branches
      {"", "error"},
      {"data/", "error"},
      {"data//ZEPRA", "error"},
      {"//ZEPRA", "error"},
      {"data/*", "error"},
      {"data/1abc", "error"},
      {"data/a b", "error"},
      {"data/.", "error"},
      {"data[1]", "error"},
  };
  for (const PathCase& c : cases) {
    if (std::string(c.found) == "error") {
      EXPECT_THROW(doc.SelectSingleNode(c.path), XmlError) << c.path;
      continue;
    }
    const XmlNode* n = doc.SelectSingleNode(c.path);
    EXPECT_EQ(n ? n->nodeName() : std::string(), c.found) << c.path;
  }
  EXPECT_EQ(doc.SelectSingleNode("data/grp/x/y")->attributes().GetNamedItem("n")->nodeValue(), "second");
}

TEST_F(XmlDocumentTest, SelectFromANode) {
  const XmlNode* data = doc.documentElement();
  const PathCase cases[] = {
      {"DataSource", "DataSource"},
      {"ZEPRA/a.dll", "a.dll"},
      {"data", ""},          // relative to the node: data has no child "data"
      {"/data/grp", "grp"},  // a leading "/" starts at the document
      {"grp/x/y", "y"},
      {"ZEPRA/", "error"},
      {"ZEPRA/\xC3\x97", "error"},
  };
  for (const PathCase& c : cases) {
    if (std::string(c.found) == "error") {
      EXPECT_THROW(data->SelectSingleNode(c.path), XmlError) << c.path;
      continue;
    }
    const XmlNode* n = data->SelectSingleNode(c.path);
    EXPECT_EQ(n ? n->nodeName() : std::string(), c.found) << c.path;
  }
  EXPECT_EQ(data->SelectSingleNode("ZEPRA")->parentNode(), data);
}

TEST(XmlDocumentEmpty, EverySelectionFailsQuietly) {
  XmlDocument doc;
  EXPECT_EQ(doc.documentElement(), nullptr);
  EXPECT_EQ(doc.SelectSingleNode("data"), nullptr);
  EXPECT_EQ(doc.SelectSingleNode("data/DataSource"), nullptr);
  EXPECT_THROW(doc.SelectSingleNode("data//x"), XmlError);
}

TEST_F(XmlDocumentTest, AttributeMapByExactName) {
  XmlNode* ds = doc.SelectSingleNode("data/DataSource");
  ASSERT_NE(ds, nullptr);
  xml::XmlAttributes& attrs = ds->attributes();
  EXPECT_EQ(attrs.length(), 1u);
  EXPECT_EQ(attrs.item(0)->nodeName(), "ServerURL");
  EXPECT_EQ(attrs.item(0)->nodeType(), xml::NodeType::Attribute);
  EXPECT_EQ(attrs.item(1), nullptr);
  EXPECT_NE(attrs.GetNamedItem("ServerURL"), nullptr);
  EXPECT_EQ(attrs.GetNamedItem("ServerUrl"), nullptr);
  EXPECT_EQ(attrs.GetNamedItem("serverurl"), nullptr);
  EXPECT_EQ(attrs.GetNamedItem(""), nullptr);
  // Attribute text and value are the same thing.
  XmlNode* url = attrs.GetNamedItem("ServerURL");
  EXPECT_EQ(url->text(), "http://10.0.0.5:8080/");
  url->SetText("a");
  EXPECT_EQ(url->nodeValue(), "a");
  url->SetNodeValue("b");
  EXPECT_EQ(url->text(), "b");
  EXPECT_EQ(url->parentNode(), nullptr);  // attributes are not children
}

TEST_F(XmlDocumentTest, CreateAndPlaceAsTheInstallationDoes) {
  XmlNode* root = doc.documentElement();
  XmlNode* setup = doc.CreateElement("setup");
  EXPECT_EQ(setup->parentNode(), nullptr);
  EXPECT_EQ(root->AppendChild(setup), setup);
  XmlNode* path = doc.CreateAttribute("path");
  EXPECT_EQ(setup->attributes().SetNamedItem(path), path);
  path->SetText("C:\\Client\\");
  XmlNode* app = root->AppendChild(doc.CreateElement("APP"));
  for (const char* name : {"name", "mainfile", "IsDesktop"}) {
    app->attributes().SetNamedItem(doc.CreateAttribute(name))->SetNodeValue(std::string(name) + "-v");
  }
  EXPECT_EQ(root->lastChild(), app);
  EXPECT_EQ(setup->nextSibling(), app);
  EXPECT_EQ(doc.SelectSingleNode("data/setup")->attributes().GetNamedItem("path")->text(), "C:\\Client\\");
  const xml::XmlAttributes& attrs = doc.SelectSingleNode("data/APP")->attributes();
  ASSERT_EQ(attrs.length(), 3u);
  EXPECT_EQ(attrs.item(0)->nodeName(), "name");
  EXPECT_EQ(attrs.item(1)->nodeName(), "mainfile");
  EXPECT_EQ(attrs.item(2)->nodeName(), "IsDesktop");
  EXPECT_EQ(attrs.item(2)->nodeValue(), "IsDesktop-v");
}

TEST_F(XmlDocumentTest, SetNamedItemReplacesSameNameInPlace) {
  XmlNode* el = doc.SelectSingleNode("data/ZEPRA");
  el->attributes().SetNamedItem(doc.CreateAttribute("b"))->SetNodeValue("1");
  XmlNode* replacement = doc.CreateAttribute("name");
  replacement->SetNodeValue("new");
  el->attributes().SetNamedItem(replacement);
  ASSERT_EQ(el->attributes().length(), 2u);
  EXPECT_EQ(el->attributes().item(0), replacement);
  EXPECT_EQ(el->attributes().item(0)->nodeValue(), "new");
  EXPECT_EQ(el->attributes().item(1)->nodeName(), "b");
  // Setting the same node again changes nothing.
  el->attributes().SetNamedItem(replacement);
  EXPECT_EQ(el->attributes().length(), 2u);
}

TEST_F(XmlDocumentTest, RefusedOperations) {
  XmlNode* root = doc.documentElement();
  XmlNode* attr = doc.CreateAttribute("a");
  XmlNode* placed = doc.SelectSingleNode("data/ZEPRA");
  XmlDocument other;
  XmlNode* foreign = other.CreateElement("f");
  EXPECT_THROW(root->AppendChild(attr), XmlError);            // attribute as a child
  EXPECT_THROW(root->AppendChild(nullptr), XmlError);
  EXPECT_THROW(root->AppendChild(foreign), XmlError);         // other document
  EXPECT_THROW(root->AppendChild(placed), XmlError);          // already placed
  EXPECT_THROW(placed->AppendChild(root), XmlError);          // would hold its own ancestor
  EXPECT_THROW(attr->AppendChild(doc.CreateElement("x")), XmlError);
  EXPECT_THROW(doc.AppendChild(doc.CreateElement("second")), XmlError);  // one root only
  EXPECT_THROW(root->attributes().SetNamedItem(doc.CreateElement("e")), XmlError);
  EXPECT_THROW(root->attributes().SetNamedItem(other.CreateAttribute("o")), XmlError);
  placed->attributes().SetNamedItem(attr);
  EXPECT_THROW(root->attributes().SetNamedItem(attr), XmlError);  // in use elsewhere
  EXPECT_THROW(root->SetNodeValue("v"), XmlError);
  // Nothing refused above changed the tree.
  EXPECT_EQ(root->childNodes().size(), 4u);
  EXPECT_EQ(root->attributes().length(), 0u);
}

TEST(XmlDocumentNames, CreateRefusesInvalidNamesNamingThem) {
  XmlDocument doc;
  const char* bad[] = {"", "1a", "a b", "a/b", "<a>", "-x", "\xC3\x97"};
  for (const char* name : bad) {
    for (int kind = 0; kind < 2; ++kind) {
      try {
        kind == 0 ? doc.CreateElement(name) : doc.CreateAttribute(name);
        ADD_FAILURE() << "accepted \"" << name << "\"";
      } catch (const XmlError& e) {
        EXPECT_NE(std::string(e.what()).find(std::string("“") + name + "”"), std::string::npos) << e.what();
      }
    }
  }
  EXPECT_EQ(doc.CreateElement("\xE6\x8A\xA5\xE8\xA1\xA8.dll")->nodeName(), "\xE6\x8A\xA5\xE8\xA1\xA8.dll");
  EXPECT_EQ(doc.CreateAttribute("IsDesktop")->nodeName(), "IsDesktop");
}

TEST(XmlDocumentBuild, DocumentFromScratch) {
  XmlDocument doc;
  doc.AppendChild(doc.CreateElement("data"));
  EXPECT_EQ(doc.documentElement()->nodeName(), "data");
  EXPECT_FALSE(doc.hasDeclaration());
  EXPECT_EQ(xml_testing::Canonical(doc), "element data\n");
}

TEST(XmlDocumentText, ElementTextAndSetText) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a>1<b>2<![CDATA[3]]><!--no--><?p no?></b>4<c/></a>"));
  XmlNode* a = doc.documentElement();
  EXPECT_EQ(a->text(), "1234");
  XmlNode* b = a->SelectSingleNode("b");
  b->SetText("new");
  EXPECT_EQ(b->childNodes().size(), 1u);
  EXPECT_EQ(b->firstChild()->nodeType(), xml::NodeType::Text);
  EXPECT_EQ(a->text(), "1new4");
  a->SetText("");
  EXPECT_FALSE(a->hasChildNodes());
  EXPECT_EQ(a->text(), "");
  // A removed child is no longer reached through the tree.
  EXPECT_EQ(doc.SelectSingleNode("a/b"), nullptr);
  EXPECT_EQ(b->parentNode(), nullptr);
}

}  // namespace
