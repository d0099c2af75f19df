#pragma once
// The update worker: runs one whole update away from the window's thread and
// reports every stage to the window by posting status and progress messages.
#include <functional>
#include <memory>
#include <string>

#include "app/launch_params.h"
#include "app/status_messages.h"

namespace engine {
class UpdateEngine;
}

namespace app {

class UserNotices;

// Creates the engine of one run for a server address.
using EngineFactory = std::function<std::unique_ptr<engine::UpdateEngine>(const std::string& serverUrl)>;

// The machine-wide lock every updater takes before it touches anything.
inline constexpr const char* kUpdaterLockName = "ZEPRA.AutoUpdate";

class UpdateWorker {
 public:
  // Starts a thread at once with its own copy of the parameters; the object
  // lives on that thread and frees itself when the body returns. Nobody waits
  // for it: the program's end cuts it off.
  // `notices` shows what set-up could not do.
  static void Create(const LaunchParams& params, IStatusSink& sink, EngineFactory makeEngine, UserNotices& notices);

  UpdateWorker(const LaunchParams& params, IStatusSink& sink, EngineFactory makeEngine, UserNotices& notices);
  // The thread body: status 6 while another updater runs, then statuses 1,
  // 2, then 3 ... 9 or 4; a refused server as status 5, any other error as
  // status 0.
  void Execute();

 private:
  void Run();
  void PostStatus(Status status) { sink_.PostStatus(status); }
  void PostError(const std::string& text) { sink_.PostError(text); }
  void PostProgress(std::int32_t done, std::int32_t total) { sink_.PostProgress(done, total); }

  LaunchParams params_;
  std::unique_ptr<engine::UpdateEngine> engine_;
  IStatusSink& sink_;
  EngineFactory makeEngine_;
  UserNotices& notices_;
};

}  // namespace app
