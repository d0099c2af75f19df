#include "http/http_fetcher.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
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

bool IsTrimmed(unsigned char c) { return c <= ' '; }

// A signed 32-bit decimal number with an optional sign, nothing else.
bool ParseInt32(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  const std::int64_t limit = negative ? std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1
                                      : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

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

// The announced length from the raw response headers; -1 when none (or 0).
std::int32_t AnnouncedLength(IInternetClient& client, InternetHandle request, std::vector<char>& buffer) {
  std::uint32_t length = kTransferBufferSize;
  std::uint32_t index = 0;
  if (!client.QueryInfo(request, platform::kQueryRawHeadersCrlf, buffer.data(), &length, &index)) {
    throw HttpError(HttpError::Stage::HttpQueryInfo, client.GetLastError());
  }
  const std::size_t headerEnd = std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin();
  const std::int32_t total = ContentLength(std::string_view(buffer.data(), headerEnd));
  return total == 0 ? -1 : total;
}

}  // namespace

std::int32_t HttpFetcher::Fetch(const std::string& url, IBodySink& body) {
  const SavedOptions options = ReadSystemOptions(client_);
  ScopedInternetHandle internet(client_,
                                client_.Open(kUserAgent, platform::kOpenTypePreconfig, nullptr, nullptr, 0));
  if (!internet) throw HttpError(HttpError::Stage::InternetOpen, client_.GetLastError());
  ApplyProxy(client_, internet.get(), options);

  ScopedInternetHandle request(
      client_, client_.OpenUrl(internet.get(), url.c_str(), kExtraHeaders,
                               static_cast<std::uint32_t>(sizeof kExtraHeaders - 1), platform::kFlagReload, 0));
  std::vector<char> buffer(kTransferBufferSize, '\0');
  if (!request) throw HttpError(HttpError::Stage::InternetOpenUrl, client_.GetLastError());
  const std::int32_t total = AnnouncedLength(client_, request.get(), buffer);

  if (events_.start) events_.start(total);
  ReadBody(request.get(), buffer, body);
  if (events_.finish) events_.finish();
  return total;
}

std::int32_t HttpFetcher::Fetch(const std::string& url, std::string& body) {
  StringSink sink(body);
  return Fetch(url, sink);
}

void HttpFetcher::ReadBody(InternetHandle request, std::vector<char>& buffer, IBodySink& body) {
  try {
    std::memset(buffer.data(), 0, buffer.size());
    for (;;) {
      std::uint32_t read = 0;
      if (!client_.ReadFile(request, buffer.data(), kTransferBufferSize, &read) || read == 0) break;
      if (read > kTransferBufferSize) read = kTransferBufferSize;
      body.Write(std::string_view(buffer.data(), read));
      std::memset(buffer.data(), 0, read);
      if (events_.progress) events_.progress(static_cast<std::int32_t>(read));
      client_.Sleep(0);
    }
  } catch (...) {
    // Whatever stopped the transfer, the caller has what arrived.
  }
}

std::int32_t ContentLength(std::string_view rawHeaders) {
  rawHeaders = rawHeaders.substr(0, rawHeaders.find('\0'));
  std::size_t pos = 0;
  while (pos < rawHeaders.size()) {
    std::size_t end = rawHeaders.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = rawHeaders.size();
    std::string_view line = rawHeaders.substr(pos, end - pos);
    // A line ends at CR, LF or the pair.
    pos = end;
    if (pos < rawHeaders.size() && rawHeaders[pos] == '\r') {
      ++pos;
      if (pos < rawHeaders.size() && rawHeaders[pos] == '\n') ++pos;
    } else if (pos < rawHeaders.size()) {
      ++pos;
    }

    if (line.find("Content-Length") == std::string_view::npos) continue;
    std::size_t colon = line.find(':');
    std::string_view value = colon == std::string_view::npos ? line : line.substr(colon + 1);
    while (!value.empty() && IsTrimmed(static_cast<unsigned char>(value.front()))) value.remove_prefix(1);
    while (!value.empty() && IsTrimmed(static_cast<unsigned char>(value.back()))) value.remove_suffix(1);
    std::int32_t result = 0;
    return ParseInt32(value, result) ? result : 0;
  }
  return 0;
}

}  // namespace http
