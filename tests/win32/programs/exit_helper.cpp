// exit_helper.exe CODE [MARKER [DELAY_MS]]
#include <windows.h>

#include <cwchar>
#include <cwctype>

#include "record_command_line.h"

int wmain(int argc, wchar_t** argv) {
  const UINT code = argc > 1 ? static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10)) : 0;
  if (argc > 3) Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  if (argc > 2 && !RecordCommandLine(argv[2])) return 255;
  ExitProcess(code);  // the whole 32-bit range, not just an int's
}
