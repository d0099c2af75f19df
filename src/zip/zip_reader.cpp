#include "zip/zip_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/codepage.h"

namespace zip {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxTail = 65535 + kEndRecordSize;

}  // namespace

bool FindEndOfCentral(BufferedStream& archive, EndOfCentralDirectory& end) {
  const int64_t size = archive.Size();
  if (size < static_cast<int64_t>(kEndRecordSize)) {
    if (size != 0) return false;
    end.Reset();
    return true;
  }
  const size_t blockLen = static_cast<size_t>(std::min<int64_t>(size, kMaxTail));
  std::vector<uint8_t> block(blockLen);
  archive.Seek(size - static_cast<int64_t>(blockLen), 0);
  if (archive.Read(block.data(), blockLen) != blockLen) return false;
  for (size_t off = blockLen - kEndRecordSize + 1; off-- > 0;) {
    if (block[off] != (kEndSignature & 0xFF) || Get32(&block[off]) != kEndSignature) continue;
    const uint8_t* r = &block[off];
    end.Reset();
    end.signature = Get32(r);
    end.thisDisk16 = Get16(r + 4);
    end.centralDisk16 = Get16(r + 6);
    end.entriesThisDisk16 = Get16(r + 8);
    end.totalEntries16 = Get16(r + 10);
    end.centralSize = Get32(r + 12);
    end.centralOffset32 = Get32(r + 16);
    end.commentLength = Get16(r + 20);
    end.commentPosition = static_cast<uint64_t>(size) - blockLen + off + kEndRecordSize;
    if (off >= 20 && Get32(r - 20) == kZip64LocatorSignature) {
      const uint8_t* l = r - 20;
      auto loc = std::make_unique<Zip64Locator>();
      loc->signature = Get32(l);
      loc->zip64EndDisk = Get32(l + 4);
      loc->zip64EndOffset = Get64(l + 8);
      loc->totalDisks = Get32(l + 16);
      uint8_t z[56];
      // An offset beyond the archive cannot hold the record; it stays absent.
      const uint64_t archiveSize = static_cast<uint64_t>(size);
      if (archiveSize >= sizeof z && loc->zip64EndOffset <= archiveSize - sizeof z) {
        archive.Seek(static_cast<int64_t>(loc->zip64EndOffset), 0);
        if (archive.Read(z, sizeof z) == sizeof z && Get32(z) == kZip64EndSignature) {
          auto rec = std::make_unique<Zip64EndRecord>();
          rec->signature = Get32(z);
          rec->recordSize = Get64(z + 4);
          rec->versionMadeBy = Get16(z + 12);
          rec->versionNeeded = Get16(z + 14);
          rec->thisDisk = Get32(z + 16);
          rec->centralDisk = Get32(z + 20);
          rec->entriesThisDisk = Get64(z + 24);
          rec->totalEntries = Get64(z + 32);
          rec->centralSize = Get64(z + 40);
          rec->centralOffset = Get64(z + 48);
          end.zip64End = std::move(rec);
        }
      }
      end.zip64Locator = std::move(loc);
    }
    return true;
  }
  return false;
}

std::string EntryNameText(const std::string& stored, OemNames mode, bool fromMsDos, uint16_t versionMadeBy) {
  bool oem = false;
  if (fromMsDos) {
    oem = mode == OemNames::Always ||
          (mode == OemNames::Flexible && (versionMadeBy & 0x0B00) != 0x0B00);
  }
  std::string text = oem ? platform::OemToUtf8(stored) : platform::AnsiToUtf8(stored);
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

void ParseZip64Extra(ZipEntry& entry, const std::string& extra) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(extra.data());
  size_t pos = 0;
  while (pos + 4 <= extra.size()) {
    uint16_t id = Get16(p + pos), len = Get16(p + pos + 2);
    size_t data = pos + 4;
    size_t dataEnd = std::min(extra.size(), data + len);
    if (id == 0x0001) {
      auto rec = std::make_unique<Zip64Extra>();
      rec->headerId = id;
      rec->dataSize = len;
      size_t q = data;
      auto take64 = [&](uint64_t& out) {
        if (q + 8 <= dataEnd) {
          out = Get64(p + q);
          q += 8;
        }
      };
      if (entry.uncompressedSize32 == 0xFFFFFFFF) take64(rec->uncompressedSize);
      if (entry.compressedSize32 == 0xFFFFFFFF) take64(rec->compressedSize);
      if (entry.localHeaderOffset32 == 0xFFFFFFFF) take64(rec->localHeaderOffset);
      if (entry.diskNumberStart16 == 0xFFFF && q + 4 <= dataEnd) rec->diskNumberStart = Get32(p + q);
      entry.zip64 = std::move(rec);
      entry.zip64BlockSize = static_cast<uint16_t>(len + 4);
    }
    pos = data + len;
  }
}

namespace {

// Reads a fixed header of N bytes with the given signature and the name that
// follows it (its length at nameLengthAt). On a short read or another
// signature the stream goes back to where it was and nothing is returned.
template <size_t N>
bool ReadHeaderAndName(BufferedStream& archive, uint32_t signature, size_t nameLengthAt, uint8_t (&h)[N],
                       std::string& name, int64_t& start) {
  start = archive.Position();
  if (archive.Read(h, N) != N || Get32(h) != signature) {
    archive.Seek(start, 0);
    return false;
  }
  const uint16_t nameLen = Get16(h + nameLengthAt);
  name.assign(nameLen, '\0');
  if (archive.Read(name.data(), nameLen) != nameLen) {
    archive.Seek(start, 0);
    return false;
  }
  return true;
}

}  // namespace

bool ReadCentralHeader(ZipEntry& entry, BufferedStream& archive) {
  int64_t start = 0;
  uint8_t h[46];
  std::string name;
  if (!ReadHeaderAndName(archive, kCentralSignature, 28, h, name, start)) return false;
  entry.versionMadeBy = Get16(h + 4);
  entry.versionNeeded = Get16(h + 6);
  entry.flags = Get16(h + 8);
  entry.compressionMethod = Get16(h + 10);
  entry.dateTime = FixDosDateTime(Get32(h + 12));
  entry.crc32 = Get32(h + 16);
  entry.compressedSize32 = Get32(h + 20);
  entry.uncompressedSize32 = Get32(h + 24);
  entry.extraFieldLength = Get16(h + 30);
  entry.commentLength = Get16(h + 32);
  entry.diskNumberStart16 = Get16(h + 34);
  entry.internalAttributes = Get16(h + 36);
  entry.externalAttributes = Get32(h + 38);
  entry.localHeaderOffset32 = Get32(h + 42);
  entry.centralHeaderOffset = static_cast<uint64_t>(start);
  entry.SetFullName(EntryNameText(name, entry.oemConvert, (entry.versionMadeBy >> 8) == 0, entry.versionMadeBy));
  entry.selected = entry.marked = false;
  entry.zip64.reset();
  if (entry.extraFieldLength > 0) {
    const int64_t extraPos = archive.Position();
    entry.extraFieldPosition = static_cast<uint64_t>(extraPos);
    entry.extraFieldLengthCopy = entry.extraFieldLength;
    std::string extra(entry.extraFieldLength, '\0');
    extra.resize(archive.Read(extra.data(), extra.size()));
    ParseZip64Extra(entry, extra);
    archive.Seek(extraPos, 0);
  }
  return true;
}

bool ReadLocalHeader(ZipEntry& entry, BufferedStream& archive) {
  int64_t start = 0;
  uint8_t h[30];
  std::string name;
  if (!ReadHeaderAndName(archive, kLocalSignature, 26, h, name, start)) return false;
  entry.versionMadeBy = 0;
  entry.versionNeeded = Get16(h + 4);
  entry.flags = Get16(h + 6);
  entry.compressionMethod = Get16(h + 8);
  entry.dateTime = FixDosDateTime(Get32(h + 10));
  entry.crc32 = Get32(h + 14);
  entry.compressedSize32 = Get32(h + 18);
  entry.uncompressedSize32 = Get32(h + 22);
  entry.localExtraFieldLength = Get16(h + 28);
  entry.extraFieldLength = entry.commentLength = 0;
  entry.diskNumberStart16 = 0;
  entry.internalAttributes = 0;
  entry.externalAttributes = 0;
  entry.localHeaderOffset32 = 0;
  entry.zip64.reset();
  entry.SetLocalHeaderOffset(static_cast<uint64_t>(start));
  entry.SetFullName(EntryNameText(name, entry.oemConvert, true, 0));
  if (entry.localExtraFieldLength > 0) {
    const int64_t nameEnd = archive.Position();
    uint8_t z[32];
    if (archive.Read(z, sizeof z) == sizeof z && Get16(z) == 1) {
      auto rec = std::make_unique<Zip64Extra>();
      rec->headerId = Get16(z);
      rec->dataSize = Get16(z + 2);
      rec->uncompressedSize = Get64(z + 4);
      rec->compressedSize = Get64(z + 12);
      rec->localHeaderOffset = Get64(z + 20);
      rec->diskNumberStart = Get32(z + 28);
      if (entry.localHeaderOffset32 == 0xFFFFFFFF) rec->localHeaderOffset = static_cast<uint64_t>(start);
      entry.zip64 = std::move(rec);
    }
    archive.Seek(nameEnd, 0);
  }
  return true;
}

}  // namespace zip
