#pragma once
// The update worker: runs one whole update away from the window's thread and
// reports every stage of it.
#include <functional>
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
  // lives on that thread and frees itself when the body returns. Whoever
  // starts it joins the thread once the last report has come.
  // `notices` shows what set-up could not do.
  [[nodiscard]] static std::thread Start(const LaunchParams& params, IProgressReport& report,
                                         const engine::Services& services, engine::NewServer newServer,
                                         UserNotices& notices);

  UpdateWorker(const LaunchParams& params, IProgressReport& report, const engine::Services& services,
               engine::NewServer newServer, UserNotices& notices);
  // The thread body: Waiting while another updater runs, then Connecting,
  // Checking, then Updating ... Finished or Current; a refused server as a
  // refusal, any other error as an error with its text. That last report is
  // the body's last act: the engine and the lock are let go before it.
  void Execute();

  // The report a run ends with, made once the run has let go of everything.
  using FinalReport = std::function<void(IProgressReport&)>;

 private:
  FinalReport RunHoldingTheLock();
  FinalReport Run();

  LaunchParams params_;
  IProgressReport& report_;
  const engine::Services& services_;
  engine::NewServer newServer_;
  UserNotices& notices_;
};

}  // namespace app
