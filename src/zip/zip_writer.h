#pragma once
// ZipWriter: builds a zip archive from files and folders, for the tool that
// publishes update packages. Entries are deflated, or stored when deflating
// does not make them smaller; no Zip64, data descriptors or encryption, so
// every size, offset and count stays below its field's all-ones value.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "zip/zip_errors.h"

namespace zip {

// A file that cannot be read or written, or a name, size or entry count the
// archive cannot hold: "无法读取文件“<path>”：<system text>" and the like.
class ZipWriteError : public ZipError {
 public:
  using ZipError::ZipError;
};

namespace detail {
// What the central directory repeats of an entry already written.
struct WrittenEntry {
  std::string name;
  uint16_t method = 0;
  uint32_t dosDateTime = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t externalAttributes = 0;
  uint32_t offset = 0;  // of the local header
};
class SourceFile;
}  // namespace detail

class ZipWriter {
 public:
  // Creates or truncates the archive file.
  explicit ZipWriter(const std::string& archivePath);
  // An archive that was not finished is removed: a half-written package
  // must not be published.
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // nameInZip: the bytes to store ('/' between folders; ASCII or code-page
  // bytes). dosDateTime: local MS-DOS date/time, as
  // platform::FileDosDateTime gives it. The source is read in blocks, up to
  // the size it had when opened. A refused entry leaves the archive as it
  // was.
  void AddFile(const std::string& nameInZip, const std::string& sourcePath, uint32_t dosDateTime);
  // nameInZip ends with '/'.
  void AddDirectory(const std::string& nameInZip, uint32_t dosDateTime);
  // Writes the central directory and the end record, and closes the file.
  void Finish();

 private:
  void CheckNewEntry(const std::string& name, bool directory) const;
  void CheckWritable() const;
  void WriteData(detail::WrittenEntry& entry, detail::SourceFile& source);
  void Deflate(detail::SourceFile& source);
  void Store(detail::SourceFile& source);
  void WriteOrRollBack(uint64_t start, const std::function<void()>& write);
  void Append(const std::string& bytes) { Append(bytes.data(), bytes.size()); }
  void Append(const void* data, size_t size);
  void Overwrite(uint64_t offset, const std::string& bytes);
  void Truncate(uint64_t size);
  ZipWriteError WriteError() const;

  std::string path_;
  std::unique_ptr<platform::FileStream> out_;
  std::vector<detail::WrittenEntry> entries_;
  uint64_t end_ = 0;  // what has been written so far
  bool finished_ = false;
  // A failed write could not be taken back: the archive cannot be finished.
  bool broken_ = false;
};

}  // namespace zip
