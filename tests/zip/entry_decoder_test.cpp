#include "zip/entry_decoder.h"

#include <gtest/gtest.h>

#include "support/zip/memory_stream.h"
#include "support/zip/zip_builder.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

using testing_support::MemoryStream;

class CountingTarget : public IExtractionTarget {
 public:
  void Decoded(const uint8_t*, size_t count) override { bytes += count; }
  size_t bytes = 0;
};

struct DecodeCase {
  std::string what;
  uint16_t method;
  std::string data;      // what the entry holds
  std::string payload;   // the stored bytes
  int64_t compressedSize;    // -1: the payload's
  int64_t uncompressedSize;  // -1: the data's
  int64_t crc;               // -1: the data's
  size_t writeLimit;         // bytes the output takes
  std::string outcome;       // "ok", "mismatch", or the error's what()
};

std::string Big() {
  std::string s(100000, '\0');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((i * 7919) >> 5);
  return s;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, ComesOutAsTheEntryOrNotAtAll) {
  const DecodeCase& c = GetParam();
  const std::string head = "local header";
  MemoryStream archiveBytes(head + c.payload + "central directory");
  BufferedStream archive(archiveBytes, 8192);
  ZipEntry entry;
  EntryHeader h;
  h.compressionMethod = c.method;
  h.crc32 = c.crc >= 0 ? static_cast<uint32_t>(c.crc) : ziptest::Crc(c.data);
  h.compressedSize32 = static_cast<uint32_t>(c.compressedSize >= 0 ? c.compressedSize : c.payload.size());
  h.uncompressedSize32 = static_cast<uint32_t>(c.uncompressedSize >= 0 ? c.uncompressedSize : c.data.size());
  entry.SetHeader(h);
  MemoryStream outBytes;
  outBytes.LimitWrites(c.writeLimit);
  CountingTarget target;
  std::string outcome;
  {
    BufferedStream out(outBytes, 8192);
    try {
      outcome = DecodeEntry(archive, static_cast<int64_t>(head.size()), entry, out, target) ? "ok" : "mismatch";
    } catch (const std::exception& e) {
      outcome = e.what();
    }
  }
  EXPECT_EQ(outcome, c.outcome);
  if (outcome == "ok") {
    EXPECT_EQ(outBytes.Data(), c.data);
    EXPECT_EQ(target.bytes, c.data.size());
  }
  EXPECT_LE(target.bytes, static_cast<size_t>(h.uncompressedSize32));
}

const std::string kText = "hello, hello, hello";

INSTANTIATE_TEST_SUITE_P(
    Cases, Decode,
    ::testing::Values(
        DecodeCase{"stored", 0, kText, kText, -1, -1, -1, SIZE_MAX, "ok"},
        DecodeCase{"deflated", 8, Big(), ziptest::RawDeflate(Big()), -1, -1, -1, SIZE_MAX, "ok"},
        DecodeCase{"empty_stored", 0, "", "", -1, -1, -1, SIZE_MAX, "ok"},
        DecodeCase{"longer_than_declared", 8, Big(), ziptest::RawDeflate(Big()), -1, 1000, -1, SIZE_MAX, "mismatch"},
        DecodeCase{"deflate_cut_short", 8, Big(), ziptest::RawDeflate(Big()), 40, -1, -1, SIZE_MAX, "mismatch"},
        DecodeCase{"shorter_than_declared", 0, kText, kText, -1, 100, -1, SIZE_MAX, "mismatch"},
        DecodeCase{"other_crc", 0, kText, kText, -1, -1, 1234, SIZE_MAX, "mismatch"},
        // Another method decodes to nothing: only an empty entry passes.
        DecodeCase{"unknown_method_empty", 99, "", "", -1, -1, 0, SIZE_MAX, "ok"},
        DecodeCase{"unknown_method", 12, kText, "BZh91AY", -1, -1, -1, SIZE_MAX, "mismatch"},
        DecodeCase{"archive_ends_early", 0, kText, kText, 1000, -1, -1, SIZE_MAX, "Premature end of file reached"},
        DecodeCase{"output_full", 8, Big(), ziptest::RawDeflate(Big()), -1, -1, -1, 5000,
                   "Cant write uncompressed file"},
        DecodeCase{"not_deflate", 8, kText, std::string(20, '\xFF'), -1, -1, -1, SIZE_MAX, "error"}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.what; });

TEST(DecodedMethods, StoredAndDeflatedOnly) {
  for (uint16_t method = 0; method < 100; ++method) {
    EXPECT_EQ(IsDecodedMethod(method), method == 0 || method == 8) << method;
  }
}

}  // namespace
}  // namespace zip
