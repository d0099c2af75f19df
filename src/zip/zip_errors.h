#pragma once
// Errors of the archive subsystem. Every one derives from EZipException,
// except the list errors and the inflate error, which are general failures of
// their building blocks.
#include <stdexcept>
#include <string>

namespace zip {

class EZipException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

#define AU_ZIP_ERROR(Name)                 \
  class Name : public EZipException {      \
   public:                                 \
    using EZipException::EZipException;    \
  };
AU_ZIP_ERROR(EStreamError)             // "Putback overflow", "Seek error", "Invalid seek origin (%d)"
AU_ZIP_ERROR(EFOpenError)              // "Cannot open file "%s". %s"
AU_ZIP_ERROR(EFCreateError)            // "Cannot create file "%s". %s"
AU_ZIP_ERROR(EIncompleteZip)           // "Incomplete Zip File"
AU_ZIP_ERROR(ENotAZipFile)             // "Not a valid zip file!"
AU_ZIP_ERROR(EBadZipFile)              // "Not a valid zip file!"
AU_ZIP_ERROR(EUserCanceled)            // "User Aborted Operation" and the dialog cancels
AU_ZIP_ERROR(EFatalUnzipError)         // "Premature end of file reached"
AU_ZIP_ERROR(ECantWriteUCF)            // "Cant write uncompressed file"
AU_ZIP_ERROR(EBiggerThanUncompressed)  // "File is larger than uncompressed size!"
AU_ZIP_ERROR(EIncompleteDeflate)       // deflate data ended before its stream did
#undef AU_ZIP_ERROR

class EListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// zlib reported an error while inflating.
class EZCompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zip
