#include "zip/zip_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <tuple>

#include "platform/file_info.h"
#include "platform/files.h"
#include "support/platform/ansi_code_page.h"
#include "support/zip/unzip_fixture.h"
#include "support/zip/zip_builder.h"
#include "zip/zip_reader.h"

namespace zip {
namespace {

using ziptest::Dos;

struct Source {
  std::string nameInZip;
  std::string extracted;  // below the destination, in UTF-8
  std::string bytes;
  uint16_t method;
};

std::string RandomBytes(size_t size) {
  std::mt19937 random(7);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(random());
  return s;
}

std::string LogLines(size_t size) {
  std::string s;
  for (int i = 0; s.size() < size; ++i) s += "line " + std::to_string(i % 977) + " of the update log\r\n";
  return s;
}

// The last name is "bin/中文.txt" in code page 936.
const std::vector<Source>& Sources() {
  static const std::vector<Source> sources = {
      {"empty.txt", "empty.txt", "", 0},
      {"readme.txt", "readme.txt", "small text, small text, small text\r\n", 8},
      {"bin/random.dll", "bin\\random.dll", RandomBytes(100000), 0},
      {"bin/big.dat", "bin\\big.dat", LogLines(3 << 20), 8},
      {"bin/\xD6\xD0\xCE\xC4.txt", "bin\\\xE4\xB8\xAD\xE6\x96\x87.txt", "x", 0},
  };
  return sources;
}

// What the local and the central header must agree on.
auto SharedFields(const ZipEntry& e) {
  const EntryHeader& h = e.Header();
  return std::tuple(e.Directory() + e.FileName(), h.compressionMethod, h.dateTime, h.crc32, h.compressedSize32,
                    h.uncompressedSize32);
}

uint32_t TimeOf(size_t index) { return Dos(2024, 2, 29, 13, 45, static_cast<int>(2 * index)); }

class ZipWriterTest : public testing_support::UnzipFixture {
 protected:
  // The folder "bin/" and every source; returns the archive's path.
  std::string WritePackage(const std::string& name) {
    ZipWriter w(dir / name);
    w.AddDirectory("bin/", TimeOf(9));
    for (size_t i = 0; i < Sources().size(); ++i) {
      w.AddFile(Sources()[i].nameInZip, Write("source" + std::to_string(i), Sources()[i].bytes), TimeOf(i));
    }
    w.Finish();
    return dir / name;
  }

  testing_support::ChineseAnsiCodePage gbk;
};

TEST_F(ZipWriterTest, TheReaderReadsBackNamesMethodsTimesAndBytes) {
  const std::string path = WritePackage("p.zip");
  {
    testing_support::OpenDirectory opened(path);
    const ArchiveDirectory& d = opened.directory;
    ASSERT_EQ(d.Count(), Sources().size() + 1);
    EXPECT_EQ(d.Entry(0).Directory() + d.Entry(0).FileName(), "bin\\");
    EXPECT_EQ(d.Entry(0).Header().externalAttributes, 0x10u);
    EXPECT_EQ(d.Entry(0).Header().dateTime, TimeOf(9));
    for (size_t i = 0; i < Sources().size(); ++i) {
      const ZipEntry& entry = d.Entry(i + 1);
      SCOPED_TRACE(Sources()[i].extracted);
      EXPECT_EQ(entry.Directory() + entry.FileName(), Sources()[i].extracted);
      EXPECT_EQ(entry.Header().compressionMethod, Sources()[i].method);
      EXPECT_EQ(entry.Header().dateTime, TimeOf(i));
    }
    BufferedFileStream archive(path, 4096, platform::FileMode::ReadDenyWrite);
    for (size_t i = 0; i < d.Count(); ++i) {
      ZipEntry local;
      archive.Seek(static_cast<int64_t>(d.Entry(i).LocalHeaderOffset()), SeekFromStart);
      ASSERT_TRUE(ReadLocalHeader(local, archive));
      EXPECT_EQ(SharedFields(local), SharedFields(d.Entry(i)));
    }
  }
  EXPECT_EQ(ExtractFile(path).written, static_cast<int>(Sources().size()) + 1);  // every CRC matched
  for (size_t i = 0; i < Sources().size(); ++i) {
    EXPECT_EQ(platform::ReadWholeFile(Out(Sources()[i].extracted)), Sources()[i].bytes) << Sources()[i].extracted;
    EXPECT_EQ(platform::FileDosDateTime(Out(Sources()[i].extracted)), TimeOf(i));
  }
}

TEST_F(ZipWriterTest, SameCallsGiveTheSameBytes) {
  EXPECT_EQ(platform::ReadWholeFile(WritePackage("a.zip")), platform::ReadWholeFile(WritePackage("b.zip")));
}

TEST_F(ZipWriterTest, RefusedEntriesLeaveTheArchiveAsItWas) {
  const std::string ok = Write("ok.txt", "ok");
  for (const char* name : {"edge.bin", "huge.bin"}) Write(name, "");
  std::filesystem::resize_file(dir / "edge.bin", 0xFFFFFFFF);  // sparse, and refused before reading
  std::filesystem::resize_file(dir / "huge.bin", 0x100000000);
  const std::string longName(65536, 'n');
  struct Refusal {
    std::string name, source;  // no source: a folder
    std::string messageStart;
  };
  const std::vector<Refusal> refusals = {
      {"", ok, "条目名“”无效：须有 1 到 65535 字节。"},
      {longName, ok, "条目名“" + longName + "”无效"},
      {"a/", ok, "条目名“a/”无效：文件名不能以“/”结尾。"},
      {"bin", "", "条目名“bin”无效：目录名须以“/”结尾。"},
      {"missing.txt", dir / "missing.txt", "无法读取文件“" + (dir / "missing.txt") + "”："},
      {"edge.bin", dir / "edge.bin", "文件“" + (dir / "edge.bin") + "”太大"},
      {"huge.bin", dir / "huge.bin", "文件“" + (dir / "huge.bin") + "”太大"},
  };
  ZipWriter w(dir / "p.zip");
  w.AddFile("first.txt", ok, TimeOf(0));
  for (const Refusal& r : refusals) {
    try {
      r.source.empty() ? w.AddDirectory(r.name, TimeOf(0)) : w.AddFile(r.name, r.source, TimeOf(0));
      ADD_FAILURE() << "taken: " << r.messageStart;
    } catch (const ZipWriteError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(r.messageStart, 0), 0u) << e.what();
    }
  }
  w.AddFile("last.txt", ok, TimeOf(0));
  w.Finish();
  EXPECT_EQ(ExtractFile(dir / "p.zip").written, 2);
  EXPECT_EQ(platform::ReadWholeFile(Out("first.txt")), "ok");
  EXPECT_EQ(platform::ReadWholeFile(Out("last.txt")), "ok");
}

TEST_F(ZipWriterTest, EntryCountStopsBelowTheZip64Escape) {
  {
    ZipWriter w(dir / "many.zip");
    for (int i = 0; i < 0xFFFE; ++i) w.AddDirectory(std::to_string(i) + "/", TimeOf(0));
    EXPECT_THROW(w.AddDirectory("one-more/", TimeOf(0)), ZipWriteError);
    w.Finish();
  }
  testing_support::OpenDirectory opened(dir / "many.zip");
  EXPECT_EQ(opened.directory.Count(), 0xFFFEu);
  EXPECT_FALSE(opened.directory.Rebuilt());
}

TEST_F(ZipWriterTest, OnlyAFinishedArchiveIsKept) {
  const std::string path = dir / "p.zip";
  {
    ZipWriter unfinished(path);
    unfinished.AddDirectory("bin/", TimeOf(0));
  }
  EXPECT_FALSE(platform::FileExists(path));
  ZipWriter w(path);
  w.Finish();
  EXPECT_EQ(platform::ReadWholeFile(path).value_or("").size(), 22u);  // the end record alone
  EXPECT_THROW(w.AddDirectory("bin/", TimeOf(0)), ZipWriteError);
  EXPECT_THROW(w.Finish(), ZipWriteError);
  const std::string nowhere = (std::filesystem::path(dir.path()) / "no-such-folder" / "p.zip").string();
  try {
    ZipWriter w2(nowhere);
    ADD_FAILURE();
  } catch (const ZipWriteError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("无法创建文件“" + nowhere + "”：", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace zip
