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

void UpdateWorker::Create(const LaunchParams& params, IStatusSink& sink, EngineFactory makeEngine,
                          UserNotices& notices) {
  // The copy is complete before the body starts.
  auto worker = std::make_unique<UpdateWorker>(params, sink, std::move(makeEngine), notices);
  std::thread([self = std::move(worker)] { self->Execute(); }).detach();
}

UpdateWorker::UpdateWorker(const LaunchParams& params, IStatusSink& sink, EngineFactory makeEngine,
                           UserNotices& notices)
    : params_(params), sink_(sink), makeEngine_(std::move(makeEngine)), notices_(notices) {}

void UpdateWorker::Execute() {
  platform::ComApartment com;
  // One updater at a time on the machine: a second one started meanwhile
  // (a link clicked twice, a web page) waits, then runs as usual. Held
  // until this run is over, and let go by the system if it is killed.
  std::optional<platform::MachineLock> oneAtATime;
  try {
    oneAtATime.emplace(kUpdaterLockName);
    if (!oneAtATime->TryTake()) {
      PostStatus(Status::Waiting);
      oneAtATime->Take();
    }
  } catch (const std::exception& e) {
    PostError(e.what());
    return;
  }
  Run();
}

void UpdateWorker::Run() {
  PostStatus(Status::Connecting);
  try {
    engine_ = makeEngine_(params_.serverUrl);
    if (const std::optional<engine::SetUpFailure> failure = engine_->SetUp()) notices_.SetUpFailed(*failure);
    engine_->SetProgressCallback([this](std::int32_t done, std::int32_t total) { PostProgress(done, total); });
    PostStatus(Status::Checking);
    if (engine_->CheckForUpdates(params_.appName)) {
      PostStatus(Status::Updating);
      engine_->Install();
      PostStatus(Status::Finished);
    } else {
      PostStatus(Status::Current);
    }
    engine_.reset();
  } catch (const engine::ServerRefused& e) {
    sink_.PostRefusal(RefusalText(e));
    engine_.reset();
  } catch (const engine::BadServerAddress& e) {
    PostError(texts::UnusableServerAddress(e.address()));
    engine_.reset();
  } catch (const std::exception& e) {
    PostError(e.what());
    engine_.reset();
  } catch (...) {
    PostError("未知错误。");
    engine_.reset();
  }
}

}  // namespace app
