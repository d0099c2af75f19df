#include "zip/unzipper.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_info.h"
#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/platform/ansi_code_page.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"
#ifndef _WIN32
#include "platform/posix/host_path.h"
#endif

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
};

TEST_F(Unzip, FoldersAndFilesWithTimesAndAttributes) {
  Builder b;
  b.Add("bin/", "", 0);
  b.Add("bin/a.dll", std::string(50000, 'a') + "tail").dosTime = Dos(2019, 3, 4, 5, 6, 8);
  b.Add("readme.txt", "hello", 0).external = 0x21;  // read-only
  EXPECT_EQ(Extract(b.Build()), 3);
  EXPECT_EQ(z.FailedCount(), 0);
  EXPECT_TRUE(platform::DirectoryExists(Out("bin")));
  EXPECT_EQ(Read("bin\\a.dll"), std::string(50000, 'a') + "tail");
  EXPECT_EQ(platform::FileDosDateTime(Out("bin\\a.dll")), Dos(2019, 3, 4, 5, 6, 8));
  EXPECT_EQ(Read("readme.txt"), "hello");
  EXPECT_TRUE(*platform::FileAttributeBits(Out("readme.txt")) & platform::FileAttrReadOnly);
  EXPECT_FALSE(*platform::FileAttributeBits(Out("bin\\a.dll")) & platform::FileAttrReadOnly);
}

TEST_F(Unzip, WithoutRecreateDirsFilesLandInDestAndFoldersStillCount) {
  Builder b;
  b.Add("bin/", "", 0);
  b.Add("bin/sub/a.txt", "A");
  z.settings().recreateFolders = false;
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(Read("a.txt"), "A");
  EXPECT_FALSE(platform::DirectoryExists(Out("bin")));
}

TEST_F(Unzip, EmptyAndUnknownMethodEntries) {
  Builder b;
  b.Add("empty.txt", "", 0);
  b.Add("empty-odd.bin", "", 99);      // unknown method, size 0, CRC 0: counted
  b.Add("bzip.bin", "some data", 12);  // unknown method with data: fails
  b.entries.back().payload = "BZh-not-decoded";
  b.entries.back().payloadSet = true;
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(z.FailedCount(), 1);
  EXPECT_EQ(Read("empty.txt"), "");
  EXPECT_EQ(Read("empty-odd.bin"), "");
  EXPECT_FALSE(platform::FileExists(Out("bzip.bin")));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], "197|Unknown Compression Method|Zip Error|0");
}

TEST_F(Unzip, UnknownMethodGoesToTheMessageBoxWithoutAHandler) {
  z.events().onMessage = nullptr;
  Builder b;
  b.Add("x.bin", "data", 14);
  EXPECT_EQ(Extract(b.Build()), 0);
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "Unknown Compression Method");
  EXPECT_EQ(box.shown[0].caption, "Zip Error");
}

struct OverwriteCase {
  Overwrite mode;
  int existingSecondsOffset;  // existing file's time against the entry's (in even seconds)
  int answer;                 // prompt answer
  bool replaced;
};

class UnzipOverwrite : public Unzip, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(UnzipOverwrite, FollowsTheMode) {
  const auto& c = GetParam();
  const uint32_t entryTime = Dos(2021, 6, 1, 12, 0, 30);
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("a.txt"), "old");
  ASSERT_TRUE(platform::SetFileDosDateTime(Out("a.txt"), Dos(2021, 6, 1, 12, 0, 30 + c.existingSecondsOffset)));
  Builder b;
  b.Add("a.txt", "new").dosTime = entryTime;
  z.settings().overwrite = c.mode;
  answer = c.answer;
  EXPECT_EQ(Extract(b.Build()), c.replaced ? 1 : 0);
  EXPECT_EQ(Read("a.txt"), c.replaced ? "new" : "old");
  EXPECT_EQ(z.FailedCount(), 0);  // the overwrite rule is no failure
  if (!c.replaced) {
    EXPECT_EQ(skips, std::vector<SkipReason>{SkipReason::NoOverwrite});
  }
  if (c.mode == Overwrite::Prompt) {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "196|Replace existing file a.txt?|File Exists Alert|4");
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, UnzipOverwrite,
                         ::testing::Values(OverwriteCase{Overwrite::Always, 0, 0, true},
                                           OverwriteCase{Overwrite::Never, -20, 0, false},
                                           OverwriteCase{Overwrite::IfNewer, 0, 0, false},  // same time
                                           OverwriteCase{Overwrite::IfNewer, -2, 0, true},
                                           OverwriteCase{Overwrite::IfNewer, 2, 0, false},
                                           OverwriteCase{Overwrite::IfOlder, 0, 0, false},
                                           OverwriteCase{Overwrite::IfOlder, 2, 0, true},
                                           OverwriteCase{Overwrite::Prompt, 0, platform::IdYes, true},
                                           OverwriteCase{Overwrite::Prompt, 0, platform::IdNo, false}));

TEST_F(Unzip, ReadOnlyTargetIsReplacedOnlyWhenAllowed) {
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("ro.txt"), "old");
  platform::SetFileAttributeBits(Out("ro.txt"), platform::FileAttrReadOnly);
  Builder b;
  b.Add("ro.txt", "new");
  z.settings().replaceReadOnly = false;
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(z.FailedCount(), 1);
  EXPECT_EQ(Read("ro.txt"), "old");
  EXPECT_EQ(skips, std::vector<SkipReason>{SkipReason::CreateError});
  z.settings().replaceReadOnly = true;
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(Read("ro.txt"), "new");
}

TEST_F(Unzip, CrcMismatchKeepsTheInstalledFileAndTheRunGoesOn) {
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("a.dll"), "installed");
  Builder b;
  b.Add("a.dll", "corrupted payload").crc = 0x12345678;
  b.Add("b.dll", "fine");
  uint32_t seenStored = 0;
  z.events().onBadCrc = [&](Unzipper&, uint32_t, uint32_t stored, int) { seenStored = stored; };
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(seenStored, 0x12345678u);
  EXPECT_EQ(z.FailedCount(), 1);
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
  EXPECT_EQ(z.FailedCount(), 1);
  EXPECT_FALSE(platform::FileExists(Out("s.bin")));
}

TEST_F(Unzip, TruncatedInsideAnEntryEndsTheRunAndLeavesNothingHalfWritten) {
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  Builder b;
  b.Add("big.bin", big, 0);
  std::string full = b.Build();
  platform::CreateDir(dest);
  platform::WriteWholeFile(Out("big.bin"), "installed");
  z.SetZipName(Write("p.zip", full));
  z.OpenArchive();  // directory read from the whole file
  z.CloseArchive();
  Write("p.zip", full.substr(0, 100000));  // the data now ends early
  // The changed file is read again: no end record any more.
  EXPECT_THROW(z.ExtractFiles(), IncompleteZipError);
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
  EXPECT_EQ(z.FailedCount(), 1);
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
  EXPECT_EQ(z.FailedCount(), 2);
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
  EXPECT_EQ(z.FailedCount(), 1);
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
  EXPECT_EQ(z.FailedCount(), 5);
  for (SkipReason s : skips) EXPECT_EQ(s, SkipReason::UnsafeName);
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
  EXPECT_EQ(z.FailedCount(), 6);
  for (SkipReason s : skips) EXPECT_EQ(s, SkipReason::UnsafeName);
  EXPECT_EQ(Read("b.dll"), "installed");
  EXPECT_EQ(AllFiles(), (std::vector<std::string>{"dest/b.dll", "dest/ok.txt", "p.zip"}));
}

TEST_F(Unzip, ClaimedSizesSaturateInsteadOfWrapping) {
  // Three entries each claiming 2^62 bytes through a Zip64 block: their sum
  // does not fit a signed 64-bit total.
  Builder b;
  for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
    ziptest::Entry& e = b.Add(name, "small", 0);
    e.uncompressedSize = 0xFFFFFFFF;
    ziptest::Put16(e.centralExtra, 1);
    ziptest::Put16(e.centralExtra, 8);
    ziptest::Put32(e.centralExtra, 0);
    ziptest::Put32(e.centralExtra, 0x40000000);
  }
  int64_t announced = 0;
  z.events().onStartInfo = [&](Unzipper&, int, int64_t total, bool&) { announced = total; };
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(announced, INT64_MAX);
  EXPECT_EQ(z.FailedCount(), 3);  // none is as large as it claims
}

TEST_F(Unzip, AbsoluteAndDriveNamesStayInsideTheDestination) {
  Builder b;
  b.Add("/abs/a.txt", "a");
  b.Add("C:/drive/b.txt", "b");
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(Read("abs\\a.txt"), "a");
  EXPECT_EQ(Read("drive\\b.txt"), "b");
}

TEST_F(Unzip, EncryptedEntriesArePassedOverForTheirPassword) {
  Builder b;
  auto& e = b.Add("secret.txt", "x", 0);
  e.flags = 1;
  e.payload = std::string(12, '\x55') + "x";
  e.payloadSet = true;
  EXPECT_EQ(Extract(b.Build()), 0);
  EXPECT_EQ(skips, std::vector<SkipReason>{SkipReason::BadPassword});
  EXPECT_EQ(z.FailedCount(), 1);
}

TEST_F(Unzip, SelectionByMasksWhenNotDoAll) {
  Builder b;
  b.Add("bin/a.dll", "a");
  b.Add("bin/b.txt", "b");
  b.Add("c.DLL", "c");
  z.settings().extractAll = false;
  z.settings().masks = {"*.dll"};
  int infoCount = -1;
  z.events().onStartInfo = [&](Unzipper&, int n, int64_t, bool&) { infoCount = n; };
  EXPECT_EQ(Extract(b.Build()), 2);
  EXPECT_EQ(infoCount, 2);
  EXPECT_TRUE(z.settings().masks.empty());
  EXPECT_FALSE(platform::FileExists(Out("bin\\b.txt")));
  EXPECT_EQ(Read("c.DLL"), "c");
}

TEST_F(Unzip, CancelFromAHandlerEndsTheRun) {
  Builder b;
  b.Add("a.txt", "a");
  int completed = -1;
  z.events().onStartInfo = [](Unzipper& self, int, int64_t, bool&) { self.RequestCancel(); };
  z.events().onComplete = [&](Unzipper&, int n) { completed = n; };
  try {
    Extract(b.Build());
    FAIL();
  } catch (const UserCanceledError& e) {
    EXPECT_STREQ(e.what(), "User Aborted Operation");
  }
  EXPECT_EQ(completed, 0);
  EXPECT_FALSE(platform::FileExists(Out("a.txt")));
}

TEST_F(Unzip, StartHandlerCanRenameOrSkip) {
  Builder b;
  b.Add("a.txt", "a");
  b.Add("b.txt", "b");
  z.events().onStartEntry = [](Unzipper&, int index, std::string& name, bool& skip) {
    if (index == 0) name += ".renamed";
    else skip = true;
  };
  std::vector<std::string> ended;
  z.events().onEndEntry = [&](Unzipper&, int, const std::string& name) { ended.push_back(name); };
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(Read("a.txt.renamed"), "a");
  EXPECT_EQ(ended, std::vector<std::string>{Out("a.txt.renamed")});
  EXPECT_EQ(z.FailedCount(), 0);
}

TEST_F(Unzip, PercentEventsReachAHundred) {
  Builder b;
  b.Add("a.bin", std::string(100000, 'q'));
  int lastFile = -1, lastTotal = -1;
  z.events().onFilePercent = [&](Unzipper&, int p) { lastFile = p; };
  z.events().onTotalPercent = [&](Unzipper&, int p) { lastTotal = p; };
  EXPECT_EQ(Extract(b.Build()), 1);
  EXPECT_EQ(lastFile, 100);
  EXPECT_EQ(lastTotal, 100);
}

TEST_F(Unzip, OneComponentServesManyPackages) {
  Builder one, two;
  one.Add("a.txt", "first");
  two.Add("b.txt", "second");
  EXPECT_EQ(Extract(one.Build(), "one.zip"), 1);
  z.SetDestDir(dest + "\\other\\");
  EXPECT_EQ(z.DestDir(), dest + "\\other");
  EXPECT_EQ(Extract(two.Build(), "two.zip"), 1);
  EXPECT_EQ(Read("other\\b.txt"), "second");
  EXPECT_FALSE(z.ArchiveOpen());
}

// ---- Reading side ----

class ZipRead : public Unzip {
 protected:
  void Open(const std::string& bytes, const std::string& name = "r.zip") {
    z.SetZipName(Write(name, bytes));
    z.OpenArchive();
  }
};

TEST_F(ZipRead, ZeroLengthArchiveIsEmpty) {
  Open("");
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_EQ(z.ExtractFiles(), 0);
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
  Open(bytes);
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_FALSE(z.EndRecord().Zip64End());
}

TEST_F(ZipRead, ShortOrEndlessArchivesAreIncomplete) {
  for (size_t n : {1u, 10u, 21u}) {
    z.SetZipName(Write("s" + std::to_string(n) + ".zip", std::string(n, 'P')));
    try {
      z.OpenArchive();
      FAIL() << n;
    } catch (const IncompleteZipError& e) {
      EXPECT_STREQ(e.what(), "Incomplete Zip File");
    }
  }
  Builder b;
  b.Add("a.txt", "a");
  std::string noEnd = b.Build();
  noEnd.resize(noEnd.size() - 22);
  z.SetZipName(Write("noend.zip", noEnd + std::string(70000, 'x')));
  EXPECT_THROW(z.OpenArchive(), IncompleteZipError);
  z.settings().incompleteArchive = IncompleteArchive::AssumeNotAZip;
  EXPECT_THROW(z.OpenArchive(), NotAZipFileError);
  z.settings().incompleteArchive = IncompleteArchive::AssumeDamaged;
  z.OpenArchive();  // the recovery scan finds the local header
  EXPECT_TRUE(z.Rebuilt());
  ASSERT_EQ(z.EntryCount(), 1);
  EXPECT_EQ(z.Entry(0).FileName(), "a.txt");
  z.SetZipName(Write("junk.zip", std::string(5000, 'j')));
  try {
    z.OpenArchive();
    FAIL();
  } catch (const BadZipFileError& e) {
    EXPECT_STREQ(e.what(), "Not a valid zip file!");
  }
  EXPECT_EQ(z.ZipName(), "");  // cleared
}

TEST_F(ZipRead, HandlerMayChooseTheRecoveryScan) {
  Builder b;
  b.Add("a.txt", "a");
  std::string noEnd = b.Build();
  noEnd.resize(noEnd.size() - 22);
  z.events().onIncompleteArchive = [](Unzipper&, IncompleteArchive& mode) { mode = IncompleteArchive::AssumeDamaged; };
  EXPECT_EQ(Extract(noEnd), 1);
  EXPECT_EQ(Read("a.txt"), "a");
}

TEST_F(ZipRead, ImplausibleDiskNumbersMeanNoEndRecord) {
  for (auto [thisDisk, cdDisk] : {std::pair{1000, 0}, std::pair{1, 1000}, std::pair{1, 2}}) {
    Builder b;
    b.Add("a.txt", "a");
    b.thisDisk = static_cast<uint16_t>(thisDisk);
    b.centralDisk = static_cast<uint16_t>(cdDisk);
    z.SetZipName(Write("d" + std::to_string(thisDisk) + "_" + std::to_string(cdDisk) + ".zip", b.Build()));
    EXPECT_THROW(z.OpenArchive(), IncompleteZipError) << thisDisk << " " << cdDisk;
  }
}

TEST_F(ZipRead, LongestCommentAndTheEndRecordNearestTheEnd) {
  Builder b;
  b.Add("a.txt", "a");
  b.comment = std::string(65535, 'c');
  Open(b.Build());
  EXPECT_EQ(z.EntryCount(), 1);
  EXPECT_EQ(z.EndRecord().CommentLength(), 65535);
}

TEST_F(ZipRead, NamesSplitIntoFolderAndFileWithBackslashes) {
  Builder b;
  b.Add("dir/sub/", "", 0);
  b.Add("top.txt", "t");
  b.Add("dir/sub/f.txt", "f");
  Open(b.Build());
  ASSERT_EQ(z.EntryCount(), 3);
  EXPECT_EQ(z.Entry(0).Directory(), "dir\\sub\\");
  EXPECT_EQ(z.Entry(0).FileName(), "");
  EXPECT_EQ(z.Entry(1).Directory(), "");
  EXPECT_EQ(z.Entry(2).Directory(), "dir\\sub\\");
  try {
    z.Entry(3);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_STREQ(e.what(), "Index 3 is out of range");
  }
}

TEST_F(ZipRead, OutOfRangeTimesReadBackClamped) {
  Builder b;
  b.Add("a.txt", "a").dosTime = (Dos(2020, 1, 5, 0, 0, 0) & 0xFFFF0000u) | (31u << 11);  // hour 31
  b.Add("b.txt", "b").dosTime = Dos(2020, 1, 5, 10, 0, 0) & ~(0xFu << 21);           // month 0
  Open(b.Build());
  EXPECT_EQ(z.Entry(0).Header().dateTime, Dos(2020, 1, 5, 23, 0, 0));
  EXPECT_EQ(z.Entry(1).Header().dateTime, (Dos(2020, 1, 5, 10, 0, 0) & ~(0xFu << 21)) | (1u << 21));
}

TEST_F(ZipRead, SharedLocalHeaderOffsetsFallBackToTheScan) {
  Builder b;
  b.Add("a.txt", "aaa");
  b.Add("b.txt", "bbb").localOffset = 0;  // claims the first entry's header
  Open(b.Build());
  EXPECT_TRUE(z.Rebuilt());
  ASSERT_EQ(z.EntryCount(), 2);
  EXPECT_EQ(z.Entry(1).FileName(), "b.txt");
  // The second central entry lands on the first local header: its CRC then
  // fails against that data, and the scanned b.txt still comes out whole.
  EXPECT_EQ(z.Entry(0).FileName(), "b.txt");
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(z.FailedCount(), 1);
  EXPECT_EQ(Read("b.txt"), "bbb");
}

TEST_F(ZipRead, MoreEntriesCountedThanPresentRebuildsFromLocalHeaders) {
  Builder b;
  b.Add("a.txt", "a");
  b.Add("b.txt", "b");
  b.endCount = 5;
  Open(b.Build());
  EXPECT_TRUE(z.Rebuilt());
  EXPECT_EQ(z.EntryCount(), 2);
}

TEST_F(ZipRead, SameNameInOtherCaseKeepsTheDirectoryAndAChangedFileIsReadAgain) {
  Builder b;
  b.Add("a.txt", "a");
  Open(b.Build());
  const ZipEntry* first = &z.Entry(0);
  std::string upper = z.ZipName();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  z.SetZipName(upper);
  z.OpenArchive();
  EXPECT_EQ(&z.Entry(0), first);
  z.CloseArchive();
  Builder c;
  c.Add("a.txt", "a");
  c.Add("b.txt", "b");
  Write("r.zip", c.Build());
  z.OpenArchive();
  EXPECT_EQ(z.EntryCount(), 2);
}

TEST_F(ZipRead, SortModesGiveTheViewOrder) {
  Builder b;
  b.Add("b.txt", "1");
  b.Add("a.txt", "22");
  Open(b.Build());
  z.SetSortMode(EntryOrder::ByName);
  EXPECT_EQ(z.Entry(0).FileName(), "a.txt");
  EXPECT_EQ(z.ExtractFiles(), 2);
  z.SetSortMode(EntryOrder::AsStored);
  EXPECT_EQ(z.Entry(0).FileName(), "b.txt");
}

TEST_F(ZipRead, MissingArchiveAndDialogNames) {
  z.SetZipName(dir / "missing.zip");
  try {
    z.ExtractFiles();
    FAIL();
  } catch (const ArchiveOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + (dir / "missing.zip") + "\". ", 0), 0u);
  }
  EXPECT_THROW(z.SetZipName("C:\\x\\?"), UserCanceledError);
  EXPECT_THROW(z.SetDestDir("?"), UserCanceledError);
}

TEST_F(ZipRead, DeclaredEntryCountIsNotTrustedForMemory) {
  Builder b;
  b.Add("a.txt", "a");
  b.endCount = 0xFFFF;
  std::string bytes = b.Build();
  Open(bytes);  // reads what is there, then the scan
  EXPECT_EQ(z.EntryCount(), 1);
}

TEST_F(ZipRead, OemNamesAreConvertedForMsDosHostsOnly) {
  testing_support::ChineseAnsiCodePage chinese;
  const std::string gbk = "\xD6\xD0\xCE\xC4.txt";  // "中文.txt" in code page 936
  Builder b;
  b.Add(gbk, "x");
  Open(b.Build());
  EXPECT_EQ(z.Entry(0).FileName(), "\xE4\xB8\xAD\xE6\x96\x87.txt");
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(Read("\xE4\xB8\xAD\xE6\x96\x87.txt"), "x");
}

}  // namespace
}  // namespace zip
