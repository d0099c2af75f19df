#include "zip/extract.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_info.h"
#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

using ziptest::Builder;
using ziptest::Dos;

class Unzip : public testing_support::UnzipFixture {
 protected:
  std::string Read(const std::string& rel) const { return platform::ReadWholeFile(Out(rel)).value_or("<missing>"); }
  // Every name below the temp folder (temporary files left behind show up).
  std::vector<std::string> AllFiles() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
      if (e.is_regular_file()) names.push_back(std::filesystem::relative(e.path(), dir.path()).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<EntryFailure> Failures(size_t count, EntryFailure why) const {
    return std::vector<EntryFailure>(count, why);
  }
};

TEST_F(Unzip, FoldersAndFilesWithTimesAndAttributes) {
  Builder b;
  b.Add("bin/", "", 0);
  b.Add("bin/a.dll", std::string(50000, 'a') + "tail").dosTime = Dos(2019, 3, 4, 5, 6, 8);
  b.Add("readme.txt", "hello", 0).external = 0x21;  // read-only
  EXPECT_EQ(Extract(b.Build()), 3);
  EXPECT_EQ(last.failed, 0);
  EXPECT_TRUE(platform::DirectoryExists(Out("bin")));
  EXPECT_EQ(Read("bin\\a.dll"), std::string(50000, 'a') + "tail");
  EXPECT_EQ(platform::FileDosDateTime(Out("bin\\a.dll")), Dos(2019, 3, 4, 5, 6, 8));
  EXPECT_EQ(Read("readme.txt"), "hello");
  EXPECT_TRUE(*platform::FileAttributeBits(Out("readme.txt")) & platform::FileAttrReadOnly);
  EXPECT_FALSE(*platform::FileAttributeBits(Out("bin\\a.dll")) & platform::FileAttrReadOnly);
}

TEST_F(Unzip, TheTargetHearsOfFoldersDecodedFilesAndWrittenFiles) {
  Builder b;
  b.Add("a/b/c.txt", "abc");
  b.Add("a/b/d.txt", "");
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(target.folders, (std::vector<std::string>{dest, Out("a"), Out("a\\b")}));
  EXPECT_EQ(target.decoding, (std::vector<std::string>{Out("a\\b\\c.txt.~unzip"), Out("a\\b\\d.txt.~unzip")}));
  EXPECT_EQ(target.written, (std::vector<std::string>{Out("a\\b\\c.txt"), Out("a\\b\\d.txt")}));
  EXPECT_EQ(target.decodedBytes, 3u);
  EXPECT_TRUE(target.failures.empty());
}

TEST_F(Unzip, EmptyAndUnknownMethodEntries) {
  Builder b;
  b.Add("empty.txt", "", 0);
  b.Add("empty-odd.bin", "", 99);      // unknown method, size 0, CRC 0: written
  b.Add("bzip.bin", "some data", 12);  // unknown method with data: fails
  b.entries.back().payload = "BZh-not-decoded";
  b.entries.back().payloadSet = true;
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(last.failed, 1);
  EXPECT_EQ(Read("empty.txt"), "");
  EXPECT_EQ(Read("empty-odd.bin"), "");
  EXPECT_FALSE(platform::FileExists(Out("bzip.bin")));
  // Each unknown method is reported once, when it is met.
  EXPECT_EQ(target.failures, Failures(2, EntryFailure::UnsupportedMethod));
  EXPECT_EQ(target.failedPaths, (std::vector<std::string>{Out("empty-odd.bin"), Out("bzip.bin")}));
  EXPECT_EQ(AllFiles(), (std::vector<std::string>{"dest/empty-odd.bin", "dest/empty.txt", "p.zip"}));
}

struct OverwriteCase {
  Overwrite mode;
  int existingSecondsOffset;  // existing file's time against the entry's (in even seconds)
  bool replaced;
};

class UnzipOverwrite : public Unzip, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(UnzipOverwrite, FollowsTheRule) {
  const auto& c = GetParam();
  const uint32_t entryTime = Dos(2021, 6, 1, 12, 0, 30);
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("a.txt"), "old");
  ASSERT_TRUE(platform::SetFileDosDateTime(Out("a.txt"), Dos(2021, 6, 1, 12, 0, 30 + c.existingSecondsOffset)));
  Builder b;
  b.Add("a.txt", "new").dosTime = entryTime;
  options.overwrite = c.mode;
  EXPECT_EQ(Extract(b.Build()), c.replaced ? 1 : 0);
  EXPECT_EQ(Read("a.txt"), c.replaced ? "new" : "old");
  // The overwrite rule is no failure.
  EXPECT_EQ(last.failed, 0);
  EXPECT_TRUE(target.failures.empty());
  EXPECT_EQ(target.decoding.size(), c.replaced ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Rules, UnzipOverwrite,
                         ::testing::Values(OverwriteCase{Overwrite::Always, 0, true},
                                           OverwriteCase{Overwrite::Always, 20, true},
                                           OverwriteCase{Overwrite::IfNewer, 0, false},  // same time
                                           OverwriteCase{Overwrite::IfNewer, -2, true},
                                           OverwriteCase{Overwrite::IfNewer, 2, false}));

TEST_F(Unzip, ReadOnlyTargetIsReplacedOnlyWhenAllowed) {
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("ro.txt"), "old");
  platform::SetFileAttributeBits(Out("ro.txt"), platform::FileAttrReadOnly);
  Builder b;
  b.Add("ro.txt", "new");
  options.replaceReadOnly = false;
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(last.failed, 1);
  EXPECT_EQ(Read("ro.txt"), "old");
  EXPECT_EQ(target.failures, std::vector<EntryFailure>{EntryFailure::Unwritable});
  options.replaceReadOnly = true;
  EXPECT_EQ(ExtractFile(dir / "p.zip").written, 1);
  EXPECT_EQ(Read("ro.txt"), "new");
}

TEST_F(Unzip, CrcMismatchKeepsTheInstalledFileAndTheRunGoesOn) {
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("a.dll"), "installed");
  Builder b;
  b.Add("a.dll", "corrupted payload").crc = 0x12345678;
  b.Add("b.dll", "fine");
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(last.failed, 1);
  EXPECT_EQ(target.failures, std::vector<EntryFailure>{EntryFailure::Damaged});
  EXPECT_EQ(target.failedPaths, std::vector<std::string>{Out("a.dll")});
  EXPECT_EQ(Read("a.dll"), "installed");
  EXPECT_EQ(Read("b.dll"), "fine");
  EXPECT_EQ(AllFiles(), (std::vector<std::string>{"dest/a.dll", "dest/b.dll", "p.zip"}));
}

TEST_F(Unzip, FlippedBitsInStoredDataFailTheCrc) {
  Builder b;
  b.Add("s.bin", std::string(1000, 'x'), 0);
  std::string bytes = b.Build();
  bytes[30 + 5 + 500] ^= 0x10;
  EXPECT_EQ(Extract(bytes), 0);
  EXPECT_EQ(last.failed, 1);
  EXPECT_FALSE(platform::FileExists(Out("s.bin")));
}

TEST_F(Unzip, TruncatedArchivesEndTheRunAndLeaveNothingHalfWritten) {
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  Builder b;
  b.Add("big.bin", big, 0);
  std::string full = b.Build();
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("big.bin"), "installed");
  // Cut inside the data: no end record any more.
  EXPECT_THROW(Extract(full.substr(0, 100000)), IncompleteZipError);
  // A directory whose entry's data ends early: the run ends with the fatal error.
  std::string tail = full.substr(30 + 7 + big.size());  // central directory and end record
  std::string cut = full.substr(0, 30 + 7 + 50000);     // the header and part of the data
  // Point the directory at the same offsets, placed right after the cut data.
  std::string moved = cut + tail;
  uint32_t cdAt = static_cast<uint32_t>(cut.size());
  size_t endAt = moved.size() - 22;
  for (int i = 0; i < 4; ++i) moved[endAt + 16 + i] = static_cast<char>((cdAt >> (8 * i)) & 0xFF);
  try {
    Extract(moved, "cut.zip");
    FAIL() << "no error";
  } catch (const FatalUnzipError& e) {
    EXPECT_STREQ(e.what(), "Premature end of file reached");
  }
  EXPECT_EQ(target.decoding, std::vector<std::string>{Out("big.bin.~unzip")});
  EXPECT_EQ(Read("big.bin"), "installed");
  EXPECT_FALSE(platform::FileExists(Out("big.bin.~unzip")));
}

TEST_F(Unzip, LyingSizesFailOnlyTheirEntry) {
  const std::string data(100000, 'z');
  Builder b;
  b.Add("bomb.bin", data).uncompressedSize = 1000;  // inflates far beyond what it declares
  b.Add("short.bin", data).compressedSize = 40;     // deflate data cut short
  b.Add("ok.txt", "fine");
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(last.failed, 2);
  EXPECT_EQ(target.failures, Failures(2, EntryFailure::Damaged));
  EXPECT_FALSE(platform::FileExists(Out("bomb.bin")));
  EXPECT_FALSE(platform::FileExists(Out("short.bin")));
  EXPECT_EQ(Read("ok.txt"), "fine");
  EXPECT_EQ(AllFiles(), (std::vector<std::string>{"dest/ok.txt", "p.zip"}));
}

TEST_F(Unzip, HighRatioBombStopsAtTheDeclaredSize) {
  // 64 MiB of zeros in about 64 KiB, declared as 1 MiB.
  Builder b;
  b.Add("zeros.bin", std::string(64u << 20, '\0')).uncompressedSize = 1 << 20;
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(last.failed, 1);
  EXPECT_LE(target.decodedBytes, 1u << 20);
  EXPECT_FALSE(platform::FileExists(Out("zeros.bin")));
}

TEST_F(Unzip, PathTraversalNamesArePassedOver) {
  Builder b;
  b.Add("../evil1.txt", "x");
  b.Add("a/../../evil2.txt", "x");
  b.Add("..\\evil3.txt", "x");
  b.Add("a/.. /evil4.txt", "x");
  b.Add("../", "", 0);
  b.Add("good/ok.txt", "ok");
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(last.failed, 5);
  EXPECT_EQ(target.failures, Failures(5, EntryFailure::UnsafeName));
  EXPECT_EQ(AllFiles(), (std::vector<std::string>{"dest/good/ok.txt", "p.zip"}));
}

TEST_F(Unzip, NamesThatAreNoPlainFilesArePassedOver) {
  // A NUL cuts the Win32 path ("b.dll<NUL>x" would write b.dll itself), a
  // colon opens a stream, a device name a device.
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("b.dll"), "installed");
  Builder b;
  b.Add(std::string("b.dll\0x", 7), "evil");
  b.Add("a.dll:stream", "x");
  b.Add("sub/CON", "x");
  b.Add("nul.txt", "x");
  b.Add("com1/x.txt", "x");
  b.Add("ctl\x01.txt", "x");
  b.Add("ok.txt", "ok");
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(last.failed, 6);
  EXPECT_EQ(target.failures, Failures(6, EntryFailure::UnsafeName));
  EXPECT_EQ(Read("b.dll"), "installed");
  EXPECT_EQ(AllFiles(), (std::vector<std::string>{"dest/b.dll", "dest/ok.txt", "p.zip"}));
}

TEST_F(Unzip, HugeClaimedSizesFailTheirEntries) {
  // Three entries each claiming 2^62 bytes through a Zip64 block.
  Builder b;
  for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
    ziptest::Entry& e = b.Add(name, "small", 0);
    e.uncompressedSize = 0xFFFFFFFF;
    ziptest::Put16(e.centralExtra, 1);
    ziptest::Put16(e.centralExtra, 8);
    ziptest::Put32(e.centralExtra, 0);
    ziptest::Put32(e.centralExtra, 0x40000000);
  }
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(last.failed, 3);  // none is as large as it claims
  EXPECT_EQ(target.failures, Failures(3, EntryFailure::Damaged));
}

TEST_F(Unzip, AbsoluteAndDriveNamesStayInsideTheDestination) {
  Builder b;
  b.Add("/abs/a.txt", "a");
  b.Add("C:/drive/b.txt", "b");
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(Read("abs\\a.txt"), "a");
  EXPECT_EQ(Read("drive\\b.txt"), "b");
}

TEST_F(Unzip, EncryptedEntriesArePassedOver) {
  Builder b;
  auto& e = b.Add("secret.txt", "x", 0);
  e.flags = 1;
  e.payload = std::string(12, '\x55') + "x";
  e.payloadSet = true;
  b.Add("plain.txt", "p");
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(target.failures, std::vector<EntryFailure>{EntryFailure::Encrypted});
  EXPECT_EQ(last.failed, 1);
  EXPECT_FALSE(platform::FileExists(Out("secret.txt")));
}

TEST_F(Unzip, ALaterPartOfAMultiPartSetWritesOnlyItsOwnEntries) {
  Builder b;
  b.Add("a.txt", "a");  // stored as starting on disk 0
  b.thisDisk = 1;
  b.centralDisk = 1;
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(target.failures, std::vector<EntryFailure>{EntryFailure::OtherPart});
  EXPECT_FALSE(platform::FileExists(Out("a.txt")));
}

// Puts nothing in place: as a file held open by a running program.
class RefusingTarget : public testing_support::RecordingTarget {
 public:
  bool Replace(const std::string&, const std::string&) override { return false; }
};

TEST_F(Unzip, AFileTheTargetCannotPutInPlaceFailsAndIsRemoved) {
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("busy.dll"), "running");
  Builder b;
  b.Add("busy.dll", "new version");
  RefusingTarget refusing;
  platform::FileStream archive(Write("p.zip", b.Build()), platform::FileMode::ReadDenyWrite);
  const ExtractResult result = zip::Extract(archive, dest, options, refusing);
  EXPECT_EQ(result.written, 0);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(refusing.failures, std::vector<EntryFailure>{EntryFailure::Unwritable});
  EXPECT_TRUE(refusing.written.empty());
  EXPECT_EQ(Read("busy.dll"), "running");
  EXPECT_FALSE(platform::FileExists(Out("busy.dll.~unzip")));
}

// Fails while the first file is put in place: as a journal that cannot be written.
class ThrowingTarget : public testing_support::RecordingTarget {
 public:
  bool Replace(const std::string&, const std::string&) override { throw std::runtime_error("journal full"); }
};

TEST_F(Unzip, WhatTheTargetThrowsEndsTheRunAndTheDecodedFileGoes) {
  Builder b;
  b.Add("a.dll", "a");
  b.Add("b.dll", "b");
  ThrowingTarget throwing;
  platform::FileStream archive(Write("p.zip", b.Build()), platform::FileMode::ReadDenyWrite);
  EXPECT_THROW(zip::Extract(archive, dest, options, throwing), std::runtime_error);
  EXPECT_EQ(throwing.decoding.size(), 1u);
  EXPECT_EQ(AllFiles(), std::vector<std::string>{"p.zip"});
}

TEST_F(Unzip, PackagesOneAfterAnotherIntoTheirFolders) {
  Builder one, two;
  one.Add("a.txt", "first");
  two.Add("b.txt", "second");
  EXPECT_EQ(Extract(one.Build(), "one.zip"), 1);
  // A trailing backslash names the same folder.
  EXPECT_EQ(ExtractFile(Write("two.zip", two.Build()), dest + "\\other\\").written, 1);
  EXPECT_EQ(Read("a.txt"), "first");
  EXPECT_EQ(Read("other\\b.txt"), "second");
  EXPECT_EQ(target.written.back(), Out("other\\b.txt"));
}

}  // namespace
}  // namespace zip
