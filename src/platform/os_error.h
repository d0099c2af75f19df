#pragma once
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
