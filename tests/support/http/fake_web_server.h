#pragma once
// An update server for engine tests: answers URLs from a table, as the
// engine's fetcher. Unknown URLs answer with a small 404 page, as a real
// server does.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "http/fetcher.h"
#include "http/http_fetcher.h"

namespace testing_support {

class FakeWebServer : public http::IFetcher {
 public:
  // The body served for a URL.
  void Serve(const std::string& url, std::string body) { pages_[url] = Page{std::move(body)}; }
  // The body served for a URL under a Content-Length of `announced` bytes, as
  // when the connection drops part-way.
  void ServeCut(const std::string& url, std::string body, size_t announced) {
    pages_[url] = Page{std::move(body), 0, announced};
  }
  // The body served for a URL by a server that serves byte ranges; the
  // first request without a range breaks off after `cutAt` bytes.
  void ServeRanges(const std::string& url, std::string body, size_t cutAt = std::string::npos) {
    pages_[url] = Page{std::move(body), 0, std::nullopt, true, cutAt};
  }
  // The body served for a URL under another status than 200 (an error page).
  void ServeStatus(const std::string& url, int status, std::string body) {
    pages_[url] = Page{std::move(body)};
    pages_[url].status = status;
  }
  // Opening this URL fails with the given WinInet error code.
  void Fail(const std::string& url, std::uint32_t errorCode) { pages_[url] = Page{"", errorCode}; }
  // Every request fails to connect (server unreachable).
  void Unreachable(std::uint32_t errorCode = 12029) { unreachable_ = errorCode; }

  std::vector<std::string> requested;  // URLs in the order they were asked for
  std::vector<std::uint64_t> from;     // the first byte asked for, per request
  std::vector<http::Freshness> freshness;  // how fresh each request asked
  // Runs as each request arrives, before it is answered (a publisher
  // changing the server between two requests).
  std::function<void(const std::string& url)> onRequest;

  http::FetchResult Get(const std::string& url, std::uint64_t first, http::IBodySink& body,
                        http::Freshness asked = http::Freshness::Fresh) override {
    requested.push_back(url);
    from.push_back(first);
    freshness.push_back(asked);
    if (onRequest) onRequest(url);
    if (unreachable_) throw http::HttpError(http::HttpError::Stage::InternetOpenUrl, unreachable_);
    auto it = pages_.find(url);
    const bool known = it != pages_.end();
    const Page page = known ? it->second : Page{"<html><body>404 Not Found</body></html>"};
    if (page.error) throw http::HttpError(http::HttpError::Stage::InternetOpenUrl, page.error);
    http::FetchResult result;
    result.head.status = known ? page.status : 404;
    result.head.acceptsRanges = page.ranges;
    std::string served = page.body;
    size_t announced = page.announced ? *page.announced : page.body.size();
    if (first > 0 && page.ranges) {
      result.head.status = 206;
      result.head.range = http::ContentRange{first, announced - 1, announced};
      served = page.body.substr(first);
      announced -= first;
    } else if (page.cutAt < served.size()) {
      served.resize(page.cutAt);
    }
    result.head.announced = announced == 0 ? -1 : static_cast<std::int32_t>(announced);
    result.accepted = body.Accept(result.head);
    if (!result.accepted) return result;
    if (!served.empty()) body.Write(served);
    result.received = served.size();
    result.readFailed = served.size() < announced;
    return result;
  }

 private:
  struct Page {
    std::string body;
    std::uint32_t error = 0;
    std::optional<size_t> announced = std::nullopt;
    bool ranges = false;
    size_t cutAt = std::string::npos;
    int status = 200;
  };
  std::map<std::string, Page> pages_;
  std::uint32_t unreachable_ = 0;
};

}  // namespace testing_support
