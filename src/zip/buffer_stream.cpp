#include "zip/buffer_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "zip/zip_errors.h"

namespace zip {

BufferedStream::BufferedStream(Stream& underlying, size_t bufferSize)
    : underlying_(underlying), buffer_(std::max<size_t>(bufferSize, 1)) {
  underPos_ = underlying_.Position();
}

BufferedStream::~BufferedStream() { FinishBeforeDestroy(); }

void BufferedStream::FinishBeforeDestroy() {
  if (finished_) return;
  finished_ = true;
  try {
    if (mode_ == Mode::Writing) Flush();
  } catch (...) {
    // Nothing can be reported from a destructor; the data that could be
    // written has been.
  }
}

void BufferedStream::Restart(Mode mode) {
  pos_ = end_ = 0;
  mode_ = mode;
}

int64_t BufferedStream::LogicalPosition() const {
  switch (mode_) {
    case Mode::Reading: return underPos_ - static_cast<int64_t>(end_ - pos_);
    case Mode::Writing: return underPos_ + static_cast<int64_t>(pos_);
    case Mode::Idle: break;
  }
  return underPos_;
}

bool BufferedStream::Flush() {
  if (mode_ != Mode::Writing) return true;
  size_t pending = pos_;
  size_t wrote = pending ? underlying_.Write(buffer_.data(), pending) : 0;
  underPos_ += static_cast<int64_t>(wrote);
  Restart(Mode::Idle);
  return wrote == pending;
}

size_t BufferedStream::Read(void* out, size_t count) {
  if (mode_ == Mode::Writing) Flush();
  uint8_t* dest = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < count) {
    if (pos_ >= end_ || mode_ != Mode::Reading) {
      if (mode_ != Mode::Reading) Restart(Mode::Reading);
      // A large read past an empty buffer goes straight to the caller.
      if (count - done >= buffer_.size()) {
        size_t got = underlying_.Read(dest + done, count - done);
        underPos_ += static_cast<int64_t>(got);
        pos_ = end_ = 0;
        done += got;
        break;
      }
      end_ = underlying_.Read(buffer_.data(), buffer_.size());
      underPos_ += static_cast<int64_t>(end_);
      pos_ = 0;
      if (end_ == 0) break;
    }
    size_t n = std::min(count - done, end_ - pos_);
    std::memcpy(dest + done, buffer_.data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return done;
}

size_t BufferedStream::Write(const void* in, size_t count) {
  if (mode_ == Mode::Reading) {
    // Drop the read-ahead: writing continues at the logical position.
    underPos_ = underlying_.Seek(LogicalPosition(), SeekFromStart);
    Restart(Mode::Idle);
  }
  const uint8_t* src = static_cast<const uint8_t*>(in);
  size_t done = 0;
  while (done < count) {
    if (mode_ != Mode::Writing) Restart(Mode::Writing);
    if (pos_ == 0 && count - done >= buffer_.size()) {
      size_t wrote = underlying_.Write(src + done, count - done);
      underPos_ += static_cast<int64_t>(wrote);
      done += wrote;
      if (wrote == 0) break;
      continue;
    }
    size_t n = std::min(count - done, buffer_.size() - pos_);
    std::memcpy(buffer_.data() + pos_, src + done, n);
    pos_ += n;
    done += n;
    if (pos_ == buffer_.size() && !Flush()) break;
  }
  if (mode_ == Mode::Writing && pos_ == 0) mode_ = Mode::Idle;
  return done;
}

int64_t BufferedStream::Seek(int64_t offset, int origin) {
  const int64_t logical = LogicalPosition();
  int64_t target;
  switch (origin) {
    case SeekFromStart: target = offset; break;
    case SeekFromCurrent: target = logical + offset; break;
    case SeekFromEnd: {
      int64_t end = std::max(underPos_ + static_cast<int64_t>(mode_ == Mode::Writing ? pos_ : 0), underlying_.Size());
      target = end - std::llabs(offset);
      break;
    }
    default: throw StreamError("Invalid seek origin (" + std::to_string(origin) + ")");
  }
  if (target == logical) return target;
  if (target < 0) throw StreamError("Seek error");
  if (mode_ == Mode::Reading && target >= underPos_ - static_cast<int64_t>(end_) && target <= underPos_) {
    // Still inside the read-ahead: no system call needed.
    pos_ = static_cast<size_t>(target - (underPos_ - static_cast<int64_t>(end_)));
    return target;
  }
  if (mode_ == Mode::Writing && !Flush()) throw StreamError("Seek error");
  underPos_ = underlying_.Seek(target, SeekFromStart);
  Restart(Mode::Idle);
  return target;
}

int64_t BufferedStream::Size() {
  int64_t pending = mode_ == Mode::Writing ? static_cast<int64_t>(pos_) : 0;
  return std::max(underlying_.Size(), underPos_ + pending);
}

bool BufferedStream::SetSize(int64_t size) {
  int64_t logical = Position();
  if (mode_ == Mode::Writing && !Flush()) return false;
  Restart(Mode::Idle);
  bool ok = underlying_.SetSize(size);
  underPos_ = underlying_.Seek(std::min(logical, size), SeekFromStart);
  return ok;
}

BufferedFileStream::BufferedFileStream(const std::string& path, size_t bufferSize, platform::FileMode mode)
    : detail::FileOwner(path, mode), BufferedStream(file, bufferSize) {}

BufferedFileStream::~BufferedFileStream() { FinishBeforeDestroy(); }

}  // namespace zip
