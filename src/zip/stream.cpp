#include "zip/stream.h"

#include <algorithm>
#include <cstring>

#include "zip/zip_errors.h"

namespace zip {

int64_t Stream::Size() {
  int64_t pos = Seek(0, 1);
  int64_t end = Seek(0, 2);
  Seek(pos, 0);
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

size_t MemoryStream::Read(void* buffer, size_t count) {
  if (pos_ >= data_.size()) return 0;
  size_t n = std::min(count, data_.size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

size_t MemoryStream::Write(const void* buffer, size_t count) {
  count = std::min(count, writeLimit_ - written_);
  if (count == 0) return 0;
  if (pos_ + count > data_.size()) data_.resize(pos_ + count);
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
  written_ += count;
  return count;
}

int64_t MemoryStream::Seek(int64_t offset, int origin) {
  int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(pos_) : static_cast<int64_t>(data_.size());
  int64_t target = base + offset;
  if (target < 0) throw StreamError("Seek error");
  pos_ = static_cast<size_t>(target);
  return target;
}

bool MemoryStream::SetSize(int64_t size) {
  if (size < 0) return false;
  data_.resize(static_cast<size_t>(size));
  pos_ = std::min(pos_, data_.size());
  return true;
}

}  // namespace zip
