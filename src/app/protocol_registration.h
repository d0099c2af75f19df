#pragma once
// Registration of the ZEPRA: URL protocol, so that a browser link starts the
// updater with the whole address as its one argument, and of the "ZEPRA 1.0"
// token that the system browser then adds to its user-agent string.
#include <string>

namespace platform {
class IRegistry;
}

namespace app {

inline constexpr const char* kProtocolKey = "ZEPRA";
inline constexpr const char* kProtocolCommandKey = "ZEPRA\\shell\\open\\command";
inline constexpr const char* kUserAgentKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\User Agent\\Post Platform";

// The command the protocol runs: "<program path>" "%1".
std::string ProtocolCommand(const std::string& programPath);

// Writes the three values in order. A key that cannot be opened or created is
// skipped (the command key lies below the protocol key, so it is skipped with
// it); a refused write raises platform::OsError and stops the registration.
void RegisterProtocol(platform::IRegistry& registry, const std::string& programPath);

}  // namespace app
