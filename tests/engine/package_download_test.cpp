#include <gtest/gtest.h>

#include "engine/database_engine.h"
#include "engine/hex.h"
#include "engine/update_engine.h"
#include "engine_fixture.h"
#include "engine/staged_package.h"
#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/files.h"

namespace {
using engine_testing::EngineTest;

engine::ManifestEntry Entry(const std::string& fileName, const std::string& sha256 = "", const std::string& size = "") {
  engine::ManifestEntry entry;
  entry.name = "a.dll";
  entry.fileName = fileName;
  entry.sha256 = sha256;
  entry.size = size;
  return entry;
}

class PackageDownload : public EngineTest {
 protected:
  std::string StagedBytes(const std::string& name) { return platform::ReadWholeFile(Staged(name)).value_or("<none>"); }
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
  const std::string actual = engine::ToHex([] {
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

}  // namespace
