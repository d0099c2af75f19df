#include "support/platform/platform_paths.h"

namespace testing_support {

std::string SandboxRootFor(const std::string& tempFolder) { return tempFolder; }
void ReleaseSandboxRoot() {}

}  // namespace testing_support
