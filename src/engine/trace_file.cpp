#include "engine/trace_file.h"

#include "engine/paths.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace engine {

std::string TraceFilePath() { return FolderOf(platform::ProgramPath()) + "debug.ini"; }

void DebugLog(const std::string& key, const std::string& value) {
  const std::string path = TraceFilePath();
  if (!platform::WriteIniString(path, "debug", key, value)) {
    throw ETraceWriteError("Unable to write to " + path);
  }
}

}  // namespace engine
