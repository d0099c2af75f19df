// Unzipper, extraction side: selection, the overwrite rule, decoding into a
// temporary file and replacing the target once the CRC matched.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <functional>
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
  ZipEntry current;      // a copy of the entry being extracted
  int index = -1;        // and its place in the view
  uint64_t compressedLeft = 0;
  uLong crc = 0;               // zlib's running CRC-32 (pre- and post-inverted inside)
  int selectedCount = 0;
  int64_t totalBytes = 0;
  uint64_t writtenAll = 0;
  uint64_t writtenEntry = 0;
  int processed = 0;
  bool retry = false;
};

// Where an entry lands, and whether it may land there at all.
struct Unzipper::Target {
  std::string folder;  // ends with a backslash
  std::string path;    // the folder itself for a folder entry
  bool safe = false;
};

// The file an entry is decoded into, beside its target. It is removed
// unless it has been moved over the target.
class Unzipper::TempOutput {
 public:
  // OutputCreateError when the file cannot be created (nothing to remove
  // then).
  TempOutput(const std::string& path, bool flushOnClose)
      : path_(path),
        stream_(std::make_unique<BufferedFileStream>(path, kBufferSize, flushOnClose, platform::FileMode::Create)) {}
  ~TempOutput() { Discard(); }
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  BufferedStream& Stream() { return *stream_; }
  void Close() { stream_.reset(); }
  // Closes the file and removes it (once).
  void Discard() {
    Close();
    if (!done_) platform::RemoveFile(path_);
    done_ = true;
  }
  // False when the system refused; the file is still there then.
  bool MoveOver(const std::string& target, const std::function<bool(const std::string&, const std::string&)>& replace) {
    Close();
    done_ = replace ? replace(path_, target) : platform::MoveFileOver(path_, target);
    return done_;
  }

 private:
  std::string path_;
  std::unique_ptr<BufferedFileStream> stream_;
  bool done_ = false;
};

namespace {

constexpr size_t kChunk = 32768;
// Appended to the target's name for the file an entry is decoded into.
constexpr const char* kTempSuffix = ".~unzip";

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

// The folder and its parents that do not exist yet, parents first.
std::vector<std::string> MissingFolders(std::string folder) {
  std::vector<std::string> missing;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  while (folder.size() > 3 && !platform::DirectoryExists(folder)) {
    missing.insert(missing.begin(), folder);
    const size_t cut = folder.find_last_of('\\');
    if (cut == std::string::npos) break;
    folder.resize(cut);
  }
  return missing;
}

std::optional<uint32_t> ReadOnlyAttributes(const std::string& path) {
  auto attrs = platform::FileAttributeBits(path);
  if (attrs && (*attrs & platform::FileAttrReadOnly)) return attrs;
  return std::nullopt;
}

// Sizes come from the archive and may claim anything: totals stop at the
// limits instead of wrapping.
int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? INT64_MAX : INT64_MIN;
}

int64_t ClaimedSize(uint64_t size) { return static_cast<int64_t>(std::min<uint64_t>(size, INT64_MAX)); }

}  // namespace

void Unzipper::SetDestDir(const std::string& dir) {
  if (dir == "?") throw UserCanceledError("User canceled Set Destination Directory");
  destDir_ = dir;
  if (!destDir_.empty() && destDir_.back() == '\\') destDir_.pop_back();
}

void Unzipper::SetRootDir(const std::string& dir) {
  rootDir_ = dir;
  if (!rootDir_.empty() && rootDir_.back() != '\\') rootDir_ += '\\';
  settings_.relativePaths.clear();
  settings_.relativePaths.push_back(rootDir_);
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
      if (events_.onIncompleteArchive && !retried) {
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

// Ends a run however it ended: the masks are used up, the end is reported
// and the archive is no longer held open.
struct Unzipper::RunEnd {
  Unzipper& z;
  const Run& run;
  bool keepOpenWas;
  ~RunEnd() {
    z.settings_.masks.clear();
    if (z.events_.onComplete) {
      try {
        z.events_.onComplete(z, run.processed);
      } catch (...) {
      }
    }
    z.settings_.keepOpen = keepOpenWas;
  }
};

int Unzipper::ExtractLoop() {
  const bool keepOpenWas = settings_.keepOpen;
  settings_.keepOpen = true;
  Run run;
  RunEnd end{*this, run, keepOpenWas};
  EnsureFolder(destDir_);
  const int count = EntryCount();
  SelectEntries(run, count);
  bool stopNow = false;
  if (events_.onStartInfo) events_.onStartInfo(*this, run.selectedCount, run.totalBytes, stopNow);
  if (run.selectedCount > 0 && !stopNow) ExtractSelected(run, count);
  return run.processed;
}

// With extractAll every entry is extracted, the unselected folder entries
// too.
void Unzipper::ExtractSelected(Run& run, int count) {
  for (int i = 0; i < count; ++i) {
    if (!settings_.extractAll && !Entry(i).Selected()) continue;
    do {
      ExtractEntry(run, i);
    } while (run.retry);
  }
}

// Marks the first `count` entries to extract or not, and counts the chosen
// ones and their claimed bytes.
void Unzipper::SelectEntries(Run& run, int count) {
  run.selectedCount = count;
  std::vector<std::string> lowerMasks;
  for (const std::string& m : settings_.masks) lowerMasks.push_back(Lower(m));
  for (int i = 0; i < count; ++i) {
    YieldPoint();
    ZipEntry& e = Entry(i);
    e.SetSelected(IsSelected(e, lowerMasks));
    if (e.Selected()) {
      run.totalBytes = SaturatingAdd(run.totalBytes, ClaimedSize(e.UncompressedSize()));
    } else {
      --run.selectedCount;
    }
  }
}

// Folder entries count only when folders are recreated.
bool Unzipper::IsSelected(const ZipEntry& entry, const std::vector<std::string>& lowerMasks) const {
  if (entry.FileName().empty() && !settings_.recreateFolders) return false;
  if (settings_.extractAll) return true;
  const std::string name = Lower(entry.Directory() + entry.FileName());
  return std::any_of(lowerMasks.begin(), lowerMasks.end(),
                     [&](const std::string& m) { return WildcardMatch(m.c_str(), name.c_str()); });
}

void Unzipper::PassOver(Run& run, SkipReason reason, const std::string& fileName, int index) {
  if (events_.onSkippingFile) events_.onSkippingFile(*this, reason, fileName, index, run.retry);
  run.totalBytes = SaturatingAdd(run.totalBytes, -ClaimedSize(run.current.CompressedSize()));
  --run.selectedCount;
  if (reason != SkipReason::NoOverwrite) ++failedCount_;
}

void Unzipper::ExtractEntry(Run& run, int index) {
  run.retry = false;
  run.current = Entry(index);
  run.index = index;
  const ZipEntry& entry = run.current;
  const Target target = TargetOf(entry);
  if (entry.FileName().empty()) {
    ExtractFolder(run, target, index);
    return;
  }
  std::string outPath = target.path;
  if (!target.safe) {
    PassOver(run, SkipReason::UnsafeName, outPath, index);
    return;
  }
  if (laterPart_ && entry.DiskNumberStart() != currentDisk_) {
    // Parts of a multi-part set other than this file are not read.
    PassOver(run, SkipReason::FileOpenError, outPath, index);
    return;
  }
  const int64_t dataStart = DataOffset(entry);

  bool skip = false;
  if (events_.onStartEntry) events_.onStartEntry(*this, index, outPath, skip);
  if (skip) return;
  EnsureFolder(ParentFolder(outPath));
  if (entry.Encrypted()) {
    PassOverEncrypted(run, index, outPath);
    return;
  }
  const bool existed = platform::FileExists(outPath);
  if (existed && !MayReplace(run, index, outPath)) return;
  DecodeAndReplace(run, index, outPath, dataStart, existed);
}

// Traditional decryption is not built: no password can open the entry.
void Unzipper::PassOverEncrypted(Run& run, int index, const std::string& outPath) {
  std::string password;
  if (events_.onBadPassword) events_.onBadPassword(*this, index, password);
  PassOver(run, SkipReason::BadPassword, outPath, index);
}

// Decodes into a temporary file beside the target; the target is replaced
// only by a complete file whose CRC matched.
void Unzipper::DecodeAndReplace(Run& run, int index, const std::string& outPath, int64_t dataStart, bool existed) {
  std::optional<TempOutput> temp;
  if (events_.onDecodeInto) events_.onDecodeInto(*this, outPath + kTempSuffix);
  try {
    temp.emplace(outPath + kTempSuffix, settings_.flushFiles);
  } catch (const OutputCreateError&) {
    PassOver(run, SkipReason::CreateError, outPath, index);
    return;
  }
  if (!DecodeInto(run, *temp, dataStart, index)) {
    temp->Discard();
    ++failedCount_;
    return;
  }
  Commit(run, *temp, outPath, existed, index);
}

// Nothing may land outside the destination folder or anywhere but in an
// ordinary file (a stored "..", a device, a stream, a NUL that cuts the
// path): such entries are not safe.
Unzipper::Target Unzipper::TargetOf(const ZipEntry& entry) const {
  Target t;
  t.folder = MapDestinationDir(destDir_, entry.Directory(), settings_.recreateFolders, settings_.relativePaths);
  t.path = t.folder + entry.FileName();
  const std::string probe = t.folder + (entry.FileName().empty() ? "x" : entry.FileName());
  t.safe = IsSafeEntryName(entry.Directory(), entry.FileName()) &&
           (destDir_.empty() || platform::IsInsideFolder(destDir_, probe));
  return t;
}

void Unzipper::ExtractFolder(Run& run, const Target& target, int index) {
  if (!target.safe) {
    PassOver(run, SkipReason::UnsafeName, target.folder, index);
    return;
  }
  if (settings_.recreateFolders) EnsureFolder(target.folder);
  ++run.processed;
}

// Where the entry's data starts, at most the archive's end: the local header
// gives the lengths in front of it. An archive too short for the header ends
// the run.
int64_t Unzipper::DataOffset(const ZipEntry& entry) {
  BufferedStream& in = *archiveStream_;
  // Measured before the header is read: the stream's size grows with a
  // position sought beyond the end.
  const int64_t archiveSize = in.Size();
  const uint64_t localOffset = entry.LocalHeaderOffset();
  uint8_t local[30];
  if (localOffset <= static_cast<uint64_t>(archiveSize) - std::min<int64_t>(archiveSize, sizeof local)) {
    in.Seek(static_cast<int64_t>(localOffset), SeekFromStart);
    if (in.Read(local, sizeof local) == sizeof local) {
      const uint32_t nameLength = local[26] | (local[27] << 8);
      const uint32_t extraLength = local[28] | (local[29] << 8);
      const uint64_t dataStart =
          localOffset + sizeof local + nameLength + extraLength + (entry.Encrypted() ? 12 : 0);
      return static_cast<int64_t>(std::min(dataStart, static_cast<uint64_t>(archiveSize)));
    }
  }
  ++failedCount_;
  throw FatalUnzipError("Premature end of file reached");
}

// Whether an existing target gives way: the overwrite rule, then the
// read-only guard. What the rule keeps is passed over.
bool Unzipper::MayReplace(Run& run, int index, std::string& outPath) {
  if (settings_.overwrite != Overwrite::Always && !OverwriteAllowed(run.current, index, outPath)) {
    PassOver(run, SkipReason::NoOverwrite, outPath, index);
    return false;
  }
  if (ReadOnlyAttributes(outPath) && !settings_.replaceReadOnly) {
    PassOver(run, SkipReason::CreateError, outPath, index);
    return false;
  }
  return true;
}

bool Unzipper::OverwriteAllowed(const ZipEntry& entry, int index, std::string& outPath) {
  switch (settings_.overwrite) {
    case Overwrite::Always: return true;
    case Overwrite::Never: return false;
    case Overwrite::IfNewer:
    case Overwrite::IfOlder: {
      const auto existing = platform::FileDosDateTime(outPath);
      if (!existing) return false;
      const uint32_t stored = FixDosDateTime(entry.Header().dateTime);
      return settings_.overwrite == Overwrite::IfNewer ? stored > *existing : stored < *existing;
    }
    case Overwrite::Prompt: {
      bool overwrite = false;
      if (events_.onPromptForOverwrite) {
        events_.onPromptForOverwrite(*this, overwrite, index, outPath);
        return overwrite;
      }
      const std::string text = ("Replace existing file " + entry.FileName() + "?").substr(0, 300);
      return Message(kMsgOverwritePrompt, text, "File Exists Alert", platform::MbYesNo) == platform::IdYes;
    }
  }
  return false;
}

// Decodes the entry into the temporary file; false when what came out is
// not the entry: longer than declared, cut short, or another CRC or size.
// Failures of the whole run (a short archive, a write error) pass on.
bool Unzipper::DecodeInto(Run& run, TempOutput& temp, int64_t dataStart, int index) {
  const ZipEntry& entry = run.current;
  run.crc = crc32(0L, Z_NULL, 0);
  run.writtenEntry = 0;
  run.compressedLeft = entry.CompressedSize();
  bool complete = true;
  try {
    archiveStream_->Seek(dataStart, SeekFromStart);
    Decode(run, temp.Stream());
    if (!temp.Stream().Flush()) throw OutputWriteError("Cant write uncompressed file");
    temp.Close();
  } catch (const BiggerThanUncompressedError&) {
    complete = false;
  } catch (const IncompleteDeflateError&) {
    complete = false;
  } catch (...) {
    temp.Discard();
    ++failedCount_;
    throw;
  }
  const uint32_t crc = static_cast<uint32_t>(run.crc);
  if (complete && crc == entry.Header().crc32 && run.writtenEntry == entry.UncompressedSize()) return true;
  if (complete && crc != entry.Header().crc32 && events_.onBadCrc) {
    events_.onBadCrc(*this, crc, entry.Header().crc32, index);
  }
  return false;
}

// Moves the decoded file over the target and gives it the entry's time and
// attributes.
void Unzipper::Commit(Run& run, TempOutput& temp, const std::string& outPath, bool existed, int index) {
  if (existed && settings_.replaceReadOnly) {
    if (auto attrs = ReadOnlyAttributes(outPath)) {
      platform::SetFileAttributeBits(outPath, *attrs & ~static_cast<uint32_t>(platform::FileAttrReadOnly));
    }
  }
  const auto replace = events_.onReplace ? [this](const std::string& decoded, const std::string& target) {
    return events_.onReplace(*this, decoded, target);
  } : std::function<bool(const std::string&, const std::string&)>();
  if (!temp.MoveOver(outPath, replace)) {
    // Held open by a running program, or a folder of that name.
    temp.Discard();
    PassOver(run, SkipReason::CreateError, outPath, index);
    return;
  }
  const ZipEntry& entry = run.current;
  platform::SetFileDosDateTime(outPath, FixDosDateTime(entry.Header().dateTime));
  if (settings_.keepAttributes) {
    platform::SetFileAttributeBits(outPath, FileAttributesOf(entry.Header().externalAttributes));
  }
  if (events_.onEndEntry) events_.onEndEntry(*this, index, outPath);
  ++run.processed;
}

void Unzipper::EnsureFolder(const std::string& folder) {
  const std::vector<std::string> missing = MissingFolders(folder);
  if (missing.empty()) return;
  platform::CreateFolderPath(folder);
  for (const std::string& created : missing) {
    if (events_.onFolderCreated && platform::DirectoryExists(created)) events_.onFolderCreated(*this, created);
  }
}

void Unzipper::Decode(Run& run, BufferedStream& out) {
  switch (run.current.Header().compressionMethod) {
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
  if (events_.onDecoded) events_.onDecoded(*this, run.index, data, count);
  run.writtenEntry += count;
  run.writtenAll += count;
  if (events_.onFilePercent) events_.onFilePercent(*this, Percent(run.writtenEntry, run.current.UncompressedSize()));
  if (events_.onTotalPercent) {
    events_.onTotalPercent(*this,
                           Percent(run.writtenAll, static_cast<uint64_t>(std::max<int64_t>(run.totalBytes, 0))));
  }
}

}  // namespace zip
