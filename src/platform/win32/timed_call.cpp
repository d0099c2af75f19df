#include "platform/win32/timed_call.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace platform::win32 {

// What the caller and one helper thread share; the thread holds it as long
// as it runs.
struct TimedCallRunner::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> call, late;
  bool pending = false;    // a call waits for the thread
  bool finished = false;   // the last call returned
  bool abandoned = false;  // the caller stopped waiting: the thread ends after the call
  bool quit = false;       // the runner is gone
};

TimedCallRunner::TimedCallRunner(std::chrono::milliseconds limit) : limit_(limit) {}

TimedCallRunner::~TimedCallRunner() {
  if (!shared_) return;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->quit = true;
  }
  shared_->changed.notify_all();
}

void TimedCallRunner::Serve(std::shared_ptr<Shared> shared) {
  for (;;) {
    std::function<void()> call;
    {
      std::unique_lock lock(shared->mutex);
      shared->changed.wait(lock, [&] { return shared->pending || shared->quit; });
      if (!shared->pending) return;
      shared->pending = false;
      call = std::move(shared->call);
    }
    call();
    std::function<void()> late;
    bool abandoned = false;
    {
      std::lock_guard lock(shared->mutex);
      abandoned = shared->abandoned;
      if (abandoned) {
        late = std::move(shared->late);
      } else {
        shared->finished = true;
      }
    }
    if (abandoned) {
      if (late) late();
      return;
    }
    shared->changed.notify_all();
  }
}

bool TimedCallRunner::Run(std::function<void()> call, std::function<void()> late) {
  if (!shared_) {
    auto shared = std::make_shared<Shared>();
    std::thread(Serve, shared).detach();
    shared_ = std::move(shared);
  }
  std::unique_lock lock(shared_->mutex);
  shared_->call = std::move(call);
  shared_->late = std::move(late);
  shared_->pending = true;
  shared_->finished = false;
  shared_->changed.notify_all();
  if (shared_->changed.wait_for(lock, limit_, [&] { return shared_->finished; })) {
    shared_->late = nullptr;
    return true;
  }
  shared_->abandoned = true;
  lock.unlock();
  shared_.reset();
  return false;
}

}  // namespace platform::win32
