#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/os_error.h"
#include "support/platform/sandbox.h"

namespace {

// The text can reach the user in a recovery box: in the product's language,
// ending with the system's own text.
TEST(ReplaceWholeFile, AFileThatCannotBeReplacedIsReportedInChinese) {
  testing_support::Sandbox box;
  box.mkdirs("target");  // no file moves over a folder
  const std::string path = box.path("target");
  try {
    platform::ReplaceWholeFile(path, "bytes");
    FAIL() << "replaced";
  } catch (const platform::OsError& e) {
    EXPECT_FALSE(e.systemText().empty());
    EXPECT_EQ(std::string(e.what()), "无法替换文件“" + path + "”：" + e.systemText());
  }
  EXPECT_FALSE(platform::FileExists(path + ".~save"));
}

TEST(ReplaceWholeFile, WritesTheWholeFile) {
  testing_support::Sandbox box;
  box.write("f.txt", "old and longer");
  platform::ReplaceWholeFile(box.path("f.txt"), "new");
  EXPECT_EQ(box.read("f.txt"), "new");
  EXPECT_FALSE(platform::FileExists(box.path("f.txt.~save")));
}

}  // namespace
