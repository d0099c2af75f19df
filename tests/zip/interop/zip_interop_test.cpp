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
#include "support/platform/ansi_code_page.h"
#include "support/zip/memory_stream.h"
#include "support/base/test_paths.h"
#include "support/zip/unzip_fixture.h"
#include "zip/entry_decoder.h"
#include "zip/zip_reader.h"
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

// One entry's bytes, decoded as extraction decodes them; nullopt when they
// fail the entry's check.
std::optional<std::string> DecodedBytes(testing_support::OpenDirectory& opened, const ZipEntry& entry) {
  BufferedStream& archive = opened.archive;
  archive.Seek(static_cast<int64_t>(entry.LocalHeaderOffset()), SeekFromStart);
  ZipEntry local;
  if (!ReadLocalHeader(local, archive)) return std::nullopt;
  const int64_t dataStart = archive.Position() + local.Header().localExtraFieldLength;
  testing_support::MemoryStream memory;
  IExtractionTarget ignored;
  {
    BufferedStream out(memory, 4096);
    if (!DecodeEntry(archive, dataStart, entry, out, ignored)) return std::nullopt;
  }
  return memory.Data();
}

TEST_F(Interop, EveryToolsArchiveExtractsByteForByteWithItsTimes) {
  const auto manifest = LoadManifest();
  ASSERT_GE(manifest.size(), 10u);
  for (const auto& [archive, entries] : manifest) {
    SCOPED_TRACE(archive);
    testing_support::TempDir out;
    EXPECT_EQ(ExtractFile(Archive(archive), out.path()).written, static_cast<int>(entries.size()));
    EXPECT_EQ(last.failed, 0);
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
  EXPECT_EQ(ExtractFile(Archive("two_end_records.zip")).written, 1);
  EXPECT_EQ(platform::ReadWholeFile(Out("readme.txt")), platform::ReadWholeFile(Join(Join(DataDir(), "tree"), "readme.txt")));
}

TEST_F(Interop, LongestArchiveCommentIsSkipped) {
  testing_support::OpenDirectory opened(Archive("comment_65535.zip"));
  EXPECT_EQ(opened.directory.EndRecord().CommentLength(), 65535);
  EXPECT_EQ(opened.directory.Count(), 1u);
}

TEST_F(Interop, Zip64WithMoreThan65535Entries) {
  testing_support::OpenDirectory opened(Archive("zip64_many.zip"));
  const ArchiveDirectory& d = opened.directory;
  ASSERT_EQ(d.Count(), 70000u);
  EXPECT_TRUE(d.EndRecord().Zip64End().has_value());
  EXPECT_FALSE(d.Rebuilt());
  EXPECT_EQ(d.Entry(69999).Directory() + d.Entry(69999).FileName(), "d49\\f69999.txt");
  EXPECT_EQ(DecodedBytes(opened, d.Entry(7)), "entry 7\n");
  EXPECT_EQ(DecodedBytes(opened, d.Entry(69999)), "entry 69999\n");
}

TEST_F(Interop, Zip64SizesAndOffsetsBeyondFourGiB) {
  testing_support::OpenDirectory opened(Archive("zip64_big.zip"));
  const ArchiveDirectory& d = opened.directory;
  ASSERT_EQ(d.Count(), 2u);
  EXPECT_EQ(d.Entry(0).UncompressedSize(), (1ull << 32) + 10);
  EXPECT_GT(d.Entry(1).LocalHeaderOffset(), 1ull << 32);
  EXPECT_EQ(DecodedBytes(opened, d.Entry(1)), "after the hole\n");
}

}  // namespace
}  // namespace zip
