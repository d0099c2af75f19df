#include "platform/system_services.h"

namespace platform {
namespace win32 {
std::unique_ptr<IMessageBox> CreateMessageBox();
std::unique_ptr<IProcessLauncher> CreateProcessLauncher();
std::unique_ptr<IRegistry> CreateRegistry();
std::unique_ptr<IShell> CreateShell();
}  // namespace win32

SystemServices CreateSystemServices() {
  return {win32::CreateMessageBox(), win32::CreateProcessLauncher(), win32::CreateRegistry(),
          win32::CreateShell()};
}

}  // namespace platform
