#include "engine/written_files.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"

namespace {
using testing_support::ZipBuilder;

class WrittenFilesTest : public testing_support::UnzipFixture {
 protected:
  void ExtractRecorded(const std::string& zip) {
    platform::FileStream archive(Write("p.zip", zip), platform::FileMode::ReadDenyWrite);
    zip::Extract(archive, dest, options, files);
  }
  engine::WrittenFiles files;
};

TEST_F(WrittenFilesTest, HeldOnlyWhileEveryFileHoldsWhatWasWritten) {
  ExtractRecorded(
      ZipBuilder().File("setup.exe", "MZ").File("Disk/one.cab", std::string(100000, 'c')).File("e", "").Bytes());
  EXPECT_TRUE(files.Contains(Out("SETUP.EXE")));
  EXPECT_FALSE(files.Contains(Out("other.exe")));
  EXPECT_TRUE(files.HoldUnchanged());
  files.Release();
  // One byte changed, or a file gone: nothing is held.
  platform::WriteWholeFile(Out("Disk\\one.cab"), std::string(99999, 'c') + "d");
  EXPECT_FALSE(files.HoldUnchanged());
  platform::WriteWholeFile(Out("Disk\\one.cab"), std::string(100000, 'c'));
  EXPECT_TRUE(files.HoldUnchanged());
  files.Release();
  platform::RemoveFile(Out("e"));
  EXPECT_FALSE(files.HoldUnchanged());
}

TEST_F(WrittenFilesTest, EachFileHasTheDigestOfItsOwnBytes) {
  // A file that failed its check between two good ones leaves nothing
  // behind in the next one's digest.
  ziptest::Builder zip;
  zip.Add("one.exe", "first");
  zip.Add("bad.exe", "broken", 8).crc = 1234;
  zip.Add("two.exe", "");
  ExtractRecorded(zip.Build());
  platform::WriteWholeFile(Out("two.exe"), "x");
  EXPECT_FALSE(files.HoldUnchanged());
  platform::WriteWholeFile(Out("two.exe"), "");
  platform::WriteWholeFile(Out("one.exe"), "firsT");
  EXPECT_FALSE(files.HoldUnchanged());
  platform::WriteWholeFile(Out("one.exe"), "first");
  EXPECT_TRUE(files.HoldUnchanged());
}

TEST_F(WrittenFilesTest, AFileThatFailedItsCheckIsNotCountedAsWritten) {
  ziptest::Builder zip;
  zip.Add("bad.exe", "MZ", 8).crc = 1234;
  zip.Add("good.exe", "OK", 8);
  ExtractRecorded(zip.Build());
  EXPECT_FALSE(files.Contains(Out("bad.exe")));
  EXPECT_TRUE(files.Contains(Out("good.exe")));
  EXPECT_TRUE(files.HoldUnchanged());
}

}  // namespace
