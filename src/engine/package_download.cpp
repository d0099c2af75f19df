// Fetching one package into the staging folder.
#include <exception>
#include <optional>
#include <string_view>

#include "engine/hex.h"
#include "engine/paths.h"
#include "engine/server_layout.h"
#include "engine/staged_package.h"
#include "engine/staging_file.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "http/download.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace engine {
namespace {

class UnsafeNameError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class NotAsPublishedError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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

// What the manifest says the publisher released, when it says it.
struct Published {
  std::optional<std::uint64_t> size;
  std::string sha256;  // lower case; empty when not given
};

// NotAsPublishedError when an entry's SHA256 is not a value of its kind. The
// size counts only beside a hash: manifests written for earlier updaters may
// carry a Size attribute of their own meaning, so one that is no byte count
// is passed over (and noted in the trace).
Published PublishedOf(const ManifestEntry& entry, const TraceFile& trace) {
  Published published;
  if (!entry.size.empty() && !IsDecimal(entry.size)) {
    trace.Write(entry.name + ".Size", "已忽略：“" + entry.size + "”不是字节数");
  }
  if (entry.sha256.empty()) return published;
  if (!IsSha256Hex(entry.sha256)) {
    throw NotAsPublishedError("更新说明中“" + entry.name + "”的 SHA256 值“" + entry.sha256 +
                              "”不是 64 位十六进制数。");
  }
  published.sha256 = Lower(entry.sha256);
  if (IsDecimal(entry.size)) published.size = std::stoull(entry.size);
  return published;
}

void CheckSize(const Published& published, std::uint64_t size) {
  if (published.size && *published.size != size) {
    throw NotAsPublishedError("文件大小不符：更新说明为 " + std::to_string(*published.size) + " 字节，实际收到 " +
                              std::to_string(size) + " 字节。");
  }
}

// Hashed through the hold, so the bytes checked are the bytes unpacked; a
// package that does not match is removed.
void CheckDigest(const Published& published, StagedPackage& staged) {
  if (published.sha256.empty()) return;
  const std::string actual = ToHex(staged.Digest());
  if (published.sha256 == actual) return;
  staged.Remove();
  throw NotAsPublishedError("文件校验值不符：更新说明的 SHA256 为 " + published.sha256 + "，实际为 " + actual + "。");
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
    const Published published = PublishedOf(entry, services_.trace);
    StagingFile file(JoinPath(folders_.staging, fileName), published.size);
    http::Download(services_.fetcher, url, file);
    CheckSize(published, file.size());
    auto staged = std::make_shared<StagedPackage>(file.Commit());
    CheckDigest(published, *staged);
    return staged;
  } catch (const std::exception& e) {
    const std::string text = "文件 \"" + url + "\" 无法下载。错误信息：" + "\r\n" + e.what() + "\r\n\r\n" +
                             "请检查文件是否存在，或网络是否连通。";
    services_.messageBox.Show(text, "Information", platform::MbOk | platform::MbIconInformation);
    return nullptr;
  }
}

}  // namespace engine
