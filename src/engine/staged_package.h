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
  // Holds the file and checks, through the hold, that it holds exactly the
  // bytes of this SHA-256 digest; StagingError when it cannot be held or
  // holds anything else.
  StagedPackage(std::string path, const std::string& digest);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<platform::FileStream> hold_;
};

// The SHA-256 of everything a file holds, read from its start.
std::string DigestOf(platform::FileStream& file);

// Lower-case hexadecimal.
std::string ToHex(const std::string& bytes);

}  // namespace engine
