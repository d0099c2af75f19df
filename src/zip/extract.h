#pragma once
// Extracting every entry of an archive below a folder, with the archive's
// folders recreated: each file is decoded beside its target, checked, and
// only then put in its place, with the entry's time and attributes.
#include <string>

#include "platform/file_stream.h"
#include "zip/extraction_target.h"

namespace zip {

// What happens to a file that is already there.
enum class Overwrite {
  Always,   // it is replaced
  IfNewer,  // only an entry with a later time replaces it
};

struct ExtractOptions {
  Overwrite overwrite = Overwrite::Always;
  bool replaceReadOnly = true;  // a read-only file gives way too
};

struct ExtractResult {
  int written = 0;  // files put in place, and folder entries
  int failed = 0;   // entries that did not come out (files kept by the overwrite rule are no failure)
};

// Extracts every entry of the archive, read through `archive` (which the
// caller holds open, and so unchanged), below `folder`. A failed entry is
// reported to the target and the run goes on. A failure of the whole archive
// ends the run with a ZipError (IncompleteZipError, BadZipFileError,
// FatalUnzipError, OutputWriteError, ...) or an InflateError; what the target
// throws passes on as it is. The file being decoded is then removed.
ExtractResult Extract(platform::FileStream& archive, const std::string& folder, const ExtractOptions& options,
                      IExtractionTarget& target);

}  // namespace zip
