// The archive component against the real Windows file system and message
// queue: share modes, a target held open by another program, read-only
// replacement, times and attributes, and the message pump.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/win32/wide.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"
#include "zip/unzipper.h"

namespace zip {
namespace {

using platform::win32::Widen;
using ziptest::Builder;
using ziptest::Dos;

class ZipWindows : public testing_support::UnzipFixture {
 protected:
  void Package(const Builder& b) {
    archive = Write("p.zip", b.Build());
    z.SetZipName(archive);
  }
  HANDLE Open(const std::string& path, DWORD access, DWORD share) {
    return CreateFileW(Widen(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  std::string archive;
};

TEST_F(ZipWindows, OpenArchiveShutsOutWritersButNotReaders) {
  Builder b;
  b.Add("a.txt", "a");
  Package(b);
  z.settings().keepOpen = true;
  z.OpenArchive();
  HANDLE w = Open(archive, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(w, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
  HANDLE r = Open(archive, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(r, INVALID_HANDLE_VALUE);
  if (r != INVALID_HANDLE_VALUE) CloseHandle(r);
  z.ClearArchive();
  w = Open(archive, GENERIC_WRITE, 0);
  EXPECT_NE(w, INVALID_HANDLE_VALUE);
  if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
}

TEST_F(ZipWindows, TargetHeldOpenWithoutShareWriteIsPassedOver) {
  CreateDirectoryW(Widen(dest).c_str(), nullptr);
  platform::WriteWholeFile(Out("busy.dll"), "running");
  Builder b;
  b.Add("busy.dll", "new version");
  b.Add("free.dll", "free");
  Package(b);
  HANDLE held = Open(Out("busy.dll"), GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(z.ExtractFiles(), 1);
  CloseHandle(held);
  EXPECT_EQ(skips, std::vector<SkipReason>{SkipReason::CreateError});
  EXPECT_EQ(z.FailedCount(), 1);
  EXPECT_EQ(platform::ReadWholeFile(Out("busy.dll")), "running");
  EXPECT_FALSE(platform::FileExists(Out("busy.dll.~unzip")));
  EXPECT_EQ(platform::ReadWholeFile(Out("free.dll")), "free");
}

TEST_F(ZipWindows, ReadOnlyTargetReplacedAndAttributesAndTimesSet) {
  CreateDirectoryW(Widen(dest).c_str(), nullptr);
  platform::WriteWholeFile(Out("ro.dll"), "old");
  ASSERT_TRUE(SetFileAttributesW(Widen(Out("ro.dll")).c_str(), FILE_ATTRIBUTE_READONLY));
  Builder b;
  auto& e = b.Add("ro.dll", "new");
  e.dosTime = Dos(2022, 7, 8, 9, 10, 12);
  e.external = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  Package(b);
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(platform::ReadWholeFile(Out("ro.dll")), "new");
  DWORD attrs = GetFileAttributesW(Widen(Out("ro.dll")).c_str());
  EXPECT_TRUE(attrs & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(attrs & FILE_ATTRIBUTE_READONLY);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(Widen(Out("ro.dll")).c_str(), GetFileExInfoStandard, &data));
  FILETIME local;
  SYSTEMTIME st;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &st);
  EXPECT_EQ(st.wYear, 2022);
  EXPECT_EQ(st.wMonth, 7);
  EXPECT_EQ(st.wDay, 8);
  EXPECT_EQ(st.wHour, 9);
  EXPECT_EQ(st.wMinute, 10);
  EXPECT_EQ(st.wSecond, 12);
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP + 7) {
    ++*reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

TEST_F(ZipWindows, YieldPointsPumpTheQueueAndKeepTheQuitMessage) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"AuZipPumpTest";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowW(L"AuZipPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  int seen = 0;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  PostMessageW(hwnd, WM_APP + 7, 0, 0);
  PostMessageW(hwnd, WM_APP + 7, 0, 0);
  Builder b;
  b.Add("a.txt", "a");
  Package(b);
  z.settings().processMessages = false;
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(seen, 0);
  z.settings().processMessages = true;
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(seen, 2);
  PostQuitMessage(3);
  EXPECT_EQ(z.ExtractFiles(), 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  DestroyWindow(hwnd);
}

}  // namespace
}  // namespace zip
