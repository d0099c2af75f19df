// launcher.exe SHOW: starts the command line held by the environment variable
// AU_LAUNCH_LINE exactly as written (CreateProcessW with no program name,
// STARTF_USESHOWWINDOW with show command SHOW), as a browser or the shell
// starts a protocol handler, waits for it and ends with its exit code.
#include <windows.h>

#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::vector<wchar_t> line(32768);
  const DWORD n = GetEnvironmentVariableW(L"AU_LAUNCH_LINE", line.data(), static_cast<DWORD>(line.size()));
  if (n == 0 || n >= line.size()) return 3;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(std::wcstoul(argv[1], nullptr, 10));
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 4;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
