#pragma once
// A package in the staging folder, held open from its download until it has
// been unpacked, and read only through that handle: while it is held nobody
// can change, rename or delete it, so the bytes unpacked are the bytes
// verified.
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/file_stream.h"

namespace engine {

class StagingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StagedPackage {
 public:
  // Takes over a file already held.
  explicit StagedPackage(std::unique_ptr<platform::FileStream> held);
  const std::string& path() const { return path_; }
  platform::FileStream& file() { return *hold_; }
  // The SHA-256 of the bytes held, read through the hold: the bytes that
  // will be unpacked.
  std::string Digest();
  // Lets go of the file and deletes it (a package that is not as published
  // stays out of the shared folder).
  void Remove();

 private:
  std::string path_;
  std::unique_ptr<platform::FileStream> hold_;
};

// The SHA-256 of everything a file holds, read from its start.
std::string DigestOf(platform::FileStream& file);

}  // namespace engine
