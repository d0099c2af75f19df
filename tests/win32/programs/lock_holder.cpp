// lock_holder.exe NAME READY HOLD_MS: takes the mutex "Global\NAME", writes
// READY, holds it HOLD_MS and ends without letting go (the system then marks
// it abandoned). Exit code 0 when it got the mutex, 2 when not.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 1;
  const std::wstring name = std::wstring(L"Global\\") + argv[1];
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  const DWORD got = mutex ? WaitForSingleObject(mutex, 0) : WAIT_FAILED;
  const bool taken = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  ExitProcess(taken ? 0 : 2);  // the mutex handle is never released
}
