#pragma once
// Fetches the body of one URL through the system's internet client: the
// system's proxy settings and proxy credentials, fixed request headers,
// always a fresh copy from the server.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
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
inline constexpr std::uint32_t kTransferBufferSize = 65536;
inline constexpr std::uint32_t kOptionBufferSize = 1024;

// Optional notifications of one fetch.
struct FetchEvents {
  std::function<void(std::int32_t announced)> start;  // -1 when none was announced
  std::function<void(std::int32_t bytes)> progress;   // the block just received
  std::function<void()> finish;
};

class HttpFetcher : public IFetcher {
 public:
  explicit HttpFetcher(platform::IInternetClient& client, FetchEvents events = {});
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;

  // A body cut short is delivered as far as it came; anything that stops
  // the transfer (a failed read, a sink that raises, an event that raises)
  // ends it without being reported: the announced length tells.
  std::int32_t Fetch(const std::string& url, IBodySink& body) override;
  // The same, appending to a string.
  std::int32_t Fetch(const std::string& url, std::string& body);

 private:
  void ReadBody(platform::InternetHandle request, std::vector<char>& buffer, IBodySink& body);
  platform::IInternetClient& client_;
  FetchEvents events_;
};

// The value of the first header line that contains "Content-Length" (letter
// case significant): the text after the line's first ':', trimmed, as a signed
// 32-bit decimal number; 0 when there is no such line or it is no number. The
// text ends at its first zero byte, as the system's raw header text does.
std::int32_t ContentLength(std::string_view rawHeaders);

}  // namespace http
