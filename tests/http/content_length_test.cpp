// How the announced length is read from the raw response headers.
#include <gtest/gtest.h>

#include <string>

#include "http/http_fetcher.h"

namespace {

struct LengthCase {
  const char* name;
  std::string headers;
  std::int64_t expected;
};

class ContentLengthRule : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthRule, Value) { EXPECT_EQ(http::ContentLength(GetParam().headers), GetParam().expected); }

using namespace std::string_literals;

// The header of exactly that name, whatever its letter case; digits only.
INSTANTIATE_TEST_SUITE_P(
    Headers, ContentLengthRule,
    ::testing::Values(
        LengthCase{"Plain", "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 1234\r\n\r\n", 1234},
        LengthCase{"NoLine", "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n", 0},
        LengthCase{"Empty", "", 0},
        LengthCase{"Zero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 0},
        LengthCase{"BlanksAround", "HTTP/1.1 200 OK\r\nContent-Length:    42   \r\n\r\n", 42},
        LengthCase{"TabsAndControls", "HTTP/1.1 200 OK\r\nContent-Length:\t\x01 42\x7f\x1f\t\r\n", 0},
        LengthCase{"TabsAndLowControls", "HTTP/1.1 200 OK\r\nContent-Length:\t\x01 42\x1f\t\r\n", 42},
        LengthCase{"NoBlankAfterColon", "HTTP/1.1 200 OK\r\nContent-Length:17", 17},
        LengthCase{"StatusLineIsNoHeader", "Content-Length: 17\r\n", 0},
        LengthCase{"DecoyBefore", "HTTP/1.1 200 OK\r\nX-Original-Content-Length: 7\r\nContent-Length: 9\r\n", 9},
        LengthCase{"DecoyAfter", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nX-Original-Content-Length: 7\r\n", 9},
        LengthCase{"DecoyOnly", "HTTP/1.1 200 OK\r\nX-Original-Content-Length: 7\r\n", 0},
        LengthCase{"LongerName", "HTTP/1.1 200 OK\r\nContent-Lengths: 7\r\n", 0},
        LengthCase{"BlankBeforeColon", "HTTP/1.1 200 OK\r\nContent-Length : 7\r\n", 0},
        LengthCase{"FirstOfTwo", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n", 3},
        LengthCase{"NameInEarlierValue", "HTTP/1.1 200 OK\r\nX-Note: Content-Length: 4\r\nContent-Length: 5\r\n", 5},
        LengthCase{"LowerCase", "HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n", 5},
        LengthCase{"UpperCase", "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 5\r\n\r\n", 5},
        LengthCase{"MixedCase", "HTTP/1.1 200 OK\r\ncOnTeNt-LeNgTh: 6\r\n\r\n", 6},
        LengthCase{"NotANumber", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n", 0},
        LengthCase{"TrailingGarbage", "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n", 0},
        LengthCase{"InnerBlank", "HTTP/1.1 200 OK\r\nContent-Length: 1 2\r\n", 0},
        LengthCase{"ListOfTwo", "HTTP/1.1 200 OK\r\nContent-Length: 5, 5\r\n", 0},
        LengthCase{"EmptyValueFirst", "HTTP/1.1 200 OK\r\nContent-Length:\r\nContent-Length: 8\r\n", 0},
        LengthCase{"NoColon", "HTTP/1.1 200 OK\r\nContent-Length 12\r\n", 0},
        LengthCase{"SecondColonStays", "HTTP/1.1 200 OK\r\nContent-Length: 5:6\r\n", 0},
        LengthCase{"Negative", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n", 0},
        LengthCase{"PlusSign", "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n", 0},
        LengthCase{"LeadingZeros", "HTTP/1.1 200 OK\r\nContent-Length: 0007\r\n", 7},
        LengthCase{"Int32Max", "HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n", 2147483647},
        LengthCase{"TwoToThe31", "HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n", 2147483648LL},
        LengthCase{"FourGigabytes", "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n", 4294967296LL},
        LengthCase{"TwoToThe40", "HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n", 1099511627776LL},
        LengthCase{"Int64Max", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n", 9223372036854775807LL},
        LengthCase{"TwoToThe63", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n", 0},
        LengthCase{"ManyDigits", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n", 0},
        LengthCase{"Hex", "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n", 0},
        LengthCase{"DollarHex", "HTTP/1.1 200 OK\r\nContent-Length: $10\r\n", 0},
        LengthCase{"Fraction", "HTTP/1.1 200 OK\r\nContent-Length: 10.0\r\n", 0},
        LengthCase{"FullWidthDigits", "HTTP/1.1 200 OK\r\nContent-Length: \xEF\xBC\x95\r\n", 0},
        LengthCase{"HighByteNotTrimmed", "HTTP/1.1 200 OK\r\nContent-Length: 5\xA0\r\n", 0},
        LengthCase{"LastLineUnterminated", "HTTP/1.1 200 OK\r\nContent-Length: 31", 31},
        LengthCase{"LfOnly", "HTTP/1.1 200 OK\nServer: x\nContent-Length: 11\n\n", 11},
        LengthCase{"CrOnly", "HTTP/1.1 200 OK\rServer: x\rContent-Length: 12\r\r", 12},
        // A lone CR ends the line: the value's line is "Content-Length: 1",
        // the "3" after it is a line of its own.
        LengthCase{"CrInsideValue", "HTTP/1.1 200 OK\r\nContent-Length: 1\r3\r\n", 1},
        LengthCase{"ZeroByteEndsText", "HTTP/1.1 200 OK\r\nContent-Length: 5\0Content-Length: 6"s, 5},
        LengthCase{"LineAfterZeroByte", "HTTP/1.1 200 OK\r\n\0Content-Length: 5\r\n"s, 0},
        LengthCase{"ZeroInsideValue", "HTTP/1.1 200 OK\r\nContent-Length: 5\0 6\r\n"s, 5}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

}  // namespace
