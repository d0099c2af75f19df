#pragma once
// What an update run reports to the window: each stage it reaches, its
// progress, and how it failed. The window logic takes the reports on its own
// thread; the worker reports through a PostedReport that carries them there.
#include <cstdint>
#include <string>

namespace app {

// The stages of a run, in the order they are reached.
enum class Status {
  Waiting,  // another updater is running
  Connecting,
  Checking,
  Updating,
  Current,   // nothing to update: the run is over
  Finished,  // updated: the run is over
};

class IProgressReport {
 public:
  virtual ~IProgressReport() = default;
  virtual void OnStatus(Status status) = 0;
  // Steps done and steps in all, while the update runs.
  virtual void OnProgress(std::int32_t done, std::int32_t total) = 0;
  // The run failed with this text; it is over.
  virtual void OnError(std::string text) = 0;
  // The server a web page named is not used (engine::ServerRefused), for this
  // reason; the run is over.
  virtual void OnRefusal(std::string text) = 0;
};

}  // namespace app
