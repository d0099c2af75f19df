#include "app/user_notices.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/update_engine.h"
#include "platform/message_box.h"
#include "support/platform/fakes.h"

namespace {
using testing_support::RecordingMessageBox;

// Each notice is one box: its text byte for byte, its caption and its flags.
TEST(UserNotices, EachNoticeIsOneBoxWithItsTextCaptionAndFlags) {
  struct Case {
    const char* what;
    std::function<void(app::UserNotices&)> notify;
    std::string text, caption;
    unsigned flags;
  };
  const Case cases[] = {
      {"package",
       [](app::UserNotices& n) { n.PackageNotDownloaded("http://h:81/clientfile/a.zip", "超时"); },
       "文件 \"http://h:81/clientfile/a.zip\" 无法下载。错误信息：\r\n超时\r\n\r\n请检查文件是否存在，或网络是否连通。",
       "Information", platform::MbOk | platform::MbIconInformation},
      {"module", [](app::UserNotices& n) { n.ModuleNotInstalled("a.dll", "无法写入文件“a.dll”"); },
       "模块“a.dll”没有安装，原有文件保持不变：\r\n无法写入文件“a.dll”\r\n\r\n下次更新时将重新安装。", "AutoUpdate",
       platform::MbOk | platform::MbIconError},
      {"database engine", [](app::UserNotices& n) { n.DatabaseEngineSetupNotRun(); },
       "数据库引擎的安装文件在解压后无法锁定或已被改动，不运行其安装程序。", "AutoUpdate", platform::MbOk},
      {"shortcut name", [](app::UserNotices& n) { n.ShortcutNameInvalid("..\\x"); }, "快捷方式名称“..\\x”无效。",
       "AutoUpdate", platform::MbOk},
      {"shortcut", [](app::UserNotices& n) { n.ShortcutNotCreated("拒绝访问。"); }, "拒绝访问。", "AutoUpdate",
       platform::MbOk},
      {"compression", [](app::UserNotices& n) { n.UnsupportedCompression(); }, "Unknown Compression Method",
       "Zip Error", platform::MbOk},
      {"set-up error",
       [](app::UserNotices& n) { n.SetUpFailed({engine::SetUpFailure::Kind::Error, "请求后台数据时出现异常。", {}}); },
       "请求后台数据时出现异常。", "AutoUpdate", platform::MbOk},
      {"unusable address",
       [](app::UserNotices& n) { n.SetUpFailed({engine::SetUpFailure::Kind::UnusableAddress, "http://CON:1/", {}}); },
       "服务器地址“http://CON:1/”无效：其中的主机名或端口含有路径分隔符、冒号或文件名中不允许的字符，"
       "不能用来命名客户端配置文件。",
       "AutoUpdate", platform::MbOk},
      {"unsigned manifest",
       [](app::UserNotices& n) {
         n.SetUpFailed({engine::SetUpFailure::Kind::UnsignedManifest, "没有签名文件", "AutoUpdateIniS.xml"});
       },
       "更新说明（AutoUpdateIniS.xml）没有可信发布者的有效签名：没有签名文件。\r\n为安全起见，本次不安装任何更新。",
       "AutoUpdate", platform::MbOk},
      {"stale manifest",
       [](app::UserNotices& n) {
         n.SetUpFailed({engine::SetUpFailure::Kind::StaleManifest, "已过期", "AutoUpdateIniS.xml"});
       },
       "更新说明（AutoUpdateIniS.xml）不能使用：已过期。\r\n为安全起见，本次不安装任何更新。", "AutoUpdate",
       platform::MbOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingMessageBox boxes;
    app::UserNotices notices(boxes);
    c.notify(notices);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, c.text);
    EXPECT_EQ(boxes.shown[0].caption, c.caption);
    EXPECT_EQ(boxes.shown[0].flags, c.flags);
  }
}

// The question names the host the updater would contact, not a user name
// before an "@"; only "Yes" approves.
TEST(UserNotices, FirstUseIsAYesNoQuestionNamingTheHost) {
  for (const int answer : {platform::IdYes, platform::IdNo, platform::IdOk}) {
    SCOPED_TRACE(answer);
    RecordingMessageBox boxes;
    boxes.answer = answer;
    app::UserNotices notices(boxes);
    EXPECT_EQ(notices.ApprovesFirstUse("http://user@erp.corp:8080/upd/"), answer == platform::IdYes);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "网页要求从更新服务器“erp.corp:8080”下载并安装程序，本机以前从未使用过这台服务器。\r\n\r\n"
              "只有在您信任这台服务器时才选择“是”。是否继续？");
    EXPECT_EQ(boxes.shown[0].caption, "AutoUpdate");
    EXPECT_EQ(boxes.shown[0].flags, platform::MbYesNo | platform::MbIconQuestion | platform::MbDefaultButton2);
  }
}

}  // namespace
