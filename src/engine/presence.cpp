#include "engine/presence.h"

#include "base/text.h"
#include "engine/folder_tokens.h"
#include "engine/paths.h"
#include "platform/files.h"

namespace engine {

bool IsPresentOnDisk(const Folders& folders, bool hasDatabaseEngine, const std::string& name,
                     const std::string& setupPath) {
  const bool system = base::SameTextAscii(setupPath, kSystemFolderToken);
  if (name.find('.') == std::string::npos) {
    return platform::DirectoryExists(JoinPath(system ? folders.system : folders.app, name));
  }
  if (base::SameTextAscii(setupPath, kDatabaseEngineToken)) return hasDatabaseEngine;
  const std::string& folder = system                                         ? folders.system
                              : base::SameTextAscii(setupPath, kWindowsFolderToken) ? folders.windows
                                                                               : folders.app;
  return platform::FileExists(JoinPath(folder, name));
}

}  // namespace engine
