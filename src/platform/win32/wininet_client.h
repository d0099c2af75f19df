#pragma once
// The internet-client interface over WinInet's ANSI calls.
#include <windows.h>
#include <wininet.h>

#include <chrono>

#include "platform/internet_client.h"
#include "platform/win32/handle.h"
#include "platform/win32/timed_call.h"

namespace platform::win32 {

struct WinInetApi;

// Hands WinInet's handles through to the caller, who closes them with
// CloseHandle. The URL is converted from UTF-8 to the ANSI code page here.
// The system's last error survives each call, so GetLastError gives the code
// of the call that failed. WinInet is no known DLL: it is loaded from the
// system folder at run time, never found by the default search. When it
// cannot be loaded, every call fails with the loader's error.
//
// A stalled connection must not hold the updater forever. Every internet
// handle gets the stall limit as its connect, send and receive time limits
// (Windows honours them), and OpenUrl and ReadFile, the calls that wait on
// the server, run on a helper thread that is waited for only up to the
// limit (WinInet under Wine honours no time limit while reading a body).
// When it passes, the call fails with ERROR_INTERNET_TIMEOUT and is
// abandoned; its thread may stay blocked inside WinInet, on state of its own.
// Calls come from one thread at a time.
class WinInetClient : public platform::IInternetClient {
 public:
  explicit WinInetClient(std::chrono::milliseconds stallLimit);
  bool QueryOption(std::uint32_t option, void* buffer, std::uint32_t* length) override;
  platform::InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxy, const char* bypass,
                            std::uint32_t flags) override;
  bool SetOption(platform::InternetHandle handle, std::uint32_t option, const void* buffer,
                 std::uint32_t length) override;
  platform::InternetHandle OpenUrl(platform::InternetHandle internet, const char* url, const char* headers,
                               std::uint32_t headersLength, std::uint32_t flags, std::uintptr_t context) override;
  bool QueryInfo(platform::InternetHandle request, std::uint32_t infoLevel, void* buffer, std::uint32_t* length,
                 std::uint32_t* index) override;
  bool ReadFile(platform::InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) override;
  bool CloseHandle(platform::InternetHandle handle) override;
  std::uint32_t GetLastError() override;
  void Sleep(std::uint32_t milliseconds) override;

 private:
  void Unavailable() const;  // the loader's error becomes the last error
  void SetTimeLimits(HINTERNET internet);
  const WinInetApi* api_;
  DWORD loadError_ = ERROR_SUCCESS;
  std::chrono::milliseconds stallLimit_;
  TimedCallRunner calls_;
};

}  // namespace platform::win32
