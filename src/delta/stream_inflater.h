#pragma once
// One zlib stream lying in a byte range of a patch, inflated piece by piece
// through a fixed input buffer. Several may read one patch: each seeks to
// its own place before it reads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "zip/stream.h"

namespace delta {

class StreamInflater {
 public:
  StreamInflater(zip::Stream& patch, std::uint64_t offset, std::uint64_t length);
  ~StreamInflater();
  StreamInflater(const StreamInflater&) = delete;
  StreamInflater& operator=(const StreamInflater&) = delete;

  // Exactly `count` bytes; PatchError(Truncated) when the stream ends
  // first, (BadStream) when it is no zlib stream.
  void ReadExactly(void* buffer, std::size_t count);
  // PatchError(TrailingData) unless the stream ends here and fills its range.
  void ExpectEnd();

 private:
  std::size_t Read(void* buffer, std::size_t count);
  void Refill();

  struct ZStream;
  std::unique_ptr<ZStream> z_;
  zip::Stream& patch_;
  std::uint64_t next_;       // where the unread compressed bytes start
  std::uint64_t remaining_;  // compressed bytes not read yet
  std::vector<unsigned char> input_;
  bool ended_ = false;
};

}  // namespace delta
