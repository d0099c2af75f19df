#pragma once
// A package arriving in the staging folder: written under a name of its own
// that this run created (never one somebody else prepared), and given the
// package's name only once it is complete, through the handle it was written
// with. Until then the package's name is untouched; a part file that is not
// committed is removed.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "http/download.h"
#include "platform/file_stream.h"

namespace engine {

class StagingFile : public http::IDownloadSink {
 public:
  // StagingError when no part file can be created beside packagePath. More
  // than `limit` bytes (when given) is a StagingError while writing.
  StagingFile(std::string packagePath, std::optional<std::uint64_t> limit);
  ~StagingFile() override;
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  void Restart() override;
  // StagingError, naming the file and the system's reason, when the disk
  // refuses the bytes.
  void Write(std::string_view block) override;

  std::uint64_t size() const { return size_; }
  // Renames the file over the package's name through its handle and hands
  // that handle over, still open and shutting everybody else out: the file
  // is never opened by name again. StagingError when the system refuses.
  std::unique_ptr<platform::FileStream> Commit();

 private:
  std::string packagePath_;
  std::string partPath_;
  std::optional<std::uint64_t> limit_;
  std::unique_ptr<platform::FileStream> file_;
  std::uint64_t size_ = 0;
  bool committed_ = false;
};

}  // namespace engine
