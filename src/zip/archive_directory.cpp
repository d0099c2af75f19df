#include "zip/archive_directory.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "zip/zip_errors.h"
#include "zip/zip_reader.h"

namespace zip {
namespace {

bool IsExeName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return base::SameTextByLocale(path.substr(dot), ".EXE");
}

// A self-extracting archive: its entries come after the program.
constexpr int64_t kSelfExtractorSize = 14000;
constexpr uint8_t kLocalSignatureBytes[4] = {0x50, 0x4B, 0x03, 0x04};
// Bytes a local header takes after its signature before the high byte of
// "version needed", which the scan checks too.
constexpr size_t kScanMatchBeforeVersion = 5;
// The high byte of "version needed" of a plausible local header is below this.
constexpr uint8_t kScanMaxVersionHigh = 10;

}  // namespace

ArchiveDirectory::ArchiveDirectory(BufferedStream& archive, const std::string& name) : archive_(archive), name_(name) {
  if (!EndRecordFound()) throw IncompleteZipError("Incomplete Zip File");
  ReadCentralDirectory();
}

bool ArchiveDirectory::InThisFile(const ZipEntry& entry) const {
  return !laterPart_ || entry.DiskNumberStart() == currentDisk_;
}

// An end record with implausible disk numbers counts as none.
bool ArchiveDirectory::EndRecordFound() {
  if (!FindEndOfCentral(archive_, endRecord_)) return false;
  return endRecord_.ThisDisk() <= 999 && endRecord_.CentralDisk() <= 999 &&
         endRecord_.ThisDisk() >= endRecord_.CentralDisk();
}

void ArchiveDirectory::RebuildOrFail() {
  if (!RecoveryScan()) throw BadZipFileError("Not a valid zip file!");
}

void ArchiveDirectory::ReadCentralDirectory() {
  // Measured once: the stream's size grows with a position sought beyond
  // the end.
  const uint64_t archiveSize = static_cast<uint64_t>(archive_.Size());
  // A pass that had to fall back to the recovery scan starts over, and
  // then completes the scanned entries.
  while (!ReadCentralPass(archiveSize)) {
  }
}

// Positions the archive at the central directory; returns how many entries
// the end record counts.
uint64_t ArchiveDirectory::StartCentralPass(uint64_t archiveSize) {
  currentDisk_ = endRecord_.ThisDisk();
  laterPart_ = currentDisk_ != 0;
  const uint64_t total = endRecord_.TotalEntries();
  if (total > 0) {
    archive_.Seek(static_cast<int64_t>(std::min(endRecord_.CentralOffset(), archiveSize)), SeekFromStart);
  }
  if (!rebuilt_) {
    entries_.clear();
    stored_ = EntryList();
  }
  return total;
}

// False when the pass gave way to the recovery scan.
bool ArchiveDirectory::ReadCentralPass(uint64_t archiveSize) {
  const uint64_t total = StartCentralPass(archiveSize);
  ZipEntry* previous = nullptr;
  uint16_t previousExtra = 0;
  for (uint64_t i = 0; i < total; ++i) {
    auto entry = std::make_unique<ZipEntry>();
    if (!ReadNextCentralHeader(*entry, previous, previousExtra)) {
      // Fewer headers than counted: a rebuilt list keeps what it has.
      if (rebuilt_) return true;
      if (laterPart_) throw BadZipFileError("Not a valid zip file!");
      RebuildOrFail();
      return false;
    }
    const int64_t skip = static_cast<int64_t>(entry->Header().extraFieldLength) + entry->Header().commentLength;
    const uint16_t extra = entry->Header().extraFieldLength;
    ZipEntry* kept = rebuilt_ ? MergeIntoScanned(*entry) : Keep(std::move(entry));
    if (!kept && !rebuilt_) {
      // Two entries claim the same local header: the directory cannot be
      // trusted, rebuild it from the local headers.
      RebuildOrFail();
      return false;
    }
    archive_.Seek(skip, SeekFromCurrent);
    previous = kept;
    previousExtra = kept ? extra : 0;
  }
  return true;
}

// Reads the next central header. When there is none, the previous entry's
// extra field may not be there at all: it is dropped and the header looked
// for where the field would have started.
bool ArchiveDirectory::ReadNextCentralHeader(ZipEntry& entry, ZipEntry* previous, uint16_t previousExtra) {
  if (ReadCentralHeader(entry, archive_)) return true;
  if (!previous || previousExtra == 0) return false;
  previous->DropExtraField();
  archive_.Seek(-static_cast<int64_t>(previousExtra), SeekFromCurrent);
  return ReadCentralHeader(entry, archive_);
}

// The scanned entry at the central entry's place takes the central record,
// keeping the offset where its header was found; null when there is none.
ZipEntry* ArchiveDirectory::MergeIntoScanned(const ZipEntry& central) {
  size_t at = 0;
  if (!stored_.Find(central, at)) return nullptr;
  ZipEntry& match = stored_.At(at);
  const uint64_t scannedOffset = match.LocalHeaderOffset();
  match = central;
  match.SetLocalHeaderOffset(scannedOffset);
  return &match;
}

// Takes the entry into the directory; null when another one is at its place.
ZipEntry* ArchiveDirectory::Keep(std::unique_ptr<ZipEntry> entry) {
  if (!stored_.Add(entry.get())) return nullptr;
  entries_.push_back(std::move(entry));
  return entries_.back().get();
}

// Rebuilds the directory from the local headers, from the first plausible
// one on; false when there is none.
bool ArchiveDirectory::RecoveryScan() {
  stored_ = EntryList();
  entries_.clear();
  rebuilt_ = true;
  const int64_t size = archive_.Size();
  const int64_t start = std::min(IsExeName(name_) ? kSelfExtractorSize : 0, size);
  const int64_t found = FindFirstLocalHeader(start);
  if (found < 0) return false;
  archive_.Seek(found, SeekFromStart);
  const uint64_t count = ReadLocalHeaders(size);
  endRecord_.SetThisDisk(0);
  endRecord_.SetCentralDisk(0);
  endRecord_.SetTotalEntries(count);
  endRecord_.SetCentralOffset(static_cast<uint64_t>(archive_.Position()));
  return true;
}

// Byte-by-byte search from `start` for a local header signature followed by
// a plausible version; its position, or -1.
int64_t ArchiveDirectory::FindFirstLocalHeader(int64_t start) {
  archive_.Seek(start, SeekFromStart);
  int64_t pos = start;
  size_t matched = 0;
  uint8_t chunk[16384];
  for (;;) {
    const size_t got = archive_.Read(chunk, sizeof chunk);
    if (got == 0) return -1;
    for (size_t i = 0; i < got; ++i) {
      const uint8_t b = chunk[i];
      if (matched < sizeof kLocalSignatureBytes) {
        matched = b == kLocalSignatureBytes[matched] ? matched + 1 : (b == kLocalSignatureBytes[0] ? 1 : 0);
      } else if (matched < kScanMatchBeforeVersion) {
        ++matched;  // the low byte of "version needed"
      } else if (b < kScanMaxVersionHigh) {
        return pos + static_cast<int64_t>(i) - static_cast<int64_t>(kScanMatchBeforeVersion);
      } else {
        matched = b == kLocalSignatureBytes[0] ? 1 : 0;
      }
    }
    pos += static_cast<int64_t>(got);
  }
}

// Takes in the local headers one after another from the current position,
// each followed by its data, up to `size`; returns how many were taken.
uint64_t ArchiveDirectory::ReadLocalHeaders(int64_t size) {
  uint64_t count = 0;
  for (;;) {
    auto entry = std::make_unique<ZipEntry>();
    if (!ReadLocalHeader(*entry, archive_)) break;
    // A claimed size near the top of the range must not wrap round to a
    // small step.
    uint64_t advance = 0;
    if (__builtin_add_overflow(entry->CompressedSize(),
                               uint64_t{entry->Header().localExtraFieldLength} + (entry->HasDataDescriptor() ? 16 : 0),
                               &advance)) {
      advance = UINT64_MAX;
    }
    const int64_t here = archive_.Position();
    if (!Keep(std::move(entry))) break;
    ++count;
    if (advance > static_cast<uint64_t>(size - here)) {
      archive_.Seek(size, SeekFromStart);
      break;
    }
    archive_.Seek(here + static_cast<int64_t>(advance), SeekFromStart);
  }
  return count;
}

}  // namespace zip
