#pragma once
// Writes the process's command line, exactly as received, as UTF-8 to a file
// (through a temporary name, so that a reader never sees half of it).
#include <windows.h>

#include <string>

inline bool RecordCommandLine(const std::wstring& path) {
  const wchar_t* line = GetCommandLineW();
  int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
  const std::wstring temp = path + L".part";
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  BOOL ok = WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &wrote, nullptr);
  CloseHandle(h);
  return ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}
