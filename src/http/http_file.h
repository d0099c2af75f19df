#pragma once
// Fetches the body of one URL into memory through the system's internet
// client: the system's proxy settings and proxy credentials, fixed request
// headers, always a fresh copy from the server.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "http/internet_client.h"

namespace http {

// The internet client could not be opened, the URL could not be opened, or
// the response headers could not be read. The message is the user-visible
// text followed by the decimal error code.
class EHttpError : public std::runtime_error {
 public:
  enum class Stage { InternetOpen, InternetOpenUrl, HttpQueryInfo };
  EHttpError(Stage stage, std::uint32_t code);
  Stage stage() const { return stage_; }
  std::uint32_t code() const { return code_; }

 private:
  Stage stage_;
  std::uint32_t code_;
};

// The user-visible text of a failed stage, without the code.
std::string HttpErrorText(EHttpError::Stage stage);

// Fixed values of every request.
inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0;)";
inline constexpr char kExtraHeaders[] =
    "Accept: */*\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate";
inline constexpr std::uint32_t kTransferBufferSize = 65536;
inline constexpr std::uint32_t kOptionBufferSize = 1024;

class THTTPFile {
 public:
  explicit THTTPFile(IInternetClient& client);
  THTTPFile(const THTTPFile&) = delete;
  THTTPFile& operator=(const THTTPFile&) = delete;

  std::function<void(THTTPFile&, std::int32_t)> OnProgress;  // bytes in the block just received
  std::function<void(THTTPFile&, std::int32_t)> OnStart;     // announced total, -1 when none
  std::function<void(THTTPFile&)> OnFinish;

  // Appends the body to dest (a fresh string for the callers). Returns the
  // announced length or -1. Any HTTP status is a success: an error page is
  // delivered as the body. A body cut short is delivered as far as it came;
  // anything that stops the transfer (a failed read, a failed store, an
  // error raised by OnProgress) ends it without being reported.
  std::int32_t GetURLFile(const std::string& url, std::string& dest);

 private:
  IInternetClient& client_;
};

// The value of the first header line that contains "Content-Length" (letter
// case significant): the text after the line's first ':', trimmed, as a signed
// 32-bit decimal number; 0 when there is no such line or it is no number. The
// text ends at its first zero byte, as the system's raw header text does.
std::int32_t GetContentLength(std::string_view rawHeaders);

}  // namespace http
