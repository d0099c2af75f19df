#pragma once
// What the update engine needs of HTTP: fetch this URL into that sink, or
// fail. The fetch algorithm over the system's internet client implements it;
// engine tests answer from a table of URLs.
#include <cstdint>
#include <string>
#include <string_view>

namespace http {

// Where a body goes, block by block as it arrives.
class IBodySink {
 public:
  virtual ~IBodySink() = default;
  virtual void Write(std::string_view block) = 0;
};

// A body kept in memory, for the small documents.
class StringSink : public IBodySink {
 public:
  explicit StringSink(std::string& body) : body_(body) {}
  void Write(std::string_view block) override { body_.append(block); }

 private:
  std::string& body_;
};

class IFetcher {
 public:
  virtual ~IFetcher() = default;
  // Writes the body into the sink and returns the announced length, or -1
  // when none was announced. Any HTTP status counts: an error page is a body.
  // Raises HttpError when the client, the URL or the response headers fail.
  virtual std::int32_t Fetch(const std::string& url, IBodySink& body) = 0;
};

}  // namespace http
