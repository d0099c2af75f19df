#include "delta/stream_inflater.h"

#include <zlib.h>

#include <algorithm>

#include "delta/patch_error.h"

namespace delta {
namespace {
constexpr std::size_t kInputBuffer = 16 * 1024;
}

// Owns zlib's state: inflateEnd on every way out.
struct StreamInflater::ZStream {
  z_stream s{};
  ZStream() {
    if (inflateInit(&s) != Z_OK) throw PatchError(PatchFault::BadStream, "无法初始化解压缩");
  }
  ~ZStream() { inflateEnd(&s); }
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;
};

StreamInflater::StreamInflater(zip::Stream& patch, std::uint64_t offset, std::uint64_t length)
    : z_(std::make_unique<ZStream>()), patch_(patch), next_(offset), remaining_(length), input_(kInputBuffer) {}

StreamInflater::~StreamInflater() = default;

void StreamInflater::Refill() {
  if (remaining_ == 0) throw PatchError(PatchFault::Truncated, "补丁的数据段提前结束");
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, input_.size()));
  if (patch_.Seek(static_cast<std::int64_t>(next_), zip::SeekFromStart) != static_cast<std::int64_t>(next_) ||
      patch_.Read(input_.data(), count) != count) {
    throw PatchError(PatchFault::ReadFailed, "无法读取补丁");
  }
  next_ += count;
  remaining_ -= count;
  z_->s.next_in = input_.data();
  z_->s.avail_in = static_cast<uInt>(count);
}

std::size_t StreamInflater::Read(void* buffer, std::size_t count) {
  z_stream& s = z_->s;
  s.next_out = static_cast<Bytef*>(buffer);
  s.avail_out = static_cast<uInt>(count);
  while (s.avail_out > 0 && !ended_) {
    if (s.avail_in == 0) Refill();
    const int rc = inflate(&s, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && s.avail_in == 0)) {
      throw PatchError(PatchFault::BadStream, "补丁的数据段已损坏");
    }
  }
  return count - s.avail_out;
}

void StreamInflater::ReadExactly(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) throw PatchError(PatchFault::Truncated, "补丁的数据段提前结束");
}

void StreamInflater::ExpectEnd() {
  unsigned char extra = 0;
  if (Read(&extra, 1) != 0 || z_->s.avail_in != 0 || remaining_ != 0) {
    throw PatchError(PatchFault::TrailingData, "补丁的数据段含有多余的数据");
  }
}

}  // namespace delta
