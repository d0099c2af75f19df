#include <string>

#include "platform/file_info.h"
#include "platform/files.h"
#include "platform/os_error.h"

namespace platform {

void ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  const std::string written = path + ".~save";
  try {
    WriteWholeFile(written, bytes);
  } catch (const OsError&) {
    RemoveFile(written);
    throw;
  }
  if (!MoveFileOver(written, path)) {
    const std::string reason = LastErrorText();
    RemoveFile(written);
    throw OsError("无法替换文件“" + path + "”：" + reason, reason);
  }
}

}  // namespace platform
