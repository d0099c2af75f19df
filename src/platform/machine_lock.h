#pragma once
// One holder per machine at a time, across every user's session (Windows: a
// named mutex "Global\<name>" every user may wait on but only SYSTEM and
// Administrators may own or change; natively an flock on a lock file in the
// sandbox's drive root).
//
// On Windows a mutex belongs to a thread: take and let go (Release or the
// destructor) on the same thread.
#include <memory>
#include <string>

namespace platform {

class MachineLock {
 public:
  explicit MachineLock(const std::string& name);  // OsError when it cannot be created or opened
  ~MachineLock();                                  // lets go if held
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;

  // True when this object holds it now, also when the last holder ended
  // without letting go (an abandoned lock belongs to the one who waits).
  // True at once when this object holds it already.
  bool TryTake();
  // Waits as long as it takes.
  void Take();
  // Lets go; nothing when not held.
  void Release();
  bool held() const { return held_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool held_ = false;
};

}  // namespace platform
