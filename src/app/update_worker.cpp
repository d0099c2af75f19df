#include "app/update_worker.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "app/user_notices.h"
#include "app/user_texts.h"
#include "engine/server_address.h"
#include "engine/update_engine.h"
#include "platform/com_apartment.h"
#include "platform/machine_lock.h"

namespace app {

namespace {

std::string RefusalText(const engine::ServerRefused& refusal) {
  if (refusal.reason() == engine::ServerRefused::Reason::UnclearAddress) {
    return texts::UnclearWebAddress(refusal.address());
  }
  return texts::DeclinedServer(engine::ServerDisplayName(refusal.address()));
}

UpdateWorker::FinalReport Ended(Status status) {
  return [status](IProgressReport& report) { report.OnStatus(status); };
}

UpdateWorker::FinalReport Error(std::string text) {
  return [text = std::move(text)](IProgressReport& report) { report.OnError(text); };
}

UpdateWorker::FinalReport Refusal(std::string text) {
  return [text = std::move(text)](IProgressReport& report) { report.OnRefusal(text); };
}

}  // namespace

std::thread UpdateWorker::Start(const LaunchParams& params, IProgressReport& report,
                                const engine::Services& services, engine::NewServer newServer,
                                UserNotices& notices) {
  // The copy is complete before the body starts.
  auto worker = std::make_unique<UpdateWorker>(params, report, services, newServer, notices);
  return std::thread([self = std::move(worker)] { self->Execute(); });
}

UpdateWorker::UpdateWorker(const LaunchParams& params, IProgressReport& report, const engine::Services& services,
                           engine::NewServer newServer, UserNotices& notices)
    : params_(params), report_(report), services_(services), newServer_(newServer), notices_(notices) {}

void UpdateWorker::Execute() {
  const FinalReport last = RunHoldingTheLock();
  // Told once the run has let go of everything: the window closes on it and
  // the program ends, with nothing of this thread's left to cut off.
  last(report_);
}

UpdateWorker::FinalReport UpdateWorker::RunHoldingTheLock() {
  platform::ComApartment com;
  // One updater at a time on the machine: a second one started meanwhile
  // (a link clicked twice, a web page) waits, then runs as usual. Held
  // until this run is over, and let go by the system if it is killed.
  std::optional<platform::MachineLock> oneAtATime;
  try {
    oneAtATime.emplace(kUpdaterLockName);
    if (!oneAtATime->TryTake()) {
      report_.OnStatus(Status::Waiting);
      oneAtATime->Take();
    }
  } catch (const std::exception& e) {
    return Error(e.what());
  }
  return Run();
}

UpdateWorker::FinalReport UpdateWorker::Run() {
  report_.OnStatus(Status::Connecting);
  try {
    engine::UpdateEngine engine(params_.serverUrl, services_, newServer_);
    if (const std::optional<engine::SetUpFailure> failure = engine.SetUp()) notices_.SetUpFailed(*failure);
    engine.SetProgressCallback([this](std::int32_t done, std::int32_t total) { report_.OnProgress(done, total); });
    report_.OnStatus(Status::Checking);
    if (!engine.CheckForUpdates(params_.appName)) return Ended(Status::Current);
    report_.OnStatus(Status::Updating);
    engine.Install();
    return Ended(Status::Finished);
  } catch (const engine::ServerRefused& e) {
    return Refusal(RefusalText(e));
  } catch (const engine::BadServerAddress& e) {
    return Error(texts::UnusableServerAddress(e.address()));
  } catch (const std::exception& e) {
    return Error(e.what());
  } catch (...) {
    return Error(texts::kUnknownError);
  }
}

}  // namespace app
