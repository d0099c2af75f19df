#pragma once
// What the update engine needs of HTTP: fetch this URL (or the rest of it,
// from a byte on) into that sink, or fail. The fetch algorithm over the
// system's internet client implements it; engine tests answer from a table of
// URLs.
#include <cstdint>
#include <string>
#include <string_view>

#include "http/response_head.h"

namespace http {

// Where a body goes, block by block as it arrives.
class IBodySink {
 public:
  virtual ~IBodySink() = default;
  // Called once the headers are read, before any byte of the body; false
  // refuses the body, and none of it is read.
  virtual bool Accept(const ResponseHead&) { return true; }
  // An exception raised here ends the fetch and reaches its caller.
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

// Whether a request must reach the server itself. A package whose digest
// the manifest gives is checked byte for byte, so any cache on the way may
// answer for it; everything else is asked for fresh.
enum class Freshness { Fresh, Cacheable };

// How one fetch went.
struct FetchResult {
  ResponseHead head;
  bool accepted = false;       // the sink took the body
  std::uint64_t received = 0;  // body bytes written to the sink
  bool readFailed = false;     // the transfer broke off instead of ending
};

class IFetcher {
 public:
  virtual ~IFetcher() = default;
  // The body from byte `from` on (from 0: all of it, with no Range header).
  // Any HTTP status counts: an error page is a body. Raises HttpError when
  // the client, the URL or the response headers fail.
  virtual FetchResult Get(const std::string& url, std::uint64_t from, IBodySink& body,
                          Freshness freshness = Freshness::Fresh) = 0;
  // The whole body; the announced length, or -1 when none was announced.
  std::int64_t Fetch(const std::string& url, IBodySink& body) { return Get(url, 0, body).head.announced; }
};

}  // namespace http
