// A connection that goes silent: the internet client gives up on the call
// with a time-out, and the download treats that as a dropped connection,
// over the real fetch and a scripted client.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "http/download.h"
#include "http/http_fetcher.h"
#include "support/platform/fake_internet.h"

namespace {

using testing_support::FakeInternet;
using Fn = FakeInternet::Fn;

const std::string kUrl = "http://update.example/upd/clientfile/a.dll.zip";

std::string File() {
  std::string s(100, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

// The file from byte `from` up to byte `upTo`; then the next read times out
// unless the file's end was reached.
FakeInternet::Response Answer(std::size_t from, std::size_t upTo, bool ranges = true, bool length = true) {
  const std::string file = File();
  FakeInternet::Response r;
  r.headers = from == 0 ? "HTTP/1.1 200 OK\r\n"
                        : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-99/100\r\n";
  if (length) r.headers += "Content-Length: " + std::to_string(file.size() - from) + "\r\n";
  if (ranges) r.headers += "Accept-Ranges: bytes\r\n";
  r.headers += "\r\n";
  if (upTo > from) r.blocks = {file.substr(from, upTo - from)};
  if (upTo < file.size()) r.readError = FakeInternet::kErrorTimeout;
  return r;
}

FakeInternet::Response OpenTimesOut() {
  FakeInternet::Response r;
  r.openUrlError = FakeInternet::kErrorTimeout;
  return r;
}

class Sink : public http::IDownloadSink {
 public:
  std::string bytes;
  void Write(std::string_view block) override { bytes.append(block); }
  void Restart() override { bytes.clear(); }
};

struct Case {
  const char* name;
  FakeInternet::Response first;
  std::vector<std::pair<std::uint64_t, FakeInternet::Response>> rest;  // answers to range requests
  std::vector<std::string> ranges;  // the Range header of each request ("" for none)
  const char* error;                // nullptr: the file arrives whole
};

TEST(StalledDownload, ATimedOutReadIsADroppedConnection) {
  const Case cases[] = {
      {"stalled half-way, the rest with a range", Answer(0, 40), {{40, Answer(40, 100)}}, {"", "40"}, nullptr},
      {"stalled again in the rest",
       Answer(0, 40),
       {{40, Answer(40, 70)}, {70, Answer(70, 100)}},
       {"", "40", "70"},
       nullptr},
      {"the rest never opens in time",
       Answer(0, 40),
       {{40, OpenTimesOut()}},
       {"", "40", "40", "40"},
       "下载不完整：只收到 40 字节，服务器声明的长度为 100 字节，连接可能已中断。"},
      {"no ranges served",
       Answer(0, 40, false),
       {},
       {""},
       "下载不完整：只收到 40 字节，服务器声明的长度为 100 字节，连接可能已中断。"},
      {"no length announced", Answer(0, 40, true, false), {}, {""}, "下载中途连接中断，只收到 40 字节。"},
      {"stalled before the first byte", Answer(0, 0), {}, {""}, "服务器没有返回任何数据，连接可能已中断。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeInternet net;
    net.Serve(kUrl, c.first);
    for (const auto& [from, answer] : c.rest) net.ServeRange(kUrl, from, answer);
    http::HttpFetcher fetcher(net);
    Sink sink;
    if (c.error) {
      try {
        http::Download(fetcher, kUrl, sink);
        ADD_FAILURE() << "no error";
      } catch (const http::IncompleteDownloadError& e) {
        EXPECT_STREQ(e.what(), c.error);
      }
    } else {
      EXPECT_EQ(http::Download(fetcher, kUrl, sink), 100u);
      EXPECT_EQ(sink.bytes, File());
    }
    std::vector<std::string> ranges;
    for (const auto& call : net.CallsTo(Fn::OpenUrl)) {
      const std::size_t at = call.bytes.find("\r\nRange: bytes=");
      ranges.push_back(at == std::string::npos ? "" : call.bytes.substr(at + 15, call.bytes.size() - at - 16));
    }
    EXPECT_EQ(ranges, c.ranges);
    EXPECT_EQ(net.OpenHandles(), 0u);
  }
}

TEST(StalledDownload, AnOpeningThatTimesOutIsAnOpenUrlError) {
  FakeInternet net;
  net.Serve(kUrl, OpenTimesOut());
  http::HttpFetcher fetcher(net);
  Sink sink;
  try {
    http::Download(fetcher, kUrl, sink);
    FAIL() << "no error";
  } catch (const http::HttpError& e) {
    EXPECT_EQ(e.stage(), http::HttpError::Stage::InternetOpenUrl);
    EXPECT_STREQ(e.what(), "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12002");
  }
  EXPECT_EQ(net.OpenHandles(), 0u);
}

}  // namespace
