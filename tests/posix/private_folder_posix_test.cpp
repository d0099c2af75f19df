// Private folders on the host: levels that are links, files or someone
// else's are set aside as themselves; nothing is ever followed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/files.h"
#include "platform/os_error.h"
#include "platform/posix/host_path.h"
#include "platform/private_folder.h"
#include "support/platform/sandbox.h"

namespace {
namespace fs = std::filesystem;
using platform::posix::HostPath;

mode_t ModeOf(const std::string& windowsPath) {
  struct stat st {};
  EXPECT_EQ(::lstat(HostPath(windowsPath).c_str(), &st), 0) << windowsPath;
  return st.st_mode;
}

class PrivateFolderPosix : public ::testing::Test {
 protected:
  testing_support::Sandbox box;
  std::string root = box.path("ProgramData");
  void SetUp() override { ASSERT_TRUE(platform::CreateDir(root)); }
};

TEST_F(PrivateFolderPosix, CreatedLevelsAreOwnerOnly) {
  const std::string made = platform::EnsurePrivateFolder(root, "ZEPRA\\AutoUpdate");
  for (const std::string& level : {root + "\\ZEPRA", made}) {
    SCOPED_TRACE(level);
    EXPECT_TRUE(S_ISDIR(ModeOf(level)));
    EXPECT_EQ(ModeOf(level) & 07777, 0700u);
  }
}

TEST_F(PrivateFolderPosix, TightensAnExistingFolderOfItsOwn) {
  ASSERT_TRUE(platform::CreateDir(root + "\\ZEPRA"));
  ASSERT_EQ(::chmod(HostPath(root + "\\ZEPRA").c_str(), 0777), 0);
  platform::WriteWholeFile(root + "\\ZEPRA\\kept", "x");
  platform::EnsurePrivateFolder(root, "ZEPRA");
  EXPECT_EQ(ModeOf(root + "\\ZEPRA") & 07777, 0700u);
  EXPECT_EQ(platform::ReadWholeFile(root + "\\ZEPRA\\kept"), "x");
}

TEST_F(PrivateFolderPosix, ALinkAtALevelIsSetAsideAndItsTargetUntouched) {
  // The attacker's folder, linked in where the middle level belongs.
  ASSERT_TRUE(platform::CreateDir(box.path("attacker")));
  platform::WriteWholeFile(box.path("attacker\\planted.dll"), "evil");
  ASSERT_TRUE(platform::CreateDir(root + "\\ZEPRA"));
  ASSERT_EQ(::symlink(HostPath(box.path("attacker")).c_str(), HostPath(root + "\\ZEPRA\\AutoUpdate").c_str()), 0);

  const std::string made = platform::EnsurePrivateFolder(root, "ZEPRA\\AutoUpdate\\Packages");

  EXPECT_TRUE(S_ISDIR(ModeOf(root + "\\ZEPRA\\AutoUpdate")));
  EXPECT_TRUE(S_ISLNK(ModeOf(root + "\\ZEPRA\\AutoUpdate.~untrusted1")));
  EXPECT_TRUE(platform::DirectoryExists(made));
  EXPECT_FALSE(platform::FileExists(made + "\\..\\planted.dll"));
  std::set<std::string> attackerHolds;
  for (const auto& entry : fs::directory_iterator(HostPath(box.path("attacker")))) {
    attackerHolds.insert(entry.path().filename().string());
  }
  EXPECT_EQ(attackerHolds, std::set<std::string>{"planted.dll"});
}

TEST_F(PrivateFolderPosix, ADanglingLinkAtALevelIsSetAside) {
  ASSERT_EQ(::symlink("/nonexistent/elsewhere", HostPath(root + "\\Dangling").c_str()), 0);
  platform::EnsurePrivateFolder(root, "Dangling");
  EXPECT_TRUE(S_ISDIR(ModeOf(root + "\\Dangling")));
  EXPECT_TRUE(S_ISLNK(ModeOf(root + "\\Dangling.~untrusted1")));
}

TEST_F(PrivateFolderPosix, AFolderSomeoneElseOwnsIsSetAside) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser can give a folder away";
  ASSERT_TRUE(platform::CreateDir(root + "\\ZEPRA"));
  platform::WriteWholeFile(root + "\\ZEPRA\\planted.dll", "evil");
  ASSERT_EQ(::chown(HostPath(root + "\\ZEPRA").c_str(), 12345, 12345), 0);
  platform::EnsurePrivateFolder(root, "ZEPRA");
  EXPECT_FALSE(platform::FileExists(root + "\\ZEPRA\\planted.dll"));
  EXPECT_EQ(platform::ReadWholeFile(root + "\\ZEPRA.~untrusted1\\planted.dll"), "evil");
  struct stat st {};
  ASSERT_EQ(::lstat(HostPath(root + "\\ZEPRA").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST_F(PrivateFolderPosix, FreshFoldersAreEmptyAndOwnerOnly) {
  const std::string parent = platform::EnsurePrivateFolder(root, "ZEPRA");
  for (int i = 0; i < 5; ++i) {
    const std::string fresh = platform::CreateFreshPrivateFolder(parent, "pkg");
    EXPECT_EQ(ModeOf(fresh) & 07777, 0700u);
    EXPECT_TRUE(fs::is_empty(HostPath(fresh)));
  }
}

TEST_F(PrivateFolderPosix, RemoveFolderTreeRemovesLinksAsThemselves) {
  ASSERT_TRUE(platform::CreateDir(box.path("outside")));
  platform::WriteWholeFile(box.path("outside\\precious"), "keep");
  const std::string tree = root + "\\tree";
  platform::CreateFolderPath(tree + "\\a\\b");
  platform::WriteWholeFile(tree + "\\a\\b\\f", "x");
  platform::WriteWholeFile(tree + "\\top", "y");
  ASSERT_EQ(::symlink(HostPath(box.path("outside")).c_str(), HostPath(tree + "\\a\\link").c_str()), 0);
  ASSERT_EQ(::symlink(HostPath(box.path("outside\\precious")).c_str(), HostPath(tree + "\\filelink").c_str()), 0);

  EXPECT_TRUE(platform::RemoveFolderTree(tree));
  EXPECT_FALSE(fs::exists(fs::symlink_status(HostPath(tree))));
  EXPECT_EQ(platform::ReadWholeFile(box.path("outside\\precious")), "keep");

  // The folder given is itself a link: the link goes, its target stays.
  ASSERT_EQ(::symlink(HostPath(box.path("outside")).c_str(), HostPath(root + "\\linked").c_str()), 0);
  EXPECT_TRUE(platform::RemoveFolderTree(root + "\\linked"));
  EXPECT_EQ(platform::ReadWholeFile(box.path("outside\\precious")), "keep");
}

TEST(ProgramDataDirectory, IsTheSandboxesProgramData) {
  EXPECT_EQ(platform::ProgramDataDirectory(), "C:\\ProgramData");
}

}  // namespace
