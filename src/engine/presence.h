#pragma once
// Whether a manifest entry is on this machine: the presence rule of the
// version check.
#include <string>

namespace engine {

// The folders an entry can be installed into, each ending with a backslash.
struct Folders {
  std::string app;      // the program's own folder
  std::string system;   // the Windows system folder
  std::string windows;  // the Windows folder
  std::string staging;  // where packages wait to be unpacked: only administrators can write there
};

// A name with a "." is a file, without one a folder. Files are looked for in
// the folder their setup path names (a database-engine entry is present when
// the engine is installed, whatever the disk holds); folders in the system
// folder for the system token, else in the program's folder.
bool IsPresentOnDisk(const Folders& folders, bool hasDatabaseEngine, const std::string& name,
                     const std::string& setupPath);

}  // namespace engine
