// window_driver.exe [--close-log PATH] LAUNCH-ARGS... -- STEP...
//
// Shows the updater's real progress window, read from LAUNCH-ARGS as the
// updater would, and plays a scripted update into it from a second thread,
// reporting through what the update worker reports to. Steps, in order:
//   6, 1, 2, 3, 4, 9     waiting, connecting, checking, updating, current, finished
//   error:TEXT           the error with TEXT ("\n" in TEXT becomes a line break)
//   progress:DONE/TOTAL  a progress step
//   sleep:MS             pause
//   mark:PATH            write PATH (tells a test that the steps before it were posted)
//   gate:PATH            wait until PATH exists (a test says when to go on), at most 120 s
// --close-log PATH appends a line "WM_CLOSE" to PATH for every close request
// that reaches the window, so a test can tell a refused request from a lost one.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "app/progress_view.h"
#include "app/progress_window.h"
#include "app/window_layout.h"
#include "engine/trace_file.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system_services.h"
#include "platform/win32/command_line.h"
#include "platform/win32/wide.h"

namespace {

std::string g_closeLog;
WNDPROC g_windowProc = nullptr;

LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE && !g_closeLog.empty()) {
    platform::WriteWholeFile(g_closeLog, platform::ReadWholeFile(g_closeLog).value_or("") + "WM_CLOSE\n");
  }
  return CallWindowProcW(g_windowProc, window, message, wParam, lParam);
}

BOOL CALLBACK HookWindow(HWND window, LPARAM) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (platform::win32::Narrow(name) != app::layout::kWindowClass) return TRUE;
  g_windowProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LoggingProc)));
  return FALSE;
}

bool StartsWith(const std::string& s, const char* prefix, std::string& rest) {
  const std::string p(prefix);
  if (s.compare(0, p.size(), p) != 0) return false;
  rest = s.substr(p.size());
  return true;
}

app::Status StatusOf(int code) {
  switch (code) {
    case 6: return app::Status::Waiting;
    case 1: return app::Status::Connecting;
    case 2: return app::Status::Checking;
    case 3: return app::Status::Updating;
    case 4: return app::Status::Current;
    default: return app::Status::Finished;
  }
}

void Play(const std::vector<std::string>& steps, app::IProgressReport& report) {
  for (const std::string& step : steps) {
    std::string rest;
    if (StartsWith(step, "error:", rest)) {
      std::string text;
      for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size() && rest[i + 1] == 'n') {
          text += "\r\n";
          ++i;
        } else {
          text += rest[i];
        }
      }
      report.OnError(text);
    } else if (StartsWith(step, "progress:", rest)) {
      const size_t slash = rest.find('/');
      report.OnProgress(std::stoi(rest.substr(0, slash)), std::stoi(rest.substr(slash + 1)));
    } else if (StartsWith(step, "sleep:", rest)) {
      Sleep(static_cast<DWORD>(std::stoul(rest)));
    } else if (StartsWith(step, "mark:", rest)) {
      platform::WriteWholeFile(rest, "posted");
    } else if (StartsWith(step, "gate:", rest)) {
      for (int i = 0; i < 1200 && !platform::FileExists(rest); ++i) Sleep(100);
    } else {
      report.OnStatus(StatusOf(std::stoi(step)));
    }
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  std::vector<std::string> args = platform::ProcessArguments();
  if (args.size() >= 2 && args[0] == "--close-log") {
    g_closeLog = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  std::vector<std::string> steps;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") {
      steps.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      args.resize(i);
      break;
    }
  }
  if (args.empty()) return 2;

  platform::SystemServices services = platform::CreateSystemServices();
  // Started by the window's first showing, like the update worker.
  auto startScript = [steps](const app::LaunchParams&, app::IProgressReport& report) {
    EnumThreadWindows(GetCurrentThreadId(), HookWindow, 0);
    std::thread(Play, steps, std::ref(report)).detach();
  };
  const std::string programPath = platform::ProgramPath();
  const engine::TraceFile trace(programPath);
  app::ProgressWindow form(*services.processes, trace, programPath, startScript);
  return app::RunProgressWindow(form, args, *services.registry, *services.messageBox, showCommand);
}
