#include "engine/mirror_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MirrorAddress, OnlyClearHttpAddressesWithAPath) {
  struct Case {
    std::string address;
    bool usable;
  };
  const Case cases[] = {
      {"http://mirror/upd/", true},
      {"http://mirror.branch-7.example:8080/a_b/c.d~e/", true},
      {"HTTP://10.0.0.9/", true},
      {"http://mirror/upd", true},
      {"http://mirror", false},  // no path
      {"https://mirror/upd/", false},
      {"ftp://mirror/upd/", false},
      {"mirror/upd/", false},
      {"http://user@mirror/upd/", false},
      {"http://mirror:0/upd/", false},
      {"http://mirror:65536/upd/", false},
      {"http://mirr%6fr/upd/", false},
      {"http://mirror/upd/?x=", false},
      {"http://mirror/upd/#x", false},
      {"http://mirror/up%2fd/", false},
      {"http://mirror/up\\d/", false},
      {"http://mirror/\xE9/", false},
      {"http://镜像/upd/", false},
      {"http://mirror/" + std::string(600, 'a') + "/", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(engine::IsMirrorAddress(c.address), c.usable);
  }
}

TEST(MirrorList, WordsInOrderTheUnusableSetApart) {
  struct Case {
    std::string text;
    std::vector<std::string> addresses, ignored;
  };
  std::string many;
  std::vector<std::string> first;
  for (int i = 0; i < 10; ++i) {
    const std::string address = "http://m" + std::to_string(i) + "/";
    many += address + "\n";
    if (i < 8) first.push_back(address);
  }
  const Case cases[] = {
      {"", {}, {}},
      {" \r\n\t", {}, {}},
      {"http://b/ http://a/", {"http://b/", "http://a/"}, {}},
      {"http://a/\r\nhttp://b/\n\nhttp://c/\t", {"http://a/", "http://b/", "http://c/"}, {}},
      {"junk http://a/ http://x@y/", {"http://a/"}, {"junk", "http://x@y/"}},
      {many, first, {"http://m8/", "http://m9/"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const engine::MirrorList list = engine::ParseMirrors(c.text);
    EXPECT_EQ(list.addresses, c.addresses);
    EXPECT_EQ(list.ignored, c.ignored);
  }
}

}  // namespace
