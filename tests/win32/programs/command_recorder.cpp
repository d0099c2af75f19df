// command_recorder.exe: a stand-in for the programs the updater starts
// (Regsvr32, AutoRun and setup programs). Installed under any name, it waits
// AU_RECORDER_DELAY_MS milliseconds when that variable is set, then appends
// the command line it received as one UTF-8 line to "<its own path less the
// extension>.log" (or to the file AU_RECORDER_LOG names, followed by a line
// "in <its current folder>"), and ends with code 0.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t buf[32768];
  DWORD n = GetEnvironmentVariableW(name, buf, 32768);
  return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::wstring LogPath() {
  if (std::wstring named = Variable(L"AU_RECORDER_LOG"); !named.empty()) return named;
  wchar_t buf[32768];
  DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
  std::wstring path(buf, n);
  size_t slash = path.find_last_of(L'\\');
  size_t dot = path.find_last_of(L'.');
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.erase(dot);
  return path + L".log";
}

DWORD DelayMs() {
  wchar_t buf[32];
  DWORD n = GetEnvironmentVariableW(L"AU_RECORDER_DELAY_MS", buf, 32);
  return n > 0 && n < 32 ? static_cast<DWORD>(std::wcstoul(buf, nullptr, 10)) : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Sleep(DelayMs());
  std::string utf8 = Utf8(GetCommandLineW()) + "\n";
  if (!Variable(L"AU_RECORDER_LOG").empty()) {
    wchar_t folder[32768];
    DWORD n = GetCurrentDirectoryW(32768, folder);
    if (n > 0 && n < 32768) utf8 += "in " + Utf8(folder) + "\n";
  }
  // Several copies may run at once (nobody waits for Regsvr32): appends of
  // one line each do not interleave.
  HANDLE h = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD wrote = 0;
  BOOL ok = WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &wrote, nullptr);
  CloseHandle(h);
  return ok ? 0 : 1;
}
