#include "app/check_url_thread.h"

#include <exception>
#include <thread>

#include "engine/client_update.h"
#include "platform/com_apartment.h"

namespace app {

void TCheckUrlThread::Create(const TParamsRec& params, IStatusSink& sink, EngineFactory makeEngine) {
  // The copy is complete before the body starts.
  auto worker = std::make_unique<TCheckUrlThread>(params, sink, std::move(makeEngine));
  std::thread([self = std::move(worker)] { self->Execute(); }).detach();
}

TCheckUrlThread::TCheckUrlThread(const TParamsRec& params, IStatusSink& sink, EngineFactory makeEngine)
    : FParams(params), sink_(sink), makeEngine_(std::move(makeEngine)) {}

void TCheckUrlThread::Execute() {
  platform::ComApartment com;
  PostStatus(kStatusConnecting);
  try {
    FUpdate = makeEngine_(FParams.ServerUrl);
    FUpdate->FOnProgress = [this](std::int32_t done, std::int32_t total) { PostProgress(done, total); };
    PostStatus(kStatusChecking);
    if (FUpdate->CheckUpdate(FParams.AppName)) {
      PostStatus(kStatusUpdating);
      FUpdate->InstallUpdate();
      PostStatus(kStatusFinished);
    } else {
      PostStatus(kStatusCurrent);
    }
    FUpdate.reset();
  } catch (const std::exception& e) {
    PostError(e.what());
    FUpdate.reset();
  } catch (...) {
    PostError("未知错误。");
    FUpdate.reset();
  }
}

}  // namespace app
