// Unzipper, reading side: archive name, opening, the central directory and
// the recovery scan. Extraction is in unzipper_extract.cpp.
#include "zip/unzipper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/file_info.h"
#include "platform/message_pump.h"
#include "platform/ownerless_message_box.h"
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

constexpr size_t kScanYieldBytes = 10240;

}  // namespace

Unzipper::Unzipper() : MessageSink(&platform::OwnerlessMessageBox()) {}

Unzipper::~Unzipper() {
  try {
    ClearArchive();
  } catch (...) {
  }
}

void Unzipper::SetZipName(const std::string& name) {
  if (SameText(name, zipName_)) return;
  if (!name.empty() && name.back() == '?') throw UserCanceledError("User canceled setting zip file name.");
  zipName_ = name;
  size_t fileStart = name.find_last_of("\\/:");
  fileStart = fileStart == std::string::npos ? 0 : fileStart + 1;
  size_t dot = name.find('.', fileStart);
  baseName_ = dot == std::string::npos ? name : name.substr(0, dot);
  FreeLists();
  endRecord_.Reset();
  archiveStream_.reset();
  rebuilt_ = false;
}

void Unzipper::SetSortMode(EntryOrder mode) {
  sortMode_ = mode;
  if (masterList_) RebuildView();
}

void Unzipper::FreeLists() {
  ownViewList_.reset();
  viewList_ = nullptr;
  masterList_.reset();
}

void Unzipper::RebuildView() {
  ownViewList_.reset();
  viewList_ = masterList_.get();
  if (!masterList_ || sortMode_ == EntryOrder::AsStored) return;
  ownViewList_ = std::make_unique<TSortedZip>(1, sortMode_);
  ownViewList_->ownsItems = false;
  for (int i = 0; i < masterList_->Count(); ++i) ownViewList_->Add(masterList_->Item(i));
  viewList_ = ownViewList_.get();
}

int Unzipper::EntryCount() const { return masterList_ ? masterList_->Count() : 0; }

ZipEntry& Unzipper::Entry(int index) const {
  if (!viewList_ || index < 0 || index >= viewList_->Count()) {
    throw ListError("Index " + std::to_string(index) + " is out of range");
  }
  return *viewList_->Entry(index);
}

void Unzipper::YieldPoint() {
  if (DoProcessMessages) platform::PumpThreadMessages();
  if (cancelRequested_) {
    cancelRequested_ = false;
    throw UserCanceledError("User Aborted Operation");
  }
  while (pauseRequested_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    if (DoProcessMessages) platform::PumpThreadMessages();
    if (cancelRequested_) {
      cancelRequested_ = false;
      throw UserCanceledError("User Aborted Operation");
    }
  }
}

void Unzipper::OpenArchive() {
  if (!archiveStream_) {
    archiveStream_ = std::make_unique<BufferedFileStream>(zipName_, bufferSize, false,
                                                           platform::FileMode::ReadDenyWrite);
  }
  if (masterList_ && platform::FileChangeStamp(zipName_).value_or(0) == archiveTime_) return;
  ReadDirectory();
}

void Unzipper::CloseArchive() {
  if (!KeepZipOpen) archiveStream_.reset();
}

void Unzipper::ClearArchive() {
  archiveStream_.reset();
  FreeLists();
  endRecord_.Reset();
  rebuilt_ = false;
  diskCount_ = 1;
  partMode_ = 0;
  zipName_.clear();
  baseName_.clear();
}

void Unzipper::ReadDirectory() {
  archiveTime_ = platform::FileChangeStamp(zipName_).value_or(0);
  FreeLists();
  rebuilt_ = false;
  BufferedStream& in = *archiveStream_;
  bool found = FindEndOfCentral(in, endRecord_);
  if (found && (endRecord_.ThisDisk() > 999 || endRecord_.CentralDisk() > 999 ||
                endRecord_.ThisDisk() < endRecord_.CentralDisk())) {
    found = false;
  }
  if (!found) {
    if (OnInCompleteZip) OnInCompleteZip(*this, IncompleteZipMode);
    switch (IncompleteZipMode) {
      case IncompleteArchive::AssumeNotAZip: throw NotAZipFileError("Not a valid zip file!");
      case IncompleteArchive::AssumeMultiPart: throw IncompleteZipError("Incomplete Zip File");
      case IncompleteArchive::AssumeDamaged:
        if (!RecoveryScan()) {
          ClearArchive();
          throw BadZipFileError("Not a valid zip file!");
        }
        break;
    }
  }
  ReadCentralDirectory();
  RebuildView();
}

void Unzipper::ReadCentralDirectory() {
  BufferedStream& in = *archiveStream_;
  const int64_t archiveSize = in.Size();
  bool restart = true;
  while (restart) {
    restart = false;
    currentDisk_ = endRecord_.ThisDisk();
    // Other parts of a multi-part set are not read: what this file holds is
    // all there is.
    partMode_ = currentDisk_ != 0 ? 2 : 0;
    const uint64_t total = endRecord_.TotalEntries();
    if (total > 0) {
      uint64_t offset = endRecord_.CentralOffset();
      in.Seek(static_cast<int64_t>(std::min<uint64_t>(offset, static_cast<uint64_t>(archiveSize))), 0);
    }
    if (!rebuilt_) masterList_ = std::make_unique<TSortedZip>(2, EntryOrder::AsStored);
    diskCount_ = currentDisk_ + 1;
    ZipEntry* previous = nullptr;
    uint16_t previousExtra = 0;
    for (uint64_t i = 0; i < total; ++i) {
      YieldPoint();
      auto entry = std::make_unique<ZipEntry>();
      entry->oemConvert = OEMConvert;
      bool ok = ReadCentralHeader(*entry, in);
      if (!ok && previous && previousExtra > 0) {
        // The previous entry's extra field may not be there at all.
        previous->extraFieldLength = 0;
        in.Seek(-static_cast<int64_t>(previousExtra), 1);
        ok = ReadCentralHeader(*entry, in);
      }
      if (!ok) {
        if (rebuilt_) break;
        if (partMode_ != 0 || !RecoveryScan()) {
          ClearArchive();
          throw BadZipFileError("Not a valid zip file!");
        }
        restart = true;
        break;
      }
      const int64_t skip = static_cast<int64_t>(entry->extraFieldLength) + entry->commentLength;
      const uint16_t extra = entry->extraFieldLength;
      ZipEntry* kept = nullptr;
      if (rebuilt_) {
        int at = 0;
        if (masterList_->Find(entry.get(), at)) {
          ZipEntry* match = masterList_->Entry(at);
          const uint64_t scannedOffset = match->LocalHeaderOffset();
          *match = *entry;
          match->SetLocalHeaderOffset(scannedOffset);
          kept = match;
        }
      } else {
        try {
          masterList_->Add(entry.get());
          kept = entry.release();
        } catch (const ListError&) {
          // Two entries claim the same local header: the directory cannot be
          // trusted, rebuild it from the local headers.
          if (!RecoveryScan()) {
            ClearArchive();
            throw BadZipFileError("Not a valid zip file!");
          }
          restart = true;
          break;
        }
      }
      in.Seek(skip, 1);
      previous = kept;
      previousExtra = kept ? extra : 0;
    }
  }
}

bool Unzipper::RecoveryScan() {
  FreeLists();
  rebuilt_ = true;
  BufferedStream& in = *archiveStream_;
  const int64_t size = in.Size();
  int64_t start = SameText(Extension(zipName_), ".EXE") ? 14000 : 0;
  if (start > size) start = size;
  in.Seek(start, 0);
  uint8_t sig[4];
  std::memcpy(sig, &kLocalSignature, 4);  // little-endian hosts only (x86)
  // Byte-by-byte search for the signature plus a plausible version.
  int64_t pos = start;
  int64_t found = -1;
  size_t matched = 0;
  size_t sinceYield = 0;
  uint8_t chunk[16384];
  while (found < 0) {
    size_t got = in.Read(chunk, sizeof chunk);
    if (got == 0) break;
    for (size_t i = 0; i < got; ++i) {
      if (++sinceYield >= kScanYieldBytes) {
        sinceYield = 0;
        YieldPoint();
      }
      const uint8_t b = chunk[i];
      if (matched < 4) {
        matched = b == sig[matched] ? matched + 1 : (b == sig[0] ? 1 : 0);
        continue;
      }
      // Two bytes after the signature: version needed, high byte below 10.
      if (matched == 4) {
        matched = 5;
        continue;
      }
      if (b < 10) {
        found = pos + static_cast<int64_t>(i) - 5;
        break;
      }
      matched = b == sig[0] ? 1 : 0;
    }
    pos += static_cast<int64_t>(got);
  }
  if (found < 0) return false;
  in.Seek(found, 0);
  masterList_ = std::make_unique<TSortedZip>(2, EntryOrder::AsStored);
  uint64_t count = 0;
  for (;;) {
    auto entry = std::make_unique<ZipEntry>();
    entry->oemConvert = OEMConvert;
    if (!ReadLocalHeader(*entry, in)) break;
    YieldPoint();
    // A claimed size near the top of the range must not wrap round to a
    // small step.
    uint64_t advance = 0;
    if (__builtin_add_overflow(entry->CompressedSize(),
                               uint64_t{entry->localExtraFieldLength} + (entry->HasDataDescriptor() ? 16 : 0),
                               &advance)) {
      advance = UINT64_MAX;
    }
    const int64_t here = in.Position();
    try {
      masterList_->Add(entry.get());
      entry.release();
      ++count;
    } catch (const ListError&) {
      break;
    }
    if (advance > static_cast<uint64_t>(size - here)) {
      in.Seek(size, 0);
      break;
    }
    in.Seek(here + static_cast<int64_t>(advance), 0);
  }
  endRecord_.SetThisDisk(0);
  endRecord_.centralDisk16 = 0;
  endRecord_.SetTotalEntries(count);
  endRecord_.SetCentralOffset(static_cast<uint64_t>(in.Position()));
  diskCount_ = 1;
  return true;
}

int Unzipper::Message(int id, const std::string& text, const std::string& title, uint32_t flags) {
  if (OnHandleMessage) {
    int result = 0;
    OnHandleMessage(*this, id, text, title, flags, result);
    return result;
  }
  return MessageSink ? MessageSink->Show(text, title, flags) : 0;
}

}  // namespace zip
