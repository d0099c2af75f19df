#include "zip/buffer_stream.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/zip/memory_stream.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

using testing_support::MemoryStream;

std::string Digits(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('0' + i % 10);
  return s;
}

// Counts the calls that reach the stream under the buffer.
class CountingStream : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  size_t Read(void* b, size_t n) override {
    ++reads;
    return MemoryStream::Read(b, n);
  }
  size_t Write(const void* b, size_t n) override {
    ++writes;
    return MemoryStream::Write(b, n);
  }
  int reads = 0, writes = 0;
};

TEST(BufferStream, SmallReadsCostOneUnderlyingReadPerBuffer) {
  CountingStream mem(Digits(100));
  BufferedStream s(mem, 16);
  char c;
  for (int i = 0; i < 16; ++i) ASSERT_EQ(s.Read(&c, 1), 1u);
  EXPECT_EQ(mem.reads, 1);
  EXPECT_EQ(s.Position(), 16);
  EXPECT_EQ(c, '5');
}

TEST(BufferStream, ReadingPastTheEndGivesWhatExistsThenNothing) {
  MemoryStream mem(Digits(10));
  BufferedStream s(mem, 4);
  char buf[32] = {};
  EXPECT_EQ(s.Read(buf, sizeof buf), 10u);
  EXPECT_EQ(std::string(buf, 10), Digits(10));
  EXPECT_EQ(s.Read(buf, 1), 0u);
}

TEST(BufferStream, LargeReadsAndWritesStayInOrder) {
  MemoryStream mem(Digits(50000));
  BufferedStream s(mem, 8192);
  std::string a(3, '\0'), b(40000, '\0'), c(10000, '\0');
  s.Read(a.data(), a.size());
  s.Read(b.data(), b.size());
  EXPECT_EQ(s.Read(c.data(), c.size()), 9997u);
  EXPECT_TRUE(a + b + c.substr(0, 9997) == Digits(50000));
}

TEST(BufferStream, SeekOriginsAndTheirFailures) {
  MemoryStream mem(Digits(100));
  BufferedStream s(mem, 8);
  EXPECT_EQ(s.Seek(10, 0), 10);
  EXPECT_EQ(s.Seek(5, 1), 15);
  EXPECT_EQ(s.Seek(5, 2), 95);   // +5 and -5 from the end are the same place
  EXPECT_EQ(s.Seek(-5, 2), 95);
  char c;
  s.Read(&c, 1);
  EXPECT_EQ(c, '5');
  try {
    s.Seek(0, 3);
    FAIL() << "origin 3 accepted";
  } catch (const StreamError& e) {
    EXPECT_STREQ(e.what(), "Invalid seek origin (3)");
  }
  EXPECT_THROW(s.Seek(-1, 0), StreamError);
}

TEST(BufferStream, SeekToTheCurrentPositionKeepsTheBuffer) {
  CountingStream mem(Digits(100));
  BufferedStream s(mem, 32);
  char c;
  s.Read(&c, 1);
  s.Seek(1, 0);
  s.Seek(0, 1);
  s.Read(&c, 1);
  EXPECT_EQ(c, '1');
  EXPECT_EQ(mem.reads, 1);
}

TEST(BufferStream, SeekWhileWritingFlushesFirst) {
  CountingStream mem;
  BufferedStream s(mem, 64);
  s.Write("abcdef", 6);
  EXPECT_EQ(mem.writes, 0);
  s.Seek(2, 0);
  EXPECT_EQ(mem.writes, 1);
  EXPECT_EQ(mem.Data(), "abcdef");
  s.Write("XY", 2);
  s.Flush();
  EXPECT_EQ(mem.Data(), "abXYef");
}

TEST(BufferStream, FailedFlushBeforeASeekIsASeekError) {
  MemoryStream mem;
  mem.LimitWrites(3);
  BufferedStream s(mem, 64);
  s.Write("abcdef", 6);
  try {
    s.Seek(0, 0);
    FAIL();
  } catch (const StreamError& e) {
    EXPECT_STREQ(e.what(), "Seek error");
  }
}

TEST(BufferStream, ShortFlushEndsAWrite) {
  MemoryStream mem;
  mem.LimitWrites(5);
  BufferedStream s(mem, 4);
  EXPECT_LT(s.Write("0123456789", 10), 10u);
}

TEST(BufferStream, WritingAfterReadingContinuesAtTheLogicalPosition) {
  MemoryStream mem(Digits(40));
  BufferedStream s(mem, 16);
  char buf[3];
  s.Read(buf, 3);  // the buffer holds 16 bytes read ahead
  s.Write("xyz", 3);
  EXPECT_EQ(s.Position(), 6);
  s.Flush();
  EXPECT_EQ(mem.Data().substr(0, 8), "012xyz67");
}

TEST(BufferStream, PendingBytesAreWrittenOnDestroy) {
  MemoryStream mem;
  {
    BufferedStream s(mem, 64);
    s.Write("pending", 7);
  }
  EXPECT_EQ(mem.Data(), "pending");
}

TEST(BufferedFileStream, CreatesWritesSizesAndReadsBack) {
  testing_support::TempDir dir;
  const std::string path = dir / "out.bin";
  {
    BufferedFileStream f(path, 8192, platform::FileMode::Create);
    f.Write(Digits(20000).data(), 20000);
    EXPECT_EQ(f.Size(), 20000);
    EXPECT_TRUE(f.SetSize(100));
    EXPECT_EQ(f.Size(), 100);
  }
  BufferedFileStream r(path, 8192, platform::FileMode::ReadDenyWrite);
  std::string back(200, '\0');
  EXPECT_EQ(r.Read(back.data(), back.size()), 100u);
  EXPECT_EQ(back.substr(0, 100), Digits(100));
}

TEST(BufferedFileStream, OpenFailuresPassThrough) {
  testing_support::TempDir dir;
  try {
    BufferedFileStream f(dir / "missing.zip", 8192, platform::FileMode::ReadDenyWrite);
    FAIL();
  } catch (const ArchiveOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot open file \"" + (dir / "missing.zip") + "\". "), std::string::npos);
  }
  EXPECT_THROW(BufferedFileStream(dir / "no/such/x.bin", 8192, platform::FileMode::Create),
               OutputCreateError);
}

}  // namespace
}  // namespace zip
