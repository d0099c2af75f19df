// A file renamed through its handle stays shut to others under its new name.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/file_stream.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "support/base/test_paths.h"

namespace {
using platform::win32::Widen;

bool OthersCanOpen(const std::string& path) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

TEST(FileStreamRenameWindows, OthersStayShutOutUnderTheNewName) {
  testing_support::TempDir dir;
  platform::WriteWholeFile(dir / "b.zip", "EARLIER");
  {
    platform::FileStream file(dir / "a.zip.~part", platform::FileMode::CreateNew);
    file.Write("data", 4);
    EXPECT_FALSE(OthersCanOpen(dir / "a.zip.~part"));
    file.RenameTo(dir / "b.zip");
    EXPECT_FALSE(OthersCanOpen(dir / "b.zip"));
    EXPECT_FALSE(platform::FileExists(dir / "a.zip.~part"));
    // Nobody can put a file back under the old name and have it taken for ours.
    platform::WriteWholeFile(dir / "a.zip.~part", "other");
    file.Write("more", 4);
  }
  EXPECT_TRUE(OthersCanOpen(dir / "b.zip"));
  EXPECT_EQ(platform::ReadWholeFile(dir / "b.zip"), "datamore");
  EXPECT_EQ(platform::ReadWholeFile(dir / "a.zip.~part"), "other");
}

}  // namespace
