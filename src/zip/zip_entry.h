#pragma once
// The records a zip archive is read into: one entry of the central
// directory, and the end-of-central-directory record with its Zip64 parts.
#include <cstdint>
#include <optional>
#include <string>

namespace zip {

inline constexpr uint32_t kLocalSignature = 0x04034B50;
inline constexpr uint32_t kCentralSignature = 0x02014B50;
inline constexpr uint32_t kEndSignature = 0x06054B50;
inline constexpr uint32_t kZip64EndSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

// Clamps the parts of an MS-DOS date/time (time low 16 bits, date high 16
// bits) into range; an in-range value comes back unchanged.
uint32_t FixDosDateTime(uint32_t dosDateTime);

// The fixed fields of an entry's header as stored. A field holding its
// all-ones value stands for the value in the entry's Zip64 record.
struct EntryHeader {
  uint16_t versionMadeBy = 45;
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t compressionMethod = 8;
  uint32_t dateTime = 0;
  uint32_t crc32 = 0xFFFFFFFF;
  uint32_t compressedSize32 = 0;
  uint32_t uncompressedSize32 = 0;
  uint16_t extraFieldLength = 0;
  uint16_t localExtraFieldLength = 0;
  uint16_t commentLength = 0;
  uint16_t diskNumberStart16 = 0;
  uint16_t internalAttributes = 1;
  uint32_t externalAttributes = 0x20;
  uint32_t localHeaderOffset32 = 0;
};

// The Zip64 block (header ID 1) of an entry's extra field.
struct Zip64Extra {
  uint16_t headerId = 1;
  uint16_t dataSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t compressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint32_t diskNumberStart = 0;
};

class ZipEntry {
 public:
  const EntryHeader& Header() const { return header_; }
  void SetHeader(const EntryHeader& header) { header_ = header; }
  // Forgets an extra field that turned out not to be there.
  void DropExtraField() { header_.extraFieldLength = 0; }
  const std::optional<Zip64Extra>& Zip64() const { return zip64_; }
  void SetZip64(const std::optional<Zip64Extra>& record) { zip64_ = record; }

  const std::string& FileName() const { return fileName_; }
  const std::string& Directory() const { return directory_; }
  // Length of folder and name together, as a header would hold it.
  uint16_t NameLength() const;
  void SetFileName(const std::string& name) { fileName_ = name; }
  void SetDirectory(const std::string& dir);  // a trailing backslash is added
  // Splits "dir\sub\name" after the last backslash or colon.
  void SetFullName(const std::string& fullName);

  // 64-bit views: the Zip64 record's value when the field holds its escape.
  uint64_t CompressedSize() const;
  uint64_t UncompressedSize() const;
  uint64_t LocalHeaderOffset() const;
  uint32_t DiskNumberStart() const;
  // Values that do not fit the field go to the Zip64 record (made when
  // missing) and the field holds the escape.
  void SetCompressedSize(uint64_t v);
  void SetUncompressedSize(uint64_t v);
  void SetLocalHeaderOffset(uint64_t v);
  void SetDiskNumberStart(uint32_t v);

  bool Encrypted() const { return header_.flags & 0x0001; }
  bool HasDataDescriptor() const { return header_.flags & 0x0008; }

 private:
  Zip64Extra& WritableZip64();  // made when missing
  EntryHeader header_;
  std::optional<Zip64Extra> zip64_;
  std::string fileName_;
  std::string directory_;
};

// The end-of-central-directory record as stored, less its signature.
struct EndRecordFields {
  uint16_t thisDisk16 = 0;
  uint16_t centralDisk16 = 0;
  uint16_t entriesThisDisk16 = 0;
  uint16_t totalEntries16 = 0;
  uint32_t centralSize = 0;
  uint32_t centralOffset32 = 0;
  uint16_t commentLength = 0;
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

// The end record with the Zip64 locator and end record found before it.
class EndOfCentralDirectory {
 public:
  EndOfCentralDirectory() = default;
  EndOfCentralDirectory(const EndRecordFields& fields, const std::optional<Zip64Locator>& locator,
                        const std::optional<Zip64EndRecord>& zip64End)
      : fields_(fields), locator_(locator), zip64End_(zip64End) {}

  const EndRecordFields& Fields() const { return fields_; }
  uint16_t CommentLength() const { return fields_.commentLength; }
  const std::optional<Zip64Locator>& Locator() const { return locator_; }
  const std::optional<Zip64EndRecord>& Zip64End() const { return zip64End_; }

  // 64-bit views: the Zip64 end record's value when the field holds its
  // escape.
  uint32_t ThisDisk() const;
  uint32_t CentralDisk() const;
  uint64_t TotalEntries() const;
  uint64_t CentralOffset() const;
  // Values that do not fit the field go to the Zip64 end record (made with
  // its locator when missing) and the field holds the escape.
  void SetThisDisk(uint32_t v);
  void SetCentralDisk(uint32_t v);
  void SetTotalEntries(uint64_t v);  // on this disk and in all
  void SetCentralOffset(uint64_t v);
  void Reset() { *this = EndOfCentralDirectory(); }

 private:
  Zip64EndRecord& WritableZip64End();  // made with its locator when missing
  EndRecordFields fields_;
  std::optional<Zip64Locator> locator_;
  std::optional<Zip64EndRecord> zip64End_;
};

}  // namespace zip
