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
  void SetUp() override { ASSERT_TRUE(doc.loadXML(kConfig)); }
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
      EXPECT_THROW(doc.selectSingleNode(c.path), XmlError) << c.path;
      continue;
    }
    const XmlNode* n = doc.selectSingleNode(c.path);
    EXPECT_EQ(n ? n->nodeName() : std::string(), c.found) << c.path;
  }
  EXPECT_EQ(doc.selectSingleNode("data/grp/x/y")->attributes().getNamedItem("n")->nodeValue(), "second");
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
      EXPECT_THROW(data->selectSingleNode(c.path), XmlError) << c.path;
      continue;
    }
    const XmlNode* n = data->selectSingleNode(c.path);
    EXPECT_EQ(n ? n->nodeName() : std::string(), c.found) << c.path;
  }
  EXPECT_EQ(data->selectSingleNode("ZEPRA")->parentNode(), data);
}

TEST(XmlDocumentEmpty, EverySelectionFailsQuietly) {
  XmlDocument doc;
  EXPECT_EQ(doc.documentElement(), nullptr);
  EXPECT_EQ(doc.selectSingleNode("data"), nullptr);
  EXPECT_EQ(doc.selectSingleNode("data/DataSource"), nullptr);
  EXPECT_THROW(doc.selectSingleNode("data//x"), XmlError);
}

TEST_F(XmlDocumentTest, AttributeMapByExactName) {
  XmlNode* ds = doc.selectSingleNode("data/DataSource");
  ASSERT_NE(ds, nullptr);
  xml::XmlAttributes& attrs = ds->attributes();
  EXPECT_EQ(attrs.length(), 1u);
  EXPECT_EQ(attrs.item(0)->nodeName(), "ServerURL");
  EXPECT_EQ(attrs.item(0)->nodeType(), xml::NodeType::Attribute);
  EXPECT_EQ(attrs.item(1), nullptr);
  EXPECT_NE(attrs.getNamedItem("ServerURL"), nullptr);
  EXPECT_EQ(attrs.getNamedItem("ServerUrl"), nullptr);
  EXPECT_EQ(attrs.getNamedItem("serverurl"), nullptr);
  EXPECT_EQ(attrs.getNamedItem(""), nullptr);
  // Attribute text and value are the same thing.
  XmlNode* url = attrs.getNamedItem("ServerURL");
  EXPECT_EQ(url->text(), "http://10.0.0.5:8080/");
  url->setText("a");
  EXPECT_EQ(url->nodeValue(), "a");
  url->setNodeValue("b");
  EXPECT_EQ(url->text(), "b");
  EXPECT_EQ(url->parentNode(), nullptr);  // attributes are not children
}

TEST_F(XmlDocumentTest, CreateAndPlaceAsTheInstallationDoes) {
  XmlNode* root = doc.documentElement();
  XmlNode* setup = doc.createElement("setup");
  EXPECT_EQ(setup->parentNode(), nullptr);
  EXPECT_EQ(root->appendChild(setup), setup);
  XmlNode* path = doc.createAttribute("path");
  EXPECT_EQ(setup->attributes().setNamedItem(path), path);
  path->setText("C:\\Client\\");
  XmlNode* app = root->appendChild(doc.createElement("APP"));
  for (const char* name : {"name", "mainfile", "IsDesktop"}) {
    app->attributes().setNamedItem(doc.createAttribute(name))->setNodeValue(std::string(name) + "-v");
  }
  EXPECT_EQ(root->lastChild(), app);
  EXPECT_EQ(setup->nextSibling(), app);
  EXPECT_EQ(doc.selectSingleNode("data/setup")->attributes().getNamedItem("path")->text(), "C:\\Client\\");
  const xml::XmlAttributes& attrs = doc.selectSingleNode("data/APP")->attributes();
  ASSERT_EQ(attrs.length(), 3u);
  EXPECT_EQ(attrs.item(0)->nodeName(), "name");
  EXPECT_EQ(attrs.item(1)->nodeName(), "mainfile");
  EXPECT_EQ(attrs.item(2)->nodeName(), "IsDesktop");
  EXPECT_EQ(attrs.item(2)->nodeValue(), "IsDesktop-v");
}

TEST_F(XmlDocumentTest, SetNamedItemReplacesSameNameInPlace) {
  XmlNode* el = doc.selectSingleNode("data/ZEPRA");
  el->attributes().setNamedItem(doc.createAttribute("b"))->setNodeValue("1");
  XmlNode* replacement = doc.createAttribute("name");
  replacement->setNodeValue("new");
  el->attributes().setNamedItem(replacement);
  ASSERT_EQ(el->attributes().length(), 2u);
  EXPECT_EQ(el->attributes().item(0), replacement);
  EXPECT_EQ(el->attributes().item(0)->nodeValue(), "new");
  EXPECT_EQ(el->attributes().item(1)->nodeName(), "b");
  // Setting the same node again changes nothing.
  el->attributes().setNamedItem(replacement);
  EXPECT_EQ(el->attributes().length(), 2u);
}

TEST_F(XmlDocumentTest, RefusedOperations) {
  XmlNode* root = doc.documentElement();
  XmlNode* attr = doc.createAttribute("a");
  XmlNode* placed = doc.selectSingleNode("data/ZEPRA");
  XmlDocument other;
  XmlNode* foreign = other.createElement("f");
  EXPECT_THROW(root->appendChild(attr), XmlError);            // attribute as a child
  EXPECT_THROW(root->appendChild(nullptr), XmlError);
  EXPECT_THROW(root->appendChild(foreign), XmlError);         // other document
  EXPECT_THROW(root->appendChild(placed), XmlError);          // already placed
  EXPECT_THROW(placed->appendChild(root), XmlError);          // would hold its own ancestor
  EXPECT_THROW(attr->appendChild(doc.createElement("x")), XmlError);
  EXPECT_THROW(doc.appendChild(doc.createElement("second")), XmlError);  // one root only
  EXPECT_THROW(root->attributes().setNamedItem(doc.createElement("e")), XmlError);
  EXPECT_THROW(root->attributes().setNamedItem(other.createAttribute("o")), XmlError);
  placed->attributes().setNamedItem(attr);
  EXPECT_THROW(root->attributes().setNamedItem(attr), XmlError);  // in use elsewhere
  EXPECT_THROW(root->setNodeValue("v"), XmlError);
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
        kind == 0 ? doc.createElement(name) : doc.createAttribute(name);
        ADD_FAILURE() << "accepted \"" << name << "\"";
      } catch (const XmlError& e) {
        EXPECT_NE(std::string(e.what()).find(std::string("“") + name + "”"), std::string::npos) << e.what();
      }
    }
  }
  EXPECT_EQ(doc.createElement("\xE6\x8A\xA5\xE8\xA1\xA8.dll")->nodeName(), "\xE6\x8A\xA5\xE8\xA1\xA8.dll");
  EXPECT_EQ(doc.createAttribute("IsDesktop")->nodeName(), "IsDesktop");
}

TEST(XmlDocumentBuild, DocumentFromScratch) {
  XmlDocument doc;
  doc.appendChild(doc.createElement("data"));
  EXPECT_EQ(doc.documentElement()->nodeName(), "data");
  EXPECT_FALSE(doc.hasDeclaration());
  EXPECT_EQ(xml_testing::Canonical(doc), "element data\n");
}

TEST(XmlDocumentText, ElementTextAndSetText) {
  XmlDocument doc;
  ASSERT_TRUE(doc.loadXML("<a>1<b>2<![CDATA[3]]><!--no--><?p no?></b>4<c/></a>"));
  XmlNode* a = doc.documentElement();
  EXPECT_EQ(a->text(), "1234");
  XmlNode* b = a->selectSingleNode("b");
  b->setText("new");
  EXPECT_EQ(b->childNodes().size(), 1u);
  EXPECT_EQ(b->firstChild()->nodeType(), xml::NodeType::Text);
  EXPECT_EQ(a->text(), "1new4");
  a->setText("");
  EXPECT_FALSE(a->hasChildNodes());
  EXPECT_EQ(a->text(), "");
  // A removed child is no longer reached through the tree.
  EXPECT_EQ(doc.selectSingleNode("a/b"), nullptr);
  EXPECT_EQ(b->parentNode(), nullptr);
}

}  // namespace
