#pragma once
// What the engine needs of the operating system beyond files: message boxes,
// starting programs, the registry, shell links and the internet client. The
// Windows build passes the real ones; tests pass recording fakes.
namespace platform {
class IMessageBox;
class IProcessLauncher;
class IRegistry;
class IShell;
}  // namespace platform
namespace http {
class IInternetClient;
}

namespace engine {

struct Environment {
  platform::IMessageBox& messageBox;
  platform::IProcessLauncher& processes;
  platform::IRegistry& registry;
  platform::IShell& shell;
  http::IInternetClient& internet;
};

}  // namespace engine
