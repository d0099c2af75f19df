#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/posix/host_path.h"

namespace {

// The native build can be told to act as a Chinese system (code page 936).
TEST(PosixCodePage, AnsiOverrideAndDefault) {
  platform::posix::SetAnsiEncoding("CP936");
  EXPECT_EQ(platform::Utf8ToAnsi("取IP"), "\xC8\xA1IP");
  EXPECT_EQ(platform::AnsiToUtf8("\xC8\xA1IP"), "取IP");
  EXPECT_EQ(platform::Utf8ToAnsi("a\xF0\x9F\x98\x80" "b"), "a?b");  // not in the code page
  platform::posix::SetAnsiEncoding("");
}

TEST(PosixHostPath, DriveAndSeparators) {
  platform::posix::SetDriveRoot("/sandbox");
  EXPECT_EQ(platform::posix::HostPath("C:\\temp\\a.zip"), "/sandbox/C/temp/a.zip");
  EXPECT_EQ(platform::posix::HostPath("c:"), "/sandbox/C");
  EXPECT_EQ(platform::posix::HostPath("/x\\y"), "/x/y");
  platform::posix::SetDriveRoot("");
}

}  // namespace
