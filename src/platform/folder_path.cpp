#include <string>

#include "platform/files.h"

namespace platform {

void CreateFolderPath(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  // A drive ("C:", "C:\") and anything shorter is there or cannot be made.
  if (folder.size() < 3 || DirectoryExists(folder)) return;
  const size_t cut = folder.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) CreateFolderPath(folder.substr(0, cut));
  CreateDir(folder);
}

}  // namespace platform
