#include "platform/machine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os_error.h"
#include "platform/posix/host_path.h"

namespace platform {

namespace {

// The lock file lies in the sandbox's drive C: when there is one, else /tmp.
std::string LockFilePath(const std::string& name) {
  std::string file = name;
  for (char& c : file) {
    if (c == '/' || c == '\\') c = '_';
  }
  file = ".autoupdate-lock-" + file;
  const std::string drive = posix::HostPath("C:");
  struct stat st {};
  const bool driveExists = ::stat(drive.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return (driveExists ? drive : std::string("/tmp")) + "/" + file;
}

}  // namespace

// Each object opens the file on its own, so two objects of one process shut
// each other out like two processes do; an ended holder's lock goes with it.
struct MachineLock::Impl {
  int fd = -1;
  ~Impl() {
    if (fd >= 0) ::close(fd);
  }
};

MachineLock::MachineLock(const std::string& name) : impl_(std::make_unique<Impl>()) {
  impl_->fd = ::open(LockFilePath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (impl_->fd < 0) {
    const std::string text = LastErrorText();
    throw OsError("无法建立全局锁“" + name + "”：" + text, text);
  }
}

MachineLock::~MachineLock() { Release(); }

bool MachineLock::TryTake() {
  if (!held_) held_ = ::flock(impl_->fd, LOCK_EX | LOCK_NB) == 0;
  return held_;
}

void MachineLock::Take() {
  while (!held_) {
    if (::flock(impl_->fd, LOCK_EX) == 0) {
      held_ = true;
    } else if (errno != EINTR) {
      const std::string text = LastErrorText();
      throw OsError("无法等待全局锁：" + text, text);
    }
  }
}

void MachineLock::Release() {
  if (!held_) return;
  ::flock(impl_->fd, LOCK_UN);
  held_ = false;
}

}  // namespace platform
