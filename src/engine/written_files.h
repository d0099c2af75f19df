#pragma once
// The files one extraction wrote into a folder that every user of the machine
// may write to, each with the SHA-256 of the bytes written for it. Holding
// them and finding those bytes again shows that what is started from there is
// what the package held, whatever lay there before or happened in between.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/crypto.h"
#include "platform/file_stream.h"
#include "zip/extraction_target.h"

namespace engine {

// As an extraction's target it notes each file written, with its bytes.
class WrittenFiles : public zip::IExtractionTarget {
 public:
  WrittenFiles() = default;
  WrittenFiles(const WrittenFiles&) = delete;
  WrittenFiles& operator=(const WrittenFiles&) = delete;

  void Decoding(const std::string& decodedPath) override;
  void Decoded(const uint8_t* data, size_t count) override;
  void Written(const std::string& path) override;

  bool Contains(const std::string& path) const;
  // Opens every file so that nobody can write, rename or delete it, and
  // checks its bytes; false, with nothing held, when one cannot be held or
  // is no longer as written.
  bool HoldUnchanged();
  void Release() { holds_.clear(); }

 private:
  std::unique_ptr<platform::Sha256> hash_;  // of the entry being decoded
  std::map<std::string, std::pair<std::string, std::string>> digests_;  // upper-cased path → path, digest
  std::vector<std::unique_ptr<platform::FileStream>> holds_;
};

}  // namespace engine
