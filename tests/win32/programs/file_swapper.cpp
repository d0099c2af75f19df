// file_swapper.exe TARGET REPLACEMENT SECONDS LOG: plays a local user who
// swaps a file in a shared folder. Once TARGET has existed for a moment, it
// tries every few milliseconds, for at most SECONDS, to copy REPLACEMENT over
// it, and appends to LOG "refused" at its first refused try and "swapped"
// when a try succeeds.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

void Note(const wchar_t* log, const char* what) {
  HANDLE h = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD wrote = 0;
  const std::string line = std::string(what) + "\n";
  WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &wrote, nullptr);
  CloseHandle(h);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  const ULONGLONG deadline = GetTickCount64() + 1000ull * std::wcstoul(argv[3], nullptr, 10);
  while (GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() > deadline) return 1;
    Sleep(5);
  }
  Sleep(300);  // the file is complete by now
  bool refused = false;
  while (GetTickCount64() < deadline) {
    if (CopyFileW(argv[2], argv[1], FALSE)) {
      Note(argv[4], "swapped");
      return 0;
    }
    if (!refused) Note(argv[4], "refused");
    refused = true;
    Sleep(5);
  }
  return 1;
}
