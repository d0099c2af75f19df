#pragma once
// The real operating-system services of the Windows build, in one bundle.
// (The internet client has its own factory beside the HTTP code.)
#include <memory>

#include "platform/message_box.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell_link.h"

namespace platform {

struct SystemServices {
  std::unique_ptr<IMessageBox> messageBox;
  std::unique_ptr<IProcessLauncher> processes;
  std::unique_ptr<IRegistry> registry;
  std::unique_ptr<IShell> shell;
};

SystemServices CreateSystemServices();

}  // namespace platform
