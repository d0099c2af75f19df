#pragma once
// A byte stream over a block of memory, for tests of what reads and writes
// through zip::Stream; writes can be cut off after a given count.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "zip/stream.h"
#include "zip/zip_errors.h"

namespace testing_support {

class MemoryStream : public zip::Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  size_t Read(void* buffer, size_t count) override {
    if (pos_ >= data_.size()) return 0;
    const size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  size_t Write(const void* buffer, size_t count) override {
    count = std::min(count, writeLimit_ - written_);
    if (count == 0) return 0;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
    written_ += count;
    return count;
  }
  int64_t Seek(int64_t offset, int origin) override {
    const int64_t base = origin == zip::SeekFromStart     ? 0
                         : origin == zip::SeekFromCurrent ? static_cast<int64_t>(pos_)
                                                          : static_cast<int64_t>(data_.size());
    const int64_t target = base + offset;
    if (target < 0) throw zip::StreamError("Seek error");
    pos_ = static_cast<size_t>(target);
    return target;
  }
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  bool SetSize(int64_t size) override {
    if (size < 0) return false;
    data_.resize(static_cast<size_t>(size));
    pos_ = std::min(pos_, data_.size());
    return true;
  }

  const std::string& Data() const { return data_; }
  // Writes beyond this many bytes in all are refused.
  void LimitWrites(size_t maxBytes) { writeLimit_ = maxBytes; }

 private:
  std::string data_;
  size_t pos_ = 0;
  size_t writeLimit_ = SIZE_MAX;
  size_t written_ = 0;
};

}  // namespace testing_support
