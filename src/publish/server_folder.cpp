#include "publish/server_folder.h"

#include <stdexcept>
#include <system_error>

#include "engine/manifest_signature.h"
#include "platform/files.h"
#include "publish/release.h"

namespace publish {
namespace fs = std::filesystem;

StagingFolder::StagingFolder(fs::path path) : path_(std::move(path)) {
  fs::remove_all(path_);
  fs::create_directories(path_);
}

StagingFolder::~StagingFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::optional<platform::SigningKey> ReadKey(const std::optional<std::string>& path) {
  if (!path) return std::nullopt;
  const auto pem = platform::ReadWholeFile(*path);
  if (!pem) throw PublishError("无法读取私钥文件“" + *path + "”。");
  try {
    return platform::SigningKey::FromPem(*pem);
  } catch (const std::invalid_argument& e) {
    throw PublishError("私钥文件“" + *path + "”" + e.what() + "。");
  }
}

void PublishSigned(const fs::path& server, const StagingFolder& staging, const std::string& name,
                   const std::string& bytes, const std::optional<platform::SigningKey>& key) {
  const std::string signatureName = name + std::string(engine::kSignatureSuffix);
  platform::WriteWholeFile((staging / name).string(), bytes);
  if (key) {
    platform::WriteWholeFile((staging / signatureName).string(), key->Sign(bytes));
    fs::rename(staging / signatureName, server / signatureName);
  } else {
    fs::remove(server / signatureName);
  }
  fs::rename(staging / name, server / name);
}

}  // namespace publish
