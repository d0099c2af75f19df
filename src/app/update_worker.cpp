#include "app/update_worker.h"

#include <exception>
#include <optional>
#include <thread>

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
    report_.OnError(e.what());
    return;
  }
  Run();
}

void UpdateWorker::Run() {
  report_.OnStatus(Status::Connecting);
  try {
    engine_ = std::make_unique<engine::UpdateEngine>(params_.serverUrl, services_, newServer_);
    if (const std::optional<engine::SetUpFailure> failure = engine_->SetUp()) notices_.SetUpFailed(*failure);
    engine_->SetProgressCallback([this](std::int32_t done, std::int32_t total) { report_.OnProgress(done, total); });
    report_.OnStatus(Status::Checking);
    if (engine_->CheckForUpdates(params_.appName)) {
      report_.OnStatus(Status::Updating);
      engine_->Install();
      report_.OnStatus(Status::Finished);
    } else {
      report_.OnStatus(Status::Current);
    }
    engine_.reset();
  } catch (const engine::ServerRefused& e) {
    report_.OnRefusal(RefusalText(e));
    engine_.reset();
  } catch (const engine::BadServerAddress& e) {
    report_.OnError(texts::UnusableServerAddress(e.address()));
    engine_.reset();
  } catch (const std::exception& e) {
    report_.OnError(e.what());
    engine_.reset();
  } catch (...) {
    report_.OnError(texts::kUnknownError);
    engine_.reset();
  }
}

}  // namespace app
