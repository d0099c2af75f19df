#pragma once
// Everything the engine reaches outside itself, handed in as one bundle:
// the user, starting programs, the registry, shell links, HTTP, the trace
// file, where the running program lies and where the machine keeps program
// data. The Windows build passes the real ones; tests pass recording fakes
// and a sandbox.
#include <functional>
#include <string>

namespace platform {
class IProcessLauncher;
class IRegistry;
class IShell;
}  // namespace platform
namespace http {
class IFetcher;
}

namespace engine {

class IUserNotices;
class TraceFile;

struct Services {
  IUserNotices& notices;
  platform::IProcessLauncher& processes;
  platform::IRegistry& registry;
  platform::IShell& shell;
  http::IFetcher& fetcher;
  const TraceFile& trace;
  std::string programPath;  // the running program's file
  // The machine's program-data folder, without a trailing backslash: the
  // updater's private folder and its staging folder lie below it. Asked for
  // when set-up needs it, so that not finding it fails set-up like any other
  // step.
  std::function<std::string()> programData;
};

}  // namespace engine
