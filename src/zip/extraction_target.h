#pragma once
// What an extraction tells its caller, step by step, and what it asks of it:
// the one place where the caller takes part in extracting an archive.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zip {

// Why an entry's file was not written.
enum class EntryFailure {
  UnsafeName,  // it would land outside the folder, or in no ordinary file
  OtherPart,   // its data lies in another part of a multi-part set
  Encrypted,   // no password can open it
  Unwritable,  // its file could not be created or put in place, or is read-only and kept
  // Its data is compressed by a method that is not decoded. Reported when it
  // is met: nothing is decoded, so only an empty entry then passes its check.
  UnsupportedMethod,
  Damaged,  // what came out is not the entry: longer, cut short, another CRC or size
};

// Each step does nothing unless overridden; the file's commit moves it over
// its target.
class IExtractionTarget {
 public:
  virtual ~IExtractionTarget() = default;
  // A folder the extraction created, parents first.
  virtual void FolderCreated(const std::string& folder);
  // The file an entry is about to be decoded into, before it is created.
  virtual void Decoding(const std::string& decodedPath);
  // Each piece of the entry's bytes as it is written to that file.
  virtual void Decoded(const uint8_t* data, size_t count);
  // Puts the decoded, checked file in the place of `target`; false when the
  // system refused.
  virtual bool Replace(const std::string& decoded, const std::string& target);
  // The entry's file is in place, with its time and attributes.
  virtual void Written(const std::string& path);
  // The entry whose file (or folder) is `path` did not come out.
  virtual void Failed(const std::string& path, EntryFailure why);
};

}  // namespace zip
