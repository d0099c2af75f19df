#include "publish/delta_package.h"

#include <filesystem>
#include <set>

#include "delta/delta_index.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "publish/diff_maker.h"
#include "zip/zip_writer.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

constexpr std::uint32_t kIndexDosTime = 0x00210000;  // 1980-01-01 00:00: same files, same package

delta::FileDigest DigestOf(const std::string& path) {
  const PackageDigest digest = HashFile(path);
  return {digest.size, digest.sha256};
}

std::string Bytes(const std::string& path) {
  auto bytes = platform::ReadWholeFile(path);
  if (!bytes) throw PublishError("无法读取文件“" + path + "”。");
  return std::move(*bytes);
}

struct PackedFile {
  std::string entry;
  std::string source;
  std::uint32_t dosTime;
};

class DeltaWriter {
 public:
  DeltaWriter(const FileTree& previous, const std::string& work) : previous_(previous), work_(work) {}

  void Add(const ReleaseFile& file) {
    const std::string oldName = FindName(previous_, file.nameInPackage);
    delta::DeltaFile entry{file.nameInPackage, delta::DeltaAction::New, std::nullopt, DigestOf(file.sourcePath), ""};
    if (!oldName.empty()) {
      used_.insert(oldName);
      entry.base = DigestOf(previous_.at(oldName));
      if (entry.base == entry.result) {
        entry.action = delta::DeltaAction::Unchanged;
        return index_.push_back(entry);
      }
      if (AddPatch(entry, previous_.at(oldName), file.sourcePath)) return index_.push_back(entry);
      entry.base.reset();
    }
    entry.entry = "new/" + std::to_string(index_.size() + 1);
    packed_.push_back({entry.entry, file.sourcePath, Time(file.sourcePath)});
    index_.push_back(entry);
  }

  void AddRemoved() {
    for (const auto& [name, path] : previous_) {
      if (!used_.count(name)) index_.push_back({name, delta::DeltaAction::Removed, DigestOf(path), std::nullopt, ""});
    }
  }

  void Write(const std::string& path) {
    const std::string indexPath = (fs::path(work_) / "index").string();
    platform::WriteWholeFile(indexPath, delta::FormatDeltaIndex(index_));
    zip::ZipWriter writer(path);
    writer.AddFile(std::string(delta::kIndexEntryName), indexPath, kIndexDosTime);
    for (const PackedFile& f : packed_) writer.AddFile(f.entry, f.source, f.dosTime);
    writer.Finish();
  }

 private:
  // A patch, when it is smaller than the new file.
  bool AddPatch(delta::DeltaFile& entry, const std::string& oldPath, const std::string& newPath) {
    const std::string newBytes = Bytes(newPath);
    const std::string patch = MakePatch(Bytes(oldPath), newBytes);
    if (patch.size() >= newBytes.size()) return false;
    entry.action = delta::DeltaAction::Patched;
    entry.entry = "patch/" + std::to_string(index_.size() + 1);
    const std::string patchPath = (fs::path(work_) / std::to_string(index_.size() + 1)).string();
    platform::WriteWholeFile(patchPath, patch);
    packed_.push_back({entry.entry, patchPath, Time(newPath)});
    return true;
  }

  static std::uint32_t Time(const std::string& path) {
    const auto time = platform::FileDosDateTime(path);
    if (!time) throw PublishError("无法读取文件“" + path + "”的修改时间。");
    return *time;
  }

  const FileTree& previous_;
  std::string work_;
  std::set<std::string> used_;
  std::vector<delta::DeltaFile> index_;
  std::vector<PackedFile> packed_;
};

}  // namespace

PackageDigest WriteDeltaPackage(const FileTree& previous, const ReleaseModule& module, const std::string& path,
                                const std::string& work) {
  DeltaWriter writer(previous, work);
  for (const ReleaseFile& file : module.files) {
    if (!file.sourcePath.empty()) writer.Add(file);
  }
  writer.AddRemoved();
  writer.Write(path);
  return HashFile(path);
}

}  // namespace publish
