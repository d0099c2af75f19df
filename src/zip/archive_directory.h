#pragma once
// The directory of a zip archive: its entries in the order of their place in
// the archive, read from the central directory, or rebuilt from the local
// headers when the central directory cannot be trusted.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/buffer_stream.h"
#include "zip/entry_list.h"
#include "zip/zip_entry.h"

namespace zip {

// The buffer the archive is read through.
inline constexpr size_t kArchiveBufferSize = 8192;

class ArchiveDirectory {
 public:
  // Reads the directory of `archive`, whose file is called `name` (the
  // local headers of a self-extracting ".exe" are looked for behind its
  // program). IncompleteZipError without an end record, BadZipFileError when
  // the directory is unusable and no local header is found.
  ArchiveDirectory(BufferedStream& archive, const std::string& name);
  ArchiveDirectory(const ArchiveDirectory&) = delete;
  ArchiveDirectory& operator=(const ArchiveDirectory&) = delete;

  size_t Count() const { return stored_.Count(); }
  const ZipEntry& Entry(size_t index) const { return stored_.At(index); }
  // The entries came from the local headers.
  bool Rebuilt() const { return rebuilt_; }
  const EndOfCentralDirectory& EndRecord() const { return endRecord_; }
  // False for an entry whose data lies in another part of a multi-part set:
  // when this file is a later part, only its own disk is read.
  bool InThisFile(const ZipEntry& entry) const;

 private:
  bool EndRecordFound();
  void ReadCentralDirectory();
  bool ReadCentralPass(uint64_t archiveSize);
  uint64_t StartCentralPass(uint64_t archiveSize);
  bool ReadNextCentralHeader(ZipEntry& entry, ZipEntry* previous, uint16_t previousExtra);
  ZipEntry* MergeIntoScanned(const ZipEntry& central);
  ZipEntry* Keep(std::unique_ptr<ZipEntry> entry);
  void RebuildOrFail();
  bool RecoveryScan();
  int64_t FindFirstLocalHeader(int64_t start);
  uint64_t ReadLocalHeaders(int64_t size);

  BufferedStream& archive_;
  std::string name_;
  std::vector<std::unique_ptr<ZipEntry>> entries_;  // in the order read
  EntryList stored_;
  EndOfCentralDirectory endRecord_;
  bool rebuilt_ = false;
  uint32_t currentDisk_ = 0;
  bool laterPart_ = false;
};

}  // namespace zip
