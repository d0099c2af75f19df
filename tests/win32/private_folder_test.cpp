// Private folders through the Windows backend under Wine: levels that are
// files or links made on the host are never used, created folders carry the
// protected access list, links inside a tree are removed as themselves.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "platform/file_stream.h"
#include "platform/files.h"
#include "platform/os_error.h"
#include "platform/private_folder.h"
#include "platform/win32/wide.h"

namespace {
namespace fs = std::filesystem;
using platform::win32::Widen;

// A folder on the host's /tmp, seen as Z:\tmp\... here, so that links can be
// made on the host side, as a local user on the machine would.
class HostFolder {
 public:
  HostFolder() {
    std::random_device device;
    unix_ = "/tmp/au-private-" + std::to_string(device()) + "-" + std::to_string(GetCurrentProcessId());
    windows_ = "Z:" + unix_;
    for (char& c : windows_) {
      if (c == '/') c = '\\';
    }
    fs::create_directories(Widen(windows_));
  }
  // Links made on the host are removed on the host: Wine cannot remove them.
  ~HostFolder() {
    RunOnHost("/bin/rm -rf " + unix_);
    for (int i = 0; i < 100 && GetFileAttributesW(Widen(windows_).c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  }
  HostFolder(const HostFolder&) = delete;
  HostFolder& operator=(const HostFolder&) = delete;
  std::string path(const std::string& relative) const { return windows_ + "\\" + relative; }
  std::string unixPath(const std::string& relative) const {
    std::string p = unix_ + "/" + relative;
    for (char& c : p) {
      if (c == '\\') c = '/';
    }
    return p;
  }
  // ln -s on the host.
  bool HostLink(const std::string& target, const std::string& linkRelative) const {
    RunOnHost("/bin/ln -s " + target + " " + unixPath(linkRelative));
    for (int i = 0; i < 200; ++i) {
      if (GetFileAttributesW(Widen(path(linkRelative)).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
      Sleep(50);
    }
    return false;
  }
  // Wine starts a host program given by its host path; the handle it gives
  // back does not tell when the program ends, so callers look for its effect.
  static void RunOnHost(const std::string& commandLine) {
    std::wstring line = Widen(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }

 private:
  std::string unix_, windows_;
};

std::set<std::wstring> Entries(const std::string& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(Widen(folder))) names.insert(entry.path().filename().wstring());
  return names;
}

bool IsOwnAccount(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  BYTE buffer[256];
  DWORD size = 0;
  const bool same = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                    EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
  CloseHandle(token);
  return same;
}

bool IsTrusted(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         IsOwnAccount(sid);
}

// The owner and every entry of the access list, as the system reports them.
void ExpectProtectedAccess(const std::string& folder) {
  SCOPED_TRACE(folder);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(Widen(folder).c_str(), SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                                  nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(owner && IsTrusted(owner));
  ASSERT_NE(dacl, nullptr);  // no list at all would let everyone in
  bool systemAllowed = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    EXPECT_TRUE(IsTrusted(sid)) << "an entry for someone else, mask " << static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
    systemAllowed = systemAllowed || IsWellKnownSid(sid, WinLocalSystemSid);
  }
  EXPECT_TRUE(systemAllowed);
  LocalFree(descriptor);
}

class PrivateFolderWindows : public ::testing::Test {
 protected:
  HostFolder host;
  std::string root = host.path("ProgramData");
  void SetUp() override { ASSERT_TRUE(platform::CreateDir(root)); }
};

TEST_F(PrivateFolderWindows, CreatedLevelsHaveTheProtectedAccessList) {
  const std::string made = platform::EnsurePrivateFolder(root, "ZEPRA\\AutoUpdate");
  ExpectProtectedAccess(root + "\\ZEPRA");
  ExpectProtectedAccess(made);
}

// Wine lists a link made on the host as a reparse point but opens what it
// points to, so the link cannot be moved as itself: the level is refused and
// the attacker's folder is neither used nor moved.
TEST_F(PrivateFolderWindows, AHostLinkAtALevelIsRefusedAndItsTargetUntouched) {
  ASSERT_TRUE(platform::CreateDir(host.path("attacker")));
  platform::WriteWholeFile(host.path("attacker\\planted.dll"), "evil");
  ASSERT_TRUE(platform::CreateDir(root + "\\ZEPRA"));
  ASSERT_TRUE(host.HostLink(host.unixPath("attacker"), "ProgramData\\ZEPRA\\AutoUpdate"));
  ASSERT_TRUE(GetFileAttributesW(Widen(root + "\\ZEPRA\\AutoUpdate").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

  try {
    platform::EnsurePrivateFolder(root, "ZEPRA\\AutoUpdate\\Packages");
    ADD_FAILURE() << "no error";
  } catch (const platform::OsError& e) {
    EXPECT_EQ(std::string(e.what()),
              "无法移开不可信的文件夹“" + root + "\\ZEPRA\\AutoUpdate”：" + e.systemText());
    EXPECT_FALSE(e.systemText().empty());
  }
  EXPECT_EQ(Entries(host.path("attacker")), std::set<std::wstring>{L"planted.dll"});
  EXPECT_FALSE(platform::DirectoryExists(root + "\\ZEPRA\\AutoUpdate.~untrusted1"));
}

TEST_F(PrivateFolderWindows, FreshFoldersAreEmptyAndProtected) {
  const std::string parent = platform::EnsurePrivateFolder(root, "ZEPRA");
  for (int i = 0; i < 3; ++i) {
    const std::string fresh = platform::CreateFreshPrivateFolder(parent, "pkg");
    EXPECT_TRUE(Entries(fresh).empty());
    ExpectProtectedAccess(fresh);
  }
}

TEST_F(PrivateFolderWindows, RemoveFolderTreeLeavesWhatLinksPointTo) {
  ASSERT_TRUE(platform::CreateDir(host.path("outside")));
  platform::WriteWholeFile(host.path("outside\\precious"), "keep");
  const std::string tree = root + "\\tree";
  platform::CreateFolderPath(tree + "\\a\\b");
  platform::WriteWholeFile(tree + "\\a\\b\\f", "x");
  platform::WriteWholeFile(tree + "\\top", "y");
  SetFileAttributesW(Widen(tree + "\\top").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(host.HostLink(host.unixPath("outside"), "ProgramData\\tree\\a\\link"));

  platform::RemoveFolderTree(tree);
  EXPECT_EQ(platform::ReadWholeFile(host.path("outside\\precious")), "keep");
  EXPECT_FALSE(platform::FileExists(tree + "\\top"));
  EXPECT_FALSE(platform::FileExists(tree + "\\a\\b\\f"));
}

TEST_F(PrivateFolderWindows, RemoveFolderTreeSaysWhenSomethingStayed) {
  const std::string tree = root + "\\tree";
  platform::CreateFolderPath(tree + "\\a");
  {
    platform::FileStream held(tree + "\\a\\open", platform::FileMode::CreateNew);  // shares nothing
    EXPECT_FALSE(platform::RemoveFolderTree(tree));
    EXPECT_TRUE(platform::FileExists(tree + "\\a\\open"));
  }
  EXPECT_TRUE(platform::RemoveFolderTree(tree));
  EXPECT_FALSE(platform::DirectoryExists(tree));
}

TEST(ProgramDataDirectoryWindows, IsTheSystemsCommonApplicationData) {
  const std::string folder = platform::ProgramDataDirectory();
  EXPECT_TRUE(platform::DirectoryExists(folder)) << folder;
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(_wcsicmp(Widen(folder).c_str(), L"C:\\ProgramData"), 0) << folder;
}

}  // namespace
