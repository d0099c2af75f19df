// Raw response headers come from the server: reading the announced length
// must be safe for any bytes, and a non-zero answer needs the header name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/http_fetcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::int32_t length = http::ContentLength(text);
  if (length != 0 && text.substr(0, text.find('\0')).find("Content-Length") == std::string_view::npos) std::abort();
  return 0;
}
