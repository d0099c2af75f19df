#include "zip/archive_directory.h"

#include <gtest/gtest.h>

#include "support/platform/ansi_code_page.h"
#include "support/base/test_paths.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

using ziptest::Builder;
using ziptest::Dos;

class ZipRead : public testing_support::UnzipFixture {
 protected:
  const ArchiveDirectory& Open(const std::string& bytes, const std::string& name = "r.zip") {
    opened.reset();  // the archive read before is let go
    opened = std::make_unique<testing_support::OpenDirectory>(Write(name, bytes));
    return opened->directory;
  }
  std::unique_ptr<testing_support::OpenDirectory> opened;
};

TEST_F(ZipRead, ZeroLengthArchiveIsEmpty) {
  EXPECT_EQ(Open("").Count(), 0u);
  EXPECT_EQ(Extract(""), 0);
  EXPECT_EQ(last.failed, 0);
}

TEST_F(ZipRead, ArchiveShorterThanAZip64EndRecordIsRead) {
  // 42 bytes: a Zip64 locator whose offset no archive of this size can hold,
  // and an empty end record.
  std::string bytes;
  ziptest::Put32(bytes, 0x07064B50);
  ziptest::Put32(bytes, 0);
  ziptest::Put32(bytes, 0);
  ziptest::Put32(bytes, 0x80000000);  // offset 2^63
  ziptest::Put32(bytes, 1);
  ziptest::Put32(bytes, 0x06054B50);
  bytes += std::string(18, '\0');
  ASSERT_EQ(bytes.size(), 42u);
  const ArchiveDirectory& d = Open(bytes);
  EXPECT_EQ(d.Count(), 0u);
  EXPECT_FALSE(d.EndRecord().Zip64End());
}

TEST_F(ZipRead, ShortOrEndlessArchivesAreIncomplete) {
  Builder b;
  b.Add("a.txt", "a");
  std::string noEnd = b.Build();
  noEnd.resize(noEnd.size() - 22);
  for (const std::string& bytes : {std::string(1, 'P'), std::string(10, 'P'), std::string(21, 'P'),
                                   noEnd + std::string(70000, 'x'), std::string(5000, 'j')}) {
    try {
      Open(bytes);
      FAIL() << bytes.size();
    } catch (const IncompleteZipError& e) {
      EXPECT_STREQ(e.what(), "Incomplete Zip File");
    }
  }
}

TEST_F(ZipRead, ADirectoryWithNeitherCentralNorLocalHeadersIsNoZip) {
  Builder b;
  b.endCount = 1;  // an end record counting an entry that is nowhere
  try {
    Open(b.Build());
    FAIL();
  } catch (const BadZipFileError& e) {
    EXPECT_STREQ(e.what(), "Not a valid zip file!");
  }
}

TEST_F(ZipRead, ImplausibleDiskNumbersMeanNoEndRecord) {
  for (auto [thisDisk, cdDisk] : {std::pair{1000, 0}, std::pair{1, 1000}, std::pair{1, 2}}) {
    Builder b;
    b.Add("a.txt", "a");
    b.thisDisk = static_cast<uint16_t>(thisDisk);
    b.centralDisk = static_cast<uint16_t>(cdDisk);
    EXPECT_THROW(Open(b.Build()), IncompleteZipError) << thisDisk << " " << cdDisk;
  }
}

TEST_F(ZipRead, OnlyALaterPartKeepsEntriesOfOtherDisksOut) {
  for (uint16_t disk : {0, 1}) {
    Builder b;
    b.Add("a.txt", "a");
    b.thisDisk = disk;
    b.centralDisk = disk;
    const ArchiveDirectory& d = Open(b.Build());
    ASSERT_EQ(d.Count(), 1u);
    EXPECT_EQ(d.InThisFile(d.Entry(0)), disk == 0) << disk;
  }
}

TEST_F(ZipRead, LongestCommentAndTheEndRecordNearestTheEnd) {
  Builder b;
  b.Add("a.txt", "a");
  b.comment = std::string(65535, 'c');
  const ArchiveDirectory& d = Open(b.Build());
  EXPECT_EQ(d.Count(), 1u);
  EXPECT_EQ(d.EndRecord().CommentLength(), 65535);
}

TEST_F(ZipRead, NamesSplitIntoFolderAndFileWithBackslashes) {
  Builder b;
  b.Add("dir/sub/", "", 0);
  b.Add("top.txt", "t");
  b.Add("dir/sub/f.txt", "f");
  const ArchiveDirectory& d = Open(b.Build());
  ASSERT_EQ(d.Count(), 3u);
  EXPECT_EQ(d.Entry(0).Directory(), "dir\\sub\\");
  EXPECT_EQ(d.Entry(0).FileName(), "");
  EXPECT_EQ(d.Entry(1).Directory(), "");
  EXPECT_EQ(d.Entry(2).Directory(), "dir\\sub\\");
  EXPECT_FALSE(d.Rebuilt());
}

TEST_F(ZipRead, OutOfRangeTimesReadBackClamped) {
  Builder b;
  b.Add("a.txt", "a").dosTime = (Dos(2020, 1, 5, 0, 0, 0) & 0xFFFF0000u) | (31u << 11);  // hour 31
  b.Add("b.txt", "b").dosTime = Dos(2020, 1, 5, 10, 0, 0) & ~(0xFu << 21);           // month 0
  const ArchiveDirectory& d = Open(b.Build());
  EXPECT_EQ(d.Entry(0).Header().dateTime, Dos(2020, 1, 5, 23, 0, 0));
  EXPECT_EQ(d.Entry(1).Header().dateTime, (Dos(2020, 1, 5, 10, 0, 0) & ~(0xFu << 21)) | (1u << 21));
}

TEST_F(ZipRead, SharedLocalHeaderOffsetsFallBackToTheScan) {
  Builder b;
  b.Add("a.txt", "aaa");
  b.Add("b.txt", "bbb").localOffset = 0;  // claims the first entry's header
  const std::string bytes = b.Build();
  const ArchiveDirectory& d = Open(bytes);
  EXPECT_TRUE(d.Rebuilt());
  ASSERT_EQ(d.Count(), 2u);
  EXPECT_EQ(d.Entry(1).FileName(), "b.txt");
  // The second central entry lands on the first local header: its CRC then
  // fails against that data, and the scanned b.txt still comes out whole.
  EXPECT_EQ(d.Entry(0).FileName(), "b.txt");
  EXPECT_EQ(Extract(bytes), 1);
  EXPECT_EQ(last.failed, 1);
  EXPECT_EQ(platform::ReadWholeFile(Out("b.txt")), "bbb");
}

TEST_F(ZipRead, MoreEntriesCountedThanPresentRebuildsFromLocalHeaders) {
  Builder b;
  b.Add("a.txt", "a");
  b.Add("b.txt", "b");
  b.endCount = 5;
  const ArchiveDirectory& d = Open(b.Build());
  EXPECT_TRUE(d.Rebuilt());
  EXPECT_EQ(d.Count(), 2u);
}

TEST_F(ZipRead, TheScanOfASelfExtractorStartsBehindItsProgram) {
  Builder inside, behind;
  inside.Add("early.txt", "e");
  behind.Add("late.txt", "l");
  std::string early = inside.Build(), late = behind.Build();
  early.resize(early.size() - 22);  // local header and central directory, no end record
  late.resize(late.size() - 22);
  // An end record counting one entry where there is none: the directory is
  // rebuilt from the local headers.
  Builder end;
  end.endCount = 1;
  const std::string bytes = early + std::string(14000 - early.size(), 'x') + late + end.Build();
  for (const char* name : {"r.zip", "r.EXE"}) {
    const ArchiveDirectory& d = Open(bytes, name);
    EXPECT_TRUE(d.Rebuilt()) << name;
    ASSERT_GE(d.Count(), 1u) << name;
    EXPECT_EQ(d.Entry(0).FileName(), std::string(name) == "r.zip" ? "early.txt" : "late.txt");
  }
}

TEST_F(ZipRead, DeclaredEntryCountIsNotTrustedForMemory) {
  Builder b;
  b.Add("a.txt", "a");
  b.endCount = 0xFFFF;
  EXPECT_EQ(Open(b.Build()).Count(), 1u);  // reads what is there, then the scan
}

TEST_F(ZipRead, OemNamesAreConvertedForMsDosHostsOnly) {
  testing_support::ChineseAnsiCodePage chinese;
  const std::string gbk = "\xD6\xD0\xCE\xC4.txt";  // "中文.txt" in code page 936
  Builder b;
  b.Add(gbk, "x");
  b.Add(gbk + "u", "y").madeBy = 0x0314;  // made on Unix: the ANSI code page, here the same
  const std::string bytes = b.Build();
  const ArchiveDirectory& d = Open(bytes);
  EXPECT_EQ(d.Entry(0).FileName(), "\xE4\xB8\xAD\xE6\x96\x87.txt");
  EXPECT_EQ(Extract(bytes), 2);
  EXPECT_EQ(platform::ReadWholeFile(Out("\xE4\xB8\xAD\xE6\x96\x87.txt")), "x");
}

}  // namespace
}  // namespace zip
