#include "platform/private_folder.h"

#include "platform/os_error.h"
#include "platform/private_folder_steps.h"

namespace platform {
namespace private_folder {

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace private_folder

namespace {

// Tries for a fresh name before giving up: each is random, so a clash is
// someone else's doing.
constexpr int kFreshNameAttempts = 100;

}  // namespace

std::vector<std::string> PrivateFolderLevels(const std::string& relative) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('\\', start);
    if (end == std::string::npos) end = relative.size();
    std::string name = relative.substr(start, end - start);
    if (name == "." || name == ".." || name.find('/') != std::string::npos) {
      throw OsError("文件夹名称“" + relative + "”无效");
    }
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  if (names.empty()) throw OsError("文件夹名称“" + relative + "”无效");
  return names;
}

std::string EnsurePrivateFolder(const std::string& root, const std::string& relative) {
  std::string path = private_folder::WithoutTrailingBackslash(root);
  for (const std::string& name : PrivateFolderLevels(relative)) {
    path += (path.back() == '\\' ? "" : "\\") + name;
    private_folder::MakeLevelPrivate(path);
  }
  return path;
}

std::string CreateFreshPrivateFolder(const std::string& parent, const std::string& prefix) {
  const std::string base = private_folder::WithoutTrailingBackslash(parent) + "\\" + prefix + "-";
  for (int attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
    const std::string path = base + private_folder::UniqueSuffix();
    if (private_folder::CreateProtected(path)) return path;
  }
  private_folder::FailNameTaken(base);
}

}  // namespace platform
