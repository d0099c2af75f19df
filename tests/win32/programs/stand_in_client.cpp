// A stand-in for the client program ZEPRA.exe. It records the command line it
// was started with, to the file named by the environment variable
// AU_CLIENT_RECORD, or else to "client-command.txt" beside itself, and ends.
#include <windows.h>

#include <string>

#include "record_command_line.h"

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
  return RecordCommandLine(path) ? 0 : 1;
}
