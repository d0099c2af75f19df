#pragma once
// Everything the engine reaches outside itself, handed in as one bundle:
// message boxes, starting programs, the registry, shell links, HTTP, the
// trace file and where the running program lies. The Windows build passes
// the real ones; tests pass recording fakes and a sandbox.
#include <string>

namespace platform {
class IMessageBox;
class IProcessLauncher;
class IRegistry;
class IShell;
}  // namespace platform
namespace http {
class IFetcher;
}

namespace engine {

class TraceFile;

struct Services {
  platform::IMessageBox& messageBox;
  platform::IProcessLauncher& processes;
  platform::IRegistry& registry;
  platform::IShell& shell;
  http::IFetcher& fetcher;
  const TraceFile& trace;
  std::string programPath;  // the running program's file
};

}  // namespace engine
