// Fetching one package into the staging folder.
#include <exception>

#include "engine/paths.h"
#include "engine/server_layout.h"
#include "engine/update_engine.h"
#include "http/fetcher.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace engine {
namespace {

class UnsafeNameError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IncompleteDownloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An empty body or one shorter than the server announced is a dropped
// connection, never a package.
void CheckComplete(const std::string& body, std::int32_t announced) {
  if (body.empty()) throw IncompleteDownloadError("服务器没有返回任何数据，连接可能已中断。");
  if (announced > 0 && body.size() < static_cast<std::size_t>(announced)) {
    throw IncompleteDownloadError("下载不完整：只收到 " + std::to_string(body.size()) + " 字节，服务器声明的长度为 " +
                              std::to_string(announced) + " 字节，连接可能已中断。");
  }
}

}  // namespace

bool UpdateEngine::DownloadPackage(const std::string& fileName) {
  const std::string url = ServerFileUrl(serverUrl_, std::string(kPackageFolder) + fileName);
  try {
    // The name comes from the manifest and the updater runs as
    // administrator: it must name a file inside the staging folder.
    if (!platform::IsPlainRelativePath(fileName)) {
      throw UnsafeNameError("文件名 \"" + fileName + "\" 不能用作本地文件名。");
    }
    std::string body;
    http::StringSink sink(body);
    CheckComplete(body, services_.fetcher.Fetch(url, sink));
    if (!platform::DirectoryExists(kStagingFolder)) platform::CreateFolderPath(kStagingFolder);
    platform::WriteWholeFile(JoinPath(kStagingFolder, fileName), body);
    return true;
  } catch (const std::exception& e) {
    const std::string text = "文件 \"" + url + "\" 无法下载。错误信息：" + "\r\n" + e.what() + "\r\n\r\n" +
                             "请检查文件是否存在，或网络是否连通。";
    services_.messageBox.Show(text, "Information", platform::MbOk | platform::MbIconInformation);
    return false;
  }
}

}  // namespace engine
