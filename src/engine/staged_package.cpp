#include "engine/staged_package.h"

#include <vector>

#include "platform/crypto.h"
#include "platform/files.h"

namespace engine {

StagedPackage::StagedPackage(std::string path) : path_(std::move(path)) {
  try {
    // Read access only, shared with readers only: no writer, no rename, no
    // delete while it is open.
    hold_ = std::make_unique<platform::FileStream>(path_, platform::FileMode::ReadDenyWrite);
  } catch (const platform::OsError& e) {
    throw StagingError("无法锁定暂存文件“" + path_ + "”：" + e.systemText());
  }
}

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
