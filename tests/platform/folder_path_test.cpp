#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/platform/sandbox.h"

namespace {

TEST(CreateFolderPath, CreatesMissingParentsTopDown) {
  testing_support::Sandbox box;
  platform::CreateFolderPath(box.path("a\\b\\c\\"));
  EXPECT_TRUE(platform::DirectoryExists(box.path("a")));
  EXPECT_TRUE(platform::DirectoryExists(box.path("a\\b\\c")));
  platform::CreateFolderPath(box.path("a\\b\\c"));  // existing: nothing to do
  EXPECT_TRUE(platform::DirectoryExists(box.path("a\\b\\c")));
}

TEST(CreateFolderPath, NothingForEmptyShortRootOrUncreatable) {
  testing_support::Sandbox box;
  platform::CreateFolderPath("");
  platform::CreateFolderPath("C:");
  platform::CreateFolderPath("C:\\");
  platform::CreateFolderPath("ab");
  // A file where a folder should be: silently stays missing.
  box.write("file", "x");
  platform::CreateFolderPath(box.path("file\\sub"));
  EXPECT_FALSE(platform::DirectoryExists(box.path("file\\sub")));
}

}  // namespace
