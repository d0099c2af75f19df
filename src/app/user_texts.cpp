#include "app/user_texts.h"

namespace app::texts {

std::string Waiting() { return "另一个更新程序正在运行，正在等待它结束……"; }

std::string Connecting(const std::string& serverUrl) { return "正在连接服务器“" + serverUrl + "”……"; }

std::string Checking(const std::string& appName) { return "正在检查［" + appName + "］最新版本……"; }

std::string Updating(const std::string& appName) { return "正在更新［" + appName + "］……"; }

std::string Current(const std::string& appName) { return "［" + appName + "］已经是最新版本。"; }

std::string Finished(const std::string& appName) { return "更新［" + appName + "］完成。"; }

std::string Failed(const std::string& serverUrl, const std::string& appName) {
  return "无法从“" + serverUrl + "”更新［" + appName + "］。";
}

std::string Refused(const std::string& appName) { return "本次没有更新［" + appName + "］。"; }

std::string FirstUseQuestion(const std::string& serverName) {
  return "网页要求从更新服务器“" + serverName +
         "”下载并安装程序，本机以前从未使用过这台服务器。\r\n\r\n"
         "只有在您信任这台服务器时才选择“是”。是否继续？";
}

std::string UnclearWebAddress(const std::string& address) {
  return "网页指定的更新服务器地址“" + address +
         "”无效，本次没有更新。\r\n地址应为“http://主机名:端口/路径”：主机名只能由英文字母、数字、“-”、“_”和“.”"
         "组成（中文域名须写成 punycode 形式），端口必须是 1 到 65535 之间的数字。";
}

std::string DeclinedServer(const std::string& serverName) {
  return "您拒绝使用网页指定的更新服务器“" + serverName + "”，本次没有更新。";
}

std::string UnusableServerAddress(const std::string& address) {
  return "服务器地址“" + address +
         "”无效：其中的主机名或端口含有路径分隔符、冒号或文件名中不允许的字符，"
         "不能用来命名客户端配置文件。";
}

std::string UnsignedManifest(const std::string& file, const std::string& problem) {
  return "更新说明（" + file + "）没有可信发布者的有效签名：" + problem + "。\r\n为安全起见，本次不安装任何更新。";
}

std::string StaleManifest(const std::string& file, const std::string& problem) {
  return "更新说明（" + file + "）不能使用：" + problem + "。\r\n为安全起见，本次不安装任何更新。";
}

std::string PackageNotDownloaded(const std::string& url, const std::string& error) {
  return "文件 \"" + url + "\" 无法下载。错误信息：\r\n" + error + "\r\n\r\n请检查文件是否存在，或网络是否连通。";
}

std::string ModuleNotInstalled(const std::string& module, const std::string& failure) {
  return "模块“" + module + "”没有安装，原有文件保持不变：\r\n" + failure + "\r\n\r\n下次更新时将重新安装。";
}

std::string DatabaseEngineSetupNotRun() {
  return "数据库引擎的安装文件在解压后无法锁定或已被改动，不运行其安装程序。";
}

std::string ShortcutNameInvalid(const std::string& title) { return "快捷方式名称“" + title + "”无效。"; }

}  // namespace app::texts
