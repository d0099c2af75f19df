#include "http/download.h"

#include "http/http_fetcher.h"

namespace http {
namespace {

// How far a download has come.
struct Progress {
  std::int64_t total = -1;  // announced length; 0 or less: none
  std::uint64_t received = 0;
  bool readFailed = false;
  bool acceptsRanges = false;

  static Progress Of(const FetchResult& r) {
    return {r.head.announced, r.received, r.readFailed, r.head.acceptsRanges};
  }
  bool Complete() const {
    return total > 0 ? received == static_cast<std::uint64_t>(total) : received > 0 && !readFailed;
  }
  // Broken off part-way through a body of known length, by a server that
  // serves ranges.
  bool Resumable() const {
    return acceptsRanges && total > 0 && received > 0 && received < static_cast<std::uint64_t>(total);
  }
};

// Passes the rest of the file on only when the answer is a 206 for exactly
// the bytes that are missing.
class RestSink : public IBodySink {
 public:
  RestSink(IBodySink& file, std::uint64_t from, std::uint64_t total) : file_(file), from_(from), total_(total) {}
  bool Accept(const ResponseHead& head) override {
    return head.status == 206 && head.range == ContentRange{from_, total_ - 1, total_};
  }
  void Write(std::string_view block) override { file_.Write(block); }

 private:
  IBodySink& file_;
  std::uint64_t from_, total_;
};

std::string WhyIncomplete(const Progress& p) {
  const std::string received = std::to_string(p.received);
  if (p.received == 0) return "服务器没有返回任何数据，连接可能已中断。";
  if (p.total <= 0) return "下载中途连接中断，只收到 " + received + " 字节。";
  const std::string total = std::to_string(p.total);
  if (p.received > static_cast<std::uint64_t>(p.total)) {
    return "收到 " + received + " 字节，多于服务器声明的长度 " + total + " 字节。";
  }
  return "下载不完整：只收到 " + received + " 字节，服务器声明的长度为 " + total + " 字节，连接可能已中断。";
}

}  // namespace

std::uint64_t Download(IFetcher& fetcher, const std::string& url, IDownloadSink& sink, Freshness freshness) {
  Progress p = Progress::Of(fetcher.Get(url, 0, sink, freshness));
  bool startedOver = false;
  for (int attempt = 0; !p.Complete();) {
    if (!p.Resumable() || attempt == kRangeAttempts) throw IncompleteDownloadError(WhyIncomplete(p));
    ++attempt;
    RestSink rest(sink, p.received, static_cast<std::uint64_t>(p.total));
    FetchResult next;
    try {
      next = fetcher.Get(url, p.received, rest, freshness);
    } catch (const HttpError&) {
      continue;  // the server is out of reach for now: another attempt
    }
    if (next.accepted) {
      p.received += next.received;
      p.readFailed = next.readFailed;
    } else if (!startedOver) {
      // Not the missing bytes: the file may have changed on the server.
      startedOver = true;
      sink.Restart();
      p = Progress::Of(fetcher.Get(url, 0, sink, freshness));
    } else {
      throw IncompleteDownloadError("服务器对续传请求的应答不是文件所缺的部分（从第 " + std::to_string(p.received) +
                                    " 字节起），下载失败。");
    }
  }
  return p.received;
}

}  // namespace http
