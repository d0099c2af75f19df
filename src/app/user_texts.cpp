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

}  // namespace app::texts
