#include "platform/win32/wininet_client.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/internet.h"
#include "platform/win32/system_library.h"

namespace platform {
namespace win32 {

// The interface mirrors the system's record; both must agree byte for byte
// in whichever build this is (12 bytes in the 32-bit product).
static_assert(sizeof(INTERNET_PROXY_INFO) == platform::kProxyInfoRecordSize);
static_assert(offsetof(INTERNET_PROXY_INFO, lpszProxy) == offsetof(platform::ProxyInfoRecord, proxy));
static_assert(offsetof(INTERNET_PROXY_INFO, lpszProxyBypass) == offsetof(platform::ProxyInfoRecord, proxyBypass));
static_assert(INTERNET_OPTION_PROXY == platform::kOptionProxy && INTERNET_OPTION_USERNAME == platform::kOptionUsername &&
              INTERNET_OPTION_PASSWORD == platform::kOptionPassword &&
              INTERNET_OPTION_PROXY_USERNAME == platform::kOptionProxyUsername &&
              INTERNET_OPTION_PROXY_PASSWORD == platform::kOptionProxyPassword);
static_assert(ERROR_INTERNET_TIMEOUT == platform::kErrorInternetTimeout);
static_assert(INTERNET_OPEN_TYPE_PRECONFIG == platform::kOpenTypePreconfig &&
              INTERNET_OPEN_TYPE_PROXY == platform::kOpenTypeProxy && INTERNET_FLAG_RELOAD == platform::kFlagReload &&
              INTERNET_FLAG_NO_CACHE_WRITE == platform::kFlagNoCacheWrite &&
              HTTP_QUERY_RAW_HEADERS_CRLF == platform::kQueryRawHeadersCrlf);

struct WinInetApi {
  SystemLibrary dll{L"wininet.dll"};
  decltype(&InternetQueryOptionA) queryOption = dll.Function<decltype(queryOption)>("InternetQueryOptionA");
  decltype(&InternetOpenA) open = dll.Function<decltype(open)>("InternetOpenA");
  decltype(&InternetSetOptionA) setOption = dll.Function<decltype(setOption)>("InternetSetOptionA");
  decltype(&InternetOpenUrlA) openUrl = dll.Function<decltype(openUrl)>("InternetOpenUrlA");
  decltype(&HttpQueryInfoA) queryInfo = dll.Function<decltype(queryInfo)>("HttpQueryInfoA");
  decltype(&InternetReadFile) readFile = dll.Function<decltype(readFile)>("InternetReadFile");
  decltype(&InternetCloseHandle) closeHandle = dll.Function<decltype(closeHandle)>("InternetCloseHandle");
};

namespace {

// Loaded once for the process, on first use; nullptr (with the loader's
// error kept) when it cannot be.
const WinInetApi* LoadWinInet(DWORD& error) {
  static DWORD loadError = ERROR_SUCCESS;
  static const WinInetApi* api = []() -> const WinInetApi* {
    try {
      return new WinInetApi;  // lives as long as the process
    } catch (const OsError&) {
      loadError = ::GetLastError();
      return nullptr;
    }
  }();
  error = loadError;
  return api;
}

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

// What a call on the helper thread produces, owned jointly by that thread
// and the caller, so that an abandoned call writes into memory still its own.
struct OpenUrlCall {
  std::string url, headers;
  bool hasHeaders = false;
  HINTERNET request = nullptr;
  DWORD error = ERROR_SUCCESS;
};

struct ReadCall {
  explicit ReadCall(std::uint32_t size) : buffer(size) {}
  std::vector<char> buffer;
  DWORD got = 0;
  BOOL ok = FALSE;
  DWORD error = ERROR_SUCCESS;
};

WinInetClient::WinInetClient(std::chrono::milliseconds stallLimit)
    : api_(LoadWinInet(loadError_)), stallLimit_(stallLimit), calls_(stallLimit) {}

void WinInetClient::SetTimeLimits(HINTERNET internet) {
  const DWORD limit = static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(stallLimit_.count(), 1, MAXDWORD));
  for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                             INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
    api_->setOption(internet, option, const_cast<DWORD*>(&limit), sizeof limit);
  }
}

bool WinInetClient::QueryOption(std::uint32_t option, void* buffer, std::uint32_t* length) {
  if (!api_) return Unavailable(), false;
  DWORD size = *length;
  const BOOL ok = api_->queryOption(nullptr, option, buffer, &size);
  *length = size;
  return ok != FALSE;
}

platform::InternetHandle WinInetClient::Open(const char* agent, std::uint32_t accessType, const char* proxy,
                                         const char* bypass, std::uint32_t flags) {
  if (!api_) return Unavailable(), nullptr;
  KeepLastError keep;
  HINTERNET internet = api_->open(agent, accessType, proxy, bypass, flags);
  keep.Take();
  if (internet) SetTimeLimits(internet);  // inherited by the requests opened from it
  return internet;
}

bool WinInetClient::SetOption(platform::InternetHandle handle, std::uint32_t option, const void* buffer,
                              std::uint32_t length) {
  if (!api_) return Unavailable(), false;
  return api_->setOption(handle, option, const_cast<void*>(buffer), length) != FALSE;
}

platform::InternetHandle WinInetClient::OpenUrl(platform::InternetHandle internet, const char* url, const char* headers,
                                            std::uint32_t headersLength, std::uint32_t flags,
                                            std::uintptr_t context) {
  if (!api_) return Unavailable(), nullptr;
  auto call = std::make_shared<OpenUrlCall>();
  call->url = Utf8ToAnsi(url);
  call->hasHeaders = headers != nullptr;
  if (headers) call->headers = headersLength == 0xFFFFFFFFu ? std::string(headers) : std::string(headers, headersLength);
  const WinInetApi* api = api_;
  const bool returned = calls_.Run(
      [api, call, internet, flags, context] {
        call->request = api->openUrl(internet, call->url.c_str(), call->hasHeaders ? call->headers.c_str() : nullptr,
                                     static_cast<DWORD>(call->headers.size()), flags, context);
        call->error = ::GetLastError();
      },
      [api, call] {
        if (call->request) api->closeHandle(call->request);  // nobody else will ever see it
      });
  ::SetLastError(returned ? call->error : ERROR_INTERNET_TIMEOUT);
  return returned ? call->request : nullptr;
}

bool WinInetClient::QueryInfo(platform::InternetHandle request, std::uint32_t infoLevel, void* buffer,
                              std::uint32_t* length, std::uint32_t* index) {
  if (!api_) return Unavailable(), false;
  DWORD size = *length;
  DWORD at = index ? *index : 0;
  const BOOL ok = api_->queryInfo(request, infoLevel, buffer, &size, index ? &at : nullptr);
  *length = size;
  if (index) *index = at;
  return ok != FALSE;
}

bool WinInetClient::ReadFile(platform::InternetHandle request, void* buffer, std::uint32_t toRead,
                             std::uint32_t* read) {
  if (!api_) return Unavailable(), false;
  *read = 0;
  auto call = std::make_shared<ReadCall>(toRead);
  const WinInetApi* api = api_;
  const bool returned = calls_.Run([api, call, request] {
    call->ok = api->readFile(request, call->buffer.data(), static_cast<DWORD>(call->buffer.size()), &call->got);
    call->error = ::GetLastError();
  });
  if (!returned) {
    ::SetLastError(ERROR_INTERNET_TIMEOUT);
    return false;
  }
  const DWORD got = std::min<DWORD>(call->got, toRead);
  if (got > 0) std::memcpy(buffer, call->buffer.data(), got);
  *read = got;
  ::SetLastError(call->error);
  return call->ok != FALSE;
}

bool WinInetClient::CloseHandle(platform::InternetHandle handle) {
  if (!api_) return Unavailable(), false;
  return api_->closeHandle(handle) != FALSE;
}

void WinInetClient::Unavailable() const { ::SetLastError(loadError_); }

std::uint32_t WinInetClient::GetLastError() { return ::GetLastError(); }

void WinInetClient::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace win32

std::unique_ptr<platform::IInternetClient> CreateInternetClient(std::chrono::milliseconds stallLimit) {
  return std::make_unique<win32::WinInetClient>(stallLimit);
}

}  // namespace platform
