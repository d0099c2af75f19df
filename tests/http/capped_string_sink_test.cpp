// A small document kept in memory up to its cap, and refused beyond it.
#include "http/capped_string_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
  const char* name;
  std::int64_t announced;
  std::vector<std::size_t> blocks;  // sizes written, in order
  bool refused;
};

TEST(CappedStringSink, KeepsUpToTheCapAndRefusesMore) {
  constexpr std::size_t kCap = 10;
  const Case cases[] = {
      {"exactly the cap", 10, {4, 6}, false},
      {"no length, exactly the cap", -1, {10}, false},
      {"announced above the cap", 11, {}, true},
      {"no length, one byte more", -1, {4, 6, 1}, true},
      {"announced small, more arrives", 5, {5, 6}, true},
      {"one block above the cap", -1, {11}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string body;
    http::CappedStringSink sink(body, "AutoUpdateIniS.xml", kCap);
    http::ResponseHead head;
    head.announced = c.announced;
    try {
      sink.Accept(head);
      for (std::size_t size : c.blocks) sink.Write(std::string(size, 'x'));
      EXPECT_FALSE(c.refused) << "no error";
    } catch (const http::DocumentTooLargeError& e) {
      EXPECT_TRUE(c.refused) << e.what();
      EXPECT_STREQ(e.what(), "服务器上的文件“AutoUpdateIniS.xml”超过 10 字节，不予读取。");
    }
    EXPECT_LE(body.size(), kCap);
  }
}

TEST(CappedStringSink, TheCapOfSmallDocumentsIsNamedInMegabytes) {
  std::string body;
  http::CappedStringSink sink(body, "AutoUpdateIniC.xml");
  http::ResponseHead head;
  head.announced = static_cast<std::int64_t>(http::kSmallDocumentCap) + 1;
  EXPECT_EQ(http::kSmallDocumentCap, 16u * 1024 * 1024);
  try {
    sink.Accept(head);
    FAIL() << "no error";
  } catch (const http::DocumentTooLargeError& e) {
    EXPECT_STREQ(e.what(), "服务器上的文件“AutoUpdateIniC.xml”超过 16 MB，不予读取。");
  }
}

}  // namespace
