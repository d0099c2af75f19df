#include "engine/trace_file.h"

#include "engine/paths.h"
#include "platform/ini_file.h"

namespace engine {

TraceFile::TraceFile(const std::string& programPath) : path_(FolderOf(programPath) + "debug.ini") {}

void TraceFile::Write(const std::string& key, const std::string& value) const {
  if (!platform::WriteIniString(path_, "debug", key, value)) throw TraceWriteError("Unable to write to " + path_);
}

}  // namespace engine
