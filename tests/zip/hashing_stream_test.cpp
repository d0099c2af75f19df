#include "zip/hashing_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/crypto.h"
#include "support/zip/memory_stream.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

using testing_support::MemoryStream;

TEST(HashingStream, HashesAndCountsWhatTheStreamUnderItTook) {
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  MemoryStream file;
  file.LimitWrites(bytes.size() - 10);
  HashingStream out(file);
  EXPECT_EQ(out.Write(bytes.data(), 1), 1u);
  EXPECT_EQ(out.Write(bytes.data() + 1, 40000), 40000u);
  EXPECT_EQ(out.Write(bytes.data() + 40001, bytes.size() - 40001), bytes.size() - 40011);  // cut short
  EXPECT_EQ(file.Data(), bytes.substr(0, bytes.size() - 10));
  EXPECT_EQ(out.written(), file.Data().size());
  platform::Sha256 whole;
  whole.Update(file.Data());
  EXPECT_EQ(out.Finish(), whole.Finish());
}

TEST(HashingStream, ReportsItsPositionButNeverMoves) {
  MemoryStream file;
  HashingStream out(file);
  ASSERT_EQ(out.Write("abcd", 4), 4u);
  EXPECT_EQ(out.Position(), 4);
  EXPECT_THROW(out.Seek(0, SeekFromStart), StreamError);
  EXPECT_THROW(out.Seek(-2, SeekFromCurrent), StreamError);
  EXPECT_EQ(file.Data(), "abcd");
}

}  // namespace
}  // namespace zip
