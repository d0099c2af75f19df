// A stand-in for the client program ZEPRA.exe. It records the command line it
// was started with, to the file named by the environment variable
// AU_CLIENT_RECORD, or else to "client-command.txt" beside itself, and the
// arguments the system's parsing makes of it (CommandLineToArgvW), each
// followed by a NUL, to the same name with ".args" added; then it ends.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "record_command_line.h"

namespace {

bool RecordArguments(const std::wstring& path) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return false;
  std::wstring all;
  for (int i = 0; i < count; ++i) all.append(argv[i]).push_back(L'\0');
  LocalFree(argv);
  const int n = WideCharToMultiByte(CP_UTF8, 0, all.data(), static_cast<int>(all.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, all.data(), static_cast<int>(all.size()), utf8.data(), n, nullptr, nullptr);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  const BOOL ok = WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &wrote, nullptr);
  CloseHandle(h);
  return ok != FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t buf[32768];
  DWORD n = GetEnvironmentVariableW(L"AU_CLIENT_RECORD", buf, 32768);
  std::wstring path;
  if (n > 0 && n < 32768) {
    path.assign(buf, n);
  } else {
    n = GetModuleFileNameW(nullptr, buf, 32768);
    path.assign(buf, n);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"client-command.txt";
  }
  return RecordArguments(path + L".args") && RecordCommandLine(path) ? 0 : 1;
}
