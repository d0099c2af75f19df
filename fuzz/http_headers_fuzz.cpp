// Raw response headers come from the server: reading them must be safe for
// any bytes, a length is never negative and needs the header of exactly that
// name, and a range read from them is always one the file can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/response_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::int64_t length = http::ContentLength(text);
  if (length < 0 || (length != 0 && !http::HeaderValue(text, "content-length"))) std::abort();
  const http::ResponseHead head = http::ReadResponseHead(text);
  if (head.announced != (length == 0 ? -1 : length)) std::abort();
  if (head.status < 0 || head.status > 999) std::abort();
  if (head.range && !(head.range->first <= head.range->last && head.range->last < head.range->total)) std::abort();
  return 0;
}
