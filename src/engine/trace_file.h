#pragma once
// The trace file debug.ini beside the program: one key=value per write in
// section "debug", latest value per key. Nothing reads it; people do.
#include <stdexcept>
#include <string>

namespace engine {

class TraceWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TraceFile {
 public:
  // debug.ini in the folder of the program at programPath.
  explicit TraceFile(const std::string& programPath);
  const std::string& path() const { return path_; }
  // Raises TraceWriteError "Unable to write to <path>" when the file cannot
  // be written.
  void Write(const std::string& key, const std::string& value) const;

 private:
  std::string path_;
};

}  // namespace engine
