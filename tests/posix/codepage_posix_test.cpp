#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/posix/host_path.h"

namespace {

// The native build is told by the environment to act as a Chinese system
// (code page 936) and where drive C: lies.
TEST(PosixCodePage, AnsiCodesetFromTheEnvironment) {
  ::setenv("AUTOUPDATE_ANSI_CODESET", "CP936", 1);
  EXPECT_EQ(platform::Utf8ToAnsi("取IP"), "\xC8\xA1IP");
  EXPECT_EQ(platform::AnsiToUtf8("\xC8\xA1IP"), "取IP");
  EXPECT_EQ(platform::Utf8ToAnsi("a\xF0\x9F\x98\x80" "b"), "a?b");  // not in the code page
  ::unsetenv("AUTOUPDATE_ANSI_CODESET");
}

TEST(PosixHostPath, DriveAndSeparators) {
  ::setenv("AUTOUPDATE_DRIVE_ROOT", "/sandbox", 1);
  EXPECT_EQ(platform::posix::HostPath("C:\\temp\\a.zip"), "/sandbox/C/temp/a.zip");
  EXPECT_EQ(platform::posix::HostPath("c:"), "/sandbox/C");
  EXPECT_EQ(platform::posix::HostPath("/x\\y"), "/x/y");
  ::unsetenv("AUTOUPDATE_DRIVE_ROOT");
}

}  // namespace
