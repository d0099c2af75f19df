#pragma once
// Decoding one entry's data out of the archive: a stored copy or raw
// deflate, never more than the entry declares, checked against its CRC-32
// and size.
#include <cstdint>

#include "zip/buffer_stream.h"
#include "zip/extraction_target.h"
#include "zip/zip_entry.h"

namespace zip {

// Whether data compressed by this method is decoded (stored, deflated).
bool IsDecodedMethod(uint16_t method);

// Decodes the entry whose data starts at `dataStart` into `out`, handing
// each piece to the target's Decoded too; data of another method decodes to
// nothing. False when what came out is not the entry. FatalUnzipError when
// the archive ends early, OutputWriteError when `out` takes fewer bytes,
// InflateError when zlib fails.
bool DecodeEntry(BufferedStream& archive, int64_t dataStart, const ZipEntry& entry, BufferedStream& out,
                 IExtractionTarget& target);

}  // namespace zip
