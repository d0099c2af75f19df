#include "platform/file_names.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNames, DeviceNames) {
  for (const char* name : {"CON", "prn", "Aux", "NUL", "nul.txt", "COM1", "com9.dll", "LPT1", "lpt0", "CONIN$",
                           "conout$", "NUL.", "nul ", "con .txt", "COM\xC2\xB9", "lpt\xC2\xB3.x"}) {
    EXPECT_TRUE(platform::IsDeviceName(name)) << name;
  }
  for (const char* name : {"CONSOLE", "COM", "COM10", "LPT", "xNUL", "nul_x", "", "AUX1", "COM\xC2\xB4"}) {
    EXPECT_FALSE(platform::IsDeviceName(name)) << name;
  }
}

TEST(FileNames, PlainRelativePaths) {
  for (const char* path : {"a.zip", "sub\\a.zip", "sub/a.zip", ".\\a.zip", "a\\\\b.zip", "中文.zip", "a..b"}) {
    EXPECT_TRUE(platform::IsPlainRelativePath(path)) << path;
  }
  for (const char* path : {"", "\\a.zip", "/a.zip", "..\\a.zip", "a\\..\\b", "C:a.zip", "a.zip:s", "a\\", ".",
                           "sub\\CON.zip", "a\x1f.zip", "a*.zip", ". .\\x"}) {
    EXPECT_FALSE(platform::IsPlainRelativePath(path)) << path;
  }
}

TEST(FileNames, InsideFolderResolvesDotsAndIgnoresCase) {
  EXPECT_TRUE(platform::IsInsideFolder("D:\\App", "D:\\App\\bin\\a.dll"));
  EXPECT_TRUE(platform::IsInsideFolder("D:\\App", "d:\\app\\.\\x"));
  EXPECT_TRUE(platform::IsInsideFolder("D:\\App", "D:\\App/sub/x"));
  EXPECT_TRUE(platform::IsInsideFolder("D:", "D:\\x"));
  EXPECT_FALSE(platform::IsInsideFolder("D:\\App", "D:\\App\\..\\x"));
  EXPECT_FALSE(platform::IsInsideFolder("D:\\App", "D:\\App/../x"));
  EXPECT_FALSE(platform::IsInsideFolder("D:\\App", "D:\\App\\. .\\x"));
  EXPECT_FALSE(platform::IsInsideFolder("D:\\App", "D:\\Apple\\x"));
  EXPECT_FALSE(platform::IsInsideFolder("D:\\App", "D:\\App"));
  EXPECT_FALSE(platform::IsInsideFolder("D:\\App", "D:\\App\\a\\..\\..\\..\\x"));
}

}  // namespace
