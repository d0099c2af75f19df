#include "base/hex.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(ToHex, TwoLowerCaseDigitsAByte) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {std::string(1, '\0'), "00"},
      {"\x01\x0f\x10", "010f10"},
      {"\x7f\x80\xff", "7f80ff"},
      {"abc", "616263"},
      {"\xAB\xCD\xEF", "abcdef"},
  };
  for (const auto& [bytes, hex] : cases) {
    SCOPED_TRACE(hex);
    EXPECT_EQ(base::ToHex(bytes), hex);
  }
}

TEST(ToHex, EveryByteValueInOrder) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string hex = base::ToHex(all);
  ASSERT_EQ(hex.size(), 512u);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(std::stoi(hex.substr(2 * b, 2), nullptr, 16), b);
  EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
