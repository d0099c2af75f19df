// Unzipper, reading side: archive name, opening, the central directory and
// the recovery scan. Extraction is in unzipper_extract.cpp.
#include "zip/unzipper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "platform/file_info.h"
#include "platform/message_pump.h"
#include "zip/zip_reader.h"

namespace zip {
namespace {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::string Extension(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

// A self-extracting archive: its entries come after the program.
constexpr int64_t kSelfExtractorSize = 14000;
constexpr size_t kScanYieldBytes = 10240;
constexpr uint8_t kLocalSignatureBytes[4] = {0x50, 0x4B, 0x03, 0x04};
// Bytes a local header takes after its signature before the high byte of
// "version needed", which the scan checks too.
constexpr size_t kScanMatchBeforeVersion = 5;
// The high byte of "version needed" of a plausible local header is below this.
constexpr uint8_t kScanMaxVersionHigh = 10;

}  // namespace

Unzipper::Unzipper(platform::IMessageBox& messageBox) : messageBox_(messageBox) {}

Unzipper::~Unzipper() {
  try {
    ClearArchive();
  } catch (...) {
  }
}

void Unzipper::SetZipName(const std::string& name) {
  if (heldArchive_) {
    archiveStream_.reset();
    heldStream_.reset();
    heldArchive_ = nullptr;
    zipName_.clear();
  }
  if (SameText(name, zipName_)) return;
  if (!name.empty() && name.back() == '?') throw UserCanceledError("User canceled setting zip file name.");
  zipName_ = name;
  DropEntries();
  endRecord_.Reset();
  archiveStream_.reset();
  rebuilt_ = false;
}

void Unzipper::SetArchiveFile(platform::FileStream& file) {
  ClearArchive();
  zipName_ = file.path();
  heldArchive_ = &file;
}

void Unzipper::SetSortMode(EntryOrder mode) {
  sortMode_ = mode;
  if (stored_) RebuildView();
}

void Unzipper::DropEntries() {
  sorted_.reset();
  view_ = nullptr;
  stored_.reset();
  entries_.clear();
}

void Unzipper::RebuildView() {
  sorted_.reset();
  view_ = stored_ ? &*stored_ : nullptr;
  if (!stored_ || sortMode_ == EntryOrder::AsStored) return;
  sorted_.emplace(sortMode_, Duplicates::Accept);
  for (size_t i = 0; i < stored_->Count(); ++i) sorted_->Add(&stored_->At(i));
  view_ = &*sorted_;
}

ZipEntry& Unzipper::Entry(int index) const {
  if (!view_ || index < 0 || static_cast<size_t>(index) >= view_->Count()) {
    throw ListError("Index " + std::to_string(index) + " is out of range");
  }
  return view_->At(static_cast<size_t>(index));
}

void Unzipper::ThrowIfCanceled() {
  if (!cancelRequested_) return;
  cancelRequested_ = false;
  throw UserCanceledError("User Aborted Operation");
}

void Unzipper::YieldPoint() {
  if (settings_.processMessages) platform::PumpThreadMessages();
  ThrowIfCanceled();
  while (pauseRequested_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    if (settings_.processMessages) platform::PumpThreadMessages();
    ThrowIfCanceled();
  }
}

void Unzipper::OpenArchive() {
  if (!archiveStream_ && heldArchive_) {
    heldStream_ = std::make_unique<HeldFileByteStream>(*heldArchive_);
    archiveStream_ = std::make_unique<BufferedStream>(*heldStream_, kBufferSize);
  } else if (!archiveStream_) {
    archiveStream_ = std::make_unique<BufferedFileStream>(zipName_, kBufferSize, false,
                                                          platform::FileMode::ReadDenyWrite);
  }
  if (stored_ && (heldArchive_ || platform::FileChangeStamp(zipName_).value_or(0) == archiveTime_)) return;
  ReadDirectory();
}

void Unzipper::CloseArchive() {
  if (!settings_.keepOpen) archiveStream_.reset();
}

void Unzipper::ClearArchive() {
  archiveStream_.reset();
  heldStream_.reset();
  heldArchive_ = nullptr;
  DropEntries();
  endRecord_.Reset();
  rebuilt_ = false;
  laterPart_ = false;
  zipName_.clear();
}

void Unzipper::ReadDirectory() {
  archiveTime_ = heldArchive_ ? 0 : platform::FileChangeStamp(zipName_).value_or(0);
  DropEntries();
  rebuilt_ = false;
  if (!EndRecordFound()) {
    if (events_.onIncompleteArchive) events_.onIncompleteArchive(*this, settings_.incompleteArchive);
    switch (settings_.incompleteArchive) {
      case IncompleteArchive::AssumeNotAZip: throw NotAZipFileError("Not a valid zip file!");
      case IncompleteArchive::AssumeMultiPart: throw IncompleteZipError("Incomplete Zip File");
      case IncompleteArchive::AssumeDamaged: RebuildOrFail(); break;
    }
  }
  ReadCentralDirectory();
  RebuildView();
}

// An end record with implausible disk numbers counts as none.
bool Unzipper::EndRecordFound() {
  if (!FindEndOfCentral(*archiveStream_, endRecord_)) return false;
  return endRecord_.ThisDisk() <= 999 && endRecord_.CentralDisk() <= 999 &&
         endRecord_.ThisDisk() >= endRecord_.CentralDisk();
}

void Unzipper::RebuildOrFail() {
  if (!RecoveryScan()) FailNotAZip();
}

void Unzipper::FailNotAZip() {
  ClearArchive();
  throw BadZipFileError("Not a valid zip file!");
}

void Unzipper::ReadCentralDirectory() {
  // Measured once: the stream's size grows with a position sought beyond
  // the end.
  const uint64_t archiveSize = static_cast<uint64_t>(archiveStream_->Size());
  // A pass that had to fall back to the recovery scan starts over, and
  // then completes the scanned entries.
  while (!ReadCentralPass(archiveSize)) {
  }
}

// Positions the archive at the central directory; returns how many entries
// the end record counts.
uint64_t Unzipper::StartCentralPass(uint64_t archiveSize) {
  currentDisk_ = endRecord_.ThisDisk();
  laterPart_ = currentDisk_ != 0;
  const uint64_t total = endRecord_.TotalEntries();
  if (total > 0) {
    archiveStream_->Seek(static_cast<int64_t>(std::min(endRecord_.CentralOffset(), archiveSize)), SeekFromStart);
  }
  if (!rebuilt_) {
    entries_.clear();
    stored_.emplace(EntryOrder::AsStored, Duplicates::Refuse);
  }
  return total;
}

// False when the pass gave way to the recovery scan.
bool Unzipper::ReadCentralPass(uint64_t archiveSize) {
  BufferedStream& in = *archiveStream_;
  const uint64_t total = StartCentralPass(archiveSize);
  ZipEntry* previous = nullptr;
  uint16_t previousExtra = 0;
  for (uint64_t i = 0; i < total; ++i) {
    YieldPoint();
    auto entry = std::make_unique<ZipEntry>();
    if (!ReadNextCentralHeader(*entry, previous, previousExtra)) {
      // Fewer headers than counted: a rebuilt list keeps what it has.
      if (rebuilt_) return true;
      if (laterPart_) FailNotAZip();
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
    in.Seek(skip, SeekFromCurrent);
    previous = kept;
    previousExtra = kept ? extra : 0;
  }
  return true;
}

// Reads the next central header. When there is none, the previous entry's
// extra field may not be there at all: it is dropped and the header looked
// for where the field would have started.
bool Unzipper::ReadNextCentralHeader(ZipEntry& entry, ZipEntry* previous, uint16_t previousExtra) {
  BufferedStream& in = *archiveStream_;
  if (ReadCentralHeader(entry, in, settings_.oemNames)) return true;
  if (!previous || previousExtra == 0) return false;
  previous->DropExtraField();
  in.Seek(-static_cast<int64_t>(previousExtra), SeekFromCurrent);
  return ReadCentralHeader(entry, in, settings_.oemNames);
}

// The scanned entry at the central entry's place takes the central record,
// keeping the offset where its header was found; null when there is none.
ZipEntry* Unzipper::MergeIntoScanned(const ZipEntry& central) {
  size_t at = 0;
  if (!stored_->Find(central, at)) return nullptr;
  ZipEntry& match = stored_->At(at);
  const uint64_t scannedOffset = match.LocalHeaderOffset();
  match = central;
  match.SetLocalHeaderOffset(scannedOffset);
  return &match;
}

// Takes the entry into the directory; null when another one is at its place.
ZipEntry* Unzipper::Keep(std::unique_ptr<ZipEntry> entry) {
  try {
    stored_->Add(entry.get());
  } catch (const ListError&) {
    return nullptr;
  }
  entries_.push_back(std::move(entry));
  return entries_.back().get();
}

// Rebuilds the directory from the local headers, from the first plausible
// one on; false when there is none.
bool Unzipper::RecoveryScan() {
  DropEntries();
  rebuilt_ = true;
  BufferedStream& in = *archiveStream_;
  const int64_t size = in.Size();
  const int64_t start = std::min(SameText(Extension(zipName_), ".EXE") ? kSelfExtractorSize : 0, size);
  const int64_t found = FindFirstLocalHeader(start);
  if (found < 0) return false;
  in.Seek(found, SeekFromStart);
  stored_.emplace(EntryOrder::AsStored, Duplicates::Refuse);
  const uint64_t count = ReadLocalHeaders(size);
  endRecord_.SetThisDisk(0);
  endRecord_.SetCentralDisk(0);
  endRecord_.SetTotalEntries(count);
  endRecord_.SetCentralOffset(static_cast<uint64_t>(in.Position()));
  return true;
}

// Byte-by-byte search from `start` for a local header signature followed by
// a plausible version; its position, or -1.
int64_t Unzipper::FindFirstLocalHeader(int64_t start) {
  BufferedStream& in = *archiveStream_;
  in.Seek(start, SeekFromStart);
  int64_t pos = start;
  size_t matched = 0;
  size_t sinceYield = 0;
  uint8_t chunk[16384];
  for (;;) {
    const size_t got = in.Read(chunk, sizeof chunk);
    if (got == 0) return -1;
    for (size_t i = 0; i < got; ++i) {
      if (++sinceYield >= kScanYieldBytes) {
        sinceYield = 0;
        YieldPoint();
      }
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
uint64_t Unzipper::ReadLocalHeaders(int64_t size) {
  BufferedStream& in = *archiveStream_;
  uint64_t count = 0;
  for (;;) {
    auto entry = std::make_unique<ZipEntry>();
    if (!ReadLocalHeader(*entry, in, settings_.oemNames)) break;
    YieldPoint();
    // A claimed size near the top of the range must not wrap round to a
    // small step.
    uint64_t advance = 0;
    if (__builtin_add_overflow(entry->CompressedSize(),
                               uint64_t{entry->Header().localExtraFieldLength} + (entry->HasDataDescriptor() ? 16 : 0),
                               &advance)) {
      advance = UINT64_MAX;
    }
    const int64_t here = in.Position();
    if (!Keep(std::move(entry))) break;
    ++count;
    if (advance > static_cast<uint64_t>(size - here)) {
      in.Seek(size, SeekFromStart);
      break;
    }
    in.Seek(here + static_cast<int64_t>(advance), SeekFromStart);
  }
  return count;
}

int Unzipper::Message(int id, const std::string& text, const std::string& title, uint32_t flags) {
  if (events_.onMessage) {
    int result = 0;
    events_.onMessage(*this, id, text, title, flags, result);
    return result;
  }
  return messageBox_.Show(text, title, flags);
}

}  // namespace zip
