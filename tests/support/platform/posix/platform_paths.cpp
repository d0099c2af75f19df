#include "support/platform/platform_paths.h"

#include <cstdlib>
#include <filesystem>

namespace testing_support {

// The native build maps drive C: onto the folder AUTOUPDATE_DRIVE_ROOT names.
std::string SandboxRootFor(const std::string& tempFolder) {
  ::setenv("AUTOUPDATE_DRIVE_ROOT", tempFolder.c_str(), 1);
  std::filesystem::create_directories(tempFolder + "/C/sandbox");
  std::filesystem::create_directories(tempFolder + "/C/ProgramData");  // as on every machine
  return "C:\\sandbox";
}

void ReleaseSandboxRoot() { ::unsetenv("AUTOUPDATE_DRIVE_ROOT"); }

}  // namespace testing_support
