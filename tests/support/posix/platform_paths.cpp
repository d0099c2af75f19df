#include "support/platform_paths.h"

#include <filesystem>

#include "platform/posix/host_path.h"

namespace testing_support {

std::string SandboxRootFor(const std::string& tempFolder) {
  platform::posix::SetDriveRoot(tempFolder);
  std::filesystem::create_directories(tempFolder + "/C/sandbox");
  return "C:\\sandbox";
}

void ReleaseSandboxRoot() { platform::posix::SetDriveRoot(""); }

}  // namespace testing_support
