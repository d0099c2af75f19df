#include "http/http_fetcher.h"

#include "http/response_head.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace http {
namespace {

using platform::IInternetClient;
using platform::InternetHandle;

// Closes one handle of the client when the fetch leaves its scope, on every
// path; declared in opening order so that the request goes before the
// internet handle.
class ScopedInternetHandle {
 public:
  ScopedInternetHandle(IInternetClient& client, InternetHandle handle) : client_(client), handle_(handle) {}
  ScopedInternetHandle(const ScopedInternetHandle&) = delete;
  ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;
  ~ScopedInternetHandle() {
    if (handle_) client_.CloseHandle(handle_);
  }
  InternetHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  IInternetClient& client_;
  InternetHandle handle_;
};

// One option read from the system's defaults, kept for setting it again on
// our own internet handle.
struct SavedOption {
  std::uint32_t option;
  std::array<unsigned char, kOptionBufferSize> buffer{};
  std::uint32_t length = kOptionBufferSize;
  bool read = false;
};

}  // namespace

std::string HttpErrorText(HttpError::Stage stage) {
  const char* function = "";
  switch (stage) {
    case HttpError::Stage::InternetOpen: function = "InternetOpen()"; break;
    case HttpError::Stage::InternetOpenUrl: function = "InternetOpenUrl()"; break;
    case HttpError::Stage::HttpQueryInfo: function = "HttpQueryInfo()"; break;
  }
  return std::string("请求后台数据时出现异常。\r\n函数：") + function + " 错误代码: ";
}

HttpError::HttpError(Stage stage, std::uint32_t code)
    : std::runtime_error(HttpErrorText(stage) + std::to_string(code)), stage_(stage), code_(code) {}

HttpFetcher::HttpFetcher(platform::IInternetClient& client, FetchEvents events)
    : client_(client), events_(std::move(events)) {}

namespace {

// The system's proxy and credentials, in the order they are set again on our
// own handle.
using SavedOptions = std::array<SavedOption, 5>;

SavedOptions ReadSystemOptions(IInternetClient& client) {
  SavedOptions options{{{platform::kOptionProxy},
                        {platform::kOptionProxyUsername},
                        {platform::kOptionProxyPassword},
                        {platform::kOptionUsername},
                        {platform::kOptionPassword}}};
  for (SavedOption& o : options) o.read = client.QueryOption(o.option, o.buffer.data(), &o.length);
  return options;
}

// With a proxy configured, the proxy and the credentials that could be read
// go onto the internet handle. A failed query leaves the record zero, which
// is no proxy.
void ApplyProxy(IInternetClient& client, InternetHandle internet, const SavedOptions& options) {
  const SavedOption& proxy = options[0];
  std::uint32_t accessType = 0;
  std::memcpy(&accessType, proxy.buffer.data(), sizeof accessType);
  if (accessType != platform::kOpenTypeProxy) return;
  // The record is the system's own structure holding two addresses, so its
  // length is that of the build we run in (12 bytes in the 32-bit product);
  // the addresses point into the same buffer, which outlives the handle.
  client.SetOption(internet, platform::kOptionProxy, proxy.buffer.data(), platform::kProxyInfoRecordSize);
  for (std::size_t i = 1; i < options.size(); ++i) {
    if (options[i].read) client.SetOption(internet, options[i].option, options[i].buffer.data(), options[i].length);
  }
}

// What the raw response headers say.
ResponseHead ReadHead(IInternetClient& client, InternetHandle request, std::vector<char>& buffer) {
  std::uint32_t length = kTransferBufferSize;
  std::uint32_t index = 0;
  if (!client.QueryInfo(request, platform::kQueryRawHeadersCrlf, buffer.data(), &length, &index)) {
    throw HttpError(HttpError::Stage::HttpQueryInfo, client.GetLastError());
  }
  const std::size_t headerEnd = std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin();
  return ReadResponseHead(std::string_view(buffer.data(), headerEnd));
}

// The fixed headers, and for the rest of a file the range it starts at.
std::string RequestHeaders(std::uint64_t from, Freshness freshness) {
  std::string headers = freshness == Freshness::Cacheable ? kCacheableHeaders : kExtraHeaders;
  if (from > 0) headers += "\r\nRange: bytes=" + std::to_string(from) + "-";
  return headers;
}

std::uint32_t RequestFlags(Freshness freshness) {
  return freshness == Freshness::Cacheable ? platform::kFlagNoCacheWrite : platform::kFlagReload;
}

}  // namespace

FetchResult HttpFetcher::Get(const std::string& url, std::uint64_t from, IBodySink& body, Freshness freshness) {
  const SavedOptions options = ReadSystemOptions(client_);
  ScopedInternetHandle internet(client_,
                                client_.Open(kUserAgent, platform::kOpenTypePreconfig, nullptr, nullptr, 0));
  if (!internet) throw HttpError(HttpError::Stage::InternetOpen, client_.GetLastError());
  ApplyProxy(client_, internet.get(), options);

  const std::string headers = RequestHeaders(from, freshness);
  ScopedInternetHandle request(
      client_, client_.OpenUrl(internet.get(), url.c_str(), headers.c_str(), static_cast<std::uint32_t>(headers.size()),
                               RequestFlags(freshness), 0));
  std::vector<char> buffer(kTransferBufferSize, '\0');
  if (!request) throw HttpError(HttpError::Stage::InternetOpenUrl, client_.GetLastError());
  FetchResult result;
  result.head = ReadHead(client_, request.get(), buffer);

  if (events_.start) events_.start(result.head.announced);
  result.accepted = body.Accept(result.head);
  if (result.accepted) ReadBody(request.get(), buffer, body, result);
  if (events_.finish) events_.finish();
  return result;
}

std::int64_t HttpFetcher::Fetch(const std::string& url, std::string& body) {
  StringSink sink(body);
  return Fetch(url, sink);
}

void HttpFetcher::ReadBody(InternetHandle request, std::vector<char>& buffer, IBodySink& body, FetchResult& result) {
  std::memset(buffer.data(), 0, buffer.size());
  for (;;) {
    std::uint32_t read = 0;
    if (!client_.ReadFile(request, buffer.data(), kTransferBufferSize, &read)) {
      result.readFailed = true;
      return;
    }
    if (read == 0) return;
    if (read > kTransferBufferSize) read = kTransferBufferSize;
    body.Write(std::string_view(buffer.data(), read));
    result.received += read;
    std::memset(buffer.data(), 0, read);
    try {
      if (events_.progress) events_.progress(static_cast<std::int32_t>(read));
    } catch (...) {
      result.readFailed = true;  // whoever listens stopped the transfer
      return;
    }
    client_.Sleep(0);
  }
}

}  // namespace http
