#include "platform/processes.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/file_names.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

struct Started {
  Handle process;
  Handle thread;
};

// The program file is given, so the system searches for nothing; the whole
// command line is passed, however long.
bool Launch(const std::string& program, const std::string& commandLine, int showMode, DWORD flags,
            Started& started, const std::string& currentFolder = {}) {
  if (!IsFullPath(program)) {
    SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  const std::wstring application = Widen(program);
  std::wstring wide = Widen(commandLine);
  std::vector<wchar_t> buffer(wide.begin(), wide.end());
  buffer.push_back(L'\0');  // CreateProcessW may write into the command line
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(showMode);
  PROCESS_INFORMATION pi{};
  const std::wstring folder = Widen(currentFolder);
  if (!CreateProcessW(application.c_str(), buffer.data(), nullptr, nullptr, FALSE, flags, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    return false;
  }
  started.process.reset(pi.hProcess);
  started.thread.reset(pi.hThread);
  return true;
}

class Win32Processes : public IProcessLauncher {
 public:
  bool Start(const std::string& program, const std::string& commandLine, int showMode) override {
    Started started;
    return Launch(program, commandLine, showMode, 0, started);
  }

  using IProcessLauncher::RunAndWait;
  std::uint32_t RunAndWait(const std::string& program, const std::string& commandLine, int showMode,
                           const std::string& currentFolder) override {
    Started started;
    if (!Launch(program, commandLine, showMode, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, started, currentFolder)) {
      return 0;
    }
    WaitForSingleObject(started.process.get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(started.process.get(), &code)) return 0;
    return code;
  }
};

}  // namespace

std::unique_ptr<IProcessLauncher> CreateProcessLauncher() { return std::make_unique<Win32Processes>(); }

}  // namespace platform::win32
