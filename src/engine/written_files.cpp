#include "engine/written_files.h"

#include "base/text.h"
#include "engine/staged_package.h"

namespace engine {

WrittenFiles::Recording::Recording(WrittenFiles& files, zip::Unzipper& zipper) : events_(zipper.events()) {
  events_.onDecoded = [&files](zip::Unzipper&, int index, const uint8_t* data, size_t count) {
    files.Decoded(index, data, count);
  };
  events_.onEndEntry = [&files](zip::Unzipper&, int index, const std::string& path) { files.Written(index, path); };
}

WrittenFiles::Recording::~Recording() {
  events_.onDecoded = nullptr;
  events_.onEndEntry = nullptr;
}

void WrittenFiles::Decoded(int index, const uint8_t* data, size_t count) {
  if (index != index_ || !hash_) {
    index_ = index;
    hash_ = std::make_unique<platform::Sha256>();
  }
  hash_->Update({reinterpret_cast<const char*>(data), count});
}

void WrittenFiles::Written(int index, const std::string& path) {
  // An empty file decodes no bytes at all.
  const std::string digest = index == index_ && hash_ ? hash_->Finish() : platform::Sha256().Finish();
  hash_.reset();
  index_ = -1;
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
