#include "zip/zip_entry.h"

#include <algorithm>

namespace zip {

uint32_t FixDosDateTime(uint32_t v) {
  unsigned hour = (v >> 11) & 0x1F, minute = (v >> 5) & 0x3F, second = (v & 0x1F) * 2;
  unsigned year = ((v >> 25) & 0x7F) + 1980, month = (v >> 21) & 0x0F, day = (v >> 16) & 0x1F;
  bool clamped = false;
  auto clamp = [&clamped](unsigned& x, unsigned lo, unsigned hi) {
    unsigned c = std::clamp(x, lo, hi);
    if (c != x) {
      x = c;
      clamped = true;
    }
  };
  clamp(hour, 0, 23);
  clamp(minute, 0, 59);
  clamp(second, 0, 59);
  clamp(year, 1980, 2099);
  clamp(month, 1, 12);
  clamp(day, 1, 31);
  if (!clamped) return v;
  uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
  uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return (date << 16) | time;
}

ZipEntry::ZipEntry(const ZipEntry& o) : TObject() { *this = o; }

ZipEntry& ZipEntry::operator=(const ZipEntry& o) {
  if (this == &o) return *this;
  versionMadeBy = o.versionMadeBy;
  versionNeeded = o.versionNeeded;
  flags = o.flags;
  compressionMethod = o.compressionMethod;
  dateTime = o.dateTime;
  crc32 = o.crc32;
  compressedSize32 = o.compressedSize32;
  uncompressedSize32 = o.uncompressedSize32;
  nameLength = o.nameLength;
  extraFieldLength = o.extraFieldLength;
  localExtraFieldLength = o.localExtraFieldLength;
  commentLength = o.commentLength;
  diskNumberStart16 = o.diskNumberStart16;
  internalAttributes = o.internalAttributes;
  externalAttributes = o.externalAttributes;
  localHeaderOffset32 = o.localHeaderOffset32;
  centralHeaderOffset = o.centralHeaderOffset;
  zip64 = o.zip64 ? std::make_unique<Zip64Extra>(*o.zip64) : nullptr;
  selected = o.selected;
  marked = o.marked;
  oemConvert = o.oemConvert;
  extraFieldPosition = o.extraFieldPosition;
  extraFieldLengthCopy = o.extraFieldLengthCopy;
  zip64BlockSize = o.zip64BlockSize;
  fileName_ = o.fileName_;
  directory_ = o.directory_;
  return *this;
}

void ZipEntry::UpdateNameLength() {
  nameLength = static_cast<uint16_t>(std::min<size_t>(directory_.size() + fileName_.size(), 0xFFFF));
}

void ZipEntry::SetFileName(const std::string& name) {
  fileName_ = name;
  UpdateNameLength();
}

void ZipEntry::SetDirectory(const std::string& dir) {
  directory_ = dir;
  if (!directory_.empty() && directory_.back() != '\\') directory_ += '\\';
  UpdateNameLength();
}

void ZipEntry::SetFullName(const std::string& fullName) {
  size_t cut = fullName.find_last_of("\\:");
  if (cut == std::string::npos) {
    directory_.clear();
    fileName_ = fullName;
  } else {
    directory_ = fullName.substr(0, cut + 1);
    fileName_ = fullName.substr(cut + 1);
  }
  UpdateNameLength();
}

Zip64Extra& ZipEntry::Zip64() {
  if (!zip64) zip64 = std::make_unique<Zip64Extra>();
  return *zip64;
}

uint64_t ZipEntry::CompressedSize() const {
  return compressedSize32 == 0xFFFFFFFF && zip64 ? zip64->compressedSize : compressedSize32;
}
uint64_t ZipEntry::UncompressedSize() const {
  return uncompressedSize32 == 0xFFFFFFFF && zip64 ? zip64->uncompressedSize : uncompressedSize32;
}
uint64_t ZipEntry::LocalHeaderOffset() const {
  return localHeaderOffset32 == 0xFFFFFFFF && zip64 ? zip64->localHeaderOffset : localHeaderOffset32;
}
uint32_t ZipEntry::DiskNumberStart() const {
  return diskNumberStart16 == 0xFFFF && zip64 ? zip64->diskNumberStart : diskNumberStart16;
}

void ZipEntry::SetCompressedSize(uint64_t v) {
  if (v >= 0xFFFFFFFF) {
    Zip64().compressedSize = v;
    compressedSize32 = 0xFFFFFFFF;
  } else {
    compressedSize32 = static_cast<uint32_t>(v);
  }
}
void ZipEntry::SetUncompressedSize(uint64_t v) {
  if (v >= 0xFFFFFFFF) {
    Zip64().uncompressedSize = v;
    uncompressedSize32 = 0xFFFFFFFF;
  } else {
    uncompressedSize32 = static_cast<uint32_t>(v);
  }
}
void ZipEntry::SetLocalHeaderOffset(uint64_t v) {
  if (v >= 0xFFFFFFFF) {
    Zip64().localHeaderOffset = v;
    localHeaderOffset32 = 0xFFFFFFFF;
  } else {
    localHeaderOffset32 = static_cast<uint32_t>(v);
  }
}
void ZipEntry::SetDiskNumberStart(uint32_t v) {
  if (v >= 0xFFFF) {
    Zip64().diskNumberStart = v;
    diskNumberStart16 = 0xFFFF;
  } else {
    diskNumberStart16 = static_cast<uint16_t>(v);
  }
}

uint32_t EndOfCentralDirectory::ThisDisk() const { return thisDisk16 == 0xFFFF && zip64End ? zip64End->thisDisk : thisDisk16; }
uint32_t EndOfCentralDirectory::CentralDisk() const {
  return centralDisk16 == 0xFFFF && zip64End ? zip64End->centralDisk : centralDisk16;
}
uint64_t EndOfCentralDirectory::TotalEntries() const {
  return totalEntries16 == 0xFFFF && zip64End ? zip64End->totalEntries : totalEntries16;
}
uint64_t EndOfCentralDirectory::CentralOffset() const {
  return centralOffset32 == 0xFFFFFFFF && zip64End ? zip64End->centralOffset : centralOffset32;
}

Zip64EndRecord& EndOfCentralDirectory::Zip64End() {
  if (!zip64End) zip64End = std::make_unique<Zip64EndRecord>();
  if (!zip64Locator) zip64Locator = std::make_unique<Zip64Locator>();
  return *zip64End;
}

void EndOfCentralDirectory::SetThisDisk(uint32_t v) {
  if (v >= 0xFFFF) {
    Zip64End().thisDisk = v;
    thisDisk16 = 0xFFFF;
  } else {
    thisDisk16 = static_cast<uint16_t>(v);
  }
}

void EndOfCentralDirectory::SetTotalEntries(uint64_t v) {
  if (v > 0xFFFE) {
    Zip64End().totalEntries = v;
    Zip64End().entriesThisDisk = v;
    totalEntries16 = entriesThisDisk16 = 0xFFFF;
  } else {
    totalEntries16 = entriesThisDisk16 = static_cast<uint16_t>(v);
  }
}

void EndOfCentralDirectory::SetCentralOffset(uint64_t v) {
  if (v >= 0xFFFFFFFF) {
    Zip64End().centralOffset = v;
    centralOffset32 = 0xFFFFFFFF;
  } else {
    centralOffset32 = static_cast<uint32_t>(v);
  }
}

void EndOfCentralDirectory::Reset() {
  signature = kEndSignature;
  thisDisk16 = centralDisk16 = entriesThisDisk16 = totalEntries16 = 0;
  centralSize = centralOffset32 = 0;
  commentLength = 0;
  comment.reset();
  commentPosition = 0;
  commentModified = false;
  zip64End.reset();
  zip64Locator.reset();
}

}  // namespace zip
