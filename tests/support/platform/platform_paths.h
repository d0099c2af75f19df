#pragma once
#include <string>

namespace testing_support {

// The Windows-style root the code under test sees for a host temp folder:
// natively drive C: is mapped onto it, under Wine it is the folder itself.
std::string SandboxRootFor(const std::string& tempFolder);
void ReleaseSandboxRoot();

}  // namespace testing_support
