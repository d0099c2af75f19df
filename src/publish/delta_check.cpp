#include "publish/delta_check.h"

#include <filesystem>
#include <set>

#include "delta/delta_index.h"
#include "delta/patch_applier.h"
#include "platform/files.h"
#include "publish/package.h"
#include "zip/stream.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

bool Matches(const std::string& path, const std::optional<delta::FileDigest>& digest) {
  const PackageDigest actual = HashFile(path);
  return digest && actual.size == digest->size && actual.sha256 == digest->sha256;
}

bool SameBytes(const std::string& a, const std::string& b) {
  return platform::ReadWholeFile(a) == platform::ReadWholeFile(b);
}

class Checker {
 public:
  Checker(const FileTree& previous, const FileTree& expected, const std::string& work)
      : previous_(previous), expected_(expected), unpacked_((fs::path(work) / "delta").string()),
        patched_((fs::path(work) / "patched").string()) {}

  std::string Problem(const std::string& deltaPath) {
    UnpackPackage(deltaPath, unpacked_);
    fs::create_directories(patched_);
    const auto text = platform::ReadWholeFile((fs::path(unpacked_) / std::string(delta::kIndexEntryName)).string());
    if (!text) return "没有索引 " + std::string(delta::kIndexEntryName);
    std::vector<delta::DeltaFile> files;
    try {
      files = delta::ParseDeltaIndex(*text);
    } catch (const delta::DeltaIndexError& e) {
      return e.what();
    }
    for (const delta::DeltaFile& file : files) {
      if (std::string problem = FileProblem(file); !problem.empty()) return file.path + "：" + problem;
    }
    for (const auto& [name, path] : expected_) {
      if (!listed_.count(name)) return name + "：新版本的文件不在索引中";
    }
    return {};
  }

 private:
  std::string FileProblem(const delta::DeltaFile& file) {
    const std::string oldName = FindName(previous_, file.path);
    if (file.base && (oldName.empty() || !Matches(previous_.at(oldName), file.base))) return "与上一版本的文件不符";
    if (file.action == delta::DeltaAction::Removed) {
      return FindName(expected_, file.path).empty() ? "" : "标为删除，新版本中却有";
    }
    const std::string wanted = FindName(expected_, file.path);
    if (wanted.empty()) return "新版本中没有这个文件";
    listed_.insert(wanted);
    const std::string result = Result(file, oldName);
    if (!patchError_.empty()) return "补丁无法应用：" + patchError_;
    if (!Matches(result, file.result)) return "结果与索引中的 SHA256 或大小不符";
    if (!SameBytes(result, expected_.at(wanted))) return "结果与新版本的文件不同";
    return {};
  }

  // The file the client would end up with.
  std::string Result(const delta::DeltaFile& file, const std::string& oldName) {
    if (file.action == delta::DeltaAction::Unchanged) return previous_.at(oldName);
    const std::string entry = (fs::path(unpacked_) / file.entry).string();
    if (file.action == delta::DeltaAction::New) return entry;
    const std::string out = (fs::path(patched_) / std::to_string(listed_.size())).string();
    try {
      zip::FileByteStream base(previous_.at(oldName), platform::FileMode::ReadDenyWrite);
      zip::FileByteStream patch(entry, platform::FileMode::ReadDenyWrite);
      zip::FileByteStream output(out, platform::FileMode::Create);
      delta::ApplyPatch(base, patch, output);
    } catch (const std::exception& e) {
      patchError_ = e.what();
    }
    return out;
  }

  const FileTree& previous_;
  const FileTree& expected_;
  std::string unpacked_, patched_;
  std::set<std::string> listed_;
  std::string patchError_;
};

}  // namespace

std::string DeltaPackageProblem(const std::string& deltaPath, const FileTree& previous, const FileTree& expected,
                                const std::string& work) {
  try {
    return Checker(previous, expected, work).Problem(deltaPath);
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace publish
