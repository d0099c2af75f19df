#pragma once
// Blocking calls that may never return (WinInet under Wine keeps reading from
// a silent connection whatever time limits its handles carry, even after the
// handles are closed): each runs on a helper thread, and the caller waits
// for it only up to a time limit of its own.
#include <chrono>
#include <functional>
#include <memory>

namespace platform::win32 {

// Runs calls one at a time on one helper thread. A call still running when
// the limit passes is abandoned together with its thread: the caller never
// waits for it again, and the next call gets a new thread. Everything a call
// touches must be owned by what the call itself holds (shared_ptr captures),
// never by the caller's stack, since an abandoned call may run on after the
// caller, and this runner, are gone.
class TimedCallRunner {
 public:
  explicit TimedCallRunner(std::chrono::milliseconds limit);
  TimedCallRunner(const TimedCallRunner&) = delete;
  TimedCallRunner& operator=(const TimedCallRunner&) = delete;
  ~TimedCallRunner();  // an idle helper thread ends; a busy one is not waited for

  // True when the call returned within the limit. `late` runs on the helper
  // thread when an abandoned call returns after all (to release what it
  // produced). Raises std::system_error when no thread can be started.
  bool Run(std::function<void()> call, std::function<void()> late = {});

 private:
  struct Shared;
  static void Serve(std::shared_ptr<Shared> shared);
  std::chrono::milliseconds limit_;
  std::shared_ptr<Shared> shared_;  // of the current helper thread; none yet or after an abandoned call
};

}  // namespace platform::win32
