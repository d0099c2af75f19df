// Renaming an open file through its handle: it stays open under the new name
// and what was there before by that name is replaced.
#include <gtest/gtest.h>

#include "platform/file_stream.h"
#include "platform/files.h"
#include "support/platform/sandbox.h"

namespace {

TEST(FileStreamRename, TheOpenFileGoesOnUnderItsNewName) {
  testing_support::Sandbox box;
  for (platform::FileMode mode : {platform::FileMode::CreateNew, platform::FileMode::Create}) {
    SCOPED_TRACE(static_cast<int>(mode));
    platform::RemoveFile(box.path("b.zip"));
    box.write("b.zip", "EARLIER");
    platform::FileStream file(box.path("a.zip.~part"), mode);
    ASSERT_EQ(file.Write("12345", 5), 5u);
    file.RenameTo(box.path("b.zip"));
    EXPECT_EQ(file.path(), box.path("b.zip"));
    EXPECT_FALSE(box.exists("a.zip.~part"));
    ASSERT_EQ(file.Write("678", 3), 3u);
    EXPECT_EQ(file.Size(), 8);
    ASSERT_EQ(file.Seek(0, 0), 0);
    char back[9] = {};
    EXPECT_EQ(file.Read(back, 8), 8u);
    EXPECT_STREQ(back, "12345678");
    EXPECT_TRUE(file.FlushToDisk());
  }
  EXPECT_EQ(box.read("b.zip"), "12345678");
}

TEST(FileStreamRename, FailsNamingBothPathsAndKeepsTheOldName) {
  testing_support::Sandbox box;
  platform::FileStream file(box.path("a.zip"), platform::FileMode::CreateNew);
  const std::string target = box.path("missing\\b.zip");
  try {
    file.RenameTo(target);
    ADD_FAILURE() << "no error";
  } catch (const platform::OsError& e) {
    EXPECT_EQ(std::string(e.what()),
              "无法把文件“" + box.path("a.zip") + "”改名为“" + target + "”：" + e.systemText());
    EXPECT_FALSE(e.systemText().empty());
  }
  EXPECT_EQ(file.path(), box.path("a.zip"));
  EXPECT_EQ(file.Write("x", 1), 1u);
}

}  // namespace
