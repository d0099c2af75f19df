// AutoUpdate.exe: runs only when given arguments.
#include <memory>
#include <string>
#include <thread>

#include "app/progress_view.h"
#include "app/progress_window.h"
#include "app/update_worker.h"
#include "app/user_notices.h"
#include "engine/services.h"
#include "engine/stall_limit.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "http/http_fetcher.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/machine_setting.h"
#include "platform/private_folder.h"
#include "platform/process.h"
#include "platform/system_services.h"
#include "platform/window.h"

int main() {
  platform::RestrictDllSearchToSystemFolder();
  const app::Arguments args = platform::ProcessArguments();
  if (args.empty()) return 0;
  platform::SystemServices system = platform::CreateSystemServices();
  const std::unique_ptr<platform::IInternetClient> internet = platform::CreateInternetClient(
      engine::StallLimit(platform::ReadMachineNumber(engine::kStallSecondsKey, engine::kStallSecondsValue)));
  http::HttpFetcher fetcher(*internet);
  const std::string programPath = platform::ProgramPath();
  const engine::TraceFile trace(programPath);
  app::UserNotices notices(*system.messageBox);
  const engine::Services services{notices, *system.processes, *system.registry, *system.shell,
                                  fetcher, trace,              programPath,       platform::ProgramDataDirectory};
  // A server the client program names is its own; one a web page names is
  // asked about the first time.
  const engine::NewServer newServer =
      app::IsPositionalForm(args) ? engine::NewServer::Trusted : engine::NewServer::AskFirst;
  std::thread worker;
  app::ProgressWindow form(*system.processes, trace, programPath,
                           [&](const app::LaunchParams& params, app::IProgressReport& report) {
                             worker = app::UpdateWorker::Start(params, report, services, newServer, notices);
                           });
  const int code = app::RunProgressWindow(form, args, *system.registry, *system.messageBox,
                                          platform::StartupShowCommand());
  // The window closes only on the worker's last report, its last act: what
  // is left of its thread is only the thread's own end, which the program
  // waits for rather than cutting it off.
  if (worker.joinable()) worker.join();
  platform::EndProcess(code);
}
