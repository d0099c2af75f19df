#include <gtest/gtest.h>

#include "engine/client_update.h"
#include "engine_fixture.h"
#include "platform/files.h"

namespace {
using engine_testing::EngineTest;

class PackageDownload : public EngineTest {
 protected:
  std::string Staged(const std::string& name) { return platform::ReadWholeFile("C:\\temp\\" + name).value_or("<none>"); }
};

TEST_F(PackageDownload, UrlJoiningAndStaging) {
  for (const std::string server : {"http://srv:8080/upd/", "http://srv:8080/upd"}) {
    SCOPED_TRACE(server);
    web.Serve("http://srv:8080/upd/clientfile/a.dll.zip", "PK-one");
    auto engine = MakeEngine(server);
    web.requested.clear();
    EXPECT_TRUE(engine->DownloadPackage("a.dll.zip"));
    EXPECT_EQ(web.requested, std::vector<std::string>{"http://srv:8080/upd/clientfile/a.dll.zip"});
    EXPECT_EQ(Staged("a.dll.zip"), "PK-one");
  }
  // A second download of the same name replaces the file.
  web.Serve("http://srv:8080/upd/clientfile/a.dll.zip", "PK-2");
  EXPECT_TRUE(MakeEngine("http://srv:8080/upd/")->DownloadPackage("a.dll.zip"));
  EXPECT_EQ(Staged("a.dll.zip"), "PK-2");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PackageDownload, WhatArrivesIsThePackage) {
  auto engine = MakeEngine("http://srv/");
  web.Serve("http://srv/clientfile/empty.zip", "");
  EXPECT_TRUE(engine->DownloadPackage("empty.zip"));
  EXPECT_EQ(Staged("empty.zip"), "");
  // An error page of the server is stored without a message.
  EXPECT_TRUE(engine->DownloadPackage("missing.zip"));
  EXPECT_EQ(Staged("missing.zip"), "<html><body>404 Not Found</body></html>");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PackageDownload, FailureShowsTheSevenPartBox) {
  auto engine = MakeEngine("http://srv/");
  web.Fail("http://srv/clientfile/b.zip", 12007);
  platform::RemoveFile("C:\\temp\\b.zip");
  EXPECT_FALSE(engine->DownloadPackage("b.zip"));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text,
            "文件 \"http://srv/clientfile/b.zip\" 无法下载。错误信息：\r\n"
            "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12007\r\n\r\n"
            "请检查文件是否存在，或网络是否连通。");
  EXPECT_EQ(messages.shown[0].caption, "Information");
  EXPECT_EQ(messages.shown[0].flags, platform::MbOk | platform::MbIconInformation);
  EXPECT_FALSE(platform::FileExists("C:\\temp\\b.zip"));
}

TEST_F(PackageDownload, NamesThatWouldLeaveTheStagingFolderAreRefused) {
  auto engine = MakeEngine("http://srv/");
  for (const char* name : {"..\\evil.zip", "../evil.zip", "a\\..\\..\\evil.zip", "C:\\evil.zip", "\\evil.zip"}) {
    SCOPED_TRACE(name);
    messages.shown.clear();
    web.requested.clear();
    EXPECT_FALSE(engine->DownloadPackage(name));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("无法下载"), std::string::npos);
    EXPECT_TRUE(web.requested.empty());
  }
  EXPECT_FALSE(platform::FileExists("C:\\evil.zip"));
}

}  // namespace
