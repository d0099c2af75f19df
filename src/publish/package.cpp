#include "publish/package.h"

#include <fstream>
#include <vector>

#include "engine/hex.h"
#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/file_info.h"
#include "zip/zip_writer.h"

namespace publish {
namespace {

// Folders carry no time the updater looks at: a fixed one keeps packages
// of the same files identical.
constexpr std::uint32_t kFolderDosTime = 0x00210000;  // 1980-01-01 00:00

std::uint32_t ModifiedDosTime(const std::string& path) {
  const auto time = platform::FileDosDateTime(path);
  if (!time) throw PublishError("无法读取文件“" + path + "”的修改时间。");
  return *time;
}

}  // namespace

PackageDigest WritePackage(const ReleaseModule& module, const std::string& path) {
  zip::ZipWriter writer(path);
  for (const ReleaseFile& file : module.files) {
    const std::string name = platform::EncodeFromUtf8(file.nameInPackage, "GB2312").value();
    if (file.sourcePath.empty()) {
      writer.AddDirectory(name, kFolderDosTime);
    } else {
      writer.AddFile(name, file.sourcePath, ModifiedDosTime(file.sourcePath));
    }
  }
  writer.Finish();
  return HashFile(path);
}

PackageDigest HashFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PublishError("无法读取文件“" + path + "”。");
  platform::Sha256 hash;
  PackageDigest digest;
  std::vector<char> block(1 << 16);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    hash.Update(std::string_view(block.data(), static_cast<size_t>(in.gcount())));
    digest.size += static_cast<std::uint64_t>(in.gcount());
  }
  if (in.bad()) throw PublishError("无法读取文件“" + path + "”。");
  digest.sha256 = engine::ToHex(hash.Finish());
  return digest;
}

std::string ServerFileName(const std::string& name) {
  return platform::EncodeFromUtf8(name, "GB2312").value_or(name);
}

}  // namespace publish
