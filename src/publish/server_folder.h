#pragma once
// Writing into a server folder so that clients reading at the same time
// never see a half-written file: everything is written in the hidden staging
// folder first and moved into place by rename, a document's signature before
// the document.
#include <filesystem>
#include <optional>
#include <string>

#include "platform/signing_key.h"

namespace publish {

inline constexpr const char* kStagingName = ".au-publish-staging";

// The staging folder, empty; removed again on every way out.
class StagingFolder {
 public:
  explicit StagingFolder(std::filesystem::path path);
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder();
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The publisher's private key from a PEM file; nullopt without a path.
// PublishError when it cannot be read or is no P-256 key.
std::optional<platform::SigningKey> ReadKey(const std::optional<std::string>& path);

// A document and its signature, each written beside the server folder's
// own and moved over it: the signature first, then the document. Without a
// key the old signature goes, as it signs other bytes.
void PublishSigned(const std::filesystem::path& server, const StagingFolder& staging, const std::string& name,
                   const std::string& bytes, const std::optional<platform::SigningKey>& key);

}  // namespace publish
