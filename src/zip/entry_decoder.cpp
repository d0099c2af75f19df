#include "zip/entry_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "zip/zip_errors.h"

namespace zip {
namespace {

constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr size_t kChunk = 32768;

class Decoder {
 public:
  Decoder(BufferedStream& archive, const ZipEntry& entry, BufferedStream& out, IExtractionTarget& target)
      : archive_(archive), entry_(entry), out_(out), target_(target), compressedLeft_(entry.CompressedSize()) {}

  // False when the data ran past the declared size or its deflate stream
  // ended early.
  bool Run() {
    try {
      if (entry_.Header().compressionMethod == kStored) DecodeStored();
      if (entry_.Header().compressionMethod == kDeflated) DecodeDeflated();
    } catch (const BiggerThanUncompressedError&) {
      return false;
    } catch (const IncompleteDeflateError&) {
      return false;
    }
    if (!out_.Flush()) throw OutputWriteError("Cant write uncompressed file");
    return true;
  }
  bool Matches() const {
    return static_cast<uint32_t>(crc_) == entry_.Header().crc32 && written_ == entry_.UncompressedSize();
  }

 private:
  void ReadInput(uint8_t* buffer, size_t count) {
    if (archive_.Read(buffer, count) != count) throw FatalUnzipError("Premature end of file reached");
    compressedLeft_ -= count;
  }
  size_t NextChunk() const { return static_cast<size_t>(std::min<uint64_t>(kChunk, compressedLeft_)); }

  void DecodeStored() {
    while (compressedLeft_ > 0) {
      const size_t n = NextChunk();
      ReadInput(output_.data(), n);
      WriteOut(output_.data(), n);
    }
  }

  void DecodeDeflated() {
    z_stream zs{};
    auto refill = [&] {
      const size_t n = NextChunk();
      ReadInput(input_.data(), n);
      zs.next_in = input_.data();
      zs.avail_in = static_cast<uInt>(n);
    };
    refill();
    if (inflateInit2(&zs, -15) < 0) throw InflateError("error");
    struct End {
      z_stream& zs;
      ~End() { inflateEnd(&zs); }
    } end{zs};
    zs.next_out = output_.data();
    zs.avail_out = kChunk;
    for (;;) {
      if (zs.avail_in == 0 && compressedLeft_ > 0) refill();
      const int r = inflate(&zs, Z_NO_FLUSH);
      if (r == Z_NEED_DICT || (r < 0 && r != Z_BUF_ERROR)) throw InflateError("error");
      const size_t produced = kChunk - zs.avail_out;
      if (zs.avail_out == 0 || r == Z_STREAM_END) {
        WriteOut(output_.data(), produced);
        zs.next_out = output_.data();
        zs.avail_out = kChunk;
      }
      if (r == Z_STREAM_END) break;
      if (zs.avail_in == 0 && compressedLeft_ == 0 && zs.avail_out != 0) {
        // All compressed data is used up, yet the stream has not ended.
        throw IncompleteDeflateError("Incomplete deflate stream");
      }
    }
  }

  void WriteOut(const uint8_t* data, size_t count) {
    if (written_ + count > entry_.UncompressedSize()) {
      throw BiggerThanUncompressedError("File is larger than uncompressed size!");
    }
    if (out_.Write(data, count) != count) throw OutputWriteError("Cant write uncompressed file");
    crc_ = crc32(crc_, data, static_cast<uInt>(count));
    target_.Decoded(data, count);
    written_ += count;
  }

  BufferedStream& archive_;
  const ZipEntry& entry_;
  BufferedStream& out_;
  IExtractionTarget& target_;
  uint64_t compressedLeft_;
  uint64_t written_ = 0;
  uLong crc_ = crc32(0L, Z_NULL, 0);  // zlib's running CRC-32
  std::vector<uint8_t> input_ = std::vector<uint8_t>(kChunk + 1);
  std::vector<uint8_t> output_ = std::vector<uint8_t>(kChunk + 1);
};

}  // namespace

bool IsDecodedMethod(uint16_t method) { return method == kStored || method == kDeflated; }

bool DecodeEntry(BufferedStream& archive, int64_t dataStart, const ZipEntry& entry, BufferedStream& out,
                 IExtractionTarget& target) {
  archive.Seek(dataStart, SeekFromStart);
  Decoder decoder(archive, entry, out, target);
  return decoder.Run() && decoder.Matches();
}

}  // namespace zip
