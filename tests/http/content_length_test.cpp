// How the announced length is read from the raw response headers.
#include <gtest/gtest.h>

#include <string>

#include "http/http_fetcher.h"

namespace {

struct LengthCase {
  const char* name;
  std::string headers;
  std::int32_t expected;
};

class ContentLengthRule : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthRule, Value) { EXPECT_EQ(http::ContentLength(GetParam().headers), GetParam().expected); }

using namespace std::string_literals;

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
        LengthCase{"NoBlankAfterColon", "Content-Length:17", 17},
        LengthCase{"PrefixedNameFirst", "HTTP/1.1 200 OK\r\nX-Original-Content-Length: 7\r\nContent-Length: 9\r\n", 7},
        LengthCase{"PrefixedNameAfter", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nX-Original-Content-Length: 7\r\n", 9},
        LengthCase{"FirstOfTwo", "Content-Length: 3\r\nContent-Length: 4\r\n", 3},
        LengthCase{"NameInEarlierValue", "HTTP/1.1 200 OK\r\nX-Note: see Content-Length\r\nContent-Length: 5\r\n", 0},
        LengthCase{"LowerCase", "HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n", 0},
        LengthCase{"UpperCase", "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 5\r\n\r\n", 0},
        LengthCase{"NotANumber", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n", 0},
        LengthCase{"TrailingGarbage", "Content-Length: 12abc\r\n", 0},
        LengthCase{"InnerBlank", "Content-Length: 1 2\r\n", 0},
        LengthCase{"EmptyValue", "Content-Length:\r\nContent-Length: 8\r\n", 0},
        LengthCase{"NoColon", "Content-Length 12\r\n", 0},
        LengthCase{"SecondColonStays", "Content-Length: 5:6\r\n", 0},
        LengthCase{"Negative", "Content-Length: -5\r\n", -5},
        LengthCase{"PlusSign", "Content-Length: +5\r\n", 5},
        LengthCase{"SignOnly", "Content-Length: -\r\n", 0},
        LengthCase{"LeadingZeros", "Content-Length: 0007\r\n", 7},
        LengthCase{"Int32Max", "Content-Length: 2147483647\r\n", 2147483647},
        LengthCase{"AboveInt32", "Content-Length: 2147483648\r\n", 0},
        LengthCase{"Int32Min", "Content-Length: -2147483648\r\n", -2147483647 - 1},
        LengthCase{"BelowInt32", "Content-Length: -2147483649\r\n", 0},
        LengthCase{"ManyDigits", "Content-Length: 99999999999999999999999\r\n", 0},
        LengthCase{"Hex", "Content-Length: 0x10\r\n", 0},
        LengthCase{"DollarHex", "Content-Length: $10\r\n", 0},
        LengthCase{"HighByteNotTrimmed", "Content-Length: 5\xA0\r\n", 0},
        LengthCase{"LastLineUnterminated", "HTTP/1.1 200 OK\r\nContent-Length: 31", 31},
        LengthCase{"LfOnly", "HTTP/1.1 200 OK\nServer: x\nContent-Length: 11\n\n", 11},
        LengthCase{"CrOnly", "HTTP/1.1 200 OK\rServer: x\rContent-Length: 12\r\r", 12},
        // A lone CR ends the line: the value's line is "Content-Length: 1",
        // the "3" after it is a line of its own.
        LengthCase{"CrInsideValue", "Content-Length: 1\r3\r\n", 1},
        LengthCase{"ZeroByteEndsText", "Content-Length: 5\0Content-Length: 6"s, 5},
        LengthCase{"LineAfterZeroByte", "HTTP/1.1 200 OK\r\n\0Content-Length: 5\r\n"s, 0},
        LengthCase{"ZeroInsideValue", "Content-Length: 5\0 6\r\n"s, 5}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

}  // namespace
