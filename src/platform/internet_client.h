#pragma once
// The few calls of the system's internet client (WinInet) that the HTTP fetch
// needs, with WinInet's meanings, so that the fetch algorithm (http/) can run
// over the real client on Windows and over a scripted fake in tests. Text arguments
// are bytes as WinInet's ANSI calls take them, except the URL of OpenUrl,
// which is internal UTF-8 text that the client converts for the system.
#include <cstdint>
#include <string>

namespace platform {

using InternetHandle = void*;  // HINTERNET; nullptr is "none"

// Option numbers, access types, flags and the header query, as WinInet has them.
enum : std::uint32_t {
  kOptionUsername = 28,
  kOptionPassword = 29,
  kOptionProxy = 38,
  kOptionProxyUsername = 43,
  kOptionProxyPassword = 44,
  kOpenTypePreconfig = 0,
  kOpenTypeProxy = 3,
  kFlagReload = 0x80000000u,
  kFlagNoCacheWrite = 0x04000000u,
  kQueryRawHeadersCrlf = 22,
  kErrorInternetTimeout = 12002,  // ERROR_INTERNET_TIMEOUT
};

// The system's proxy information record (INTERNET_PROXY_INFO): the access
// type and the addresses of the proxy list and bypass list texts. Its size
// follows the build's pointer size: 12 bytes in the 32-bit product, 24 in a
// 64-bit build of the same sources.
struct ProxyInfoRecord {
  std::uint32_t accessType;
  const char* proxy;
  const char* proxyBypass;
};
inline constexpr std::uint32_t kProxyInfoRecordSize = sizeof(ProxyInfoRecord);

class IInternetClient {
 public:
  virtual ~IInternetClient() = default;
  // InternetQueryOptionA with no handle: in, *length is the buffer size; out,
  // the length written.
  virtual bool QueryOption(std::uint32_t option, void* buffer, std::uint32_t* length) = 0;
  virtual InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxy,
                              const char* bypass, std::uint32_t flags) = 0;
  virtual bool SetOption(InternetHandle handle, std::uint32_t option, const void* buffer,
                         std::uint32_t length) = 0;
  virtual InternetHandle OpenUrl(InternetHandle internet, const char* url, const char* headers,
                                 std::uint32_t headersLength, std::uint32_t flags,
                                 std::uintptr_t context) = 0;
  // HttpQueryInfoA: *length in/out as WinInet, *index in/out.
  virtual bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer,
                         std::uint32_t* length, std::uint32_t* index) = 0;
  virtual bool ReadFile(InternetHandle request, void* buffer, std::uint32_t toRead,
                        std::uint32_t* read) = 0;
  virtual bool CloseHandle(InternetHandle handle) = 0;
  virtual std::uint32_t GetLastError() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace platform
