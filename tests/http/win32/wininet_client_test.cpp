// The fetch over the real WinInet against the local test server
// (tests/support/http_server.py), started around this program by
// tests/scripts/http_wininet.cmake. Without that server the tests skip.
#include "platform/win32/wininet_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "http/download.h"
#include "http/http_fetcher.h"
#include "platform/codepage.h"
#include "platform/internet.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A host path as this program sees it under Wine.
std::string WinePath(std::string hostPath) {
  for (char& c : hostPath) {
    if (c == '/') c = '\\';
  }
  return "Z:" + hostPath;
}

std::string Pattern(std::size_t size, unsigned salt) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + salt + i / 4099) & 0xFF);
  return s;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class WinInetFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = Env("AU_HTTP_PORT");
    if (port_.empty()) GTEST_SKIP() << "needs the local test server (ctest -R http_wininet)";
    root_ = WinePath(Env("AU_HTTP_ROOT"));
    log_ = WinePath(Env("AU_HTTP_LOG"));
    closedPort_ = Env("AU_HTTP_CLOSED_PORT");
    client_ = platform::CreateInternetClient(std::chrono::seconds(60));
  }

  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + port_ + path; }

  // A file in the served folder; its URL path is "/" + name.
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(platform::Utf8ToAnsi(root_ + "\\" + name), std::ios::binary) << bytes;
  }

  // The header lines of the logged requests for path, one string per request.
  std::vector<std::string> Logged(const std::string& requestLine) const {
    std::vector<std::string> found;
    const std::string log = ReadAll(log_);
    for (std::size_t pos = 0; pos < log.size();) {
      std::size_t end = log.find("\r\n\r\n", pos);
      if (end == std::string::npos) end = log.size();
      std::string request = log.substr(pos, end - pos);
      if (request.rfind(requestLine + "\r\n", 0) == 0) found.push_back(request + "\r\n");
      pos = end + 4;
    }
    return found;
  }

  std::string port_, root_, log_, closedPort_;
  std::unique_ptr<platform::IInternetClient> client_;
};

TEST_F(WinInetFetch, AnnouncedLengthAndBody) {
  const std::string body = "<?xml version=\"1.0\" encoding=\"GB2312\"?><Root/>\r\n";
  Put("with-length.xml", body);
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch(Url("/with-length.xml"), dest), static_cast<std::int64_t>(body.size()));
  EXPECT_EQ(dest, body);
}

TEST_F(WinInetFetch, NoLengthAnnouncedOrInLowerCase) {
  // The server is told to leave Content-Length out for this path, and to
  // write it in lower case for the next: a length all the same.
  const std::string body = Pattern(70000, 1);
  Put("no-length.bin", body);
  Put("lower-length.bin", body);
  const std::pair<const char*, std::int64_t> cases[] = {{"/no-length.bin", -1},
                                                        {"/lower-length.bin", std::int64_t{70000}}};
  for (const auto& [path, announced] : cases) {
    SCOPED_TRACE(path);
    std::int64_t started = 0;
    http::HttpFetcher file(*client_, {[&](std::int64_t total) { started = total; }, {}, {}});
    std::string dest;
    EXPECT_EQ(file.Fetch(Url(path), dest), announced);
    EXPECT_EQ(started, announced);
    EXPECT_EQ(dest.size(), body.size());
    EXPECT_TRUE(dest == body);
  }
}

TEST_F(WinInetFetch, ErrorPageIsDeliveredAsContent) {
  http::HttpFetcher file(*client_);
  std::string dest;
  const std::int64_t total = file.Fetch(Url("/no-such-file.xml"), dest);
  EXPECT_NE(dest.find("<h1>404 Not Found</h1>"), std::string::npos) << dest;
  EXPECT_EQ(total, static_cast<std::int64_t>(dest.size()));
}

TEST_F(WinInetFetch, BodyLargerThanTheBuffer) {
  const std::string body = Pattern(3 * 65536 + 12345, 2);
  Put("large.zip", body);
  std::int64_t progress = 0;
  int blocks = 0;
  http::FetchEvents notify;
  notify.progress = [&](std::int32_t n) {
    EXPECT_GT(n, 0);
    EXPECT_LE(n, 65536);
    progress += n;
    ++blocks;
  };
  http::HttpFetcher file(*client_, notify);
  std::string dest;
  EXPECT_EQ(file.Fetch(Url("/large.zip"), dest), static_cast<std::int64_t>(body.size()));
  EXPECT_EQ(dest.size(), body.size());
  EXPECT_TRUE(dest == body);
  EXPECT_EQ(progress, static_cast<std::int64_t>(body.size()));
  EXPECT_GE(blocks, 4);
}

TEST_F(WinInetFetch, UnreachablePort) {
  http::HttpFetcher file(*client_);
  std::string dest = "kept";
  try {
    file.Fetch("http://127.0.0.1:" + closedPort_ + "/AutoUpdateIniS.xml", dest);
    FAIL() << "no error";
  } catch (const http::HttpError& e) {
    EXPECT_EQ(std::string(e.what()), "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12029");
  }
  EXPECT_EQ(dest, "kept");
}

TEST_F(WinInetFetch, BodyCutShortIsDeliveredAsFarAsItCame) {
  // The server announces the whole file and sends its first 100,000 bytes,
  // then ends the connection.
  const std::string body = Pattern(250000, 3);
  Put("truncated.zip", body);
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch(Url("/truncated.zip"), dest), 250000);
  EXPECT_EQ(dest.size(), 100000u);
  EXPECT_TRUE(dest == body.substr(0, 100000));
}

TEST_F(WinInetFetch, DroppedConnectionDeliversWhatArrived) {
  // The server sends two buffers' worth of the body, then resets the
  // connection. A read that ends in the reset returns nothing, so the break
  // lies on a buffer boundary here: every byte the client took is kept.
  const std::string body = Pattern(250000, 4);
  Put("dropped.zip", body);
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch(Url("/dropped.zip"), dest), 250000);
  EXPECT_EQ(dest.size(), 2u * 65536u);
  EXPECT_TRUE(dest == body.substr(0, dest.size()));
}

TEST_F(WinInetFetch, SlowAnswerIsAwaited) {
  Put("slow.xml", "<slow/>");
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch(Url("/slow.xml"), dest), 7);
  EXPECT_EQ(dest, "<slow/>");
}

// The server sends the first 100,000 bytes of the body, then nothing more,
// the connection left open (for as long as the test runs). A client with a
// limit of two seconds gives up on the read within a few seconds, with
// WinInet's time-out code, however long the server stays silent.
using Clock = std::chrono::steady_clock;
constexpr auto kShortLimit = std::chrono::seconds(2);
constexpr auto kWithinTheLimit = std::chrono::seconds(10);

TEST_F(WinInetFetch, SilentConnectionTimesOut) {
  const std::string body = Pattern(250000, 5);
  Put("stalled.zip", body);
  platform::win32::WinInetClient client(kShortLimit);
  platform::InternetHandle internet = client.Open("test", platform::kOpenTypePreconfig, nullptr, nullptr, 0);
  ASSERT_TRUE(internet);
  const Clock::time_point started = Clock::now();
  platform::InternetHandle request = client.OpenUrl(internet, Url("/stalled.zip").c_str(), nullptr, 0,
                                                    platform::kFlagReload, 0);
  ASSERT_TRUE(request) << client.GetLastError();
  std::string received;
  std::vector<char> buffer(65536);
  std::uint32_t read = 0;
  bool ok = true;
  while ((ok = client.ReadFile(request, buffer.data(), 65536, &read)) && read > 0) received.append(buffer.data(), read);
  const std::uint32_t error = client.GetLastError();
  const auto elapsed = Clock::now() - started;
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, platform::kErrorInternetTimeout);
  EXPECT_EQ(read, 0u);
  EXPECT_GE(elapsed, kShortLimit - std::chrono::milliseconds(100));
  EXPECT_LT(elapsed, kWithinTheLimit);
  EXPECT_LE(received.size(), 100000u);
  EXPECT_TRUE(received == body.substr(0, received.size()));
  // The abandoned read is never waited for: closing the handles returns.
  client.CloseHandle(request);
  client.CloseHandle(internet);
}

TEST_F(WinInetFetch, SilentConnectionIsContinuedWithARange) {
  const std::string body = Pattern(250000, 6);
  Put("stalled-ranges.zip", body);
  platform::win32::WinInetClient client(kShortLimit);
  http::HttpFetcher file(client);
  struct Sink : http::IDownloadSink {
    std::string bytes;
    void Write(std::string_view block) override { bytes.append(block); }
    void Restart() override { bytes.clear(); }
  } sink;
  const Clock::time_point started = Clock::now();
  EXPECT_EQ(http::Download(file, Url("/stalled-ranges.zip"), sink), body.size());
  EXPECT_LT(Clock::now() - started, kWithinTheLimit);
  EXPECT_TRUE(sink.bytes == body);
  EXPECT_EQ(Logged("GET /stalled-ranges.zip HTTP/1.1").size(), 2u);
}

TEST_F(WinInetFetch, ServerThatNeverAnswersTimesOut) {
  Put("silent.xml", "<late/>");
  platform::win32::WinInetClient client(kShortLimit);
  http::HttpFetcher file(client);
  std::string dest;
  const Clock::time_point started = Clock::now();
  try {
    file.Fetch(Url("/silent.xml"), dest);
    FAIL() << "no error";
  } catch (const http::HttpError& e) {
    EXPECT_EQ(std::string(e.what()), "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12002");
  }
  EXPECT_LT(Clock::now() - started, kWithinTheLimit);
  EXPECT_EQ(dest, "");
}

// A cacheable request differs only in asking for no fresh copy.
TEST_F(WinInetFetch, RequestHeadersAsSent) {
  Put("headers.xml", "<h/>");
  const std::string noCache = "\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate\r\n";
  for (const http::Freshness freshness : {http::Freshness::Fresh, http::Freshness::Cacheable}) {
    const bool fresh = freshness == http::Freshness::Fresh;
    const std::string path = fresh ? "/headers.xml?run=1" : "/headers.xml?run=2";
    SCOPED_TRACE(path);
    http::HttpFetcher file(*client_);
    std::string dest;
    http::StringSink sink(dest);
    file.Get(Url(path), 0, sink, freshness);
    EXPECT_EQ(dest, "<h/>");
    auto requests = Logged("GET " + path + " HTTP/1.1");
    ASSERT_EQ(requests.size(), 1u);
    const std::string& r = requests[0];
    EXPECT_NE(r.find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0;)\r\n"), std::string::npos) << r;
    EXPECT_NE(r.find("\r\nAccept: */*\r\n"), std::string::npos) << r;
    EXPECT_EQ(r.find(noCache) != std::string::npos, fresh) << r;
    if (!fresh) {
      EXPECT_EQ(r.find("Cache-Control"), std::string::npos) << r;
      EXPECT_EQ(r.find("Pragma"), std::string::npos) << r;
    }
    EXPECT_NE(r.find("\r\nHost: 127.0.0.1:" + port_ + "\r\n"), std::string::npos) << r;
    EXPECT_EQ(r.find("Proxy-Authorization"), std::string::npos) << r;
  }
}

TEST_F(WinInetFetch, EveryFetchGoesToTheServer) {
  Put("fresh.xml", "one");
  http::HttpFetcher file(*client_);
  std::string first, second;
  file.Fetch(Url("/fresh.xml"), first);
  Put("fresh.xml", "two!");
  file.Fetch(Url("/fresh.xml"), second);
  EXPECT_EQ(first, "one");
  EXPECT_EQ(second, "two!");
  EXPECT_EQ(Logged("GET /fresh.xml HTTP/1.1").size(), 2u);
}

TEST_F(WinInetFetch, NonAsciiPathGoesOutInTheAnsiCodePage) {
  Put("模块.zip", "PK-module");
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch(Url("/模块.zip"), dest), 9);
  EXPECT_EQ(dest, "PK-module");
  const std::string log = ReadAll(log_);
  // GBK bytes of the name, as the system sends an ANSI request path
  // (percent-escaped or raw, depending on the client).
  const bool raw = log.find("GET /\xC4\xA3\xBF\xE9.zip") != std::string::npos;
  const bool escaped = log.find("GET /%C4%A3%BF%E9.zip") != std::string::npos;
  EXPECT_TRUE(raw || escaped) << log;
}

// The user's proxy settings, changed for one test and put back afterwards.
class ProxySettings {
 public:
  ProxySettings() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    key_.reset(key);
    enable_ = Save(L"ProxyEnable");
    server_ = Save(L"ProxyServer");
  }
  ~ProxySettings() {
    Restore(L"ProxyEnable", enable_);
    Restore(L"ProxyServer", server_);
  }
  void Use(const std::string& server) {
    DWORD one = 1;
    RegSetValueExW(key_.get(), L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegSetValueExA(key_.get(), "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>(server.size() + 1));
  }

 private:
  struct Value {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  Value Save(const wchar_t* name) {
    Value v;
    DWORD size = 0;
    if (RegQueryValueExW(key_.get(), name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
      v.data.resize(size);
      v.present = RegQueryValueExW(key_.get(), name, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    }
    return v;
  }
  void Restore(const wchar_t* name, const Value& v) {
    if (v.present) {
      RegSetValueExW(key_.get(), name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    } else {
      RegDeleteValueW(key_.get(), name);
    }
  }
  platform::win32::RegistryKey key_;
  Value enable_, server_;
};

// The proxy path: the system's settings name our server as the proxy and the
// host of the URL exists nowhere, so only the proxy can answer.
TEST_F(WinInetFetch, ProxyFromTheUsersSettings) {
  Put("proxied.xml", "<via-proxy/>");
  ProxySettings settings;
  settings.Use("127.0.0.1:" + port_);
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch("http://zepra-update.invalid/proxied.xml", dest), 12);
  EXPECT_EQ(dest, "<via-proxy/>");
  auto requests = Logged("GET http://zepra-update.invalid:80/proxied.xml HTTP/1.1");
  ASSERT_EQ(requests.size(), 1u) << ReadAll(log_);
  EXPECT_NE(requests[0].find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0;)\r\n"), std::string::npos);
  EXPECT_NE(requests[0].find("\r\nCache-Control: no-cache, no-store, max-age=0, must-revalidate\r\n"),
            std::string::npos);
}

// Wine takes proxy credentials only from the http_proxy variable, read once
// per process (it answers none of the credential option queries), and sends
// them when the proxy challenges; the proxy record the fetch sets again must
// not lose them. Run in a process of its own with http_proxy naming the
// test server with user "puser" and password "ppass".
class WinInetProxyCredentials : public WinInetFetch {
 protected:
  void SetUp() override {
    WinInetFetch::SetUp();
    if (IsSkipped()) return;
    if (Env("http_proxy").empty()) GTEST_SKIP() << "needs http_proxy (ctest -R http_wininet_proxy_credentials)";
  }
};

TEST_F(WinInetProxyCredentials, SentWhenTheProxyAsks) {
  Put("private.xml", "<secret/>");
  http::HttpFetcher file(*client_);
  std::string dest;
  EXPECT_EQ(file.Fetch("http://zepra-update.invalid/private.xml", dest), 9);
  EXPECT_EQ(dest, "<secret/>");
  auto requests = Logged("GET http://zepra-update.invalid:80/private.xml HTTP/1.1");
  ASSERT_FALSE(requests.empty()) << ReadAll(log_);
  EXPECT_NE(requests.back().find("\r\nProxy-Authorization: Basic cHVzZXI6cHBhc3M=\r\n"), std::string::npos)
      << ReadAll(log_);
}

}  // namespace
