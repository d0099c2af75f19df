#include "zip/extract.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "platform/file_info.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "zip/archive_directory.h"
#include "zip/dest_path.h"
#include "zip/entry_decoder.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

constexpr size_t kOutputBufferSize = 8192;
// Appended to the target's name for the file an entry is decoded into.
constexpr const char* kDecodedSuffix = ".~unzip";

// The attribute bits an extracted file may carry (read-only, hidden, system,
// archive); the rest of the field is host-specific.
uint32_t FileAttributesOf(uint32_t external) {
  const uint32_t a = external & 0x27;
  return a ? a : 0x80;  // FILE_ATTRIBUTE_NORMAL stands alone
}

std::string ParentFolder(const std::string& path) {
  const size_t cut = path.find_last_of('\\');
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

// The file an entry is decoded into, beside its target. It is removed
// unless it has been put in the target's place.
class DecodedFile {
 public:
  // OutputCreateError when the file cannot be created (nothing to remove
  // then).
  explicit DecodedFile(const std::string& path)
      : path_(path),
        stream_(std::make_unique<BufferedFileStream>(path, kOutputBufferSize, platform::FileMode::Create)) {}
  ~DecodedFile() { Discard(); }
  DecodedFile(const DecodedFile&) = delete;
  DecodedFile& operator=(const DecodedFile&) = delete;

  BufferedStream& Stream() { return *stream_; }
  void Close() { stream_.reset(); }
  // Closes the file and removes it (once).
  void Discard() {
    Close();
    if (!done_) platform::RemoveFile(path_);
    done_ = true;
  }
  // False when the system refused; the file is still there then.
  bool PutInPlace(const std::string& target, IExtractionTarget& by) {
    Close();
    done_ = by.Replace(path_, target);
    return done_;
  }

 private:
  std::string path_;
  std::unique_ptr<BufferedFileStream> stream_;
  bool done_ = false;
};

// Where an entry lands, and whether it may land there at all.
struct Landing {
  std::string folder;  // ends with a backslash
  std::string path;    // the folder itself for a folder entry
  bool safe = false;
};

class Extraction {
 public:
  Extraction(BufferedStream& archive, const ArchiveDirectory& directory, const std::string& folder,
             const ExtractOptions& options, IExtractionTarget& target);
  ExtractResult Run();

 private:
  void ExtractEntry(const ZipEntry& entry);
  Landing LandingOf(const ZipEntry& entry) const;
  void ExtractFolder(const Landing& landing);
  int64_t DataOffset(const ZipEntry& entry);
  bool MayReplace(const ZipEntry& entry, const std::string& path);
  bool Newer(const ZipEntry& entry, const std::string& path) const;
  void DecodeAndReplace(const ZipEntry& entry, const std::string& path, int64_t dataStart, bool existed);
  void Commit(const ZipEntry& entry, DecodedFile& decoded, const std::string& path, bool existed);
  void EnsureFolder(const std::string& folder);
  void Fail(const std::string& path, EntryFailure why);

  BufferedStream& archive_;
  const ArchiveDirectory& directory_;
  std::string destDir_;  // without a trailing backslash
  std::string rootDir_;  // with one: a stored folder beginning so is taken relative to it
  ExtractOptions options_;
  IExtractionTarget& target_;
  ExtractResult result_;
};

Extraction::Extraction(BufferedStream& archive, const ArchiveDirectory& directory, const std::string& folder,
                       const ExtractOptions& options, IExtractionTarget& target)
    : archive_(archive), directory_(directory), destDir_(folder), rootDir_(folder), options_(options),
      target_(target) {
  if (!destDir_.empty() && destDir_.back() == '\\') destDir_.pop_back();
  if (!rootDir_.empty() && rootDir_.back() != '\\') rootDir_ += '\\';
}

ExtractResult Extraction::Run() {
  EnsureFolder(destDir_);
  for (size_t i = 0; i < directory_.Count(); ++i) ExtractEntry(directory_.Entry(i));
  return result_;
}

void Extraction::Fail(const std::string& path, EntryFailure why) {
  ++result_.failed;
  target_.Failed(path, why);
}

void Extraction::ExtractEntry(const ZipEntry& entry) {
  const Landing landing = LandingOf(entry);
  if (entry.FileName().empty()) return ExtractFolder(landing);
  const std::string& path = landing.path;
  if (!landing.safe) return Fail(path, EntryFailure::UnsafeName);
  if (!directory_.InThisFile(entry)) return Fail(path, EntryFailure::OtherPart);
  const int64_t dataStart = DataOffset(entry);
  EnsureFolder(ParentFolder(path));
  // Traditional decryption is not built: no password can open the entry.
  if (entry.Encrypted()) return Fail(path, EntryFailure::Encrypted);
  const bool existed = platform::FileExists(path);
  if (existed && !MayReplace(entry, path)) return;
  DecodeAndReplace(entry, path, dataStart, existed);
}

// Nothing may land outside the destination folder or anywhere but in an
// ordinary file (a stored "..", a device, a stream, a NUL that cuts the
// path): such entries are not safe.
Landing Extraction::LandingOf(const ZipEntry& entry) const {
  Landing l;
  l.folder = MapDestinationDir(destDir_, entry.Directory(), rootDir_);
  l.path = l.folder + entry.FileName();
  const std::string probe = l.folder + (entry.FileName().empty() ? "x" : entry.FileName());
  l.safe = IsSafeEntryName(entry.Directory(), entry.FileName()) &&
           (destDir_.empty() || platform::IsInsideFolder(destDir_, probe));
  return l;
}

void Extraction::ExtractFolder(const Landing& landing) {
  if (!landing.safe) return Fail(landing.folder, EntryFailure::UnsafeName);
  EnsureFolder(landing.folder);
  ++result_.written;
}

// Where the entry's data starts, at most the archive's end: the local header
// gives the lengths in front of it. An archive too short for the header ends
// the run.
int64_t Extraction::DataOffset(const ZipEntry& entry) {
  // Measured before the header is read: the stream's size grows with a
  // position sought beyond the end.
  const int64_t archiveSize = archive_.Size();
  const uint64_t localOffset = entry.LocalHeaderOffset();
  uint8_t local[30];
  if (localOffset <= static_cast<uint64_t>(archiveSize) - std::min<int64_t>(archiveSize, sizeof local)) {
    archive_.Seek(static_cast<int64_t>(localOffset), SeekFromStart);
    if (archive_.Read(local, sizeof local) == sizeof local) {
      const uint32_t nameLength = local[26] | (local[27] << 8);
      const uint32_t extraLength = local[28] | (local[29] << 8);
      const uint64_t dataStart =
          localOffset + sizeof local + nameLength + extraLength + (entry.Encrypted() ? 12 : 0);
      return static_cast<int64_t>(std::min(dataStart, static_cast<uint64_t>(archiveSize)));
    }
  }
  throw FatalUnzipError("Premature end of file reached");
}

// Whether an existing file gives way: the overwrite rule (what it keeps is
// no failure), then the read-only guard.
bool Extraction::MayReplace(const ZipEntry& entry, const std::string& path) {
  if (options_.overwrite == Overwrite::IfNewer && !Newer(entry, path)) return false;
  if (ReadOnlyAttributes(path) && !options_.replaceReadOnly) {
    Fail(path, EntryFailure::Unwritable);
    return false;
  }
  return true;
}

bool Extraction::Newer(const ZipEntry& entry, const std::string& path) const {
  const auto existing = platform::FileDosDateTime(path);
  return existing && FixDosDateTime(entry.Header().dateTime) > *existing;
}

// Decodes into a file beside the target; the target is replaced only by a
// complete file whose CRC matched.
void Extraction::DecodeAndReplace(const ZipEntry& entry, const std::string& path, int64_t dataStart, bool existed) {
  const std::string decodedPath = path + kDecodedSuffix;
  target_.Decoding(decodedPath);
  std::optional<DecodedFile> decoded;
  try {
    decoded.emplace(decodedPath);
  } catch (const OutputCreateError&) {
    return Fail(path, EntryFailure::Unwritable);
  }
  const bool decodable = IsDecodedMethod(entry.Header().compressionMethod);
  if (!decodable) target_.Failed(path, EntryFailure::UnsupportedMethod);
  if (!DecodeEntry(archive_, dataStart, entry, decoded->Stream(), target_)) {
    decoded->Discard();
    ++result_.failed;
    if (decodable) target_.Failed(path, EntryFailure::Damaged);
    return;
  }
  decoded->Close();
  Commit(entry, *decoded, path, existed);
}

// Puts the decoded file in the target's place and gives it the entry's time
// and attributes.
void Extraction::Commit(const ZipEntry& entry, DecodedFile& decoded, const std::string& path, bool existed) {
  if (existed && options_.replaceReadOnly) {
    if (auto attrs = ReadOnlyAttributes(path)) {
      platform::SetFileAttributeBits(path, *attrs & ~static_cast<uint32_t>(platform::FileAttrReadOnly));
    }
  }
  if (!decoded.PutInPlace(path, target_)) {
    // Held open by a running program, or a folder of that name.
    decoded.Discard();
    return Fail(path, EntryFailure::Unwritable);
  }
  platform::SetFileDosDateTime(path, FixDosDateTime(entry.Header().dateTime));
  platform::SetFileAttributeBits(path, FileAttributesOf(entry.Header().externalAttributes));
  target_.Written(path);
  ++result_.written;
}

void Extraction::EnsureFolder(const std::string& folder) {
  const std::vector<std::string> missing = MissingFolders(folder);
  if (missing.empty()) return;
  platform::CreateFolderPath(folder);
  for (const std::string& created : missing) {
    if (platform::DirectoryExists(created)) target_.FolderCreated(created);
  }
}

}  // namespace

ExtractResult Extract(platform::FileStream& archive, const std::string& folder, const ExtractOptions& options,
                      IExtractionTarget& target) {
  HeldFileByteStream held(archive);
  BufferedStream buffered(held, kArchiveBufferSize);
  const ArchiveDirectory directory(buffered, archive.path());
  return Extraction(buffered, directory, folder, options, target).Run();
}

}  // namespace zip
