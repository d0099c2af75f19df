// Extraction against the real Windows file system: share modes, a target
// held open by another program, read-only replacement, times and attributes.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/files.h"
#include "platform/win32/wide.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"
#include "zip/buffer_stream.h"

namespace zip {
namespace {

using platform::win32::Widen;
using ziptest::Builder;
using ziptest::Dos;

class ZipWindows : public testing_support::UnzipFixture {
 protected:
  void Package(const Builder& b) { archive = Write("p.zip", b.Build()); }
  HANDLE Open(const std::string& path, DWORD access, DWORD share) {
    return CreateFileW(Widen(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  std::string archive;
};

TEST_F(ZipWindows, AnArchiveReadByNameShutsOutWritersButNotReaders) {
  Builder b;
  b.Add("a.txt", "a");
  Package(b);
  auto reading = std::make_unique<BufferedFileStream>(archive, kArchiveBufferSize,
                                                      platform::FileMode::ReadDenyWrite);
  HANDLE w = Open(archive, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(w, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
  HANDLE r = Open(archive, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(r, INVALID_HANDLE_VALUE);
  if (r != INVALID_HANDLE_VALUE) CloseHandle(r);
  reading.reset();
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
  EXPECT_EQ(ExtractFile(archive).written, 1);
  CloseHandle(held);
  EXPECT_EQ(target.failures, std::vector<EntryFailure>{EntryFailure::Unwritable});
  EXPECT_EQ(last.failed, 1);
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
  EXPECT_EQ(ExtractFile(archive).written, 1);
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

}  // namespace
}  // namespace zip
