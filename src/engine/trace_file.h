#pragma once
// The trace file debug.ini beside the program: one key=value per call in
// section "debug", latest value per key. Nothing reads it; people do.
#include <stdexcept>
#include <string>

namespace engine {

class ETraceWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Full path of debug.ini: the running program's folder and "debug.ini".
std::string TraceFilePath();

// Raises ETraceWriteError "Unable to write to <path>" when the file cannot be written.
void DebugLog(const std::string& key, const std::string& value);

}  // namespace engine
