#pragma once
#include <string>

namespace platform {

class IShell {
 public:
  virtual ~IShell() = default;
  // The current user's desktop folder in the file system (no trailing backslash).
  virtual std::string DesktopDirectory() = 0;
  // Writes a shell link file at linkPath pointing at target, started in
  // workingDirectory; an existing link is replaced. Raises OsError when the
  // shell cannot make a link at all; whether the path, the folder and the
  // saving took is not looked at.
  virtual void CreateLink(const std::string& linkPath, const std::string& target,
                          const std::string& workingDirectory) = 0;
};

}  // namespace platform
