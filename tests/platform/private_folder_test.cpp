// Private folders as every backend makes them: the levels below the root,
// what happens to what is already there, fresh folders and their failures.
// How a backend protects a folder and treats links is tested with the
// backend (tests/posix, tests/win32).
#include "platform/private_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/os_error.h"
#include "support/platform/sandbox.h"

namespace {

class PrivateFolder : public ::testing::Test {
 protected:
  testing_support::Sandbox box;
  std::string root = box.path("ProgramData");
  void SetUp() override { ASSERT_TRUE(platform::CreateDir(root)); }
};

TEST_F(PrivateFolder, LevelsFromTheRootWhateverTheBackslashes) {
  struct Case {
    std::string root, relative, made;
  };
  const Case cases[] = {
      {root, "ZEPRA", root + "\\ZEPRA"},
      {root, "ZEPRA\\AutoUpdate", root + "\\ZEPRA\\AutoUpdate"},
      {root + "\\", "\\ZEPRA\\\\AutoUpdate\\", root + "\\ZEPRA\\AutoUpdate"},
      {root + "\\\\", "ZEPRA\\AutoUpdate\\Packages", root + "\\ZEPRA\\AutoUpdate\\Packages"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root + " + " + c.relative);
    EXPECT_EQ(platform::EnsurePrivateFolder(c.root, c.relative), c.made);
    EXPECT_TRUE(platform::DirectoryExists(c.made));
  }
}

// What is at a level beforehand, and what the call leaves there.
struct LevelCase {
  const char* name;
  std::function<void(const std::string& level)> before;
  bool keepsContents;        // the level's file "kept" is still there
  const char* setAsideAs;    // where the former entry went; nullptr: nowhere
};

TEST_F(PrivateFolder, WhatALevelHeldBefore) {
  const auto file = [](const std::string& level) { platform::WriteWholeFile(level, "not a folder"); };
  const LevelCase cases[] = {
      {"missing", [](const std::string&) {}, false, nullptr},
      {"a folder of its own",
       [](const std::string& level) {
         ASSERT_TRUE(platform::CreateDir(level));
         platform::WriteWholeFile(level + "\\kept", "x");
       },
       true, nullptr},
      {"a file", file, false, ".~untrusted1"},
      {"a file, an earlier one set aside",
       [&](const std::string& level) {
         file(level);
         ASSERT_TRUE(platform::CreateDir(level + ".~untrusted1"));
       },
       false, ".~untrusted2"},
  };
  int n = 0;
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string caseRoot = root + "\\case" + std::to_string(++n);
    ASSERT_TRUE(platform::CreateDir(caseRoot));
    const std::string level = caseRoot + "\\ZEPRA";
    c.before(level);
    const std::string made = platform::EnsurePrivateFolder(caseRoot, "ZEPRA\\AutoUpdate");
    EXPECT_TRUE(platform::DirectoryExists(level));
    EXPECT_TRUE(platform::DirectoryExists(made));
    EXPECT_EQ(platform::FileExists(level + "\\kept"), c.keepsContents);
    if (c.setAsideAs) {
      EXPECT_EQ(platform::ReadWholeFile(level + c.setAsideAs), "not a folder");
    }
    EXPECT_EQ(platform::EnsurePrivateFolder(caseRoot, "ZEPRA\\AutoUpdate"), made);  // in order now: kept
  }
}

TEST_F(PrivateFolder, RefusesNamesThatLeaveTheRootOrNameNothing) {
  for (const std::string relative : {"ZEPRA\\..\\..\\x", "..", ".\\ZEPRA", "ZEPRA/x", "\\", "", "\\\\"}) {
    SCOPED_TRACE(relative);
    try {
      platform::EnsurePrivateFolder(root, relative);
      ADD_FAILURE() << "no error";
    } catch (const platform::OsError& e) {
      EXPECT_EQ(std::string(e.what()), "文件夹名称“" + relative + "”无效");
    }
  }
  EXPECT_FALSE(platform::DirectoryExists(root + "\\ZEPRA"));
}

TEST_F(PrivateFolder, FailsNamingTheLevelWhenItCannotBeMade) {
  try {
    platform::EnsurePrivateFolder(box.path("NoSuchRoot"), "ZEPRA");
    ADD_FAILURE() << "no error";
  } catch (const platform::OsError& e) {
    EXPECT_EQ(std::string(e.what()), "无法建立受保护的文件夹“" + box.path("NoSuchRoot\\ZEPRA") + "”：" + e.systemText());
    EXPECT_FALSE(e.systemText().empty());
  }
}

TEST_F(PrivateFolder, FreshFoldersAreNewEachTime) {
  const std::string parent = platform::EnsurePrivateFolder(root, "ZEPRA");
  std::set<std::string> seen;
  for (const std::string& given : {parent, parent + "\\"}) {
    for (int i = 0; i < 10; ++i) {
      const std::string fresh = platform::CreateFreshPrivateFolder(given, "pkg");
      EXPECT_EQ(fresh.rfind(parent + "\\pkg-", 0), 0u) << fresh;
      EXPECT_GT(fresh.size(), (parent + "\\pkg-").size()) << fresh;
      EXPECT_TRUE(seen.insert(fresh).second) << fresh;
      EXPECT_TRUE(platform::DirectoryExists(fresh)) << fresh;
    }
  }
  try {
    platform::CreateFreshPrivateFolder(root + "\\missing", "pkg");
    ADD_FAILURE() << "no error";
  } catch (const platform::OsError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("无法建立受保护的文件夹“" + root + "\\missing\\pkg-", 0), 0u) << e.what();
    EXPECT_FALSE(e.systemText().empty());
  }
}

TEST_F(PrivateFolder, RemoveFolderTreeRemovesEverythingBelow) {
  const std::string tree = root + "\\tree";
  platform::CreateFolderPath(tree + "\\a\\b");
  platform::WriteWholeFile(tree + "\\a\\b\\f", "x");
  platform::WriteWholeFile(tree + "\\top", "y");
  EXPECT_TRUE(platform::RemoveFolderTree(tree + "\\"));
  EXPECT_FALSE(platform::DirectoryExists(tree));
  EXPECT_FALSE(platform::FileExists(tree));
  EXPECT_TRUE(platform::RemoveFolderTree(tree));  // nothing there: nothing stayed
}

}  // namespace
