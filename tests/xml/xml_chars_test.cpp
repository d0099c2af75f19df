#include <gtest/gtest.h>

#include "xml/xml_chars.h"
#include "xml/xml_document.h"

namespace {

using xml::IsValidXmlName;
using xml::chars::DecodeUtf8;

struct NameCase {
  const char* name;
  bool valid;
};

TEST(XmlNames, NameProduction) {
  const NameCase cases[] = {
      {"data", true},
      {"DataSource", true},
      {"a", true},
      {"_x", true},
      {":x", true},
      {"a:b", true},
      {"a-b.c_d9", true},
      {"ZEPRA.exe", true},
      {"\xE6\x8A\xA5\xE8\xA1\xA8.dll", true},       // CJK letters
      {"\xC3\xA9t\xC3\xA9", true},                   // é (U+00E9)
      {"a\xC2\xB7" "b", true},                       // middle dot inside
      {"a\xCC\x80", true},                           // combining grave inside
      {"\xF0\x90\x80\x80", true},                    // U+10000
      {"", false},
      {"1abc", false},
      {"-a", false},
      {".a", false},
      {"a b", false},
      {"a/b", false},
      {"a=b", false},
      {"a<", false},
      {"\xC2\xB7" "a", false},                       // middle dot cannot start
      {"\xCC\x80" "a", false},                       // combining mark cannot start
      {"\xC3\x97", false},                           // × (U+00D7) is excluded
      {"a\xE3\x80\x80" "b", false},                  // ideographic space U+3000
      {"\xEF\xBF\xBF", false},                       // U+FFFF
      {"a\xFF", false},                              // invalid UTF-8
      {"a\xC3", false},                              // truncated UTF-8
      {"\xC0\xA1", false},                           // overlong
      {"\xED\xA0\x80", false},                       // encoded surrogate
      {"\xF3\xB0\x80\x80", false},                   // U+F0000 is beyond the name range
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsValidXmlName(c.name), c.valid) << '"' << c.name << '"';
  }
}

TEST(XmlChars, CharProductionBoundaries) {
  struct { unsigned long c; bool ok; } cases[] = {
      {0x0, false}, {0x8, false}, {0x9, true}, {0xA, true}, {0xB, false}, {0xD, true}, {0x1F, false},
      {0x20, true}, {0xD7FF, true}, {0xD800, false}, {0xDFFF, false}, {0xE000, true}, {0xFFFD, true},
      {0xFFFE, false}, {0xFFFF, false}, {0x10000, true}, {0x10FFFF, true}, {0x110000, false},
  };
  for (const auto& c : cases) EXPECT_EQ(xml::chars::IsXmlChar(c.c), c.ok) << std::hex << c.c;
}

TEST(XmlChars, Utf8DecodingAndEncodingAgree) {
  struct { const char* bytes; long cp; size_t len; } cases[] = {
      {"A", 'A', 1},
      {"\xC2\x80", 0x80, 2},
      {"\xDF\xBF", 0x7FF, 2},
      {"\xE0\xA0\x80", 0x800, 3},
      {"\xE4\xB8\xAD", 0x4E2D, 3},
      {"\xEF\xBF\xBD", 0xFFFD, 3},
      {"\xF0\x90\x80\x80", 0x10000, 4},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      {"\x80", -1, 0},
      {"\xC1\xBF", -1, 0},          // overlong two-byte
      {"\xE0\x9F\xBF", -1, 0},      // overlong three-byte
      {"\xF0\x8F\xBF\xBF", -1, 0},  // overlong four-byte
      {"\xF4\x90\x80\x80", -1, 0},  // above U+10FFFF
      {"\xED\xBF\xBF", -1, 0},      // surrogate
      {"\xE4\xB8", -1, 0},          // truncated
      {"\xE4\x41\xAD", -1, 0},      // bad continuation
  };
  for (const auto& c : cases) {
    size_t len = 99;
    EXPECT_EQ(DecodeUtf8(c.bytes, 0, len), c.cp) << c.bytes;
    EXPECT_EQ(len, c.len) << c.bytes;
    if (c.cp >= 0) {
      std::string back;
      xml::chars::AppendUtf8(back, static_cast<unsigned long>(c.cp));
      EXPECT_EQ(back, c.bytes);
    }
  }
}

TEST(XmlChars, NameLengthStopsAtFirstNonNameChar) {
  EXPECT_EQ(xml::chars::NameLength("abc def"), 3u);
  EXPECT_EQ(xml::chars::NameLength("abc=\"1\""), 3u);
  EXPECT_EQ(xml::chars::NameLength("\xE4\xB8\xAD\xE6\x96\x87/x"), 6u);
  EXPECT_EQ(xml::chars::NameLength("9abc"), 0u);
  EXPECT_EQ(xml::chars::NameLength(""), 0u);
}

}  // namespace
