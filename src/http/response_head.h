#pragma once
// What a response's raw header text says beyond its length: the status, and
// whether and how the server serves byte ranges of the file.
#include <cstdint>
#include <optional>
#include <string_view>

namespace http {

// "Content-Range: bytes first-last/total" of a partial answer.
struct ContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t total = 0;
  bool operator==(const ContentRange&) const = default;
};

struct ResponseHead {
  int status = 0;                      // 0 when the status line is unreadable
  std::int64_t announced = -1;         // the announced length; -1 when none (or 0)
  bool acceptsRanges = false;          // "Accept-Ranges: bytes"
  std::optional<ContentRange> range;   // of a 206 answer
};

// The code of the first line ("HTTP/1.1 206 Partial Content"); 0 when it is
// no status line.
int StatusCode(std::string_view rawHeaders);

// The value of the header of this name (letter case ignored, first one),
// trimmed; nullopt when there is none.
std::optional<std::string_view> HeaderValue(std::string_view rawHeaders, std::string_view name);

// A single satisfied range, "bytes first-last/total" with first <= last <
// total; nullopt for anything else (other units, "*", several ranges).
std::optional<ContentRange> ParseContentRange(std::string_view value);

// The value of the first "Content-Length" header (exactly that name, letter
// case ignored), as a count of decimal digits only, below 2^63; 0 when there
// is none or its value is anything else. The text ends at its first zero
// byte, as the system's raw header text does.
std::int64_t ContentLength(std::string_view rawHeaders);

// Everything above; the announced length is ContentLength's, -1 for 0.
ResponseHead ReadResponseHead(std::string_view rawHeaders);

}  // namespace http
