#include "platform/private_folder.h"

#include "platform/os_error.h"

namespace platform {

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

}  // namespace platform
