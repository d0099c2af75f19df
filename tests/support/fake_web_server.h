#pragma once
// An internet client that answers from a table of URLs, for engine tests that
// care about which documents are fetched and what comes back, not about the
// transfer itself. Unknown URLs answer 404 with a small HTML page.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http/internet_client.h"

namespace testing_support {

class FakeWebServer : public http::IInternetClient {
 public:
  // The body served for a URL.
  void Serve(const std::string& url, std::string body) { pages_[url] = Page{std::move(body), 0}; }
  // The body served for a URL under a Content-Length of `announced` bytes, as
  // when the connection drops part-way.
  void ServeCut(const std::string& url, std::string body, size_t announced) {
    pages_[url] = Page{std::move(body), 0, announced};
  }
  // Opening this URL fails with the given WinInet error code.
  void Fail(const std::string& url, std::uint32_t errorCode) { pages_[url] = Page{"", errorCode}; }
  // Every request fails to connect (server unreachable).
  void Unreachable(std::uint32_t errorCode = 12029) { unreachable_ = errorCode; }

  std::vector<std::string> requested;  // URLs in the order they were opened

  bool QueryOption(std::uint32_t, void*, std::uint32_t*) override { return false; }
  http::InternetHandle Open(const char*, std::uint32_t, const char*, const char*, std::uint32_t) override {
    return &session_;
  }
  bool SetOption(http::InternetHandle, std::uint32_t, const void*, std::uint32_t) override { return true; }
  http::InternetHandle OpenUrl(http::InternetHandle, const char* url, const char*, std::uint32_t, std::uint32_t,
                               std::uintptr_t) override {
    requested.push_back(url);
    if (unreachable_) {
      lastError_ = unreachable_;
      return nullptr;
    }
    auto it = pages_.find(url);
    Page page = it != pages_.end() ? it->second : Page{"<html><body>404 Not Found</body></html>", 0};
    if (page.error) {
      lastError_ = page.error;
      return nullptr;
    }
    const bool found = it != pages_.end();
    requests_.push_back(std::make_unique<Request>(Request{
        std::string(found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") + "\r\nContent-Length: " +
            std::to_string(page.announced ? *page.announced : page.body.size()) + "\r\n\r\n",
        page.body, 0}));
    return requests_.back().get();
  }
  bool QueryInfo(http::InternetHandle request, std::uint32_t, void* buffer, std::uint32_t* length,
                 std::uint32_t*) override {
    const std::string& headers = static_cast<Request*>(request)->headers;
    if (headers.size() + 1 > *length) return false;
    std::memcpy(buffer, headers.c_str(), headers.size() + 1);
    *length = static_cast<std::uint32_t>(headers.size());
    return true;
  }
  bool ReadFile(http::InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) override {
    Request& r = *static_cast<Request*>(request);
    const size_t n = std::min<size_t>(toRead, r.body.size() - r.offset);
    std::memcpy(buffer, r.body.data() + r.offset, n);
    r.offset += n;
    *read = static_cast<std::uint32_t>(n);
    return true;
  }
  bool CloseHandle(http::InternetHandle) override { return true; }
  std::uint32_t GetLastError() override { return lastError_; }
  void Sleep(std::uint32_t) override {}

 private:
  struct Page {
    std::string body;
    std::uint32_t error;
    std::optional<size_t> announced = std::nullopt;
  };
  struct Request {
    std::string headers, body;
    size_t offset;
  };
  std::map<std::string, Page> pages_;
  std::vector<std::unique_ptr<Request>> requests_;
  std::uint32_t unreachable_ = 0;
  std::uint32_t lastError_ = 0;
  int session_ = 0;
};

}  // namespace testing_support
