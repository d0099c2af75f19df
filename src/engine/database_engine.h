#pragma once
// Whether the database engine is installed.
#include <string>

namespace platform {
class IRegistry;
}

namespace engine {

// True when the database engine is installed: a non-empty string
// "BLAPIPATH" under HKEY_LOCAL_MACHINE\Software\Borland\BLW32. Never raises.
bool IsDatabaseEngineInstalled(platform::IRegistry& registry);

}  // namespace engine
