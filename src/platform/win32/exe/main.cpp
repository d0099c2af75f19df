// AutoUpdate.exe: runs only when given arguments.
#include <windows.h>

#include "app/progress_window.h"
#include "main_window.h"
#include "platform/files.h"
#include "platform/system_services.h"
#include "platform/win32/command_line.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  const app::Arguments args = platform::win32::ProcessArguments();
  if (args.empty()) return 0;
  platform::SystemServices services = platform::CreateSystemServices();
  app::TfrmUpMain form(*services.processes, platform::ProgramPath());
  return shell::RunProgressWindow(form, args, *services.registry, *services.messageBox, showCommand);
}
