#pragma once
// Errors of the archive subsystem. Every one derives from ZipError, except
// the inflate error, a general failure of zlib.
#include <stdexcept>
#include <string>

namespace zip {

class ZipError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

#define AU_ZIP_ERROR(Name)                 \
  class Name : public ZipError {      \
   public:                                 \
    using ZipError::ZipError;    \
  };
AU_ZIP_ERROR(StreamError)             // "Seek error", "Invalid seek origin (%d)"
AU_ZIP_ERROR(ArchiveOpenError)              // "Cannot open file "%s". %s"
AU_ZIP_ERROR(OutputCreateError)            // "Cannot create file "%s". %s"
AU_ZIP_ERROR(IncompleteZipError)           // "Incomplete Zip File"
AU_ZIP_ERROR(BadZipFileError)              // "Not a valid zip file!"
AU_ZIP_ERROR(FatalUnzipError)         // "Premature end of file reached"
AU_ZIP_ERROR(OutputWriteError)            // "Cant write uncompressed file"
AU_ZIP_ERROR(BiggerThanUncompressedError)  // "File is larger than uncompressed size!"
AU_ZIP_ERROR(IncompleteDeflateError)       // deflate data ended before its stream did
#undef AU_ZIP_ERROR

// zlib reported an error while inflating.
class InflateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zip
