#include <gtest/gtest.h>

#include "base/hex.h"
#include "engine/database_engine.h"
#include "engine/server_layout.h"
#include "engine/staged_package.h"
#include "engine/update_engine.h"
#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "support/app/user_run_fixture.h"

namespace {
using EngineTest = app_testing::UserRunTest;

engine::ManifestEntry Entry(const std::string& fileName, const std::string& sha256 = "", const std::string& size = "") {
  engine::ManifestEntry entry;
  entry.name = "a.dll";
  entry.fileName = fileName;
  entry.sha256 = sha256;
  entry.size = size;
  return entry;
}

std::string Sha256Hex(const std::string& bytes) {
  platform::Sha256 hash;
  hash.Update(bytes);
  return base::ToHex(hash.Finish());
}

class PackageDownload : public EngineTest {
 protected:
  std::string StagedBytes(const std::string& name) { return platform::ReadWholeFile(Staged(name)).value_or("<none>"); }
  // The value of a trace key, as text; "<none>" when it was never written.
  std::string TraceValue(const std::string& key) const {
    const std::string text = platform::AnsiToUtf8(ReadAppFile("debug.ini"));
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "<none>";
    const size_t begin = at + key.size() + 2;
    const size_t end = text.find_first_of("\r\n", begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  }
  void ConfigureMirrors(const std::string& text) {
    registry.values[{platform::RegistryRoot::LocalMachine, "SOFTWARE\\ZEPRA\\AutoUpdate", "Mirrors"}] = text;
  }
};

TEST_F(PackageDownload, UrlJoiningAndStaging) {
  for (const std::string server : {"http://srv:8080/upd/", "http://srv:8080/upd"}) {
    SCOPED_TRACE(server);
    web.Serve("http://srv:8080/upd/clientfile/a.dll.zip", "PK-one");
    auto engine = MakeEngine(server);
    web.requested.clear();
    EXPECT_TRUE(engine->DownloadPackage(Entry("a.dll.zip")));
    EXPECT_EQ(web.requested, std::vector<std::string>{"http://srv:8080/upd/clientfile/a.dll.zip"});
    EXPECT_EQ(StagedBytes("a.dll.zip"), "PK-one");
  }
  // A second download of the same name replaces the file.
  web.Serve("http://srv:8080/upd/clientfile/a.dll.zip", "PK-2");
  EXPECT_TRUE(MakeEngine("http://srv:8080/upd/")->DownloadPackage(Entry("a.dll.zip")));
  EXPECT_EQ(StagedBytes("a.dll.zip"), "PK-2");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PackageDownload, AnErrorPageIsStoredWithoutAMessage) {
  auto engine = MakeEngine("http://srv/");
  EXPECT_TRUE(engine->DownloadPackage(Entry("missing.zip")));
  EXPECT_EQ(StagedBytes("missing.zip"), "<html><body>404 Not Found</body></html>");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PackageDownload, AnEmptyOrCutBodyIsAFailedDownload) {
  struct Case {
    std::string body;
    size_t announced;
    const char* line;  // the error line of the box
  };
  const Case cases[] = {
      {"", 0, "服务器没有返回任何数据，连接可能已中断。"},
      {"", 10, "服务器没有返回任何数据，连接可能已中断。"},
      {"PK-cut", 10, "下载不完整：只收到 6 字节，服务器声明的长度为 10 字节，连接可能已中断。"},
  };
  auto engine = MakeEngine("http://srv/");
  platform::CreateFolderPath(Staged(""));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    messages.shown.clear();
    platform::WriteWholeFile(Staged("a.zip"), "EARLIER");
    web.ServeCut("http://srv/clientfile/a.zip", c.body, c.announced);
    EXPECT_FALSE(engine->DownloadPackage(Entry("a.zip")));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, std::string("文件 \"http://srv/clientfile/a.zip\" 无法下载。错误信息：\r\n") +
                                          c.line + "\r\n\r\n请检查文件是否存在，或网络是否连通。");
    EXPECT_EQ(StagedBytes("a.zip"), "EARLIER");  // nothing of it is stored
    EXPECT_FALSE(platform::FileExists(Staged("a.zip.~part")));
  }
}

// A connection that drops part-way is continued where it broke off; the
// package reaches its name only whole, through a part file of this run's own
// (one a local user planted is passed over), which is gone afterwards.
TEST_F(PackageDownload, ADroppedDownloadIsResumedThroughAPartFileOfItsOwn) {
  auto engine = MakeEngine("http://srv/");
  platform::CreateFolderPath(Staged("a.zip.~part"));
  web.ServeRanges("http://srv/clientfile/a.zip", "PK-resumed-package", 5);
  web.from.clear();
  EXPECT_TRUE(engine->DownloadPackage(Entry("a.zip", "", "18")));
  EXPECT_EQ(web.from, (std::vector<std::uint64_t>{0, 5}));
  EXPECT_EQ(StagedBytes("a.zip"), "PK-resumed-package");
  EXPECT_FALSE(platform::FileExists(Staged("a.zip.~part1")));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PackageDownload, OnlyWhatThePublisherReleasedIsStaged) {
  const std::string actual = base::ToHex([] {
    platform::Sha256 hash;
    hash.Update("PK-sig");
    return hash.Finish();
  }());
  std::string upper = actual;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  struct Case {
    std::string sha256, size;
    std::string line;  // "" when the package is staged
  };
  const Case cases[] = {
      {"", "", ""},
      {actual, "6", ""},
      {upper, "", ""},  // letter case of the digits does not matter
      {actual, "7", "文件大小不符：更新说明为 7 字节，实际收到 6 字节。"},
      {std::string(64, '0'), "", "文件校验值不符：更新说明的 SHA256 为 " + std::string(64, '0') + "，实际为 " + actual + "。"},
      // A size counts only beside a hash, and one that is no byte count is
      // passed over: manifests of earlier updaters may use the name.
      {"", "7", ""},
      {"", "6 ", ""},
      {actual, "six", ""},
      {"xyz", "", "更新说明中“a.dll”的 SHA256 值“xyz”不是 64 位十六进制数。"},
  };
  auto engine = MakeEngine("http://srv/");
  web.Serve("http://srv/clientfile/a.zip", "PK-sig");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sha256 + "|" + c.size);
    messages.shown.clear();
    platform::RemoveFile(Staged("a.zip"));
    auto staged = engine->DownloadPackage(Entry("a.zip", c.sha256, c.size));
    EXPECT_EQ(staged != nullptr, c.line.empty());
    staged.reset();  // held, nobody else may open it
    if (c.line.empty()) {
      EXPECT_EQ(StagedBytes("a.zip"), "PK-sig");
      EXPECT_TRUE(messages.shown.empty());
      const bool noted = ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("a.dll.Size=已忽略：“" + c.size + "”不是字节数")) != std::string::npos;
      EXPECT_EQ(noted, !c.size.empty() && c.size.find_first_not_of("0123456789") != std::string::npos);
    } else {
      EXPECT_EQ(StagedBytes("a.zip"), "<none>");  // nothing of it is stored
      ASSERT_EQ(messages.shown.size(), 1u);
      EXPECT_NE(messages.shown[0].text.find("\r\n" + c.line + "\r\n"), std::string::npos) << messages.shown[0].text;
    }
  }
}

TEST_F(PackageDownload, FailureShowsTheSevenPartBox) {
  auto engine = MakeEngine("http://srv/");
  web.Fail("http://srv/clientfile/b.zip", 12007);
  platform::RemoveFile(Staged("b.zip"));
  EXPECT_FALSE(engine->DownloadPackage(Entry("b.zip")));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text,
            "文件 \"http://srv/clientfile/b.zip\" 无法下载。错误信息：\r\n"
            "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12007\r\n\r\n"
            "请检查文件是否存在，或网络是否连通。");
  EXPECT_EQ(messages.shown[0].caption, "Information");
  EXPECT_EQ(messages.shown[0].flags, platform::MbOk | platform::MbIconInformation);
  EXPECT_FALSE(platform::FileExists(Staged("b.zip")));
}

TEST_F(PackageDownload, NamesThatWouldLeaveTheStagingFolderAreRefused) {
  auto engine = MakeEngine("http://srv/");
  using namespace std::string_literals;
  // Also names that would cut the path (NUL), open a stream or a device.
  const std::vector<std::string> names = {"..\\evil.zip", "../evil.zip", "a\\..\\..\\evil.zip", "C:\\evil.zip",
                                          "\\evil.zip",   "a.zip\0x"s,   "a.zip:stream",          "CON",
                                          "nul.zip",      "com1.zip",     "a\tb.zip",             "a\\"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    messages.shown.clear();
    web.requested.clear();
    EXPECT_FALSE(engine->DownloadPackage(Entry(name)));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("无法下载"), std::string::npos);
    EXPECT_TRUE(web.requested.empty());
  }
  EXPECT_FALSE(platform::FileExists("C:\\evil.zip"));
}

// A package whose digest the manifest gives may come from any cache, with
// every request of it; one without is asked for fresh, as the rest.
TEST_F(PackageDownload, OnlyAPackageWithADigestIsAskedForFromACache) {
  using http::Freshness;
  const std::string bytes = "PK-cacheable-package";
  struct Case {
    std::string sha256;
    bool dropped;  // the first answer breaks off, a range request follows
    std::vector<Freshness> asked;
  };
  const Case cases[] = {
      {"", false, {Freshness::Fresh}},
      {"", true, {Freshness::Fresh, Freshness::Fresh}},
      {Sha256Hex(bytes), false, {Freshness::Cacheable}},
      {Sha256Hex(bytes), true, {Freshness::Cacheable, Freshness::Cacheable}},
  };
  auto engine = MakeEngine("http://srv/");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sha256 + (c.dropped ? " dropped" : ""));
    web.ServeRanges("http://srv/clientfile/a.zip", bytes, c.dropped ? 5 : std::string::npos);
    web.freshness.clear();
    EXPECT_TRUE(engine->DownloadPackage(Entry("a.zip", c.sha256)));
    EXPECT_EQ(web.freshness, c.asked);
    EXPECT_EQ(StagedBytes("a.zip"), bytes);
    EXPECT_EQ(TraceValue("a.dll.来源"), c.sha256.empty() ? "<none>" : "源服务器");
  }
  EXPECT_TRUE(messages.shown.empty());
}

// A cache may hold an older copy or fail: the server itself is asked once
// more, fresh, before the package fails.
TEST_F(PackageDownload, ACachedCopyThatFailsIsAskedForOnceMoreFresh) {
  const std::string good = "PK-published";
  struct Case {
    const char* name;
    std::string first;      // what the cacheable request gets; "" fails to connect
    std::string second;     // what the fresh request gets; "" fails to connect
    const char* passedOver;  // the start of why the cached copy was not taken
  };
  const Case cases[] = {
      {"an older copy", "PK-publishes", good, "源服务器：文件校验值不符"},
      {"a shorter copy", "PK-pub", good, "源服务器：文件大小不符"},
      {"a longer copy", "PK-published-earlier", good, "源服务器：文件大小不符"},
      {"out of reach once", "", good, "源服务器：请求后台数据时出现异常。 函数：InternetOpenUrl() 错误代码: 12029"},
      {"fresh fails too", "PK-publishes", "", "源服务器：文件校验值不符"},
  };
  auto engine = MakeEngine("http://srv/");
  const std::string url = "http://srv/clientfile/a.zip";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages.shown.clear();
    web.freshness.clear();
    platform::RemoveFile(Staged("a.zip"));
    const auto answer = [this, &url](const std::string& body) {
      if (body.empty()) return web.Fail(url, 12029);
      web.Serve(url, body);
    };
    answer(c.first);
    int requests = 0;
    web.onRequest = [&](const std::string&) {
      if (++requests == 2) answer(c.second);
    };
    auto staged = engine->DownloadPackage(Entry("a.zip", Sha256Hex(good), std::to_string(good.size())));
    web.onRequest = nullptr;
    EXPECT_EQ(web.freshness, (std::vector<http::Freshness>{http::Freshness::Cacheable, http::Freshness::Fresh}));
    EXPECT_EQ(TraceValue("a.dll.未采用").rfind(c.passedOver, 0), 0u) << TraceValue("a.dll.未采用");
    EXPECT_EQ(staged != nullptr, !c.second.empty());
    staged.reset();
    EXPECT_EQ(StagedBytes("a.zip"), c.second.empty() ? "<none>" : good);
    EXPECT_EQ(messages.shown.size(), c.second.empty() ? 1u : 0u);
  }
}

// Mirrors are tried in the configured order and never trusted: one that
// answers with another status (even with the right bytes), other bytes, or
// not at all is passed over without a word to the user, and the server
// itself comes last, first through caches, then fresh.
TEST_F(PackageDownload, MirrorsAreTriedInOrderAndTheServerLast) {
  enum Answer { Right, WrongBytes, NotFound, Unreachable };
  const std::string good = "PK-from-somewhere";
  const std::string m1 = "http://m1.branch/upd/", m2 = "http://10.1.2.3:8081/copy", m3 = "HTTP://m3/";
  const std::string origin = "http://srv/";
  struct Case {
    const char* name;
    std::string configured;                       // the registry value
    std::vector<std::pair<std::string, Answer>> answers;  // base address and its answer
    bool digest;
    std::vector<std::string> asked;  // base addresses asked, in order
    std::string source;              // "" when the package fails
  };
  const Case cases[] = {
      {"the first mirror serves", m1 + "\r\n" + m2, {{m1, Right}, {m2, Right}}, true, {m1}, m1},
      {"404, other bytes, out of reach, then right",
       m1 + " " + m2 + "\n" + m3 + "\n" + "http://m4/",
       {{m1, NotFound}, {m2, WrongBytes}, {m3, Unreachable}, {"http://m4/", Right}},
       true,
       {m1, m2, m3, "http://m4/"},
       "http://m4/"},
      {"every mirror fails: the server", m1 + " " + m2, {{m1, NotFound}, {m2, WrongBytes}, {origin, Right}}, true,
       {m1, m2, origin}, "源服务器"},
      {"no digest: only the server", m1, {{m1, Right}, {origin, Right}}, false, {origin}, "源服务器"},
      {"addresses that are not clear are ignored",
       "ftp://m1.branch/upd/ http://user@m1.branch/upd/ http://m1.branch/upd/?x= http://m1.branch " + m2,
       {{m1, Right}, {m2, Right}}, true, {m2}, m2},
      {"nothing serves it", m1, {{m1, WrongBytes}, {origin, WrongBytes}}, true, {m1, origin, origin}, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string fileName = "p" + std::to_string(++n) + ".zip";
    for (const auto& [base, answer] : c.answers) {
      const std::string url = engine::ServerFileUrl(base, "clientfile/" + fileName);
      if (answer == Right) web.Serve(url, good);
      if (answer == WrongBytes) web.Serve(url, "PK-tampered-bytes");
      if (answer == NotFound) web.ServeStatus(url, 404, good);
      if (answer == Unreachable) web.Fail(url, 12029);
    }
    ConfigureMirrors(c.configured);
    auto engine = MakeEngine(origin);
    web.requested.clear();
    messages.shown.clear();
    auto staged = engine->DownloadPackage(Entry(fileName, c.digest ? Sha256Hex(good) : ""));
    std::vector<std::string> asked;
    for (const std::string& base : c.asked) asked.push_back(engine::ServerFileUrl(base, "clientfile/" + fileName));
    EXPECT_EQ(web.requested, asked);
    EXPECT_EQ(staged != nullptr, !c.source.empty());
    EXPECT_EQ(messages.shown.size(), c.source.empty() ? 1u : 0u);
    EXPECT_EQ(TraceValue("a.dll.来源"), c.source.empty() || !c.digest ? "<none>" : c.source);
    staged.reset();
    if (!c.source.empty()) {
      EXPECT_EQ(StagedBytes(fileName), good);
    }
    platform::RemoveFile(AppPath("debug.ini"));
  }
}

// Why each mirror was passed over, and which addresses were not used.
TEST_F(PackageDownload, TheTraceSaysWhyMirrorsWerePassedOver) {
  const std::string good = "PK-traced";
  web.ServeStatus("http://m1/clientfile/a.zip", 404, "<html>404</html>");
  web.Serve("http://m2/clientfile/a.zip", "PK-other");
  web.Serve("http://srv/clientfile/a.zip", good);
  ConfigureMirrors("http://m1/ bad\x01" "address http://m2/");
  auto engine = MakeEngine("http://srv/");
  EXPECT_TRUE(engine->DownloadPackage(Entry("a.zip", Sha256Hex(good))));
  EXPECT_EQ(TraceValue("镜像"), "http://m1/ http://m2/");
  EXPECT_EQ(TraceValue("镜像.已忽略"), "bad?address");
  EXPECT_EQ(TraceValue("a.dll.来源"), "源服务器");
  EXPECT_EQ(TraceValue("a.dll.未采用"), "http://m1/：服务器应答状态 404，不是文件。；http://m2/：文件校验值不符：更新说明的 SHA256 为 " +
                                           Sha256Hex(good) + "，实际为 " + Sha256Hex("PK-other") + "。");
}

}  // namespace
