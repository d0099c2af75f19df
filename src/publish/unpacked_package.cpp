#include "publish/unpacked_package.h"

#include <filesystem>

#include "base/text.h"
#include "platform/file_stream.h"
#include "publish/release.h"
#include "zip/extract.h"

namespace publish {
namespace fs = std::filesystem;

void UnpackPackage(const std::string& packagePath, const std::string& folder) {
  fs::create_directories(folder);
  zip::IExtractionTarget target;
  zip::ExtractResult result;
  try {
    platform::FileStream archive(packagePath, platform::FileMode::ReadDenyWrite);
    result = zip::Extract(archive, folder, {}, target);
  } catch (const std::exception& e) {
    throw PublishError("无法解开包“" + packagePath + "”：" + e.what());
  }
  if (result.failed > 0) throw PublishError("包“" + packagePath + "”中有文件无法解开。");
}

FileTree FilesBelow(const std::string& folder) {
  FileTree tree;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (item.is_regular_file()) tree[fs::relative(item.path(), folder).generic_string()] = item.path().string();
  }
  return tree;
}

std::string FindName(const FileTree& tree, const std::string& name) {
  if (tree.count(name)) return name;
  for (const auto& [other, path] : tree) {
    if (base::SameTextAscii(other, name)) return other;
  }
  return {};
}

}  // namespace publish
