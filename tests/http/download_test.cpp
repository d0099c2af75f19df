// A whole file over answers scripted one per request: resuming with ranges,
// starting over once, and what never passes for the file.
#include "http/download.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "http/http_fetcher.h"

namespace {

const std::string kFile = "0123456789abcdefghij";  // 20 bytes
const std::string kUrl = "http://h/clientfile/a.zip";

struct Answer {
  int status = 200;
  std::int32_t announced = 20;
  bool ranges = true;
  std::optional<http::ContentRange> range;
  std::string body;
  bool readFailed = false;
  bool unreachable = false;
};

Answer Whole(std::string body = kFile) { return {200, 20, true, std::nullopt, std::move(body)}; }
Answer Cut(size_t at, bool ranges = true) { return {200, 20, ranges, std::nullopt, kFile.substr(0, at), true}; }
Answer Rest(std::uint64_t from, size_t upTo = 20) {
  return {206, static_cast<std::int32_t>(20 - from), true, http::ContentRange{from, 19, 20},
          kFile.substr(from, upTo - from), upTo < 20};
}

class ScriptedServer : public http::IFetcher {
 public:
  explicit ScriptedServer(std::vector<Answer> answers) : answers_(answers.begin(), answers.end()) {}
  std::vector<std::uint64_t> from;

  std::vector<http::Freshness> freshness;

  http::FetchResult Get(const std::string& url, std::uint64_t first, http::IBodySink& body,
                        http::Freshness asked = http::Freshness::Fresh) override {
    EXPECT_EQ(url, kUrl);
    from.push_back(first);
    freshness.push_back(asked);
    if (answers_.empty()) throw std::logic_error("no answer left");
    const Answer a = answers_.front();
    answers_.pop_front();
    if (a.unreachable) throw http::HttpError(http::HttpError::Stage::InternetOpenUrl, 12029);
    http::FetchResult r;
    r.head = {a.status, a.announced, a.ranges, a.range};
    r.accepted = body.Accept(r.head);
    if (r.accepted) {
      body.Write(a.body);
      r.received = a.body.size();
      r.readFailed = a.readFailed;
    }
    return r;
  }

 private:
  std::deque<Answer> answers_;
};

class Sink : public http::IDownloadSink {
 public:
  std::string bytes;
  int restarts = 0;
  void Write(std::string_view block) override { bytes.append(block); }
  void Restart() override {
    bytes.clear();
    ++restarts;
  }
};

struct Case {
  const char* name;
  std::vector<Answer> answers;
  std::vector<std::uint64_t> from;  // the first byte each request asked for
  const char* error;                // nullptr: the file arrives whole
};

TEST(Download, ResumesStartsOverOnceAndNeverPassesAPartForTheFile) {
  Answer noLength = Whole();
  noLength.announced = -1;
  Answer brokenNoLength = Cut(8);
  brokenNoLength.announced = -1;
  Answer wrongRange = Rest(8);
  wrongRange.range = http::ContentRange{0, 19, 20};
  Answer unreachable;
  unreachable.unreachable = true;
  const std::string cut8 = "下载不完整：只收到 8 字节，服务器声明的长度为 20 字节，连接可能已中断。";
  const Case cases[] = {
      {"whole at once", {Whole()}, {0}, nullptr},
      {"no length, ended by the server", {noLength}, {0}, nullptr},
      {"drop, then the rest", {Cut(8), Rest(8)}, {0, 8}, nullptr},
      {"three drops, each resumed", {Cut(5), Rest(5, 9), Rest(9, 12), Rest(12)}, {0, 5, 9, 12}, nullptr},
      {"a fourth drop fails", {Cut(5), Rest(5, 6), Rest(6, 7), Rest(7, 8)}, {0, 5, 6, 7}, cut8.c_str()},
      {"out of reach once, then the rest", {Cut(8), unreachable, Rest(8)}, {0, 8, 8}, nullptr},
      {"no ranges served", {Cut(8, false)}, {0}, cut8.c_str()},
      {"no length announced", {brokenNoLength}, {0}, "下载中途连接中断，只收到 8 字节。"},
      {"empty body", {Cut(0)}, {0}, "服务器没有返回任何数据，连接可能已中断。"},
      {"more than announced", {Whole(kFile + "x")}, {0}, "收到 21 字节，多于服务器声明的长度 20 字节。"},
      {"a 200 instead of the rest: start over", {Cut(8), Whole(), Whole()}, {0, 8, 0}, nullptr},
      {"wrong range, then starting over works", {Cut(8), wrongRange, Whole()}, {0, 8, 0}, nullptr},
      {"wrong range twice",
       {Cut(8), wrongRange, Cut(8), wrongRange},
       {0, 8, 0, 8},
       "服务器对续传请求的应答不是文件所缺的部分（从第 8 字节起），下载失败。"},
  };
  // Resumes and the start over ask as the first request did.
  for (const http::Freshness freshness : {http::Freshness::Fresh, http::Freshness::Cacheable}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      ScriptedServer server(c.answers);
      Sink sink;
      if (c.error) {
        try {
          http::Download(server, kUrl, sink, freshness);
          ADD_FAILURE() << "no error";
        } catch (const http::IncompleteDownloadError& e) {
          EXPECT_STREQ(e.what(), c.error);
        }
      } else {
        EXPECT_EQ(http::Download(server, kUrl, sink, freshness), kFile.size());
        EXPECT_EQ(sink.bytes, kFile);
      }
      EXPECT_EQ(server.from, c.from);
      EXPECT_EQ(server.freshness, std::vector<http::Freshness>(c.from.size(), freshness));
    }
  }
}

}  // namespace
