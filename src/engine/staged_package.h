#pragma once
// A package in the staging folder, held open from its check until it has been
// unpacked: while it is held nobody can change, rename or delete it, so the
// bytes unpacked are the bytes verified. The folder is shared by every user
// of the machine.
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
  // Holds the file; StagingError when it cannot be held.
  explicit StagedPackage(std::string path);
  const std::string& path() const { return path_; }
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
