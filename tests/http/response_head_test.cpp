// The status, byte-range support and Content-Range read from raw response
// headers.
#include "http/response_head.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using http::ContentRange;

TEST(ResponseHead, StatusLine) {
  const std::pair<std::string, int> cases[] = {
      {"HTTP/1.1 206 Partial Content\r\n", 206}, {"HTTP/1.0 200 OK\r\nX: y\r\n", 200}, {"HTTP/1.1 404", 404},
      {"HTTP/1.1 20 OK\r\n", 0},                 {"HTTP/1.1 2000 OK\r\n", 0},         {"HTTP/1.1 2x0 OK", 0},
      {"http/1.1 200 OK\r\n", 0},                {"X: HTTP/1.1 200 OK", 0},           {"", 0},
      {std::string("\0HTTP/1.1 200 OK", 16), 0},
  };
  for (const auto& [headers, status] : cases) EXPECT_EQ(http::StatusCode(headers), status) << headers;
}

TEST(ResponseHead, ContentRangeValues) {
  const std::pair<const char*, std::optional<ContentRange>> cases[] = {
      {"bytes 500-999/1000", ContentRange{500, 999, 1000}},
      {"BYTES 0-0/1", ContentRange{0, 0, 1}},
      {"bytes  7-9/10", ContentRange{7, 9, 10}},
      {"bytes 5000000000-5000000001/5000000002", ContentRange{5000000000, 5000000001, 5000000002}},
      {"bytes 500-999/*", std::nullopt},      // length unknown
      {"bytes */1000", std::nullopt},         // unsatisfied
      {"bytes 600-500/1000", std::nullopt},   // backwards
      {"bytes 500-1000/1000", std::nullopt},  // past the end
      {"bytes 500-999/1000x", std::nullopt},
      {"items 1-2/3", std::nullopt},
      {"bytes -1-2/3", std::nullopt},
      {"bytes 1-99999999999999999999/3", std::nullopt},
  };
  for (const auto& [value, range] : cases) EXPECT_EQ(http::ParseContentRange(value), range) << value;
}

TEST(ResponseHead, WholeHeadOfARangeAnswer) {
  const std::string headers =
      "HTTP/1.1 206 Partial Content\r\ncontent-range: bytes 10-19/20\r\nContent-Length: 10\r\n"
      "ACCEPT-RANGES:  Bytes \r\n\r\n";
  const http::ResponseHead head = http::ReadResponseHead(headers);
  EXPECT_EQ(head.status, 206);
  EXPECT_EQ(head.announced, 10);
  EXPECT_TRUE(head.acceptsRanges);
  EXPECT_EQ(head.range, (ContentRange{10, 19, 20}));
  // "none" and a header only mentioned in another's value accept nothing.
  for (const char* other : {"HTTP/1.1 200 OK\r\nAccept-Ranges: none\r\n", "HTTP/1.1 200 OK\r\nX: Accept-Ranges: bytes\r\n",
                            "HTTP/1.1 200 OK\r\n"}) {
    const http::ResponseHead plain = http::ReadResponseHead(other);
    EXPECT_FALSE(plain.acceptsRanges) << other;
    EXPECT_EQ(plain.announced, -1);
    EXPECT_FALSE(plain.range);
  }
}

// -1 stands for "none": no header, a zero, or anything but a count.
TEST(ResponseHead, AnnouncedLength) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n", 20},
      {"HTTP/1.1 200 OK\r\ncontent-length: 2147483648\r\n", 2147483648LL},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n", 1099511627776LL},
      {"HTTP/1.1 200 OK\r\nX-Original-Content-Length: 5\r\n", -1},
      {"HTTP/1.1 200 OK\r\nX-Original-Content-Length: 5\r\nContent-Length: 6\r\n", 6},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", -1},
      {"HTTP/1.1 200 OK\r\nContent-Length: -20\r\n", -1},
      {"HTTP/1.1 200 OK\r\nContent-Length: 20 bytes\r\n", -1},
      {"HTTP/1.1 200 OK\r\n", -1},
  };
  for (const auto& [headers, announced] : cases) EXPECT_EQ(http::ReadResponseHead(headers).announced, announced) << headers;
}

}  // namespace
