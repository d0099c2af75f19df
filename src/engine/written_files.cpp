#include "engine/written_files.h"

#include "base/text.h"
#include "engine/staged_package.h"

namespace engine {

void WrittenFiles::Decoding(const std::string&) { hash_ = std::make_unique<platform::Sha256>(); }

void WrittenFiles::Decoded(const uint8_t* data, size_t count) {
  if (hash_) hash_->Update({reinterpret_cast<const char*>(data), count});
}

void WrittenFiles::Written(const std::string& path) {
  const std::string digest = hash_ ? hash_->Finish() : platform::Sha256().Finish();
  hash_.reset();
  digests_[base::UpperAscii(path)] = {path, digest};
}

bool WrittenFiles::Contains(const std::string& path) const { return digests_.count(base::UpperAscii(path)) != 0; }

bool WrittenFiles::HoldUnchanged() {
  Release();
  for (const auto& [key, written] : digests_) {
    try {
      auto hold = std::make_unique<platform::FileStream>(written.first, platform::FileMode::ReadDenyWrite);
      if (DigestOf(*hold) != written.second) break;
      holds_.push_back(std::move(hold));
    } catch (const platform::OsError&) {
      break;
    }
  }
  if (holds_.size() == digests_.size()) return true;
  Release();
  return false;
}

}  // namespace engine
