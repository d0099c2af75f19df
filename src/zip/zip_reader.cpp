#include "zip/zip_reader.h"

#include <algorithm>
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
constexpr size_t kLocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kMaxTail = 65535 + kEndRecordSize;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
// A Zip64 block at the start of a local extra field: ID, size and the four
// values.
constexpr size_t kLocalZip64Size = 32;

// ---- End of the central directory ----

EndRecordFields ParseEndRecord(const uint8_t* r) {
  EndRecordFields f;
  f.thisDisk16 = Get16(r + 4);
  f.centralDisk16 = Get16(r + 6);
  f.entriesThisDisk16 = Get16(r + 8);
  f.totalEntries16 = Get16(r + 10);
  f.centralSize = Get32(r + 12);
  f.centralOffset32 = Get32(r + 16);
  f.commentLength = Get16(r + 20);
  return f;
}

Zip64Locator ParseLocator(const uint8_t* l) {
  Zip64Locator loc;
  loc.signature = Get32(l);
  loc.zip64EndDisk = Get32(l + 4);
  loc.zip64EndOffset = Get64(l + 8);
  loc.totalDisks = Get32(l + 16);
  return loc;
}

Zip64EndRecord ParseZip64End(const uint8_t* z) {
  Zip64EndRecord rec;
  rec.signature = Get32(z);
  rec.recordSize = Get64(z + 4);
  rec.versionMadeBy = Get16(z + 12);
  rec.versionNeeded = Get16(z + 14);
  rec.thisDisk = Get32(z + 16);
  rec.centralDisk = Get32(z + 20);
  rec.entriesThisDisk = Get64(z + 24);
  rec.totalEntries = Get64(z + 32);
  rec.centralSize = Get64(z + 40);
  rec.centralOffset = Get64(z + 48);
  return rec;
}

// The Zip64 end record the locator points at. An offset beyond the archive
// cannot hold the record; it stays absent.
std::optional<Zip64EndRecord> ReadZip64End(BufferedStream& archive, uint64_t offset, uint64_t archiveSize) {
  if (archiveSize < kZip64EndSize || offset > archiveSize - kZip64EndSize) return std::nullopt;
  uint8_t z[kZip64EndSize];
  archive.Seek(static_cast<int64_t>(offset), SeekFromStart);
  if (archive.Read(z, sizeof z) != sizeof z || Get32(z) != kZip64EndSignature) return std::nullopt;
  return ParseZip64End(z);
}

// Where in `tail` the end record nearest its end starts.
std::optional<size_t> LastEndRecord(const std::vector<uint8_t>& tail) {
  for (size_t off = tail.size() - kEndRecordSize + 1; off-- > 0;) {
    if (tail[off] == (kEndSignature & 0xFF) && Get32(&tail[off]) == kEndSignature) return off;
  }
  return std::nullopt;
}

// ---- Entry headers ----

// The fields local and central headers share, "version needed" to the
// uncompressed size (at offset 4 of a local header, 6 of a central one).
void ParseSharedFields(const uint8_t* p, EntryHeader& h) {
  h.versionNeeded = Get16(p);
  h.flags = Get16(p + 2);
  h.compressionMethod = Get16(p + 4);
  h.dateTime = FixDosDateTime(Get32(p + 6));
  h.crc32 = Get32(p + 10);
  h.compressedSize32 = Get32(p + 14);
  h.uncompressedSize32 = Get32(p + 18);
}

// Reads a fixed header of N bytes with the given signature and the name that
// follows it (its length at nameLengthAt). On a short read or another
// signature the stream goes back to where it was and nothing is returned.
template <size_t N>
bool ReadHeaderAndName(BufferedStream& archive, uint32_t signature, size_t nameLengthAt, uint8_t (&h)[N],
                       std::string& name, int64_t& start) {
  start = archive.Position();
  if (archive.Read(h, N) != N || Get32(h) != signature) {
    archive.Seek(start, SeekFromStart);
    return false;
  }
  const uint16_t nameLen = Get16(h + nameLengthAt);
  name.assign(nameLen, '\0');
  if (archive.Read(name.data(), nameLen) != nameLen) {
    archive.Seek(start, SeekFromStart);
    return false;
  }
  return true;
}

// The Zip64 record of a central header's extra field at the current
// position; the position stays.
std::optional<Zip64Extra> ReadCentralZip64(BufferedStream& archive, const EntryHeader& header) {
  const int64_t extraPos = archive.Position();
  std::string extra(header.extraFieldLength, '\0');
  extra.resize(archive.Read(extra.data(), extra.size()));
  archive.Seek(extraPos, SeekFromStart);
  return ParseZip64Extra(header, extra);
}

// A Zip64 block at the start of a local extra field at the current
// position, read whole whatever size it states; the position stays.
std::optional<Zip64Extra> ReadLocalZip64(BufferedStream& archive) {
  const int64_t extraPos = archive.Position();
  uint8_t z[kLocalZip64Size];
  std::optional<Zip64Extra> rec;
  if (archive.Read(z, sizeof z) == sizeof z && Get16(z) == 1) {
    rec.emplace();
    rec->headerId = Get16(z);
    rec->dataSize = Get16(z + 2);
    rec->uncompressedSize = Get64(z + 4);
    rec->compressedSize = Get64(z + 12);
    rec->localHeaderOffset = Get64(z + 20);
    rec->diskNumberStart = Get32(z + 28);
  }
  archive.Seek(extraPos, SeekFromStart);
  return rec;
}

}  // namespace

bool FindEndOfCentral(BufferedStream& archive, EndOfCentralDirectory& end) {
  const int64_t size = archive.Size();
  if (size < static_cast<int64_t>(kEndRecordSize)) {
    if (size != 0) return false;
    end.Reset();
    return true;
  }
  std::vector<uint8_t> tail(static_cast<size_t>(std::min<int64_t>(size, kMaxTail)));
  archive.Seek(size - static_cast<int64_t>(tail.size()), SeekFromStart);
  if (archive.Read(tail.data(), tail.size()) != tail.size()) return false;
  const std::optional<size_t> at = LastEndRecord(tail);
  if (!at) return false;
  const uint8_t* record = &tail[*at];
  std::optional<Zip64Locator> locator;
  std::optional<Zip64EndRecord> zip64End;
  if (*at >= kLocatorSize && Get32(record - kLocatorSize) == kZip64LocatorSignature) {
    locator = ParseLocator(record - kLocatorSize);
    zip64End = ReadZip64End(archive, locator->zip64EndOffset, static_cast<uint64_t>(size));
  }
  end = EndOfCentralDirectory(ParseEndRecord(record), locator, zip64End);
  return true;
}

std::string EntryNameText(const std::string& stored, bool fromMsDos) {
  std::string text = fromMsDos ? platform::OemToUtf8(stored) : platform::AnsiToUtf8(stored);
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

std::optional<Zip64Extra> ParseZip64Extra(const EntryHeader& header, const std::string& extra) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(extra.data());
  std::optional<Zip64Extra> found;
  size_t pos = 0;
  while (pos + 4 <= extra.size()) {
    const uint16_t id = Get16(p + pos), len = Get16(p + pos + 2);
    const size_t data = pos + 4;
    const size_t dataEnd = std::min(extra.size(), data + len);
    if (id == 0x0001) {
      Zip64Extra rec;
      rec.headerId = id;
      rec.dataSize = len;
      // Only the escaped fields have a value here, in this order.
      size_t q = data;
      auto take64 = [&](uint64_t& out) {
        if (q + 8 <= dataEnd) {
          out = Get64(p + q);
          q += 8;
        }
      };
      if (header.uncompressedSize32 == 0xFFFFFFFF) take64(rec.uncompressedSize);
      if (header.compressedSize32 == 0xFFFFFFFF) take64(rec.compressedSize);
      if (header.localHeaderOffset32 == 0xFFFFFFFF) take64(rec.localHeaderOffset);
      if (header.diskNumberStart16 == 0xFFFF && q + 4 <= dataEnd) rec.diskNumberStart = Get32(p + q);
      found = rec;
    }
    pos = data + len;
  }
  return found;
}

bool ReadCentralHeader(ZipEntry& entry, BufferedStream& archive) {
  int64_t start = 0;
  uint8_t h[kCentralHeaderSize];
  std::string name;
  if (!ReadHeaderAndName(archive, kCentralSignature, 28, h, name, start)) return false;
  EntryHeader header;
  header.versionMadeBy = Get16(h + 4);
  ParseSharedFields(h + 6, header);
  header.extraFieldLength = Get16(h + 30);
  header.commentLength = Get16(h + 32);
  header.diskNumberStart16 = Get16(h + 34);
  header.internalAttributes = Get16(h + 36);
  header.externalAttributes = Get32(h + 38);
  header.localHeaderOffset32 = Get32(h + 42);
  entry.SetHeader(header);
  entry.SetFullName(EntryNameText(name, (header.versionMadeBy >> 8) == 0));
  entry.SetZip64(header.extraFieldLength > 0 ? ReadCentralZip64(archive, header) : std::nullopt);
  return true;
}

bool ReadLocalHeader(ZipEntry& entry, BufferedStream& archive) {
  int64_t start = 0;
  uint8_t h[kLocalHeaderSize];
  std::string name;
  if (!ReadHeaderAndName(archive, kLocalSignature, 26, h, name, start)) return false;
  // What only the central header holds is zero here.
  EntryHeader header;
  header.versionMadeBy = 0;
  ParseSharedFields(h + 4, header);
  header.localExtraFieldLength = Get16(h + 28);
  header.internalAttributes = 0;
  header.externalAttributes = 0;
  entry.SetHeader(header);
  entry.SetZip64(std::nullopt);
  entry.SetLocalHeaderOffset(static_cast<uint64_t>(start));
  entry.SetFullName(EntryNameText(name, true));
  if (header.localExtraFieldLength > 0) {
    std::optional<Zip64Extra> rec = ReadLocalZip64(archive);
    if (rec) {
      if (entry.Header().localHeaderOffset32 == 0xFFFFFFFF) rec->localHeaderOffset = static_cast<uint64_t>(start);
      entry.SetZip64(rec);
    }
  }
  return true;
}

}  // namespace zip
