#include "http/response_head.h"

#include <limits>

#include "base/text.h"

namespace http {
namespace {

// The header text up to its first zero byte, as the system hands it over.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

// The line starting at pos, which moves past its end: CR, LF or the pair.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
  std::size_t end = text.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) end = text.size();
  const std::string_view line = text.substr(pos, end - pos);
  pos = end;
  if (pos < text.size()) {
    const bool cr = text[pos++] == '\r';
    if (cr && pos < text.size() && text[pos] == '\n') ++pos;
  }
  return line;
}

// Digits only, below 2^63; the text is consumed up to the first non-digit.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
  std::size_t i = 0;
  std::uint64_t value = 0;
  constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (i == 0) return std::nullopt;
  text.remove_prefix(i);
  return value;
}

bool Take(std::string_view& text, char c) {
  if (text.empty() || text[0] != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

int StatusCode(std::string_view rawHeaders) {
  std::size_t pos = 0;
  std::string_view line = NextLine(UpToZero(rawHeaders), pos);
  if (line.substr(0, 5) != "HTTP/") return 0;
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return 0;
  line.remove_prefix(blank + 1);
  if (line.size() < 3 || (line.size() > 3 && line[3] != ' ')) return 0;
  int code = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

std::optional<std::string_view> HeaderValue(std::string_view rawHeaders, std::string_view name) {
  rawHeaders = UpToZero(rawHeaders);
  std::size_t pos = 0;
  NextLine(rawHeaders, pos);  // the status line
  while (pos < rawHeaders.size()) {
    const std::string_view line = NextLine(rawHeaders, pos);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && base::SameTextAscii(line.substr(0, colon), name)) {
      return base::Trimmed(line.substr(colon + 1));
    }
  }
  return std::nullopt;
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  if (!base::SameTextAscii(value.substr(0, 6), "bytes ")) return std::nullopt;
  value = base::Trimmed(value.substr(6));
  const auto first = TakeNumber(value);
  if (!first || !Take(value, '-')) return std::nullopt;
  const auto last = TakeNumber(value);
  if (!last || !Take(value, '/')) return std::nullopt;
  const auto total = TakeNumber(value);
  if (!total || !value.empty() || *first > *last || *last >= *total) return std::nullopt;
  return ContentRange{*first, *last, *total};
}

std::int64_t ContentLength(std::string_view rawHeaders) {
  const auto value = HeaderValue(rawHeaders, "Content-Length");
  if (!value) return 0;
  std::string_view digits = *value;
  const auto length = TakeNumber(digits);
  return length && digits.empty() ? static_cast<std::int64_t>(*length) : 0;
}

ResponseHead ReadResponseHead(std::string_view rawHeaders) {
  ResponseHead head;
  head.status = StatusCode(rawHeaders);
  const std::int64_t length = ContentLength(rawHeaders);
  head.announced = length == 0 ? -1 : length;
  const auto ranges = HeaderValue(rawHeaders, "Accept-Ranges");
  head.acceptsRanges = ranges && base::SameTextAscii(*ranges, "bytes");
  if (const auto range = HeaderValue(rawHeaders, "Content-Range")) head.range = ParseContentRange(*range);
  return head;
}

}  // namespace http
