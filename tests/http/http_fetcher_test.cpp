// The fetch over a scripted internet client: what is asked of the system, in
// which order, with which exact values, and what reaches the caller.
#include "http/http_fetcher.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/platform/fake_internet.h"

namespace {

using testing_support::FakeInternet;
using Fn = FakeInternet::Fn;

const std::string kUrl = "http://update.example:8080/app/AutoUpdateIniS.xml";

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

std::size_t IndexOf(const std::vector<FakeInternet::Call>& calls, Fn fn, std::size_t from = 0) {
  for (std::size_t i = from; i < calls.size(); ++i) {
    if (calls[i].fn == fn) return i;
  }
  return calls.size();
}

TEST(HttpFileRequest, FixedValuesReachTheClient) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("<x/>"));
  http::HttpFetcher file(net);
  std::string dest;
  file.Fetch(kUrl, dest);

  auto open = net.CallsTo(Fn::Open);
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].text, "Mozilla/4.0 (compatible; MSIE 6.0;)");
  EXPECT_EQ(open[0].accessType, 0u);
  EXPECT_FALSE(open[0].proxy.has_value());
  EXPECT_FALSE(open[0].bypass.has_value());
  EXPECT_EQ(open[0].flags, 0u);

  const std::string headers = "Accept: */*\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate";
  auto openUrl = net.CallsTo(Fn::OpenUrl);
  ASSERT_EQ(openUrl.size(), 1u);
  EXPECT_EQ(openUrl[0].handle, open[0].returned);
  EXPECT_EQ(openUrl[0].text, kUrl);
  EXPECT_EQ(openUrl[0].bytes, headers);
  EXPECT_EQ(openUrl[0].length, headers.size());
  EXPECT_EQ(openUrl[0].flags, 0x80000000u);
  EXPECT_EQ(openUrl[0].context, 0u);

  auto info = net.CallsTo(Fn::QueryInfo);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0].handle, openUrl[0].returned);
  EXPECT_EQ(info[0].option, 22u);
  EXPECT_EQ(info[0].length, 65536u);
  EXPECT_EQ(info[0].index, 0u);

  for (const auto& read : net.CallsTo(Fn::ReadFile)) {
    EXPECT_EQ(read.handle, openUrl[0].returned);
    EXPECT_EQ(read.length, 65536u);
  }
}

// Only the cache header and the flags differ between the two kinds of
// request; a resume asks as the first request did.
TEST(HttpFileRequest, FreshnessDecidesTheCacheHeaderAndFlags) {
  struct Case {
    http::Freshness freshness;
    std::uint64_t from;
    std::string headers;
    std::uint32_t flags;
  };
  const std::string noCache = "Cache-Control: no-cache, no-store, max-age=0, must-revalidate";
  const Case cases[] = {
      {http::Freshness::Fresh, 0, "Accept: */*\r\n" + noCache, 0x80000000u},
      {http::Freshness::Fresh, 7, "Accept: */*\r\n" + noCache + "\r\nRange: bytes=7-", 0x80000000u},
      {http::Freshness::Cacheable, 0, "Accept: */*", 0x04000000u},
      {http::Freshness::Cacheable, 7, "Accept: */*\r\nRange: bytes=7-", 0x04000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers);
    FakeInternet net;
    net.Serve(kUrl, FakeInternet::Page("<x/>"));
    http::HttpFetcher file(net);
    std::string dest;
    http::StringSink sink(dest);
    file.Get(kUrl, c.from, sink, c.freshness);
    auto open = net.CallsTo(Fn::Open);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].text, "Mozilla/4.0 (compatible; MSIE 6.0;)");
    EXPECT_EQ(open[0].flags, 0u);
    auto openUrl = net.CallsTo(Fn::OpenUrl);
    ASSERT_EQ(openUrl.size(), 1u);
    EXPECT_EQ(openUrl[0].bytes, c.headers);
    EXPECT_EQ(openUrl[0].length, c.headers.size());
    EXPECT_EQ(openUrl[0].flags, c.flags);
  }
}

TEST(HttpFileRequest, SystemOptionsAreQueriedFirstInOrder) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("x"));
  http::HttpFetcher file(net);
  std::string dest;
  file.Fetch(kUrl, dest);

  auto calls = net.Calls();
  std::vector<std::uint32_t> queried;
  for (std::size_t i = 0; i < IndexOf(calls, Fn::Open); ++i) {
    ASSERT_EQ(calls[i].fn, Fn::QueryOption);
    EXPECT_EQ(calls[i].length, 1024u);
    queried.push_back(calls[i].option);
  }
  EXPECT_EQ(queried, (std::vector<std::uint32_t>{38, 43, 44, 28, 29}));
  // Nothing queried means nothing set: no option touches our handle.
  EXPECT_TRUE(net.CallsTo(Fn::SetOption).empty());
}

TEST(HttpFileRequest, UrlIsPassedAsGiven) {
  FakeInternet net;
  const std::string url = "http://服务器:80/clientfile/模块 1.zip?a=1&b=%20";
  net.Serve(url, FakeInternet::Page("z"));
  http::HttpFetcher file(net);
  std::string dest;
  file.Fetch(url, dest);
  EXPECT_EQ(net.OpenedUrls(), std::vector<std::string>{url});
  EXPECT_EQ(dest, "z");
}

// --- proxy and credentials -------------------------------------------------

struct ProxyCase {
  const char* name;
  bool proxyKnown;                     // the proxy query succeeds
  std::uint32_t accessType;            // of the system's record
  std::vector<std::uint32_t> credentials;  // credential options the system answers
  std::vector<std::uint32_t> expectedSets;  // options set on our handle, in order
};

class HttpFileProxy : public ::testing::TestWithParam<ProxyCase> {};

std::string CredentialText(std::uint32_t option) {
  switch (option) {
    case 43: return "proxy-user";
    case 44: return "proxy-secret!";
    case 28: return "user";
    case 29: return "pass word";
  }
  return "?";
}

TEST_P(HttpFileProxy, SetsWhatTheSystemHas) {
  const ProxyCase& pc = GetParam();
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("body"));
  if (pc.proxyKnown) net.SetSystemProxy(pc.accessType, "http=127.0.0.1:3128", "<local>;*.corp");
  for (std::uint32_t option : pc.credentials) net.SetSystemText(option, CredentialText(option));
  http::HttpFetcher file(net);
  std::string dest;
  file.Fetch(kUrl, dest);
  EXPECT_EQ(dest, "body");

  auto calls = net.Calls();
  const auto open = IndexOf(calls, Fn::Open);
  const auto openUrl = IndexOf(calls, Fn::OpenUrl);
  std::vector<std::uint32_t> set;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].fn != Fn::SetOption) continue;
    EXPECT_GT(i, open);
    EXPECT_LT(i, openUrl);
    EXPECT_EQ(calls[i].handle, calls[open].returned);
    set.push_back(calls[i].option);
    if (calls[i].option == 38) {
      // The system's own record, whose size follows the pointer size of the
      // build: 12 bytes in the 32-bit product.
      EXPECT_EQ(calls[i].length, sizeof(void*) == 4 ? 12u : 24u);
      EXPECT_EQ(calls[i].recordAccessType, 3u);
      EXPECT_EQ(calls[i].recordProxy, "http=127.0.0.1:3128");
      EXPECT_EQ(calls[i].recordBypass, "<local>;*.corp");
    } else {
      const std::string text = CredentialText(calls[i].option);
      EXPECT_EQ(calls[i].length, text.size());
      EXPECT_EQ(calls[i].bytes, text);
    }
  }
  EXPECT_EQ(set, pc.expectedSets);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, HttpFileProxy,
    ::testing::Values(
        ProxyCase{"QueryFails", false, 0, {}, {}},
        ProxyCase{"QueryFailsWithCredentials", false, 0, {43, 44, 28, 29}, {}},
        ProxyCase{"Direct", true, 1, {43, 44}, {}},
        ProxyCase{"Preconfig", true, 0, {43, 44}, {}},
        ProxyCase{"AutoProxyType", true, 4, {43, 44}, {}},
        ProxyCase{"ProxyOnly", true, 3, {}, {38}},
        ProxyCase{"ProxyWithProxyCredentials", true, 3, {43, 44}, {38, 43, 44}},
        ProxyCase{"ProxyWithAllCredentials", true, 3, {29, 28, 44, 43}, {38, 43, 44, 28, 29}},
        ProxyCase{"ProxyWithPasswordOnly", true, 3, {44}, {38, 44}},
        ProxyCase{"ProxyWithServerCredentials", true, 3, {28, 29}, {38, 28, 29}}),
    [](const ::testing::TestParamInfo<ProxyCase>& info) { return std::string(info.param.name); });

TEST(HttpFileProxyDetail, FailedCredentialQueryIsSkippedAndFailedSetIgnored) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("ok"));
  net.SetSystemProxy(3, "proxy:8080", "");
  net.SetSystemText(43, "u");
  net.FailSystemOption(44, 12018);
  net.SetSystemText(28, std::string(2000, 'x'));  // does not fit the 1,024-byte buffer
  net.setOptionResult = false;
  http::HttpFetcher file(net);
  std::string dest;
  EXPECT_EQ(file.Fetch(kUrl, dest), 2);
  EXPECT_EQ(dest, "ok");
  std::vector<std::uint32_t> set;
  for (const auto& c : net.CallsTo(Fn::SetOption)) set.push_back(c.option);
  EXPECT_EQ(set, (std::vector<std::uint32_t>{38, 43}));
}

TEST(HttpFileProxyDetail, EmptyCredentialIsSetWithLengthZero) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("ok"));
  net.SetSystemProxy(3, "proxy:8080", "");
  net.SetSystemText(43, "");
  http::HttpFetcher file(net);
  std::string dest;
  file.Fetch(kUrl, dest);
  auto sets = net.CallsTo(Fn::SetOption);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[1].option, 43u);
  EXPECT_EQ(sets[1].length, 0u);
}

// --- the body ----------------------------------------------------------------

struct BodyCase {
  const char* name;
  std::vector<std::size_t> blocks;  // sizes the server delivers per read
  bool announce;
};

class HttpFileBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(HttpFileBody, DeliveredWholeInOrder) {
  const BodyCase& bc = GetParam();
  std::size_t total = 0;
  for (std::size_t b : bc.blocks) total += b;
  const std::string body = Pattern(total);
  FakeInternet::Response r = FakeInternet::Page(body, bc.announce);
  r.blocks.clear();
  for (std::size_t pos = 0, i = 0; i < bc.blocks.size(); pos += bc.blocks[i++]) {
    r.blocks.push_back(body.substr(pos, bc.blocks[i]));
  }
  FakeInternet net;
  net.Serve(kUrl, r);

  std::vector<std::string> events;
  std::vector<std::int32_t> progress;
  std::string dest = "kept:";
  http::FetchEvents notify;
  notify.start = [&](std::int64_t announced) {
    events.push_back("start " + std::to_string(announced));
    EXPECT_TRUE(net.CallsTo(Fn::ReadFile).empty());
  };
  notify.progress = [&](std::int32_t bytes) { progress.push_back(bytes); };
  notify.finish = [&] {
    events.push_back("finish");
    EXPECT_EQ(dest.size(), 5 + total);  // delivered before the finish
  };
  http::HttpFetcher file(net, notify);
  const std::int64_t expectedTotal = bc.announce && total > 0 ? static_cast<std::int64_t>(total) : -1;
  EXPECT_EQ(file.Fetch(kUrl, dest), expectedTotal);
  EXPECT_EQ(dest, "kept:" + body);
  EXPECT_EQ(events, (std::vector<std::string>{"start " + std::to_string(expectedTotal), "finish"}));

  // One progress call and one Sleep(0) per block actually received; a block
  // larger than the buffer arrives in buffer-sized reads.
  std::vector<std::int32_t> reads;
  for (const auto& c : net.CallsTo(Fn::ReadFile)) {
    if (c.count) reads.push_back(static_cast<std::int32_t>(c.count));
  }
  EXPECT_EQ(progress, reads);
  std::int64_t sum = 0;
  for (std::int32_t n : reads) {
    EXPECT_LE(n, 65536);
    sum += n;
  }
  EXPECT_EQ(sum, static_cast<std::int64_t>(total));
  auto sleeps = net.CallsTo(Fn::Sleep);
  EXPECT_EQ(sleeps.size(), reads.size());
  for (const auto& s : sleeps) EXPECT_EQ(s.length, 0u);
  EXPECT_EQ(net.OpenHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, HttpFileBody,
    ::testing::Values(BodyCase{"Empty", {}, true}, BodyCase{"EmptyUnannounced", {}, false},
                      BodyCase{"OneByte", {1}, true}, BodyCase{"OneBlock", {4000}, true},
                      BodyCase{"Unannounced", {4000, 17}, false},
                      BodyCase{"ExactlyTheBuffer", {65536}, true},
                      BodyCase{"LargerThanTheBuffer", {200000}, true},
                      BodyCase{"Mixed", {1, 65536, 100000, 7, 65535}, true},
                      BodyCase{"MixedUnannounced", {3, 70000, 2}, false}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.name); });

TEST(HttpFileAnnounced, HeaderRulesDecideTheResult) {
  struct Case {
    std::string headers;
    std::int64_t expected;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", -1},
      {"HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n", 5},
      {"HTTP/1.1 200 OK\r\nContent-Length: five\r\n\r\n", -1},
      {"HTTP/1.1 200 OK\r\nContent-Length:  5 \r\n\r\n", 5},
      {"HTTP/1.1 200 OK\r\nX-Content-Length: 9\r\nContent-Length: 5\r\n\r\n", 5},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n", 3000000000LL},
      {std::string("HTTP/1.1 200 OK\r\n\0Content-Length: 5\r\n\r\n", 40), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers);
    FakeInternet net;
    FakeInternet::Response r;
    r.headers = c.headers;
    r.blocks = {"12345"};
    net.Serve(kUrl, r);
    std::int64_t started = 0;
    http::HttpFetcher file(net, {[&](std::int64_t total) { started = total; }, {}, {}});
    std::string dest;
    EXPECT_EQ(file.Fetch(kUrl, dest), c.expected);
    EXPECT_EQ(started, c.expected);
    EXPECT_EQ(dest, "12345");
  }
}

TEST(HttpFileBodyDetail, ErrorPageIsTheContent) {
  const std::string page = "<html><body><h1>404 Not Found</h1></body></html>";
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page(page, true, 65536, "404 Not Found"));
  http::HttpFetcher file(net);
  std::string dest;
  EXPECT_EQ(file.Fetch(kUrl, dest), static_cast<std::int32_t>(page.size()));
  EXPECT_EQ(dest, page);
}

TEST(HttpFileBodyDetail, BodyCutShortIsDeliveredAsFarAsItCame) {
  const std::string body = Pattern(100000);
  FakeInternet::Response r = FakeInternet::Page(body, true, 30000);
  r.blocks.resize(2);  // 60,000 of the announced 100,000 bytes
  r.readError = FakeInternet::kErrorConnectionReset;
  FakeInternet net;
  net.Serve(kUrl, r);
  http::HttpFetcher file(net);
  std::string dest;
  EXPECT_EQ(file.Fetch(kUrl, dest), 100000);
  EXPECT_EQ(dest.size(), 60000u);
  EXPECT_EQ(dest, body.substr(0, 60000));
  EXPECT_EQ(net.OpenHandles(), 0u);
}

TEST(HttpFileBodyDetail, ServerEndingEarlyIsNotPadded) {
  FakeInternet::Response r = FakeInternet::Page("abc");
  r.headers = "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n";
  FakeInternet net;
  net.Serve(kUrl, r);
  http::HttpFetcher file(net);
  std::string dest;
  EXPECT_EQ(file.Fetch(kUrl, dest), 50);
  EXPECT_EQ(dest, "abc");
}

TEST(HttpFileBodyDetail, FirstReadFailingGivesEmptyBody) {
  FakeInternet::Response r = FakeInternet::Page("");
  r.readError = 12002;
  FakeInternet net;
  net.Serve(kUrl, r);
  int finished = 0;
  http::HttpFetcher file(net, {{}, {}, [&] { ++finished; }});
  std::string dest = "d";
  EXPECT_EQ(file.Fetch(kUrl, dest), -1);
  EXPECT_EQ(dest, "d");
  EXPECT_EQ(finished, 1);
  http::StringSink sink(dest);
  EXPECT_TRUE(file.Get(kUrl, 0, sink).readFailed);
}

TEST(HttpFileBodyDetail, ErrorFromProgressEndsTheTransferQuietly) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("aaaabbbbcccc", true, 4));
  int calls = 0;
  int finished = 0;
  http::FetchEvents notify;
  notify.progress = [&](std::int32_t) {
    if (++calls == 2) throw std::runtime_error("stop");
  };
  notify.finish = [&] { ++finished; };
  http::HttpFetcher file(net, notify);
  std::string dest;
  EXPECT_EQ(file.Fetch(kUrl, dest), 12);
  EXPECT_EQ(dest, "aaaabbbb");
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(net.CallsTo(Fn::ReadFile).size(), 2u);
  EXPECT_EQ(net.OpenHandles(), 0u);
}

TEST(HttpFileBodyDetail, SameObjectFetchesAgain) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("first"));
  net.Serve("http://h/b", FakeInternet::Page("second", false));
  http::HttpFetcher file(net);
  std::string a, b;
  EXPECT_EQ(file.Fetch(kUrl, a), 5);
  EXPECT_EQ(file.Fetch("http://h/b", b), -1);
  EXPECT_EQ(a, "first");
  EXPECT_EQ(b, "second");
  EXPECT_EQ(net.CallsTo(Fn::Open).size(), 2u);
  EXPECT_EQ(net.OpenHandles(), 0u);
}

// The rest of a file: a Range request, and what the answer's head says.
TEST(HttpFileRange, RestIsAskedForAndItsHeadRead) {
  FakeInternet::Response r = FakeInternet::Page("56789");
  r.headers = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 5-9/10\r\nContent-Length: 5\r\n"
              "Accept-Ranges: bytes\r\n\r\n";
  FakeInternet net;
  net.Serve(kUrl, r);
  http::HttpFetcher file(net);
  std::string dest;
  http::StringSink sink(dest);
  const http::FetchResult result = file.Get(kUrl, 5, sink);
  const std::string headers =
      "Accept: */*\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate\r\nRange: bytes=5-";
  EXPECT_EQ(net.CallsTo(Fn::OpenUrl).at(0).bytes, headers);
  EXPECT_EQ(net.CallsTo(Fn::OpenUrl).at(0).length, headers.size());
  EXPECT_EQ(result.head.status, 206);
  EXPECT_EQ(result.head.announced, 5);
  EXPECT_TRUE(result.head.acceptsRanges);
  EXPECT_EQ(result.head.range, (http::ContentRange{5, 9, 10}));
  EXPECT_TRUE(result.accepted);
  EXPECT_EQ(result.received, 5u);
  EXPECT_FALSE(result.readFailed);
  EXPECT_EQ(dest, "56789");
}

// A sink that refuses the head gets nothing; one that fails ends the fetch
// with its error, the handles closed.
TEST(HttpFileRange, RefusedBodyIsNotReadAndASinkErrorReachesTheCaller) {
  struct Sink : http::IBodySink {
    bool accept = false;
    bool Accept(const http::ResponseHead&) override { return accept; }
    void Write(std::string_view) override { throw std::runtime_error("disk full"); }
  } sink;
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("body"));
  http::HttpFetcher file(net);
  const http::FetchResult refused = file.Get(kUrl, 0, sink);
  EXPECT_FALSE(refused.accepted);
  EXPECT_EQ(net.CallsTo(Fn::ReadFile).size(), 0u);
  sink.accept = true;
  EXPECT_THROW(file.Get(kUrl, 0, sink), std::runtime_error);
  EXPECT_EQ(net.OpenHandles(), 0u);
}

TEST(HttpFileHandles, RequestClosedBeforeInternetHandle) {
  FakeInternet net;
  net.Serve(kUrl, FakeInternet::Page("x"));
  http::HttpFetcher file(net);
  std::string dest;
  file.Fetch(kUrl, dest);
  auto closes = net.CallsTo(Fn::CloseHandle);
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_EQ(closes[0].handle, net.CallsTo(Fn::OpenUrl)[0].returned);
  EXPECT_EQ(closes[1].handle, net.CallsTo(Fn::Open)[0].returned);
  EXPECT_TRUE(closes[0].result && closes[1].result);
  EXPECT_EQ(net.Sequence().back(), Fn::CloseHandle);
}

// --- the three errors ------------------------------------------------------

struct ErrorCase {
  const char* name;
  std::string function;  // as it appears in the message
  http::HttpError::Stage stage;
  std::uint32_t code;
  std::vector<Fn> expectedSequence;  // after the five option queries
};

class HttpFileError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(HttpFileError, MessageAndCleanUp) {
  const ErrorCase& ec = GetParam();
  FakeInternet net;
  FakeInternet::Response r = FakeInternet::Page("never");
  switch (ec.stage) {
    case http::HttpError::Stage::InternetOpen: net.openError = ec.code; break;
    case http::HttpError::Stage::InternetOpenUrl: r.openUrlError = ec.code; break;
    case http::HttpError::Stage::HttpQueryInfo: r.queryInfoError = ec.code; break;
  }
  net.Serve(kUrl, r);
  bool called = false;
  http::HttpFetcher file(net, {[&](std::int64_t) { called = true; }, {}, [&] { called = true; }});
  std::string dest = "untouched";
  try {
    file.Fetch(kUrl, dest);
    FAIL() << "no error";
  } catch (const http::HttpError& e) {
    EXPECT_EQ(std::string(e.what()),
              "请求后台数据时出现异常。\r\n函数：" + ec.function + " 错误代码: " + std::to_string(ec.code));
    EXPECT_EQ(e.stage(), ec.stage);
    EXPECT_EQ(e.code(), ec.code);
  }
  EXPECT_EQ(dest, "untouched");
  EXPECT_FALSE(called);
  EXPECT_EQ(net.OpenHandles(), 0u);

  auto seq = net.Sequence();
  ASSERT_GE(seq.size(), 5u);
  EXPECT_EQ(std::vector<Fn>(seq.begin() + 5, seq.end()), ec.expectedSequence);
  // The code is taken before any handle is closed.
  auto calls = net.Calls();
  EXPECT_LT(IndexOf(calls, Fn::GetLastError), IndexOf(calls, Fn::CloseHandle));
}

INSTANTIATE_TEST_SUITE_P(
    Stages, HttpFileError,
    ::testing::Values(
        ErrorCase{"InternetOpen", "InternetOpen()", http::HttpError::Stage::InternetOpen, 5, {Fn::Open}},
        ErrorCase{"InternetOpenUrl", "InternetOpenUrl()", http::HttpError::Stage::InternetOpenUrl, 12029,
                  {Fn::Open, Fn::OpenUrl, Fn::CloseHandle}},
        ErrorCase{"HttpQueryInfo", "HttpQueryInfo()", http::HttpError::Stage::HttpQueryInfo, 12150,
                  {Fn::Open, Fn::OpenUrl, Fn::QueryInfo, Fn::CloseHandle, Fn::CloseHandle}},
        ErrorCase{"LargeCode", "InternetOpenUrl()", http::HttpError::Stage::InternetOpenUrl, 4294967295u,
                  {Fn::Open, Fn::OpenUrl, Fn::CloseHandle}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(HttpFileErrorDetail, HeadersLongerThanTheBufferFail) {
  FakeInternet::Response r = FakeInternet::Page("x");
  r.headers = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(65536, 'b') + "\r\n\r\n";
  FakeInternet net;
  net.Serve(kUrl, r);
  http::HttpFetcher file(net);
  std::string dest;
  try {
    file.Fetch(kUrl, dest);
    FAIL() << "no error";
  } catch (const http::HttpError& e) {
    EXPECT_EQ(e.stage(), http::HttpError::Stage::HttpQueryInfo);
    EXPECT_EQ(e.code(), FakeInternet::kErrorInsufficientBuffer);
  }
  EXPECT_EQ(net.OpenHandles(), 0u);
}

TEST(HttpFileErrorDetail, HeadersJustFittingTheBufferAreRead) {
  FakeInternet::Response r = FakeInternet::Page("x");
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nX-Pad: ";
  r.headers = head + std::string(65535 - head.size() - 4, 'p') + "\r\n\r\n";
  ASSERT_EQ(r.headers.size(), 65535u);  // plus its zero byte: the whole buffer
  FakeInternet net;
  net.Serve(kUrl, r);
  http::HttpFetcher file(net);
  std::string dest;
  EXPECT_EQ(file.Fetch(kUrl, dest), 1);
  EXPECT_EQ(dest, "x");
}

TEST(HttpFileErrorDetail, UnknownHostGivesTheClientsCode) {
  FakeInternet net;
  http::HttpFetcher file(net);
  std::string dest;
  try {
    file.Fetch("http://nowhere.invalid/", dest);
    FAIL() << "no error";
  } catch (const http::HttpError& e) {
    EXPECT_EQ(std::string(e.what()), "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12007");
  }
}

TEST(HttpFileErrorDetail, ErrorsFromCallbacksOutsideTheTransferReachTheCaller) {
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which);
    FakeInternet net;
    net.Serve(kUrl, FakeInternet::Page("body"));
    http::FetchEvents notify;
    if (which == 0) notify.start = [](std::int64_t) { throw std::logic_error("start"); };
    if (which == 1) notify.finish = [] { throw std::logic_error("finish"); };
    http::HttpFetcher file(net, notify);
    std::string dest;
    EXPECT_THROW(file.Fetch(kUrl, dest), std::logic_error);
    EXPECT_EQ(dest, which == 0 ? "" : "body");
    EXPECT_EQ(net.OpenHandles(), 0u);
    auto closes = net.CallsTo(Fn::CloseHandle);
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_EQ(closes[0].handle, net.CallsTo(Fn::OpenUrl)[0].returned);
  }
}

}  // namespace
