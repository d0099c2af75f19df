// module_holder.exe PATH SECONDS READY: loads the DLL at PATH as a running
// client loads its modules, writes the file READY once it has, keeps it
// loaded for SECONDS seconds, then ends. Exit code 1 when it cannot be loaded.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  HMODULE module = LoadLibraryExW(argv[1], nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!module) return 1;
  HANDLE ready = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
  FreeLibrary(module);
  return 0;
}
