// The scripted internet client behaves as the system's does where the fetch
// and the engine tests rely on it.
#include "support/platform/fake_internet.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testing_support::FakeInternet;

TEST(FakeInternet, ReadsSplitBlocksToTheAskedSize) {
  FakeInternet net;
  net.Serve("u", FakeInternet::Page("abcdefg", true, 5));
  auto internet = net.Open("a", 0, nullptr, nullptr, 0);
  auto request = net.OpenUrl(internet, "u", "", 0, 0, 0);
  ASSERT_NE(request, nullptr);
  char buf[8] = {};
  std::uint32_t n = 0;
  std::string got;
  std::vector<std::uint32_t> sizes;
  while (net.ReadFile(request, buf, 3, &n) && n) {
    got.append(buf, n);
    sizes.push_back(n);
  }
  EXPECT_EQ(got, "abcdefg");
  EXPECT_EQ(sizes, (std::vector<std::uint32_t>{3, 2, 2}));
  EXPECT_TRUE(net.CloseHandle(request));
  EXPECT_TRUE(net.CloseHandle(internet));
  EXPECT_FALSE(net.CloseHandle(internet));
  EXPECT_EQ(net.GetLastError(), FakeInternet::kErrorInvalidHandle);
}

TEST(FakeInternet, QueriesReportNeededSizeAndTerminateTexts) {
  FakeInternet net;
  net.SetSystemText(43, "user");
  char small[4];
  std::uint32_t len = sizeof small;
  EXPECT_FALSE(net.QueryOption(43, small, &len));
  EXPECT_EQ(len, 5u);
  EXPECT_EQ(net.GetLastError(), FakeInternet::kErrorInsufficientBuffer);
  char big[16];
  len = sizeof big;
  ASSERT_TRUE(net.QueryOption(43, big, &len));
  EXPECT_EQ(len, 4u);
  EXPECT_STREQ(big, "user");
  len = sizeof big;
  EXPECT_FALSE(net.QueryOption(44, big, &len));
  EXPECT_EQ(net.GetLastError(), net.unsetOptionError);
}

TEST(FakeInternet, ProxyRecordPointsIntoTheCallersBuffer) {
  FakeInternet net;
  net.SetSystemProxy(3, "p:1", "b");
  alignas(8) unsigned char buf[256] = {};
  std::uint32_t len = sizeof buf;
  ASSERT_TRUE(net.QueryOption(38, buf, &len));
  platform::ProxyInfoRecord record;
  std::memcpy(&record, buf, sizeof record);
  EXPECT_EQ(record.accessType, 3u);
  EXPECT_STREQ(record.proxy, "p:1");
  EXPECT_STREQ(record.proxyBypass, "b");
  EXPECT_GE(reinterpret_cast<const unsigned char*>(record.proxy), buf + sizeof record);
  EXPECT_LT(reinterpret_cast<const unsigned char*>(record.proxyBypass), buf + sizeof buf);
}

TEST(FakeInternet, FailuresAtEachCall) {
  FakeInternet net;
  FakeInternet::Response r = FakeInternet::Page("x");
  r.queryInfoError = 12150;
  net.Serve("q", r);
  r = FakeInternet::Page("x");
  r.openUrlError = 12029;
  net.Serve("o", r);
  auto internet = net.Open("a", 0, nullptr, nullptr, 0);
  EXPECT_EQ(net.OpenUrl(internet, "o", "", 0, 0, 0), nullptr);
  EXPECT_EQ(net.GetLastError(), 12029u);
  EXPECT_EQ(net.OpenUrl(internet, "missing", "", 0, 0, 0), nullptr);
  EXPECT_EQ(net.GetLastError(), net.unknownUrlError);
  auto request = net.OpenUrl(internet, "q", "", 0, 0, 0);
  char buf[64];
  std::uint32_t len = sizeof buf, index = 0;
  EXPECT_FALSE(net.QueryInfo(request, 22, buf, &len, &index));
  EXPECT_EQ(net.GetLastError(), 12150u);
  EXPECT_EQ(net.OpenHandles(), 2u);
  net.openError = 8;
  EXPECT_EQ(net.Open("a", 0, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(net.GetLastError(), 8u);
}

}  // namespace
