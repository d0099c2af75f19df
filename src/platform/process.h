#pragma once
// The running process: its arguments, how it loads DLLs and how it ends.
#include <string>
#include <vector>

namespace platform {

// From here on, DLLs load from the system folder only and the current folder
// is out of every search: the program runs as administrator and may be
// started from a download folder. Called first thing in the program.
void RestrictDllSearchToSystemFolder();

// The process's arguments without the program name, split by the system's
// usual rules, as UTF-8.
std::vector<std::string> ProcessArguments();

// Ends the process at once, whatever other threads are doing.
[[noreturn]] void EndProcess(int exitCode);

}  // namespace platform
