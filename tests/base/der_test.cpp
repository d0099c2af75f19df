#include "base/der.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace std::string_literals;

struct ReadCase {
  std::string input;
  std::optional<std::uint8_t> tag;  // nullopt: no complete element
  std::string content;
  std::string rest;
};

TEST(DerRead, ShortAndLongLengthsAndIncompleteElements) {
  const std::string kilo(1000, 'x');
  const ReadCase cases[] = {
      {"\x02\x01\x05"s, 0x02, "\x05", ""},
      {"\x30\x00"s, 0x30, "", ""},
      {"\x04\x02" "ab" "\x05\x00"s, 0x04, "ab", "\x05\x00"s},
      {"\x04\x81\x02" "ab"s, 0x04, "ab", ""},                 // long form, one byte
      {"\x04\x82\x03\xE8"s + kilo + "z", 0x04, kilo, "z"},   // long form, two bytes
      {"\x04\x84\x00\x00\x00\x01" "a"s, 0x04, "a", ""},       // four length bytes at most
      {"", std::nullopt, "", ""},
      {"\x02"s, std::nullopt, "", ""},
      {"\x02\x02\x05"s, std::nullopt, "", ""},                // content cut short
      {"\x04\x80" "ab\x00\x00"s, std::nullopt, "", ""},       // indefinite length
      {"\x04\x85\x00\x00\x00\x00\x01" "a"s, std::nullopt, "", ""},
      {"\x04\x82\x01"s, std::nullopt, "", ""},                // length bytes cut short
      {"\x04\x84\xFF\xFF\xFF\xFF" "ab"s, std::nullopt, "", ""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    std::string_view input = c.input;
    const std::optional<base::der::Element> element = base::der::Read(input);
    ASSERT_EQ(element.has_value(), c.tag.has_value());
    if (!element) {
      EXPECT_EQ(input, c.input);  // nothing taken
      continue;
    }
    EXPECT_EQ(element->tag, *c.tag);
    EXPECT_EQ(element->content, c.content);
    EXPECT_EQ(input, c.rest);
  }
}

TEST(DerRead, TagMustMatchAndAMismatchTakesNothing) {
  const std::string bytes = "\x02\x01\x07\x03\x02\x00\x04"s;
  std::string_view input = bytes;
  EXPECT_EQ(base::der::Read(input, base::der::kBitString), std::nullopt);
  EXPECT_EQ(input, bytes);
  EXPECT_EQ(base::der::Read(input, base::der::kInteger), "\x07");
  EXPECT_EQ(base::der::Read(input, base::der::kBitString), "\x00\x04"s);
  EXPECT_TRUE(input.empty());
  EXPECT_EQ(base::der::Read(input, base::der::kInteger), std::nullopt);
}

TEST(DerReadWhole, OneElementAndNothingElse) {
  struct Case {
    std::string input;
    std::uint8_t tag;
    std::optional<std::string> content;
  };
  const Case cases[] = {
      {"\x30\x03\x02\x01\x01"s, base::der::kSequence, "\x02\x01\x01"s},
      {"\x06\x00"s, base::der::kObjectId, ""},
      {"\x30\x03\x02\x01\x01"s, base::der::kInteger, std::nullopt},   // another tag
      {"\x30\x03\x02\x01\x01\x00"s, base::der::kSequence, std::nullopt},  // a byte after it
      {"\x30\x04\x02\x01\x01"s, base::der::kSequence, std::nullopt},  // a byte short
      {"", base::der::kSequence, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    const std::optional<std::string_view> content = base::der::ReadWhole(c.input, c.tag);
    EXPECT_EQ(content, c.content);
  }
}

}  // namespace
