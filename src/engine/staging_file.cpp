#include "engine/staging_file.h"

#include "engine/staged_package.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "platform/os_error.h"

namespace engine {
namespace {

// Names tried for the part file; one a local user holds or planted is
// passed over.
constexpr int kPartNames = 10;

std::string PartName(const std::string& packagePath, int attempt) {
  return packagePath + ".~part" + (attempt == 0 ? "" : std::to_string(attempt));
}

}  // namespace

StagingFile::StagingFile(std::string packagePath, std::optional<std::uint64_t> limit)
    : packagePath_(std::move(packagePath)), limit_(limit) {
  std::string reason;
  for (int attempt = 0; attempt < kPartNames && !file_; ++attempt) {
    partPath_ = PartName(packagePath_, attempt);
    platform::RemoveFile(partPath_);  // left by a run that was stopped
    try {
      file_ = std::make_unique<platform::FileStream>(partPath_, platform::FileMode::CreateNew);
    } catch (const platform::OsError& e) {
      reason = e.systemText();
    }
  }
  if (!file_) throw StagingError("无法在暂存文件夹中创建文件“" + partPath_ + "”：" + reason);
}

StagingFile::~StagingFile() {
  if (committed_) return;
  file_.reset();
  platform::RemoveFile(partPath_);
}

void StagingFile::Restart() {
  if (file_->Seek(0, 0) != 0 || !file_->SetSize(0)) {
    throw StagingError("无法重写文件“" + partPath_ + "”：" + platform::LastErrorText());
  }
  size_ = 0;
}

void StagingFile::Write(std::string_view block) {
  if (limit_ && block.size() > *limit_ - size_) {
    throw StagingError("文件大小不符：更新说明为 " + std::to_string(*limit_) + " 字节，服务器发来的数据比这更多。");
  }
  if (file_->Write(block.data(), block.size()) != block.size()) {
    throw StagingError("写入文件“" + partPath_ + "”失败：" + platform::LastErrorText());
  }
  size_ += block.size();
}

std::unique_ptr<platform::FileStream> StagingFile::Commit() {
  try {
    file_->RenameTo(packagePath_);
  } catch (const platform::OsError& e) {
    throw StagingError("无法把下载的文件改名为“" + packagePath_ + "”：" + e.systemText());
  }
  committed_ = true;
  return std::move(file_);
}

}  // namespace engine
