#pragma once
// Small routines the engine shares: the database-engine test and folder
// creation.
#include <string>

namespace platform {
class IRegistry;
}

namespace engine {

// True when the Borland Database Engine is installed: a non-empty string
// "BLAPIPATH" under HKEY_LOCAL_MACHINE\Software\Borland\BLW32. Never raises.
bool IsBDEInstalled(platform::IRegistry& registry);

// Creates a folder with every missing parent, from the top down. Silent: a
// folder that cannot be created stays missing. Does nothing for an empty
// path, a path shorter than 3 characters, a drive root or an existing folder.
void ForceDirectories(const std::string& path);

}  // namespace engine
