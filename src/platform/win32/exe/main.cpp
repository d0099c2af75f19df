// AutoUpdate.exe: runs only when given arguments.
#include <windows.h>

#include <memory>

#include "app/check_url_thread.h"
#include "app/progress_window.h"
#include "engine/client_update.h"
#include "engine/environment.h"
#include "main_window.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/system_services.h"
#include "platform/win32/command_line.h"
#include "platform/win32/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  platform::win32::RestrictDllSearchToSystemFolder();
  const app::Arguments args = platform::win32::ProcessArguments();
  if (args.empty()) return 0;
  platform::SystemServices services = platform::CreateSystemServices();
  const std::unique_ptr<http::IInternetClient> internet = platform::CreateInternetClient();
  const engine::Environment env{*services.messageBox, *services.processes, *services.registry, *services.shell,
                                *internet};
  app::TfrmUpMain form(*services.processes, platform::ProgramPath(),
                       [&env](const app::TParamsRec& params, app::IStatusSink& sink) {
                         app::TCheckUrlThread::Create(params, sink, [&env](const std::string& serverUrl) {
                           return std::make_unique<engine::TClientUpdate>(serverUrl, env);
                         });
                       });
  const int code = shell::RunProgressWindow(form, args, *services.registry, *services.messageBox, showCommand);
  // Closing the window ends the program even while the worker is still
  // freeing its engine: end the process here rather than tear down what the
  // worker may still be using.
  ExitProcess(static_cast<UINT>(code));
}
