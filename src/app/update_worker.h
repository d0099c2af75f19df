#pragma once
// The update worker: runs one whole update away from the window's thread and
// reports every stage of it.
#include <memory>
#include <thread>

#include "app/launch_params.h"
#include "app/progress_report.h"
#include "engine/services.h"
#include "engine/update_engine.h"

namespace app {

class UserNotices;

// The machine-wide lock every updater takes before it touches anything.
inline constexpr const char* kUpdaterLockName = "ZEPRA.AutoUpdate";

class UpdateWorker {
 public:
  // Starts a thread at once with its own copy of the parameters; the object
  // lives on that thread and frees itself when the body returns. The program
  // detaches the thread and its end cuts it off; a test joins it.
  // `notices` shows what set-up could not do.
  [[nodiscard]] static std::thread Start(const LaunchParams& params, IProgressReport& report,
                                         const engine::Services& services, engine::NewServer newServer,
                                         UserNotices& notices);

  UpdateWorker(const LaunchParams& params, IProgressReport& report, const engine::Services& services,
               engine::NewServer newServer, UserNotices& notices);
  // The thread body: Waiting while another updater runs, then Connecting,
  // Checking, then Updating ... Finished or Current; a refused server as a
  // refusal, any other error as an error with its text.
  void Execute();

 private:
  void Run();

  LaunchParams params_;
  IProgressReport& report_;
  const engine::Services& services_;
  engine::NewServer newServer_;
  std::unique_ptr<engine::UpdateEngine> engine_;
  UserNotices& notices_;
};

}  // namespace app
