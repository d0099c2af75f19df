#include "zip/zip_entry.h"

#include <gtest/gtest.h>

#include "support/zip/zip_builder.h"

namespace zip {
namespace {

using ziptest::Dos;

struct FixCase {
  uint32_t in, out;
};

class FixDosDateTimeTable : public ::testing::TestWithParam<FixCase> {};

TEST_P(FixDosDateTimeTable, ClampsOnlyWhatIsOutOfRange) { EXPECT_EQ(FixDosDateTime(GetParam().in), GetParam().out); }

// Raw value from parts without any checking.
uint32_t Raw(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s2) {
  return (((y - 1980) << 9 | mo << 5 | d) << 16) | (h << 11 | mi << 5 | s2);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FixDosDateTimeTable,
    ::testing::Values(FixCase{Dos(2020, 5, 6, 7, 8, 10), Dos(2020, 5, 6, 7, 8, 10)},
                      FixCase{Raw(2020, 5, 6, 31, 8, 5), Dos(2020, 5, 6, 23, 8, 10)},     // hour 31
                      FixCase{Raw(2020, 0, 6, 7, 8, 5), Dos(2020, 1, 6, 7, 8, 10)},       // month 0
                      FixCase{Raw(2020, 15, 0, 7, 63, 31), Dos(2020, 12, 1, 7, 59, 58)},  // month, day, minute, second
                      FixCase{Raw(2100, 5, 6, 7, 8, 5), Dos(2099, 5, 6, 7, 8, 10)},       // year beyond 2099
                      FixCase{0u, Dos(1980, 1, 1, 0, 0, 0)}));

TEST(ZipHeaderInfo, DefaultsOfANewEntry) {
  ZipEntry e;
  EXPECT_EQ(e.Header().versionMadeBy, 45);
  EXPECT_EQ(e.Header().versionNeeded, 20);
  EXPECT_EQ(e.Header().compressionMethod, 8);
  EXPECT_EQ(e.Header().crc32, 0xFFFFFFFFu);
  EXPECT_EQ(e.Header().internalAttributes, 1);
  EXPECT_EQ(e.Header().externalAttributes, 0x20u);
  EXPECT_FALSE(e.Zip64());
}

TEST(ZipHeaderInfo, NamesSplitAndLengths) {
  ZipEntry e;
  e.SetFullName("dir\\sub\\");
  EXPECT_EQ(e.Directory(), "dir\\sub\\");
  EXPECT_EQ(e.FileName(), "");
  e.SetFullName("plain.txt");
  EXPECT_EQ(e.Directory(), "");
  EXPECT_EQ(e.NameLength(), 9);
  e.SetDirectory("bin");
  EXPECT_EQ(e.Directory(), "bin\\");
  EXPECT_EQ(e.NameLength(), 13);
  e.SetFullName("C:name");
  EXPECT_EQ(e.Directory(), "C:");
  EXPECT_EQ(e.FileName(), "name");
}

TEST(ZipHeaderInfo, LargeValuesGoToTheZip64Record) {
  ZipEntry e;
  e.SetUncompressedSize(0x123456789ull);
  e.SetCompressedSize(0xFFFFFFFFull);  // the escape value itself needs the record
  e.SetLocalHeaderOffset(77);
  e.SetDiskNumberStart(0x10000);
  ASSERT_TRUE(e.Zip64());
  EXPECT_EQ(e.Header().uncompressedSize32, 0xFFFFFFFFu);
  EXPECT_EQ(e.UncompressedSize(), 0x123456789ull);
  EXPECT_EQ(e.CompressedSize(), 0xFFFFFFFFull);
  EXPECT_EQ(e.Header().localHeaderOffset32, 77u);
  EXPECT_EQ(e.LocalHeaderOffset(), 77u);
  EXPECT_EQ(e.Header().diskNumberStart16, 0xFFFF);
  EXPECT_EQ(e.DiskNumberStart(), 0x10000u);
  ZipEntry copy(e);
  EXPECT_EQ(copy.UncompressedSize(), 0x123456789ull);
  copy.SetUncompressedSize(0x200000000ull);  // the copy has a record of its own
  EXPECT_EQ(e.UncompressedSize(), 0x123456789ull);
}

TEST(EndCentral, StoringLargeCountsAndOffsetsCreatesZip64Parts) {
  EndOfCentralDirectory end;
  end.SetTotalEntries(0xFFFE);
  EXPECT_FALSE(end.Zip64End());
  EXPECT_EQ(end.TotalEntries(), 0xFFFEu);
  end.SetTotalEntries(70000);
  ASSERT_TRUE(end.Zip64End());
  ASSERT_TRUE(end.Locator());
  EXPECT_EQ(end.Fields().totalEntries16, 0xFFFF);
  EXPECT_EQ(end.Fields().entriesThisDisk16, 0xFFFF);
  EXPECT_EQ(end.TotalEntries(), 70000u);
  EXPECT_EQ(end.Zip64End()->entriesThisDisk, 70000u);
  EXPECT_EQ(end.Zip64End()->recordSize, 44u);
  EXPECT_EQ(end.Zip64End()->versionMadeBy, 45);
  EXPECT_EQ(end.Locator()->totalDisks, 1u);
  end.SetCentralOffset(0x100000000ull);
  EXPECT_EQ(end.Fields().centralOffset32, 0xFFFFFFFFu);
  EXPECT_EQ(end.CentralOffset(), 0x100000000ull);
  end.Reset();
  EXPECT_EQ(end.TotalEntries(), 0u);
  EXPECT_FALSE(end.Zip64End());
  EXPECT_FALSE(end.Locator());
}

}  // namespace
}  // namespace zip
