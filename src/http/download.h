#pragma once
// A whole file fetched into a sink that can start over: a body that breaks
// off after the server announced its length is continued with Range requests
// where the server serves ranges, and a download that does not end complete
// fails, never passes for the file.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "http/fetcher.h"

namespace http {

// The file did not arrive whole; the message says why, for the user.
class IncompleteDownloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IDownloadSink : public IBodySink {
 public:
  // Drops everything written so far: the next write is the file's first byte.
  virtual void Restart() = 0;
};

// Range requests after the first answer, at most.
inline constexpr int kRangeAttempts = 3;

// The file's size once it is complete in the sink. IncompleteDownloadError
// when it is not; HttpError when the first request fails; errors of the sink
// pass through. Every request of it is of the given freshness.
std::uint64_t Download(IFetcher& fetcher, const std::string& url, IDownloadSink& sink,
                       Freshness freshness = Freshness::Fresh);

}  // namespace http
