#include "publish/package.h"

#include "base/hex.h"
#include "engine/staged_package.h"
#include "platform/codepage.h"
#include "platform/file_info.h"
#include "platform/file_stream.h"
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
    const std::string name = InClientCodePage(file.nameInPackage);
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
  try {
    platform::FileStream file(path, platform::FileMode::ReadDenyWrite);
    const std::string digest = engine::DigestOf(file);
    return {base::ToHex(digest), static_cast<std::uint64_t>(file.Size())};
  } catch (const platform::OsError&) {
    throw PublishError("无法读取文件“" + path + "”。");
  }
}

std::string InClientCodePage(const std::string& name) {
  return platform::EncodeFromUtf8(name, "GB2312").value_or(name);
}

}  // namespace publish
