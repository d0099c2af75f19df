#pragma once
// A stream written from start to end that hashes and counts the bytes on
// their way to the stream under it, so that a file just written need not be
// read back to be checked.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/crypto.h"
#include "zip/stream.h"

namespace zip {

class HashingStream : public Stream {
 public:
  explicit HashingStream(Stream& underlying) : underlying_(underlying) {}
  HashingStream(const HashingStream&) = delete;
  HashingStream& operator=(const HashingStream&) = delete;

  // Only the bytes the stream under it took are hashed and counted.
  size_t Write(const void* buffer, size_t count) override;
  // Nothing is read back and the position never moves: the digest is of the
  // bytes in the order written. A move is a StreamError.
  size_t Read(void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return underlying_.Size(); }
  bool SetSize(int64_t) override { return false; }

  std::uint64_t written() const { return written_; }
  // The SHA-256 of the bytes written; nothing more is written then.
  std::string Finish() { return hash_.Finish(); }

 private:
  Stream& underlying_;
  platform::Sha256 hash_;
  std::uint64_t written_ = 0;
};

}  // namespace zip
