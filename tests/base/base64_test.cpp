#include "base/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(DecodeBase64, AlphabetPaddingAndForeignCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"YQ==", "a"},
      {"YWI=", "ab"},
      {"YWJj", "abc"},
      {"YWJjZA==", "abcd"},
      {"YWJj\r\nZA==", "abcd"},       // line breaks skipped
      {"YW Jj", "abc"},               // blanks skipped
      {"\tYW\tJj\t", "abc"},          // and tabs
      {"YQ", "a"},                    // fill characters may be missing
      {"YWJjZ", "abc"},               // a lone trailing character makes no byte
      {"YWJj!ZA==", "abc"},           // a foreign character ends the data
      {"YWJj-_", "abc"},              // the URL alphabet's too
      {"YWJj\vZA==", "abc"},          // other control characters are foreign
      {std::string("YWJj\0ZA==", 9), "abc"},
      {"YWJj\xC3\xA9ZA==", "abc"},    // and so is any 8-bit byte
      {"YQ==YWJj", "a"},              // so does the fill
      {"=YWJj", ""},
      {"+/+/", "\xfb\xff\xbf"},
      {"AAAA", std::string(3, '\0')},
      {"MTIzNDU2Nzg5MA==", "1234567890"},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(base::DecodeBase64(in), out);
  }
}

}  // namespace
