#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/base/test_paths.h"
#include "xml/xml_document.h"
#include "xml/xml_file_encoding.h"

namespace {

using testing_support::TempDir;
using xml::XmlDocument;

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}
std::string Utf16Be(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += '\0';
    out += c;
  }
  return out;
}

TEST(XmlFileEncoding, DetectionOrder) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* name;
    size_t bom;
  };
  const Case cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>", "UTF-8", 3},
      {"UTF-16 LE mark", "\xFF\xFE" + Utf16Le("<a/>"), "UTF-16LE", 2},
      {"UTF-16 BE mark", "\xFE\xFF" + Utf16Be("<a/>"), "UTF-16BE", 2},
      {"UTF-16 LE by content", Utf16Le("<?xml version=\"1.0\"?><a/>"), "UTF-16LE", 0},
      {"UTF-16 BE by content", Utf16Be("<?xml version=\"1.0\"?><a/>"), "UTF-16BE", 0},
      {"declared", "<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>", "GB2312", 0},
      {"declared in single quotes", "<?xml version='1.0' encoding = 'big5'?><a/>", "big5", 0},
      {"declaration without encoding", "<?xml version=\"1.0\"?><a/>", "UTF-8", 0},
      {"no declaration", "<a/>", "UTF-8", 0},
      {"encoding outside the declaration", "<?xml version=\"1.0\"?><a encoding=\"gbk\"/>", "UTF-8", 0},
      {"processing instruction, not a declaration", "<?xml-x encoding=\"gbk\"?><a/>", "UTF-8", 0},
  };
  for (const Case& c : cases) {
    const xml::FileEncoding e = xml::DetectFileEncoding(c.bytes);
    EXPECT_EQ(e.name, c.name) << c.what;
    EXPECT_EQ(e.bomLength, c.bom) << c.what;
  }
}

struct LoadCase {
  const char* what;
  std::string bytes;
  const char* value;  // text of the root element; nullptr: the document is empty
};

TEST(XmlFileEncoding, LoadReadsTheFileWithItsEncoding) {
  const std::string zhong = "\xE4\xB8\xAD";  // 中 in UTF-8
  const LoadCase cases[] = {
      {"UTF-8 without declaration", "<a>" + zhong + "</a>", "\xE4\xB8\xAD"},
      {"UTF-8 with mark", "\xEF\xBB\xBF<a>" + zhong + "</a>", "\xE4\xB8\xAD"},
      {"declared UTF-8", "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>" + zhong + "</a>", "\xE4\xB8\xAD"},
      {"GB2312 holding GBK bytes", "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xD6\xD0\x81\x40</a>",
       "\xE4\xB8\xAD\xE4\xB8\x82"},
      {"gbk in lower case", "<?xml version=\"1.0\" encoding=\"gbk\"?><a>\xD6\xD0</a>", "\xE4\xB8\xAD"},
      {"CP936", "<?xml version=\"1.0\" encoding=\"CP936\"?><a>\xD6\xD0</a>", "\xE4\xB8\xAD"},
      {"GB18030", "<?xml version=\"1.0\" encoding=\"GB18030\"?><a>\xD6\xD0</a>", "\xE4\xB8\xAD"},
      {"BIG5", "<?xml version=\"1.0\" encoding=\"BIG5\"?><a>\xA4\xA4</a>", "\xE4\xB8\xAD"},
      {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>", "caf\xC3\xA9"},
      {"windows-1252", "<?xml version=\"1.0\" encoding=\"Windows-1252\"?><a>\x80</a>", "\xE2\x82\xAC"},
      {"US-ASCII", "<?xml version=\"1.0\" encoding=\"us-ascii\"?><a>plain</a>", "plain"},
      {"UTF-16 LE with mark", "\xFF\xFE" + Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>x</a>") +
                                  std::string("\x2D\x4E", 2), nullptr},  // text after the root
      {"UTF-16 LE Chinese", "\xFF\xFE" + Utf16Le("<a>") + std::string("\x2D\x4E", 2) + Utf16Le("</a>"),
       "\xE4\xB8\xAD"},
      {"UTF-16 BE with mark", "\xFE\xFF" + Utf16Be("<a>") + std::string("\x4E\x2D", 2) + Utf16Be("</a>"),
       "\xE4\xB8\xAD"},
      {"UTF-16 LE without mark", Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>x</a>"), "x"},
      {"UTF-8 mark wins over the declaration",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GB2312\"?><a>" + zhong + "</a>", "\xE4\xB8\xAD"},
      {"GBK bytes without declaration", "<a>\xD6\xD0</a>", nullptr},
      {"bytes not valid in GBK", "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xD6</a>", nullptr},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-unknown\"?><a>x</a>", nullptr},
      {"malformed", "<a><b></a>", nullptr},
      {"empty file", "", nullptr},
      {"odd UTF-16 length", "\xFF\xFE" + Utf16Le("<a/>") + "x", nullptr},
  };
  TempDir dir;
  int n = 0;
  for (const LoadCase& c : cases) {
    const std::string path = dir / ("f" + std::to_string(n++) + ".xml");
    platform::WriteWholeFile(path, c.bytes);
    XmlDocument doc;
    const bool ok = doc.Load(path);
    if (c.value == nullptr) {
      EXPECT_FALSE(ok) << c.what;
      EXPECT_EQ(doc.documentElement(), nullptr) << c.what;
    } else {
      ASSERT_TRUE(ok) << c.what;
      EXPECT_EQ(doc.documentElement()->text(), c.value) << c.what;
    }
  }
}

TEST(XmlFileEncoding, DeclarationIsKeptAfterLoad) {
  TempDir dir;
  platform::WriteWholeFile(dir / "d.xml", "<?xml version=\"1.0\" encoding=\"GB2312\"?><data/>");
  XmlDocument doc;
  ASSERT_TRUE(doc.Load(dir / "d.xml"));
  EXPECT_EQ(doc.encoding(), "GB2312");
}

TEST(XmlFileEncoding, MissingFileGivesAnEmptyDocument) {
  TempDir dir;
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<a/>"));
  EXPECT_FALSE(doc.Load(dir / "nothing-here.xml"));
  EXPECT_EQ(doc.documentElement(), nullptr);
  EXPECT_FALSE(doc.Load(dir.path()));  // a folder is not a document either
}

}  // namespace
