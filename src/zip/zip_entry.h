#pragma once
// The records a zip archive is read into: one entry of the central
// directory, and the end-of-central-directory record with its Zip64 parts.
#include <cstdint>
#include <memory>
#include <string>

#include "zip/object_list.h"

namespace zip {

inline constexpr uint32_t kLocalSignature = 0x04034B50;
inline constexpr uint32_t kCentralSignature = 0x02014B50;
inline constexpr uint32_t kEndSignature = 0x06054B50;
inline constexpr uint32_t kZip64EndSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

// How entry names made on MS-DOS hosts are converted from the OEM code page.
enum class OemNames { Always, Never, Flexible };

// Clamps the parts of an MS-DOS date/time (time low 16 bits, date high 16
// bits) into range; an in-range value comes back unchanged.
uint32_t FixDosDateTime(uint32_t dosDateTime);

struct Zip64Extra {
  uint16_t headerId = 1;
  uint16_t dataSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t compressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint32_t diskNumberStart = 0;
};

class ZipEntry : public TObject {
 public:
  ZipEntry() = default;
  ZipEntry(const ZipEntry& other);
  ZipEntry& operator=(const ZipEntry& other);
  std::string ClassName() const override { return "ZipEntry"; }

  uint16_t versionMadeBy = 45;
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t compressionMethod = 8;
  uint32_t dateTime = 0;
  uint32_t crc32 = 0xFFFFFFFF;
  uint32_t compressedSize32 = 0;
  uint32_t uncompressedSize32 = 0;
  uint16_t nameLength = 0;
  uint16_t extraFieldLength = 0;
  uint16_t localExtraFieldLength = 0;
  uint16_t commentLength = 0;
  uint16_t diskNumberStart16 = 0;
  uint16_t internalAttributes = 1;
  uint32_t externalAttributes = 0x20;
  uint32_t localHeaderOffset32 = 0;
  uint64_t centralHeaderOffset = 0;
  std::unique_ptr<Zip64Extra> zip64;
  bool selected = false;
  bool marked = false;
  OemNames oemConvert = OemNames::Always;
  uint64_t extraFieldPosition = 0;
  uint16_t extraFieldLengthCopy = 0;
  uint16_t zip64BlockSize = 0;

  const std::string& FileName() const { return fileName_; }
  const std::string& Directory() const { return directory_; }
  void SetFileName(const std::string& name);
  void SetDirectory(const std::string& dir);  // a trailing backslash is added
  // Splits "dir\sub\name" after the last backslash or colon.
  void SetFullName(const std::string& fullName);

  // 64-bit views: the Zip64 record's value when the field holds its escape.
  uint64_t CompressedSize() const;
  uint64_t UncompressedSize() const;
  uint64_t LocalHeaderOffset() const;
  uint32_t DiskNumberStart() const;
  void SetCompressedSize(uint64_t v);
  void SetUncompressedSize(uint64_t v);
  void SetLocalHeaderOffset(uint64_t v);
  void SetDiskNumberStart(uint32_t v);

  bool Encrypted() const { return flags & 0x0001; }
  bool HasDataDescriptor() const { return flags & 0x0008; }

 private:
  Zip64Extra& Zip64();
  void UpdateNameLength();
  std::string fileName_;
  std::string directory_;
};

struct Zip64EndRecord {
  uint32_t signature = kZip64EndSignature;
  uint64_t recordSize = 44;
  uint16_t versionMadeBy = 45;
  uint16_t versionNeeded = 45;
  uint32_t thisDisk = 0;
  uint32_t centralDisk = 0;
  uint64_t entriesThisDisk = 0;
  uint64_t totalEntries = 0;
  uint64_t centralSize = 0;
  uint64_t centralOffset = 0;
};

struct Zip64Locator {
  uint32_t signature = kZip64LocatorSignature;
  uint32_t zip64EndDisk = 0;
  uint64_t zip64EndOffset = 0;
  uint32_t totalDisks = 1;
};

class EndOfCentralDirectory {
 public:
  uint32_t signature = kEndSignature;
  uint16_t thisDisk16 = 0;
  uint16_t centralDisk16 = 0;
  uint16_t entriesThisDisk16 = 0;
  uint16_t totalEntries16 = 0;
  uint32_t centralSize = 0;
  uint32_t centralOffset32 = 0;
  uint16_t commentLength = 0;
  std::unique_ptr<std::string> comment;  // absent until loaded
  uint64_t commentPosition = 0;
  bool commentModified = false;
  std::unique_ptr<Zip64EndRecord> zip64End;
  std::unique_ptr<Zip64Locator> zip64Locator;

  uint32_t ThisDisk() const;
  uint32_t CentralDisk() const;
  uint64_t TotalEntries() const;
  uint64_t CentralOffset() const;
  void SetThisDisk(uint32_t v);
  void SetTotalEntries(uint64_t v);
  void SetCentralOffset(uint64_t v);
  void Reset();

 private:
  Zip64EndRecord& Zip64End();
};

}  // namespace zip
