#include "platform/internet.h"

#include "platform/os_error.h"

namespace platform {

// The native build only tests the fetch over scripted clients.
std::unique_ptr<platform::IInternetClient> CreateInternetClient(std::chrono::milliseconds) {
  throw OsError("No system internet client in this build");
}

}  // namespace platform
