#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/os_error.h"
#include "platform/system_services.h"
#include "support/base/test_paths.h"

namespace {
using testing_support::TempDir;

struct LinkContents {
  std::string target, workingDirectory;
};

// Reads a link file back through the shell's own link object.
LinkContents ReadLink(const std::string& path) {
  LinkContents c;
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      const std::wstring wpath(path.begin(), path.end());
      if (SUCCEEDED(file->Load(wpath.c_str(), STGM_READ))) {
        wchar_t buf[MAX_PATH] = {};
        link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
        c.target = platform::DecodeToUtf8(std::string(reinterpret_cast<const char*>(buf), wcslen(buf) * 2), "UTF-16")
                       .value_or("");
        buf[0] = 0;
        link->GetWorkingDirectory(buf, MAX_PATH);
        c.workingDirectory =
            platform::DecodeToUtf8(std::string(reinterpret_cast<const char*>(buf), wcslen(buf) * 2), "UTF-16")
                .value_or("");
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return c;
}

class ShellTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::IShell> shell = platform::CreateSystemServices().shell;
  TempDir dir;
};

TEST_F(ShellTest, DesktopIsAnExistingFolder) {
  const std::string desktop = shell->DesktopDirectory();
  ASSERT_FALSE(desktop.empty());
  EXPECT_NE(desktop.back(), '\\');
  EXPECT_TRUE(platform::DirectoryExists(desktop)) << desktop;
}

TEST_F(ShellTest, LinkIsWrittenAndReadsBack) {
  const std::string target = dir / "app.exe";
  platform::WriteWholeFile(target, "MZ");
  const std::string link = dir / "App.lnk";
  shell->CreateLink(link, target, dir.path());
  ASSERT_TRUE(platform::FileExists(link));
  const LinkContents c = ReadLink(link);
  EXPECT_EQ(c.target, target);
  EXPECT_EQ(c.workingDirectory, dir.path());
}

TEST_F(ShellTest, ExistingLinkIsReplaced) {
  const std::string first = dir / "one.exe", second = dir / "two.exe";
  platform::WriteWholeFile(first, "MZ");
  platform::WriteWholeFile(second, "MZ");
  const std::string link = dir / "App.lnk";
  shell->CreateLink(link, first, dir.path());
  shell->CreateLink(link, second, dir.path());
  EXPECT_EQ(ReadLink(link).target, second);
}

TEST_F(ShellTest, WorksOnAThreadThatAlreadyHasCom) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  const std::string target = dir / "app.exe";
  platform::WriteWholeFile(target, "MZ");
  shell->CreateLink(dir / "a.lnk", target, dir.path());
  // Our COM is still usable afterwards.
  IUnknown* unknown = nullptr;
  EXPECT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                         reinterpret_cast<void**>(&unknown))));
  if (unknown) unknown->Release();
  CoUninitialize();
}

// Whether the shell saved the link is not looked at: a shortcut that could
// not be written is no reason to stop the update.
TEST_F(ShellTest, UnwritableLinkPathIsPassedOver) {
  const std::string target = dir / "app.exe";
  platform::WriteWholeFile(target, "MZ");
  EXPECT_NO_THROW(shell->CreateLink(dir / "no such folder\\App.lnk", target, dir.path()));
  EXPECT_FALSE(platform::FileExists(dir / "no such folder\\App.lnk"));
}

}  // namespace
