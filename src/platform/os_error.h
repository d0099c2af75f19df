#pragma once
#include <stdexcept>
#include <string>

namespace platform {

// A failed system call, carrying the system's own text for the failure.
class OsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The system's text for the calling thread's last error (GetLastError/errno).
std::string LastErrorText();

}  // namespace platform
