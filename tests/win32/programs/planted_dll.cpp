// planted.dll: stands in for a DLL that somebody planted beside a program.
// Copied under a system DLL's name; when a process loads it, it writes the
// file "<its own path>.loaded" and then refuses to load.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(self, path, 32768);
  const std::wstring marker = std::wstring(path, n) + L".loaded";
  HANDLE h = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return FALSE;
}
