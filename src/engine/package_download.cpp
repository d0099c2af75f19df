// Fetching one package into the staging folder.
#include <exception>

#include "engine/client_update.h"
#include "engine/paths.h"
#include "engine/system_routines.h"
#include "http/http_file.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace engine {
namespace {

// A package name from the manifest must stay inside the staging folder: the
// updater runs with administrator rights.
bool IsSafePackageName(const std::string& name) {
  if (name.empty() || name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    if (end == 0) return false;  // rooted
    start = end + 1;
  }
  return true;
}

class EUnsafeName : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace

bool TClientUpdate::DownloadPackage(const std::string& fileName) {
  const std::string url = FServerUrl.empty() || FServerUrl.back() != '/'
                              ? FServerUrl + "/clientfile/" + fileName
                              : FServerUrl + "clientfile/" + fileName;
  try {
    if (!IsSafePackageName(fileName)) {
      throw EUnsafeName("文件名 \"" + fileName + "\" 不能用作本地文件名。");
    }
    std::string body;
    {
      http::THTTPFile fetch(env_.internet);
      fetch.GetURLFile(url, body);
    }
    if (!platform::DirectoryExists(kStagingFolder)) ForceDirectories(kStagingFolder);
    platform::WriteWholeFile(JoinPath(kStagingFolder, fileName), body);
    return true;
  } catch (const std::exception& e) {
    const std::string text = "文件 \"" + url + "\" 无法下载。错误信息：" + "\r\n" + e.what() + "\r\n\r\n" +
                             "请检查文件是否存在，或网络是否连通。";
    env_.messageBox.Show(text, "Information", platform::MbOk | platform::MbIconInformation);
    return false;
  }
}

}  // namespace engine
