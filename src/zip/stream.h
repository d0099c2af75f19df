#pragma once
// Byte streams under the buffered stream, and the one over a file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_stream.h"

namespace zip {

enum SeekOrigin : int { SeekFromStart = 0, SeekFromCurrent = 1, SeekFromEnd = 2 };

class Stream {
 public:
  virtual ~Stream() = default;
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // origin: a SeekOrigin; returns the new position.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Size();
  virtual bool SetSize(int64_t size) = 0;
  int64_t Position() { return Seek(0, SeekFromCurrent); }
};

// Open failures come as ArchiveOpenError / OutputCreateError.
class FileByteStream : public Stream {
 public:
  FileByteStream(const std::string& path, platform::FileMode mode);
  size_t Read(void* buffer, size_t count) override { return file_->Read(buffer, count); }
  size_t Write(const void* buffer, size_t count) override { return file_->Write(buffer, count); }
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return file_->Size(); }
  bool SetSize(int64_t size) override { return file_->SetSize(size); }

 private:
  std::unique_ptr<platform::FileStream> file_;
};

// A file its owner opened and keeps open (and so keeps unchanged), read
// through that same handle.
class HeldFileByteStream : public Stream {
 public:
  explicit HeldFileByteStream(platform::FileStream& file) : file_(file) {}
  size_t Read(void* buffer, size_t count) override { return file_.Read(buffer, count); }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return file_.Size(); }
  bool SetSize(int64_t) override { return false; }

 private:
  platform::FileStream& file_;
};

}  // namespace zip
