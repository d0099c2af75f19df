#include "engine/staged_package.h"

#include <vector>

#include "platform/crypto.h"
#include "platform/files.h"

namespace engine {

StagedPackage::StagedPackage(std::unique_ptr<platform::FileStream> held)
    : path_(held->path()), hold_(std::move(held)) {}

std::string StagedPackage::Digest() { return DigestOf(*hold_); }

void StagedPackage::Remove() {
  hold_.reset();
  platform::RemoveFile(path_);
}

std::string DigestOf(platform::FileStream& file) {
  platform::Sha256 hash;
  std::vector<char> buffer(1 << 16);
  file.Seek(0, 0);
  for (size_t got; (got = file.Read(buffer.data(), buffer.size())) > 0;) hash.Update({buffer.data(), got});
  return hash.Finish();
}

}  // namespace engine
