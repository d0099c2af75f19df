#pragma once
// A module's delta package: the index (delta/delta_index.h), a patch for
// each changed file and each new file whole, as a zip archive. Patches and
// new files carry the new file's modification time.
#include <string>

#include "publish/package.h"
#include "publish/release.h"
#include "publish/unpacked_package.h"

namespace publish {

// Writes the delta package from the previous package's files to the
// module's; its digest. `work`: an empty folder for the patches meanwhile.
PackageDigest WriteDeltaPackage(const FileTree& previous, const ReleaseModule& module, const std::string& path,
                                const std::string& work);

}  // namespace publish
