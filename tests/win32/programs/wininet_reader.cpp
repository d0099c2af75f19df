// wininet_reader.exe URL FILE: the plainest WinInet download there is, with
// the updater's request flags and read size, written to FILE. Prints the
// bytes and milliseconds of the transfer; the update benchmark's floor for
// the download part. Exit code 1 when the URL cannot be fetched.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HINTERNET internet = InternetOpenW(L"Mozilla/4.0 (compatible; MSIE 6.0;)", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                     nullptr, 0);
  const wchar_t headers[] = L"Accept: */*\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate";
  HINTERNET request =
      internet ? InternetOpenUrlW(internet, argv[1], headers, static_cast<DWORD>(wcslen(headers)), INTERNET_FLAG_RELOAD, 0)
               : nullptr;
  HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!request || file == INVALID_HANDLE_VALUE) return 1;
  static char buffer[65536];
  unsigned long long total = 0;
  DWORD read = 0, written = 0;
  while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
    WriteFile(file, buffer, read, &written, nullptr);
    total += read;
  }
  CloseHandle(file);
  InternetCloseHandle(request);
  InternetCloseHandle(internet);
  QueryPerformanceCounter(&end);
  std::printf("%llu bytes %.1f ms\n", total, (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
  return 0;
}
