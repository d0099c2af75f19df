#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

struct NamedCase {
  const char* encoding;
  std::string bytes;
  std::string utf8;
};

TEST(CodePage, NamedEncodingsRoundTrip) {
  const NamedCase cases[] = {
      {"UTF-8", "\xE4\xB8\xAD", "中"},
      {"gb2312", "\xD6\xD0\xCE\xC4", "中文"},
      {"GBK", "\xD6\xD0", "中"},
      {"cp936", "\xD6\xD0", "中"},
      {"GB18030", "\xD6\xD0", "中"},
      {"big5", "\xA4\xA4", "中"},
      {"ISO-8859-1", "\xE9", "é"},
      {"windows-1252", "\x80", "€"},
      {"US-ASCII", "abc", "abc"},
      {"utf-16", std::string("\x2D\x4E", 2), "中"},
      {"UTF-16BE", std::string("\x4E\x2D", 2), "中"},
  };
  for (const NamedCase& c : cases) {
    SCOPED_TRACE(c.encoding);
    EXPECT_TRUE(platform::IsKnownEncoding(c.encoding));
    EXPECT_EQ(platform::DecodeToUtf8(c.bytes, c.encoding), c.utf8);
    EXPECT_EQ(platform::EncodeFromUtf8(c.utf8, c.encoding), c.bytes);
  }
}

TEST(CodePage, UnknownEncodingInvalidBytesAndUnencodableCharacters) {
  EXPECT_FALSE(platform::IsKnownEncoding("klingon-8"));
  EXPECT_EQ(platform::DecodeToUtf8("abc", "klingon-8"), std::nullopt);
  EXPECT_EQ(platform::DecodeToUtf8("\xFF\xFE\xFD", "UTF-8"), std::nullopt);
  EXPECT_EQ(platform::EncodeFromUtf8("中", "ISO-8859-1"), std::nullopt);
  EXPECT_EQ(platform::EncodeFromUtf8("é", "US-ASCII"), std::nullopt);
}

TEST(CodePage, Utf16ByteOrderMarks) {
  EXPECT_EQ(platform::DecodeToUtf8(std::string("\xFF\xFE\x41\x00", 4), "UTF-16"), "A");
  EXPECT_EQ(platform::DecodeToUtf8(std::string("\xFE\xFF\x00\x41", 4), "UTF-16"), "A");
}

}  // namespace
