#include "platform/win32/wininet_client.h"

#include <cstddef>
#include <string>

#include "platform/codepage.h"
#include "platform/internet.h"

namespace platform {
namespace win32 {

// The interface mirrors the system's record; both must agree byte for byte
// in whichever build this is (12 bytes in the 32-bit product).
static_assert(sizeof(INTERNET_PROXY_INFO) == http::kProxyInfoRecordSize);
static_assert(offsetof(INTERNET_PROXY_INFO, lpszProxy) == offsetof(http::ProxyInfoRecord, proxy));
static_assert(offsetof(INTERNET_PROXY_INFO, lpszProxyBypass) == offsetof(http::ProxyInfoRecord, proxyBypass));
static_assert(INTERNET_OPTION_PROXY == http::kOptionProxy && INTERNET_OPTION_USERNAME == http::kOptionUsername &&
              INTERNET_OPTION_PASSWORD == http::kOptionPassword &&
              INTERNET_OPTION_PROXY_USERNAME == http::kOptionProxyUsername &&
              INTERNET_OPTION_PROXY_PASSWORD == http::kOptionProxyPassword);
static_assert(INTERNET_OPEN_TYPE_PRECONFIG == http::kOpenTypePreconfig &&
              INTERNET_OPEN_TYPE_PROXY == http::kOpenTypeProxy && INTERNET_FLAG_RELOAD == http::kFlagReload &&
              HTTP_QUERY_RAW_HEADERS_CRLF == http::kQueryRawHeadersCrlf);

namespace {

// Keeps the last error of the WinInet call across the clean-up that follows
// it in the same method.
class KeepLastError {
 public:
  void Take() { error_ = ::GetLastError(); }
  ~KeepLastError() { ::SetLastError(error_); }

 private:
  DWORD error_ = ERROR_SUCCESS;
};

}  // namespace

bool WinInetClient::QueryOption(std::uint32_t option, void* buffer, std::uint32_t* length) {
  DWORD size = *length;
  const BOOL ok = InternetQueryOptionA(nullptr, option, buffer, &size);
  *length = size;
  return ok != FALSE;
}

http::InternetHandle WinInetClient::Open(const char* agent, std::uint32_t accessType, const char* proxy,
                                         const char* bypass, std::uint32_t flags) {
  return InternetOpenA(agent, accessType, proxy, bypass, flags);
}

bool WinInetClient::SetOption(http::InternetHandle handle, std::uint32_t option, const void* buffer,
                              std::uint32_t length) {
  return InternetSetOptionA(handle, option, const_cast<void*>(buffer), length) != FALSE;
}

http::InternetHandle WinInetClient::OpenUrl(http::InternetHandle internet, const char* url, const char* headers,
                                            std::uint32_t headersLength, std::uint32_t flags,
                                            std::uintptr_t context) {
  KeepLastError keep;
  const std::string ansiUrl = Utf8ToAnsi(url);
  HINTERNET request = InternetOpenUrlA(internet, ansiUrl.c_str(), headers, headersLength, flags, context);
  keep.Take();
  return request;
}

bool WinInetClient::QueryInfo(http::InternetHandle request, std::uint32_t infoLevel, void* buffer,
                              std::uint32_t* length, std::uint32_t* index) {
  DWORD size = *length;
  DWORD at = index ? *index : 0;
  const BOOL ok = HttpQueryInfoA(request, infoLevel, buffer, &size, index ? &at : nullptr);
  *length = size;
  if (index) *index = at;
  return ok != FALSE;
}

bool WinInetClient::ReadFile(http::InternetHandle request, void* buffer, std::uint32_t toRead,
                             std::uint32_t* read) {
  DWORD got = 0;
  const BOOL ok = InternetReadFile(request, buffer, toRead, &got);
  *read = got;
  return ok != FALSE;
}

bool WinInetClient::CloseHandle(http::InternetHandle handle) { return InternetCloseHandle(handle) != FALSE; }

std::uint32_t WinInetClient::GetLastError() { return ::GetLastError(); }

void WinInetClient::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace win32

std::unique_ptr<http::IInternetClient> CreateInternetClient() { return std::make_unique<win32::WinInetClient>(); }

}  // namespace platform
