// Archives made at test time by Info-ZIP zip, Python's zipfile, bsdtar and
// 7z (see make_test_archives.sh): every entry extracted byte for byte, with
// the time the tool stored.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "interop_support.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/platform/ansi_code_page.h"
#include "support/zip/unzip_fixture.h"
#include "zip/unzipper.h"
#ifndef _WIN32
#include "platform/posix/host_path.h"
#endif

namespace zip {
namespace {

using ziptest::DataDir;
using ziptest::Join;

struct ManifestEntry {
  std::string name;
  uint32_t dos;
  uint64_t size;
  bool dir;
};

std::map<std::string, std::vector<ManifestEntry>> LoadManifest() {
  std::map<std::string, std::vector<ManifestEntry>> m;
  auto text = platform::ReadWholeFile(Join(DataDir(), "manifest.tsv"));
  if (!text) return m;
  std::istringstream in(*text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream cols(line);
    std::string c;
    while (std::getline(cols, c, '\t')) f.push_back(c);
    if (f.size() != 5) continue;
    m[f[0]].push_back({f[1], static_cast<uint32_t>(std::stoul(f[2], nullptr, 16)), std::stoull(f[3]), f[4] == "1"});
  }
  return m;
}

class Interop : public testing_support::UnzipFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::FileExists(Join(DataDir(), "manifest.tsv")))
        << "the archives are made by the ctest fixture zip_archives (run through ctest)";
    gbk_ = std::make_unique<testing_support::ChineseAnsiCodePage>();  // the code page of the target systems
  }
  void TearDown() override { gbk_.reset(); }
  std::unique_ptr<testing_support::ChineseAnsiCodePage> gbk_;
  std::string Archive(const std::string& name) const { return Join(Join(DataDir(), "archives"), name); }
};

TEST_F(Interop, EveryToolsArchiveExtractsByteForByteWithItsTimes) {
  const auto manifest = LoadManifest();
  ASSERT_GE(manifest.size(), 10u);
  for (const auto& [archive, entries] : manifest) {
    SCOPED_TRACE(archive);
    testing_support::TempDir out;
    z.SetDestDir(out.path());
    z.SetRootDir(out.path());
    z.SetZipName(Archive(archive));
    EXPECT_EQ(z.ExtractFiles(), static_cast<int>(entries.size()));
    EXPECT_EQ(z.FailedCount(), 0);
    for (const ManifestEntry& e : entries) {
      SCOPED_TRACE(e.name);
      const std::string path = Join(out.path(), e.name);
      if (e.dir) {
        EXPECT_TRUE(platform::DirectoryExists(path));
        continue;
      }
      auto got = platform::ReadWholeFile(path);
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(got->size(), e.size);
      std::string want;
      if (archive == "oem_chinese.zip") {
        for (int i = 0; i < 10; ++i) want += "GBK named file\r\n";
      } else {
        want = platform::ReadWholeFile(Join(Join(DataDir(), "tree"), e.name)).value_or("<no source>");
      }
      EXPECT_TRUE(*got == want) << "content differs";
      EXPECT_EQ(platform::FileDosDateTime(path).value_or(0), e.dos);
    }
  }
}

TEST_F(Interop, TheEndRecordNearestTheEndWins) {
  z.SetZipName(Archive("two_end_records.zip"));
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(platform::ReadWholeFile(Out("readme.txt")), platform::ReadWholeFile(Join(Join(DataDir(), "tree"), "readme.txt")));
}

TEST_F(Interop, LongestArchiveCommentIsSkipped) {
  z.SetZipName(Archive("comment_65535.zip"));
  z.OpenArchive();
  EXPECT_EQ(z.EndRecord().CommentLength(), 65535);
  EXPECT_EQ(z.EntryCount(), 1);
}

TEST_F(Interop, Zip64WithMoreThan65535Entries) {
  z.SetZipName(Archive("zip64_many.zip"));
  z.OpenArchive();
  ASSERT_EQ(z.EntryCount(), 70000);
  EXPECT_TRUE(z.EndRecord().Zip64End().has_value());
  EXPECT_FALSE(z.Rebuilt());
  EXPECT_EQ(z.Entry(69999).Directory() + z.Entry(69999).FileName(), "d49\\f69999.txt");
  z.settings().extractAll = false;
  z.settings().masks = {"d7\\f7.txt", "*\\f69999.txt"};
  EXPECT_EQ(z.ExtractFiles(), 2);
  EXPECT_EQ(platform::ReadWholeFile(Out("d7\\f7.txt")), "entry 7\n");
  EXPECT_EQ(platform::ReadWholeFile(Out("d49\\f69999.txt")), "entry 69999\n");
}

TEST_F(Interop, Zip64SizesAndOffsetsBeyondFourGiB) {
  z.SetZipName(Archive("zip64_big.zip"));
  z.OpenArchive();
  ASSERT_EQ(z.EntryCount(), 2);
  EXPECT_EQ(z.Entry(0).UncompressedSize(), (1ull << 32) + 10);
  EXPECT_GT(z.Entry(1).LocalHeaderOffset(), 1ull << 32);
  z.settings().extractAll = false;
  z.settings().masks = {"small.txt"};
  EXPECT_EQ(z.ExtractFiles(), 1);
  EXPECT_EQ(platform::ReadWholeFile(Out("small.txt")), "after the hole\n");
  EXPECT_FALSE(platform::FileExists(Out("huge.bin")));
}

}  // namespace
}  // namespace zip
