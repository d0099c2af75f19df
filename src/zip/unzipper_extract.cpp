// Unzipper, extraction side: selection, the overwrite rule, decoding into a
// temporary file and replacing the target once the CRC matched.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "platform/file_info.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "zip/dest_path.h"
#include "zip/unzipper.h"

namespace zip {

struct Unzipper::Run {
  std::vector<uint8_t> input = std::vector<uint8_t>(32769);
  std::vector<uint8_t> output = std::vector<uint8_t>(32769);
  ZipEntry current;      // working copy; compressed bytes are counted down here
  uint64_t compressedLeft = 0;
  uLong crc = 0;               // zlib's running CRC-32 (pre- and post-inverted inside)
  int selectedCount = 0;
  int64_t totalBytes = 0;
  uint64_t writtenAll = 0;
  uint64_t writtenEntry = 0;
  int processed = 0;
  bool retry = false;
};

namespace {

constexpr size_t kChunk = 32768;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool WildcardMatch(const char* mask, const char* text) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*text) {
    if (*mask == '*') {
      star = mask++;
      resume = text;
    } else if (*mask == '?' || *mask == *text) {
      ++mask;
      ++text;
    } else if (star) {
      mask = star + 1;
      text = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

int Percent(uint64_t part, uint64_t whole) {
  if (whole == 0) return 0;
  double p = std::round(static_cast<double>(part) * 100.0 / static_cast<double>(whole));
  return p > 100.0 ? 100 : static_cast<int>(p);
}

// The attribute bits an extracted file may carry (read-only, hidden, system,
// archive); the rest of the field is host-specific.
uint32_t FileAttributesOf(uint32_t external) {
  uint32_t a = external & 0x27;
  return a ? a : 0x80;  // FILE_ATTRIBUTE_NORMAL stands alone
}

std::string ParentFolder(const std::string& path) {
  size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Sizes come from the archive and may claim anything: totals stop at the
// limits instead of wrapping.
int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? INT64_MAX : INT64_MIN;
}

int64_t ClaimedSize(uint64_t size) { return static_cast<int64_t>(std::min<uint64_t>(size, INT64_MAX)); }

// An entry that fails on its own; the run goes on.
struct EntryFailed {};

}  // namespace

void Unzipper::SetDestDir(const std::string& dir) {
  if (dir == "?") throw UserCanceledError("User canceled Set Destination Directory");
  destDir_ = dir;
  if (!destDir_.empty() && destDir_.back() == '\\') destDir_.pop_back();
}

void Unzipper::SetRootDir(const std::string& dir) {
  rootDir_ = dir;
  if (!rootDir_.empty() && rootDir_.back() != '\\') rootDir_ += '\\';
  RelativePathList.clear();
  RelativePathList.push_back(rootDir_);
}

void Unzipper::OpenArchiveWithRetry() {
  bool retried = false;
  for (;;) {
    try {
      OpenArchive();
      CloseArchive();
      return;
    } catch (const IncompleteZipError&) {
      archiveStream_.reset();
      if (OnInCompleteZip && !retried) {
        retried = true;
        continue;
      }
      return;
    } catch (...) {
      ClearArchive();
      throw;
    }
  }
}

int Unzipper::ExtractFiles() {
  cancelRequested_ = false;
  failedCount_ = 0;
  if (destDir_ == "?") return 0;
  OpenArchiveWithRetry();
  OpenArchive();
  int count = ExtractLoop();
  CloseArchive();
  return count;
}

int Unzipper::ExtractLoop() {
  const bool keepWas = KeepZipOpen;
  KeepZipOpen = true;
  Run run;
  run_ = &run;
  struct Finish {
    Unzipper& z;
    Run& run;
    bool keepWas;
    ~Finish() {
      z.FilesList.clear();
      z.run_ = nullptr;
      if (z.OnUnZipComplete) {
        try {
          z.OnUnZipComplete(z, run.processed);
        } catch (...) {
        }
      }
      z.KeepZipOpen = keepWas;
    }
  } finish{*this, run, keepWas};

  if (!destDir_.empty() && !platform::DirectoryExists(destDir_)) platform::CreateFolderPath(destDir_);
  const int count = EntryCount();
  run.selectedCount = count;
  std::vector<std::string> masks;
  for (const std::string& m : FilesList) masks.push_back(Lower(m));
  for (int i = 0; i < count; ++i) {
    YieldPoint();
    ZipEntry& e = Entry(i);
    e.selected = DoAll;
    if (!e.FileName().empty() || RecreateDirs) {
      if (DoAll) {
        e.selected = true;
      } else {
        const std::string name = Lower(e.Directory() + e.FileName());
        e.selected = std::any_of(masks.begin(), masks.end(),
                                 [&](const std::string& m) { return WildcardMatch(m.c_str(), name.c_str()); });
      }
    } else {
      e.selected = false;
    }
    if (e.selected) {
      run.totalBytes = SaturatingAdd(run.totalBytes, ClaimedSize(e.UncompressedSize()));
    } else {
      --run.selectedCount;
    }
  }
  bool stopNow = false;
  if (OnStartUnZipInfo) OnStartUnZipInfo(*this, run.selectedCount, run.totalBytes, stopNow);
  if (run.selectedCount > 0 && !stopNow) {
    for (int i = 0; i < count; ++i) {
      if (!DoAll && !Entry(i).selected) continue;
      do {
        ExtractEntry(run, i);
      } while (run.retry);
    }
  }
  return run.processed;
}

void Unzipper::PassOver(Run& run, SkipReason reason, const std::string& fileName, int index) {
  if (OnSkippingFile) OnSkippingFile(*this, reason, fileName, index, run.retry);
  run.totalBytes = SaturatingAdd(run.totalBytes, -ClaimedSize(run.current.CompressedSize()));
  --run.selectedCount;
  if (reason != SkipReason::NoOverwrite) ++failedCount_;
}

void Unzipper::ExtractEntry(Run& run, int index) {
  run.retry = false;
  run.current = Entry(index);
  ZipEntry& entry = run.current;
  const std::string outDir = MapDestinationDir(destDir_, entry.Directory(), RecreateDirs, RelativePathList);
  // Nothing may land outside the destination folder or anywhere but in an
  // ordinary file (a stored "..", a device, a stream, a NUL that cuts the
  // path): such entries are passed over.
  const std::string probe = outDir + (entry.FileName().empty() ? "x" : entry.FileName());
  const bool safe = IsSafeEntryName(entry.Directory(), entry.FileName()) &&
                    (destDir_.empty() || platform::IsInsideFolder(destDir_, probe));
  if (entry.FileName().empty()) {
    if (!safe) {
      PassOver(run, SkipReason::CreateError, outDir, index);
      return;
    }
    if (RecreateDirs && !platform::DirectoryExists(outDir)) platform::CreateFolderPath(outDir);
    ++run.processed;
    return;
  }
  std::string outPath = outDir + entry.FileName();
  if (!safe) {
    PassOver(run, SkipReason::CreateError, outPath, index);
    return;
  }
  if (partMode_ != 0 && entry.DiskNumberStart() != currentDisk_) {
    // Parts of a multi-part set other than this file are not read.
    PassOver(run, SkipReason::FileOpenError, outPath, index);
    return;
  }

  // The local header gives the lengths in front of the data.
  BufferedStream& in = *archiveStream_;
  const int64_t archiveSize = in.Size();
  const uint64_t localOffset = entry.LocalHeaderOffset();
  uint8_t local[30];
  if (localOffset > static_cast<uint64_t>(archiveSize) - std::min<int64_t>(archiveSize, 30)) {
    ++failedCount_;
    throw FatalUnzipError("Premature end of file reached");
  }
  in.Seek(static_cast<int64_t>(localOffset), 0);
  if (in.Read(local, sizeof local) != sizeof local) {
    ++failedCount_;
    throw FatalUnzipError("Premature end of file reached");
  }
  const uint64_t dataStart = localOffset + 30 + (local[26] | (local[27] << 8)) + (local[28] | (local[29] << 8)) +
                             (entry.Encrypted() ? 12 : 0);

  bool skip = false;
  if (OnStartUnZip) OnStartUnZip(*this, index, outPath, skip);
  if (skip) return;
  const std::string folder = ParentFolder(outPath);
  if (!folder.empty() && !platform::DirectoryExists(folder)) platform::CreateFolderPath(folder);

  if (entry.Encrypted()) {
    // Traditional decryption is not built: no password can open the entry.
    std::string password;
    if (OnBadPassword) OnBadPassword(*this, index, password);
    PassOver(run, SkipReason::BadPassword, outPath, index);
    return;
  }

  const bool exists = platform::FileExists(outPath);
  if (exists && OverwriteMode != Overwrite::Always) {
    bool overwrite = false;
    switch (OverwriteMode) {
      case Overwrite::Never: break;
      case Overwrite::IfNewer:
      case Overwrite::IfOlder: {
        auto existing = platform::FileDosDateTime(outPath);
        const uint32_t stored = FixDosDateTime(entry.dateTime);
        if (existing) {
          overwrite = OverwriteMode == Overwrite::IfNewer ? stored > *existing : stored < *existing;
        }
        break;
      }
      case Overwrite::Prompt:
        if (OnPromptForOverwrite) {
          OnPromptForOverwrite(*this, overwrite, index, outPath);
        } else {
          std::string text = ("Replace existing file " + entry.FileName() + "?").substr(0, 300);
          overwrite = Message(kMsgOverwritePrompt, text, "File Exists Alert", platform::MbYesNo) == platform::IdYes;
        }
        break;
      case Overwrite::Always: overwrite = true; break;
    }
    if (!overwrite) {
      PassOver(run, SkipReason::NoOverwrite, outPath, index);
      return;
    }
  }
  if (exists) {
    auto attrs = platform::FileAttributeBits(outPath);
    if (attrs && (*attrs & platform::FileAttrReadOnly) && !ReplaceReadOnly) {
      PassOver(run, SkipReason::CreateError, outPath, index);
      return;
    }
  }

  // Decode into a temporary file beside the target; the target is replaced
  // only by a complete file whose CRC matched.
  const std::string tempPath = outPath + ".~unzip";
  std::unique_ptr<BufferedFileStream> out;
  try {
    out = std::make_unique<BufferedFileStream>(tempPath, bufferSize, FlushFilesOnClose, platform::FileMode::Create);
  } catch (const OutputCreateError&) {
    PassOver(run, SkipReason::CreateError, outPath, index);
    return;
  }
  auto discard = [&] {
    out.reset();
    platform::RemoveFile(tempPath);
  };
  run.crc = crc32(0L, Z_NULL, 0);
  run.writtenEntry = 0;
  run.compressedLeft = entry.CompressedSize();
  bool complete = true;
  try {
    in.Seek(static_cast<int64_t>(std::min<uint64_t>(dataStart, static_cast<uint64_t>(archiveSize))), 0);
    Decode(run, *out, outPath);
    if (!out->Flush()) throw OutputWriteError("Cant write uncompressed file");
    out.reset();
  } catch (const BiggerThanUncompressedError&) {
    complete = false;
  } catch (const IncompleteDeflateError&) {
    complete = false;
  } catch (...) {
    discard();
    ++failedCount_;
    throw;
  }
  const uint32_t crc = static_cast<uint32_t>(run.crc);
  if (!complete || crc != entry.crc32 || run.writtenEntry != entry.UncompressedSize()) {
    if (complete && crc != entry.crc32 && OnBadCRC) OnBadCRC(*this, crc, entry.crc32, index);
    discard();
    ++failedCount_;
    return;
  }
  if (exists && ReplaceReadOnly) {
    auto attrs = platform::FileAttributeBits(outPath);
    if (attrs && (*attrs & platform::FileAttrReadOnly)) {
      platform::SetFileAttributeBits(outPath, *attrs & ~static_cast<uint32_t>(platform::FileAttrReadOnly));
    }
  }
  if (!platform::MoveFileOver(tempPath, outPath)) {
    // Held open by a running program, or a folder of that name.
    platform::RemoveFile(tempPath);
    PassOver(run, SkipReason::CreateError, outPath, index);
    return;
  }
  platform::SetFileDosDateTime(outPath, FixDosDateTime(entry.dateTime));
  if (RetainAttributes) platform::SetFileAttributeBits(outPath, FileAttributesOf(entry.externalAttributes));
  if (OnEndUnZip) OnEndUnZip(*this, index, outPath);
  ++run.processed;
}

void Unzipper::Decode(Run& run, BufferedStream& out, const std::string& fileName) {
  switch (run.current.compressionMethod) {
    case 0: DecodeStored(run, out); break;
    case 8: DecodeDeflated(run, out); break;
    default:
      // Methods 1-6 (shrink, reduce, implode) and the newer ones are not
      // built: nothing is written, so only an empty entry passes the checks.
      Message(kMsgUnknownMethod, "Unknown Compression Method", "Zip Error", platform::MbOk);
      break;
  }
}

void Unzipper::ReadInput(Run& run, uint8_t* buffer, size_t count) {
  YieldPoint();
  if (archiveStream_->Read(buffer, count) != count) throw FatalUnzipError("Premature end of file reached");
  run.compressedLeft -= count;
}

void Unzipper::DecodeStored(Run& run, BufferedStream& out) {
  while (run.compressedLeft > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, run.compressedLeft));
    ReadInput(run, run.output.data(), n);
    WriteOut(run, out, run.output.data(), n);
  }
}

void Unzipper::DecodeDeflated(Run& run, BufferedStream& out) {
  z_stream zs{};
  auto refill = [&] {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, run.compressedLeft));
    ReadInput(run, run.input.data(), n);
    zs.next_in = run.input.data();
    zs.avail_in = static_cast<uInt>(n);
  };
  refill();
  if (inflateInit2(&zs, -15) < 0) throw InflateError("error");
  struct End {
    z_stream& zs;
    ~End() { inflateEnd(&zs); }
  } end{zs};
  zs.next_out = run.output.data();
  zs.avail_out = kChunk;
  for (;;) {
    if (zs.avail_in == 0 && run.compressedLeft > 0) refill();
    const int r = inflate(&zs, Z_NO_FLUSH);
    if (r == Z_NEED_DICT || (r < 0 && r != Z_BUF_ERROR)) throw InflateError("error");
    const size_t produced = kChunk - zs.avail_out;
    if (zs.avail_out == 0 || r == Z_STREAM_END) {
      WriteOut(run, out, run.output.data(), produced);
      zs.next_out = run.output.data();
      zs.avail_out = kChunk;
    }
    if (r == Z_STREAM_END) break;
    if (zs.avail_in == 0 && run.compressedLeft == 0 && zs.avail_out != 0) {
      // All compressed data is used up, yet the stream has not ended.
      throw IncompleteDeflateError("Incomplete deflate stream");
    }
  }
}

void Unzipper::WriteOut(Run& run, BufferedStream& out, const uint8_t* data, size_t count) {
  if (run.writtenEntry + count > run.current.UncompressedSize()) {
    throw BiggerThanUncompressedError("File is larger than uncompressed size!");
  }
  if (out.Write(data, count) != count) throw OutputWriteError("Cant write uncompressed file");
  run.crc = crc32(run.crc, data, static_cast<uInt>(count));
  run.writtenEntry += count;
  run.writtenAll += count;
  if (OnFilePercentDone) OnFilePercentDone(*this, Percent(run.writtenEntry, run.current.UncompressedSize()));
  if (OnTotalPercentDone) {
    OnTotalPercentDone(*this, Percent(run.writtenAll, static_cast<uint64_t>(std::max<int64_t>(run.totalBytes, 0))));
  }
}

}  // namespace zip
