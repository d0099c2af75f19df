#pragma once
#include <cstdint>
#include <string>

namespace platform {

enum : int { SwHide = 0, SwShowNormal = 1 };

// Starting other programs. The program is always named by its full path and
// never searched for: a search looks in the updater's folder, the current
// folder and along PATH, where anybody may have planted a program of that
// name, and it would run as administrator. The command line is handed over as it is (its first
// word names the program for the program's own use); no command interpreter
// is involved.
class IProcessLauncher {
 public:
  virtual ~IProcessLauncher() = default;
  // Starts and returns at once; false when it could not start (also when the
  // program is not a full path).
  virtual bool Start(const std::string& program, const std::string& commandLine, int showMode) = 0;
  // Starts, waits without a time limit and returns the exit code; 0 when the
  // program could not be started. The program runs in `currentFolder`, or in
  // the updater's own current folder when that is empty.
  virtual std::uint32_t RunAndWait(const std::string& program, const std::string& commandLine, int showMode,
                                   const std::string& currentFolder) = 0;
  std::uint32_t RunAndWait(const std::string& program, const std::string& commandLine, int showMode) {
    return RunAndWait(program, commandLine, showMode, {});
  }
};

}  // namespace platform
