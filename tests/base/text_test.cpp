#include "base/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <utility>

namespace {

using namespace std::string_literals;

struct CaseCase {
  std::string text, upperAscii, lowerAscii;
};

TEST(TextCase, AsciiLettersOnlyEveryOtherByteKept) {
  const CaseCase cases[] = {
      {"", "", ""},
      {"Setup.EXE", "SETUP.EXE", "setup.exe"},
      {"az AZ @[`{", "AZ AZ @[`{", "az az @[`{"},  // the bytes around the letters
      {"中文Ab", "中文AB", "中文ab"},
      {"\xE4\xC4\xB5x"s, "\xE4\xC4\xB5X"s, "\xE4\xC4\xB5x"s},
      {"a\0B"s, "A\0B"s, "a\0b"s},
  };
  for (const CaseCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(base::UpperAscii(c.text), c.upperAscii);
    EXPECT_EQ(base::LowerAscii(c.text), c.lowerAscii);
  }
}

// The program keeps the "C" locale, where tolower is ASCII lower-casing.
TEST(TextCase, LowerByLocaleInTheCLocale) {
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  const std::pair<std::string, std::string> cases[] = {
      {"GB2312", "gb2312"}, {"Utf-8", "utf-8"}, {"\xC0\xC9 Z"s, "\xC0\xC9 z"s}, {"", ""}};
  for (const auto& [text, lower] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(base::LowerByLocale(text), lower);
  }
}

struct CompareCase {
  std::string a, b;
  bool same;
};

TEST(TextCompare, SameTextIgnoresTheCaseOfLettersOnly) {
  const CompareCase cases[] = {
      {"", "", true},
      {"bytes", "BYTES", true},
      {"Content-Length", "content-length", true},
      {"#bde", "#BDE", true},
      {"abc", "abd", false},
      {"abc", "abcd", false},  // a prefix is not the same text
      {"abc", "ab", false},
      {"@", "`", false},       // 0x40 and 0x60 differ by the case bit only
      {"[", "{", false},
      {"中", "中", true},
      {"\xE4"s, "\xC4"s, false},
      {"a\0b"s, "A\0B"s, true},
      {"a\0b"s, "A\0C"s, false},
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(base::SameTextAscii(c.a, c.b), c.same);
    EXPECT_EQ(base::SameTextAscii(c.b, c.a), c.same);
    EXPECT_EQ(base::SameTextByLocale(c.a, c.b), c.same);  // the "C" locale
  }
}

TEST(TextCompare, FindTextAsciiFirstOccurrenceInAnyCase) {
  struct Case {
    std::string text, needle;
    std::size_t at;
  };
  const Case cases[] = {
      {"Setup.ZIP", ".zip", 5},
      {"a.Zip.zip", ".zip", 1},
      {"abc", "", 0},
      {"", "a", std::string::npos},
      {"setup.zi", ".zip", std::string::npos},
      {"<SYSTEMDIR>\\x", "<systemdir>", 0},
      {"x@y", "`", std::string::npos},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.needle);
    EXPECT_EQ(base::FindTextAscii(c.text, c.needle), c.at);
  }
}

struct TrimCase {
  std::string text, trimmed, spacesAndTabs;
};

TEST(TextTrim, BlanksAndControlsOrSpacesAndTabsOnly) {
  const TrimCase cases[] = {
      {"", "", ""},
      {"abc", "abc", "abc"},
      {"  a b  ", "a b", "a b"},
      {"\t[x]\t", "[x]", "[x]"},
      {" \r\nvalue\r\n", "value", "\r\nvalue\r\n"},  // line breaks: controls, not spaces
      {"\x01\x1f" "a\x7f"s, "a\x7f", "\x01\x1f" "a\x7f"s},  // DEL is no control here
      {"\0 a \0"s, "a", "\0 a \0"s},
      {"\xA0" "a\xA0"s, "\xA0" "a\xA0"s, "\xA0" "a\xA0"s},  // 8-bit bytes stay
      {" \t \r\n", "", "\r\n"},
      {"   ", "", ""},
  };
  for (const TrimCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(base::Trimmed(c.text), c.trimmed);
    EXPECT_EQ(base::TrimmedSpacesAndTabs(c.text), c.spacesAndTabs);
  }
}

}  // namespace
