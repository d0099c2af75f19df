#pragma once
// An update server for engine tests: answers URLs from a table, as the
// engine's fetcher. Unknown URLs answer with a small 404 page, as a real
// server does.
#include <cstdint>
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
  // Opening this URL fails with the given WinInet error code.
  void Fail(const std::string& url, std::uint32_t errorCode) { pages_[url] = Page{"", errorCode}; }
  // Every request fails to connect (server unreachable).
  void Unreachable(std::uint32_t errorCode = 12029) { unreachable_ = errorCode; }

  std::vector<std::string> requested;  // URLs in the order they were asked for

  std::int32_t Fetch(const std::string& url, http::IBodySink& body) override {
    requested.push_back(url);
    if (unreachable_) throw http::HttpError(http::HttpError::Stage::InternetOpenUrl, unreachable_);
    auto it = pages_.find(url);
    const Page page = it != pages_.end() ? it->second : Page{"<html><body>404 Not Found</body></html>"};
    if (page.error) throw http::HttpError(http::HttpError::Stage::InternetOpenUrl, page.error);
    if (!page.body.empty()) body.Write(page.body);
    const size_t announced = page.announced ? *page.announced : page.body.size();
    return announced == 0 ? -1 : static_cast<std::int32_t>(announced);
  }

 private:
  struct Page {
    std::string body;
    std::uint32_t error = 0;
    std::optional<size_t> announced = std::nullopt;
  };
  std::map<std::string, Page> pages_;
  std::uint32_t unreachable_ = 0;
};

}  // namespace testing_support
