#pragma once
// A file opened for unbuffered byte access. Archives are read with writers
// shut out; extracted files are created (or truncated) for writing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/os_error.h"

namespace platform {

enum class FileMode {
  // Read only; other programs may read but not write while it is open
  // (Windows: FILE_SHARE_READ; natively a shared advisory lock).
  ReadDenyWrite,
  // Create or truncate for reading and writing, others shut out.
  Create,
  // Create or truncate for reading and writing; others may read it.
  CreateReadable,
  // Create a file that does not exist yet (nor any link by its name), for
  // reading and writing, others shut out.
  CreateNew,
  // Open an existing file for reading and writing while nobody else has it
  // open, and shut everybody else out.
  OpenExclusive,
};

// "Cannot open file "<path>". <system text>"
class FileOpenError : public OsError {
 public:
  using OsError::OsError;
  static FileOpenError For(const std::string& path) {
    const std::string text = LastErrorText();
    return FileOpenError("Cannot open file \"" + path + "\". " + text, text);
  }
};
// "Cannot create file "<path>". <system text>"
class FileCreateError : public OsError {
 public:
  using OsError::OsError;
  static FileCreateError For(const std::string& path) {
    const std::string text = LastErrorText();
    return FileCreateError("Cannot create file \"" + path + "\". " + text, text);
  }
};

class FileStream {
 public:
  FileStream(const std::string& path, FileMode mode);  // FileOpenError / FileCreateError
  ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Short counts only at the end of the file (read) or on a failure (write).
  size_t Read(void* buffer, size_t count);
  size_t Write(const void* buffer, size_t count);
  // origin: 0 beginning, 1 current, 2 end. Returns the new position, or -1
  // when the system refused.
  int64_t Seek(int64_t offset, int origin);
  int64_t Size();
  bool SetSize(int64_t size);
  // Asks the system to write its cached data of the file to the disk
  // (FlushFileBuffers / fsync).
  bool FlushToDisk();
  // Renames the open file through its handle (a file by the new name is
  // replaced) and keeps it open; path() is the new path afterwards. Needs
  // FileMode::Create or CreateNew (those open it with delete access). OsError
  // "无法把文件“<old>”改名为“<new>”：<system text>" on failure.
  void RenameTo(const std::string& newPath);
  const std::string& path() const { return path_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string path_;
};

}  // namespace platform
