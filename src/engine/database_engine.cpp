#include "engine/database_engine.h"

#include "platform/registry.h"

namespace engine {

bool IsDatabaseEngineInstalled(platform::IRegistry& registry) {
  try {
    auto value = registry.ReadString(platform::RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH");
    return value && !value->empty();
  } catch (...) {
    return false;
  }
}

}  // namespace engine
