#include "engine/delta_install.h"

#include <vector>

#include "base/hex.h"
#include "delta/delta_index.h"
#include "delta/patch_applier.h"
#include "engine/paths.h"
#include "engine/staged_package.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "zip/extract.h"
#include "zip/hashing_stream.h"
#include "zip/stream.h"
#include "zip/zip_errors.h"

namespace engine {
namespace {

constexpr const char* kResultSuffix = ".~delta";
constexpr size_t kCopyBlock = 64 * 1024;

// A file of the index below a folder, with the system's separators.
std::string LocalPath(const std::string& folder, std::string relative) {
  for (char& c : relative) c = c == '/' ? '\\' : c;
  return JoinPath(folder, relative);
}

void Unpack(platform::FileStream& package, const std::string& workFolder) {
  zip::IExtractionTarget plain;
  size_t failed = 0;
  try {
    failed = zip::Extract(package, workFolder, {zip::Overwrite::Always, true}, plain).failed;
  } catch (const zip::ZipError& e) {
    // The trace tells the administrator in the product's language; the
    // archive's own words stay inside for whoever reads further.
    throw DeltaNotUsableError(std::string("差异包已损坏或不是 zip 文件（") + e.what() + "）");
  }
  if (failed != 0) throw DeltaNotUsableError("差异包中有文件无法解压");
}

std::vector<delta::DeltaFile> ReadIndex(const std::string& workFolder) {
  const std::string path = JoinPath(workFolder, delta::kIndexEntryName);
  if (!platform::FileExists(path)) throw DeltaNotUsableError("差异包中没有索引");
  platform::FileStream file(path, platform::FileMode::ReadDenyWrite);
  if (file.Size() > static_cast<int64_t>(delta::kMaxIndexBytes)) throw DeltaNotUsableError("差异包的索引过大");
  std::string text(static_cast<size_t>(file.Size()), '\0');
  text.resize(file.Read(text.data(), text.size()));
  return delta::ParseDeltaIndex(text);
}

delta::FileDigest DigestOfFile(const std::string& path) {
  platform::FileStream file(path, platform::FileMode::ReadDenyWrite);
  return {static_cast<std::uint64_t>(file.Size()), base::ToHex(DigestOf(file))};
}

bool HasBase(const delta::DeltaFile& f) {
  return f.action == delta::DeltaAction::Unchanged || f.action == delta::DeltaAction::Patched;
}

bool HasResult(const delta::DeltaFile& f) {
  return f.action == delta::DeltaAction::New || f.action == delta::DeltaAction::Patched;
}

// Every file the delta starts from is on disk as the index says.
void CheckBases(const std::vector<delta::DeltaFile>& files, const std::string& targetDir) {
  for (const delta::DeltaFile& f : files) {
    if (!HasBase(f)) continue;
    const std::string path = LocalPath(targetDir, f.path);
    if (!platform::FileExists(path)) throw DeltaNotUsableError("本机没有文件“" + f.path + "”");
    if (DigestOfFile(path) != *f.base) throw DeltaNotUsableError("本机的“" + f.path + "”不是差异包的起始版本");
  }
}

std::string WithoutTrailingSeparator(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// The folders missing on the way to `folder` below `root` are created, parents
// first, and reported.
void EnsureFolders(const std::string& root, const std::string& folder, zip::IExtractionTarget& files) {
  const std::string top = WithoutTrailingSeparator(root);
  std::vector<std::string> missing;
  for (std::string f = WithoutTrailingSeparator(folder); f.size() > top.size() && !platform::DirectoryExists(f);
       f = WithoutTrailingSeparator(FolderOf(f))) {
    missing.push_back(f);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!platform::CreateDir(*it)) throw DeltaNotUsableError("无法创建文件夹“" + *it + "”");
    files.FolderCreated(*it);
  }
}

void Copy(zip::Stream& from, zip::Stream& to) {
  std::vector<char> block(kCopyBlock);
  for (size_t n; (n = from.Read(block.data(), block.size())) > 0;) {
    if (to.Write(block.data(), n) != n) throw DeltaNotUsableError("无法写入文件");
  }
}

// The file's new bytes, written beside it and checked; the name written to.
std::string WriteResult(const delta::DeltaFile& f, const std::string& workFolder, const std::string& targetDir,
                        zip::IExtractionTarget& files) {
  const std::string target = LocalPath(targetDir, f.path);
  const std::string source = LocalPath(workFolder, f.entry);
  const std::string result = target + kResultSuffix;
  EnsureFolders(targetDir, FolderOf(target), files);
  files.Decoding(result);
  delta::FileDigest written;
  {
    zip::FileByteStream file(result, platform::FileMode::Create);
    zip::HashingStream out(file);  // hashed as written, never read back
    zip::FileByteStream in(source, platform::FileMode::ReadDenyWrite);
    if (f.action == delta::DeltaAction::Patched) {
      zip::FileByteStream base(target, platform::FileMode::ReadDenyWrite);
      delta::ApplyPatch(base, in, out);
    } else {
      Copy(in, out);
    }
    written = {out.written(), base::ToHex(out.Finish())};
  }
  if (written != *f.result) throw DeltaNotUsableError("“" + f.path + "”的结果与差异包的索引不符");
  if (const auto time = platform::FileDosDateTime(source)) platform::SetFileDosDateTime(result, *time);
  return result;
}

}  // namespace

void InstallFromDelta(platform::FileStream& package, const std::string& workFolder, const std::string& targetDir,
                      zip::IExtractionTarget& files) {
  Unpack(package, workFolder);
  const std::vector<delta::DeltaFile> index = ReadIndex(workFolder);
  CheckBases(index, targetDir);
  std::vector<std::pair<std::string, std::string>> results;  // written, target
  for (const delta::DeltaFile& f : index) {
    if (HasResult(f)) results.emplace_back(WriteResult(f, workFolder, targetDir, files), LocalPath(targetDir, f.path));
  }
  for (const auto& [written, target] : results) {
    // A read-only file gives way, as it does to a full package.
    const auto attributes = platform::FileAttributeBits(target);
    if (attributes && (*attributes & platform::FileAttrReadOnly)) {
      platform::SetFileAttributeBits(target, *attributes & ~static_cast<uint32_t>(platform::FileAttrReadOnly));
    }
    if (!files.Replace(written, target)) throw DeltaNotUsableError("无法写入文件“" + target + "”");
  }
}

}  // namespace engine
