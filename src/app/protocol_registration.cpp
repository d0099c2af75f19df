#include "app/protocol_registration.h"

#include "platform/registry.h"

namespace app {

std::string ProtocolCommand(const std::string& programPath) { return "\"" + programPath + "\" \"%1\""; }

void RegisterProtocol(platform::IRegistry& registry, const std::string& programPath) {
  using platform::RegistryRoot;
  if (registry.WriteString(RegistryRoot::ClassesRoot, kProtocolKey, "URL Protocol", "URL:ZEPRA")) {
    registry.WriteString(RegistryRoot::ClassesRoot, kProtocolCommandKey, "", ProtocolCommand(programPath));
  }
  registry.WriteString(RegistryRoot::LocalMachine, kUserAgentKey, "ZEPRA 1.0", "");
}

}  // namespace app
