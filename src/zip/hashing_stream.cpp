#include "zip/hashing_stream.h"

#include <string_view>

#include "zip/zip_errors.h"

namespace zip {

size_t HashingStream::Write(const void* buffer, size_t count) {
  const size_t taken = underlying_.Write(buffer, count);
  hash_.Update({static_cast<const char*>(buffer), taken});
  written_ += taken;
  return taken;
}

int64_t HashingStream::Seek(int64_t offset, int origin) {
  if (offset != 0 || origin != SeekFromCurrent) throw StreamError("Seek error");
  return underlying_.Seek(0, SeekFromCurrent);
}

}  // namespace zip
