#pragma once
// A read/write buffer in front of another stream, so that the many small
// reads of zip headers cost one system call per buffer; BufferedFileStream
// is the same over a file it opens and owns.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "zip/stream.h"

namespace zip {

class BufferedStream : public Stream {
 public:
  // Pending bytes are written on destruction.
  BufferedStream(Stream& underlying, size_t bufferSize);
  ~BufferedStream() override;
  BufferedStream(const BufferedStream&) = delete;
  BufferedStream& operator=(const BufferedStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override;
  bool SetSize(int64_t size) override;
  // Writes the pending bytes; false when fewer could be written.
  bool Flush();

 protected:
  // Derived classes that own the underlying stream flush before it goes.
  void FinishBeforeDestroy();

 private:
  enum class Mode { Idle, Reading, Writing };
  // The logical position: the underlying one less the unread read-ahead,
  // or plus the pending writes.
  int64_t LogicalPosition() const;
  // Empties the buffer and takes it up for `mode`.
  void Restart(Mode mode);

  Stream& underlying_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0;   // read or write position in the buffer
  size_t end_ = 0;   // end of valid data while reading
  Mode mode_ = Mode::Idle;
  bool finished_ = false;
  int64_t underPos_ = 0;  // the underlying stream's position as we left it
};

namespace detail {
// Opens the file before the buffer is built over it.
struct FileOwner {
  FileOwner(const std::string& path, platform::FileMode mode) : file(path, mode) {}
  FileByteStream file;
};
}  // namespace detail

class BufferedFileStream : private detail::FileOwner, public BufferedStream {
 public:
  // ArchiveOpenError / OutputCreateError when the file cannot be opened.
  BufferedFileStream(const std::string& path, size_t bufferSize, platform::FileMode mode);
  ~BufferedFileStream() override;
};

}  // namespace zip
