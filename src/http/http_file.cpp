#include "http/http_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace http {
namespace {

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

std::string HttpErrorText(EHttpError::Stage stage) {
  const char* function = "";
  switch (stage) {
    case EHttpError::Stage::InternetOpen: function = "InternetOpen()"; break;
    case EHttpError::Stage::InternetOpenUrl: function = "InternetOpenUrl()"; break;
    case EHttpError::Stage::HttpQueryInfo: function = "HttpQueryInfo()"; break;
  }
  return std::string("请求后台数据时出现异常。\r\n函数：") + function + " 错误代码: ";
}

EHttpError::EHttpError(Stage stage, std::uint32_t code)
    : std::runtime_error(HttpErrorText(stage) + std::to_string(code)), stage_(stage), code_(code) {}

THTTPFile::THTTPFile(IInternetClient& client) : client_(client) {}

std::int32_t THTTPFile::GetURLFile(const std::string& url, std::string& dest) {
  // The system's proxy and credentials, in the order they are set again below.
  std::array<SavedOption, 5> options{{{kOptionProxy},
                                      {kOptionProxyUsername},
                                      {kOptionProxyPassword},
                                      {kOptionUsername},
                                      {kOptionPassword}}};
  for (SavedOption& o : options) o.read = client_.QueryOption(o.option, o.buffer.data(), &o.length);

  ScopedInternetHandle internet(client_, client_.Open(kUserAgent, kOpenTypePreconfig, nullptr, nullptr, 0));
  if (!internet) throw EHttpError(EHttpError::Stage::InternetOpen, client_.GetLastError());

  // A failed query leaves the record zero, which is no proxy.
  const SavedOption& proxy = options[0];
  std::uint32_t accessType = 0;
  std::memcpy(&accessType, proxy.buffer.data(), sizeof accessType);
  if (accessType == kOpenTypeProxy) {
    // The record is the system's own structure holding two addresses, so its
    // length is that of the build we run in (12 bytes in the 32-bit product);
    // the addresses point into the same buffer, which outlives the handle.
    client_.SetOption(internet.get(), kOptionProxy, proxy.buffer.data(), kProxyInfoRecordSize);
    for (std::size_t i = 1; i < options.size(); ++i) {
      if (options[i].read) {
        client_.SetOption(internet.get(), options[i].option, options[i].buffer.data(), options[i].length);
      }
    }
  }

  ScopedInternetHandle request(
      client_, client_.OpenUrl(internet.get(), url.c_str(), kExtraHeaders,
                               static_cast<std::uint32_t>(sizeof kExtraHeaders - 1), kFlagReload, 0));
  std::vector<char> buffer(kTransferBufferSize, '\0');
  std::uint32_t length = kTransferBufferSize;
  std::uint32_t index = 0;
  if (!request) throw EHttpError(EHttpError::Stage::InternetOpenUrl, client_.GetLastError());

  if (!client_.QueryInfo(request.get(), kQueryRawHeadersCrlf, buffer.data(), &length, &index)) {
    throw EHttpError(EHttpError::Stage::HttpQueryInfo, client_.GetLastError());
  }
  const std::size_t headerEnd = std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin();
  std::int32_t total = GetContentLength(std::string_view(buffer.data(), headerEnd));
  if (total == 0) total = -1;

  if (OnStart) OnStart(*this, total);

  std::string body;
  try {
    // The announced length is the server's word only: without room for it
    // the body grows as it arrives.
    if (total > 0) body.reserve(static_cast<std::size_t>(total));
  } catch (const std::exception&) {
  }
  try {
    std::memset(buffer.data(), 0, buffer.size());
    for (;;) {
      std::uint32_t read = 0;
      if (!client_.ReadFile(request.get(), buffer.data(), kTransferBufferSize, &read) || read == 0) break;
      if (read > kTransferBufferSize) read = kTransferBufferSize;
      body.append(buffer.data(), read);
      std::memset(buffer.data(), 0, read);
      if (OnProgress) OnProgress(*this, static_cast<std::int32_t>(read));
      client_.Sleep(0);
    }
  } catch (...) {
    // Whatever stopped the transfer, the caller gets what has arrived.
  }

  dest.append(body);
  if (OnFinish) OnFinish(*this);
  return total;
}

std::int32_t GetContentLength(std::string_view rawHeaders) {
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
