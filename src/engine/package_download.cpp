// Fetching one package into the staging folder.
#include <exception>
#include <string_view>

#include "engine/paths.h"
#include "engine/server_layout.h"
#include "engine/staged_package.h"
#include "engine/update_engine.h"
#include "http/fetcher.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/crypto.h"
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

class NotAsPublishedError : public std::runtime_error {
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

bool IsDecimal(std::string_view text) {
  return !text.empty() && text.size() <= 19 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsSha256Hex(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The package is the one the publisher released, where the manifest says
// what that was: its size and its SHA-256.
void CheckAsPublished(const ManifestEntry& entry, size_t size, const std::string& digest) {
  if (!entry.size.empty()) {
    if (!IsDecimal(entry.size)) {
      throw NotAsPublishedError("更新说明中“" + entry.name + "”的 Size 值“" + entry.size + "”不是十进制的字节数。");
    }
    if (std::stoull(entry.size) != size) {
      throw NotAsPublishedError("文件大小不符：更新说明为 " + entry.size + " 字节，实际收到 " + std::to_string(size) +
                                " 字节。");
    }
  }
  if (!entry.sha256.empty()) {
    if (!IsSha256Hex(entry.sha256)) {
      throw NotAsPublishedError("更新说明中“" + entry.name + "”的 SHA256 值“" + entry.sha256 +
                                "”不是 64 位十六进制数。");
    }
    if (Lower(entry.sha256) != ToHex(digest)) {
      throw NotAsPublishedError("文件校验值不符：更新说明的 SHA256 为 " + Lower(entry.sha256) + "，实际为 " +
                                ToHex(digest) + "。");
    }
  }
}

std::string DigestOf(std::string_view bytes) {
  platform::Sha256 hash;
  hash.Update(bytes);
  return hash.Finish();
}

}  // namespace

std::shared_ptr<StagedPackage> UpdateEngine::DownloadPackage(const ManifestEntry& entry) {
  const std::string& fileName = entry.fileName;
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
    const std::string digest = DigestOf(body);
    CheckAsPublished(entry, body.size(), digest);
    if (!platform::DirectoryExists(kStagingFolder)) platform::CreateFolderPath(kStagingFolder);
    const std::string path = JoinPath(kStagingFolder, fileName);
    platform::WriteWholeFile(path, body);
    return std::make_shared<StagedPackage>(path, digest);
  } catch (const std::exception& e) {
    const std::string text = "文件 \"" + url + "\" 无法下载。错误信息：" + "\r\n" + e.what() + "\r\n\r\n" +
                             "请检查文件是否存在，或网络是否连通。";
    services_.messageBox.Show(text, "Information", platform::MbOk | platform::MbIconInformation);
    return nullptr;
  }
}

}  // namespace engine
