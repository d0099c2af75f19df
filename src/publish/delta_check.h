#pragma once
// Checking a delta package the way a client will use it: every base file
// matched against the index, every patch applied, every result checked
// against its digest and, byte for byte, against the new package's file.
#include <string>

#include "publish/unpacked_package.h"

namespace publish {

// Why the delta package does not turn `previous` into `expected`; empty
// when it does. `work`: an empty folder to unpack and patch in.
std::string DeltaPackageProblem(const std::string& deltaPath, const FileTree& previous, const FileTree& expected,
                                const std::string& work);

}  // namespace publish
