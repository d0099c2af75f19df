#include "platform/machine_lock.h"

#include <windows.h>

#include "platform/os_error.h"
#include "platform/win32/handle.h"
#include "platform/win32/security_descriptor.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// SYSTEM and Administrators only: waiting on a mutex takes it, so anybody
// allowed to wait could hold every updater off for good. Creating a "Global\"
// object needs a privilege ordinary users lack, so they cannot plant one
// under this name first either.
constexpr wchar_t kLockAccess[] = L"D:P(A;;0x1F0001;;;SY)(A;;0x1F0001;;;BA)";

[[noreturn]] void Fail(const std::string& name) {
  const std::string text = LastErrorText();
  throw OsError("无法建立全局锁“" + name + "”：" + text, text);
}

}  // namespace

struct MachineLock::Impl {
  win32::Handle mutex;
};

MachineLock::MachineLock(const std::string& name) : impl_(std::make_unique<Impl>()) {
  const std::wstring global = L"Global\\" + win32::Widen(name);
  win32::SecurityDescriptor access(kLockAccess);
  impl_->mutex.reset(CreateMutexW(access.attributes(), FALSE, global.c_str()));
  // Someone else made it and lets us only wait on it.
  if (!impl_->mutex && GetLastError() == ERROR_ACCESS_DENIED) {
    impl_->mutex.reset(OpenMutexW(SYNCHRONIZE, FALSE, global.c_str()));
  }
  if (!impl_->mutex) Fail(name);
}

MachineLock::~MachineLock() { Release(); }

bool MachineLock::TryTake() {
  if (held_) return true;
  // WAIT_ABANDONED: the last holder ended without letting go; it is ours now.
  const DWORD result = WaitForSingleObject(impl_->mutex.get(), 0);
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return held_;
}

void MachineLock::Take() {
  if (held_) return;
  const DWORD result = WaitForSingleObject(impl_->mutex.get(), INFINITE);
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
    const std::string text = LastErrorText();
    throw OsError("无法等待全局锁：" + text, text);
  }
  held_ = true;
}

void MachineLock::Release() {
  if (!held_) return;
  ReleaseMutex(impl_->mutex.get());
  held_ = false;
}

}  // namespace platform
