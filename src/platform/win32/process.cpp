#include "platform/process.h"

#include <windows.h>

#include "platform/win32/command_line.h"

namespace platform {

void RestrictDllSearchToSystemFolder() {
  SetDllDirectoryW(L"");  // the current folder leaves the search
  // Not on every Windows 7: looked up rather than imported.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    if (auto set = reinterpret_cast<SetDefault>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))) {
      set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
  }
}

std::vector<std::string> ProcessArguments() {
  std::vector<std::string> words = win32::SplitCommandLine(GetCommandLineW());
  if (!words.empty()) words.erase(words.begin());
  return words;
}

void EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace platform
