#pragma once
// How the platform layer reports failures, everywhere:
//  - probes (does it exist, what does it hold) and best-effort steps whose
//    failure the caller passes over (create one folder, remove a file, set a
//    time) return what they found or whether they succeeded;
//  - operations whose failure the caller must report raise OsError, whose
//    message says what failed and ends with the system's own text for the
//    failure (also kept on its own, for callers that word the failure
//    themselves).
#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

// A failed system call. The message says what failed and ends with the
// system's own text for the failure, which is also kept on its own.
class OsError : public std::runtime_error {
 public:
  explicit OsError(const std::string& message, std::string systemText = {})
      : std::runtime_error(message), systemText_(std::move(systemText)) {}
  const std::string& systemText() const { return systemText_; }

 private:
  std::string systemText_;
};

// The system's text for the calling thread's last error (GetLastError/errno).
std::string LastErrorText();

}  // namespace platform
