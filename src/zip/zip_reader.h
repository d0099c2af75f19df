#pragma once
// Reading the records of a zip archive from a buffered stream.
#include <optional>
#include <string>

#include "zip/buffer_stream.h"
#include "zip/zip_entry.h"

namespace zip {

// Finds the end record nearest the end of the archive within its last
// 65,557 bytes, with the Zip64 locator and end record before it. A
// zero-length archive counts as found (no entries).
bool FindEndOfCentral(BufferedStream& archive, EndOfCentralDirectory& end);

// Reads one central header at the current position into `entry`. On success the position is at the start of the
// entry's extra field; on failure it is back where it was.
bool ReadCentralHeader(ZipEntry& entry, BufferedStream& archive);

// Reads one local header at the current position (for the recovery scan).
// On success the position is at the end of the name.
bool ReadLocalHeader(ZipEntry& entry, BufferedStream& archive);

// Stored name bytes to the program's text: slashes become backslashes, and
// the bytes are read in the OEM code page when made on MS-DOS (or in a local
// header, where the host is not known), in the ANSI code page otherwise.
std::string EntryNameText(const std::string& stored, bool fromMsDos);

// The last Zip64 block (header ID 1) of an extra field, with the values
// the header's escaped fields stand for.
std::optional<Zip64Extra> ParseZip64Extra(const EntryHeader& header, const std::string& extra);

}  // namespace zip
