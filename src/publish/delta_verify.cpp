#include "publish/delta_verify.h"

#include <random>

#include "base/text.h"
#include "delta/delta_attributes.h"
#include "engine/server_layout.h"
#include "engine/update_engine.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "publish/delta_check.h"
#include "publish/history.h"
#include "publish/manifest.h"
#include "publish/package.h"
#include "publish/unpacked_package.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

// A private folder below the system's temporary one, removed on every way out.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path candidate = fs::temp_directory_path() / ("au-publish-verify-" + std::to_string(random()));
      if (fs::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw PublishError("无法创建临时文件夹。");
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string Attribute(const xml::XmlNode& entry, std::string_view name) {
  const xml::XmlNode* a = entry.attributes().GetNamedItem(std::string(name));
  return a ? a->nodeValue() : std::string();
}

fs::path PackagePath(const fs::path& server, std::string fileName) {
  if (!platform::IsPlainRelativePath(fileName)) return {};
  for (char& c : fileName) c = c == '\\' ? '/' : c;
  return server / std::string(engine::kPackageFolder) / InClientCodePage(fileName);
}

// The package a kept manifest names for the module at that version.
fs::path BasePackage(const fs::path& server, const std::string& group, const std::string& module,
                     const std::string& version) {
  const std::vector<fs::path> history = HistoryFiles(server);
  for (auto it = history.rbegin(); it != history.rend(); ++it) {
    const auto doc = ParseManifest(platform::ReadWholeFile(it->string()).value_or(""));
    engine::ManifestEntries entries;
    engine::UpdateEngine::ReadEntries(entries, doc.get(), group);
    for (const auto& entry : entries) {
      if (base::SameTextAscii(entry->name, module) && entry->version == version) {
        return PackagePath(server, entry->fileName);
      }
    }
  }
  return {};
}

std::string DigestProblem(const fs::path& path, const xml::XmlNode& entry) {
  const PackageDigest digest = HashFile(path.string());
  if (!base::SameTextAscii(Attribute(entry, delta::kDeltaSha256Attribute), digest.sha256)) return "DeltaSHA256 不符";
  if (Attribute(entry, delta::kDeltaSizeAttribute) != std::to_string(digest.size)) return "DeltaSize 不符";
  return {};
}

}  // namespace

std::optional<DeltaFinding> CheckDeltaEntry(const fs::path& server, const std::string& group,
                                             const xml::XmlNode& entry, const fs::path& package) {
  const std::string fileName = Attribute(entry, delta::kDeltaFileNameAttribute);
  if (fileName.empty()) return std::nullopt;
  const fs::path path = PackagePath(server, fileName);
  if (path.empty() || !fs::is_regular_file(path)) return DeltaFinding{"服务器上没有差异包“" + fileName + "”"};
  if (std::string problem = DigestProblem(path, entry); !problem.empty()) return DeltaFinding{problem};
  const std::string from = Attribute(entry, delta::kDeltaFromAttribute);
  const fs::path base = BasePackage(server, group, entry.nodeName(), from);
  if (base.empty() || !fs::is_regular_file(base)) {
    return DeltaFinding{"保留的更新说明中已没有版本“" + from + "”的包，无法检查", true};
  }
  try {
    const TempFolder work;
    UnpackPackage(base.string(), (work.path() / "base").string());
    UnpackPackage(package.string(), (work.path() / "new").string());
    fs::create_directories(work.path() / "check");
    return DeltaFinding{DeltaPackageProblem(path.string(), FilesBelow((work.path() / "base").string()),
                               FilesBelow((work.path() / "new").string()), (work.path() / "check").string())};
  } catch (const std::exception& e) {
    return DeltaFinding{e.what()};
  }
}

}  // namespace publish
