#pragma once
// Fetches the body of one URL through the system's internet client: the
// system's proxy settings and proxy credentials, fixed request headers, a
// fresh copy from the server unless the caller may take a cached one.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "http/fetcher.h"
#include "platform/internet_client.h"

namespace http {

// The internet client could not be opened, the URL could not be opened, or
// the response headers could not be read. The message is the user-visible
// text followed by the decimal error code.
class HttpError : public std::runtime_error {
 public:
  enum class Stage { InternetOpen, InternetOpenUrl, HttpQueryInfo };
  HttpError(Stage stage, std::uint32_t code);
  Stage stage() const { return stage_; }
  std::uint32_t code() const { return code_; }

 private:
  Stage stage_;
  std::uint32_t code_;
};

// The user-visible text of a failed stage, without the code.
std::string HttpErrorText(HttpError::Stage stage);

// Fixed values of every request.
inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0;)";
inline constexpr char kExtraHeaders[] =
    "Accept: */*\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate";
// A cacheable request: proxies and caches may answer it.
inline constexpr char kCacheableHeaders[] = "Accept: */*";
inline constexpr std::uint32_t kTransferBufferSize = 65536;
inline constexpr std::uint32_t kOptionBufferSize = 1024;

// Optional notifications of one fetch.
struct FetchEvents {
  std::function<void(std::int64_t announced)> start;  // -1 when none was announced
  std::function<void(std::int32_t bytes)> progress;   // the block just received
  std::function<void()> finish;
};

class HttpFetcher : public IFetcher {
 public:
  explicit HttpFetcher(platform::IInternetClient& client, FetchEvents events = {});
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;

  // A body cut short is delivered as far as it came, and a failed read or
  // an event that raises ends the transfer as a failed read. A sink that
  // raises ends it too, and its error reaches the caller.
  // A cacheable request leaves out the no-cache header and the reload flag,
  // and keeps the answer out of the system's own cache.
  FetchResult Get(const std::string& url, std::uint64_t from, IBodySink& body,
                  Freshness freshness = Freshness::Fresh) override;
  using IFetcher::Fetch;
  // The whole body appended to a string; the announced length or -1.
  std::int64_t Fetch(const std::string& url, std::string& body);

 private:
  void ReadBody(platform::InternetHandle request, std::vector<char>& buffer, IBodySink& body, FetchResult& result);
  platform::IInternetClient& client_;
  FetchEvents events_;
};

}  // namespace http
