#pragma once
// Installing a module from its delta package (docs/delta-format.md): the
// package is unpacked into a work folder, every base file on disk is checked
// against the index, each patched and new file is written beside its target
// and checked against its result digest, and only then are all of them put
// in place through the extraction target (the package's transaction).
#include <stdexcept>
#include <string>

#include "platform/file_stream.h"
#include "zip/extraction_target.h"

namespace engine {

// Why a delta could not be used, for the trace.
class DeltaNotUsableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Installs the delta package held in `package` into `targetDir`, using the
// empty folder `workFolder`. Throws DeltaNotUsableError, or the error of the
// step that failed (a zip, patch or file error); the caller then undoes what
// `files` was told and removes the work folder.
void InstallFromDelta(platform::FileStream& package, const std::string& workFolder, const std::string& targetDir,
                      zip::IExtractionTarget& files);

}  // namespace engine
