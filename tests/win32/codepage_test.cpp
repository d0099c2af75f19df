#include "platform/codepage.h"

#include <gtest/gtest.h>

// The Wine tiers run in code page 936, as the target systems do.
TEST(Win32CodePage, AnsiIsGbk) {
  EXPECT_EQ(platform::AnsiEncodingName(), "cp936");
  EXPECT_EQ(platform::Utf8ToAnsi("取IP"), "\xC8\xA1IP");
  EXPECT_EQ(platform::AnsiToUtf8("\xC8\xA1IP"), "取IP");
  EXPECT_EQ(platform::OemToUtf8("\xD6\xD0"), "中");
}
