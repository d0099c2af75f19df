#pragma once
#include <cstdint>
#include <string>

namespace platform {

enum : int { SwHide = 0, SwShowNormal = 1 };

// Starting other programs from a command line whose first word names the
// program (resolved by the system: ".exe" added, program folder, current
// folder, system folders, search path); no command interpreter is involved.
class IProcessLauncher {
 public:
  virtual ~IProcessLauncher() = default;
  // Starts and returns at once (like WinExec); false when it could not start.
  virtual bool Start(const std::string& commandLine, int showMode) = 0;
  // Starts, waits without a time limit and returns the exit code; 0 when the
  // program could not be started.
  virtual std::uint32_t RunAndWait(const std::string& commandLine, int showMode) = 0;
};

}  // namespace platform
