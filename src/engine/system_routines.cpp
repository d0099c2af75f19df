#include "engine/system_routines.h"

#include "engine/paths.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace engine {

bool IsBDEInstalled(platform::IRegistry& registry) {
  try {
    auto value = registry.ReadString(platform::RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH");
    return value && !value->empty();
  } catch (...) {
    return false;
  }
}

void ForceDirectories(const std::string& path) {
  if (path.empty()) return;
  std::string dir = path;
  if (dir.back() == '\\') dir.pop_back();
  if (dir.size() < 3 || platform::DirectoryExists(dir) || dir == FolderOf(dir)) return;
  ForceDirectories(FolderOf(dir));
  platform::CreateDir(dir);
}

}  // namespace engine
