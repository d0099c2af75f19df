#include "zip/stream.h"

#include "zip/zip_errors.h"

namespace zip {

int64_t Stream::Size() {
  int64_t pos = Seek(0, SeekFromCurrent);
  int64_t end = Seek(0, SeekFromEnd);
  Seek(pos, SeekFromStart);
  return end;
}

FileByteStream::FileByteStream(const std::string& path, platform::FileMode mode) {
  try {
    file_ = std::make_unique<platform::FileStream>(path, mode);
  } catch (const platform::FileCreateError& e) {
    throw OutputCreateError(e.what());
  } catch (const platform::FileOpenError& e) {
    throw ArchiveOpenError(e.what());
  }
}

int64_t FileByteStream::Seek(int64_t offset, int origin) {
  int64_t r = file_->Seek(offset, origin);
  if (r < 0) throw StreamError("Seek error");
  return r;
}

int64_t HeldFileByteStream::Seek(int64_t offset, int origin) {
  int64_t r = file_.Seek(offset, origin);
  if (r < 0) throw StreamError("Seek error");
  return r;
}

}  // namespace zip
