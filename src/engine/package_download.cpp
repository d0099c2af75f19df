// Fetching one package into the staging folder: from a branch mirror or a
// cache when the manifest gives its digest, otherwise from the server itself.
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

#include "base/hex.h"
#include "base/text.h"
#include "engine/paths.h"
#include "engine/published_value.h"
#include "engine/server_layout.h"
#include "engine/staged_package.h"
#include "engine/staging_file.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/user_notices.h"
#include "http/download.h"
#include "platform/file_names.h"
#include "platform/files.h"

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

class NotAFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr const char* kOriginName = "源服务器";

// What the manifest says the publisher released, when it says it.
struct Published {
  std::optional<std::uint64_t> size;
  std::string sha256;  // lower case; empty when not given
};

// Manifests written for earlier updaters may carry a Size attribute of their
// own meaning: one that is no byte count is passed over.
bool IsIgnoredSize(const ManifestEntry& entry) { return !entry.size.empty() && !IsByteCount(entry.size); }

// NotAsPublishedError when an entry's SHA256 is not a value of its kind. The
// size counts only beside a hash.
Published PublishedOf(const ManifestEntry& entry) {
  Published published;
  if (entry.sha256.empty()) return published;
  if (!IsSha256Hex(entry.sha256)) {
    throw NotAsPublishedError("更新说明中“" + entry.name + "”的 SHA256 值“" + entry.sha256 +
                              "”不是 64 位十六进制数。");
  }
  published.sha256 = base::LowerAscii(entry.sha256);
  if (IsByteCount(entry.size)) published.size = std::stoull(entry.size);
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
  const std::string actual = base::ToHex(staged.Digest());
  if (published.sha256 == actual) return;
  staged.Remove();
  throw NotAsPublishedError("文件校验值不符：更新说明的 SHA256 为 " + published.sha256 + "，实际为 " + actual + "。");
}

// Takes only a whole file: a mirror's error page must not pass for the
// package. The status is kept to say why.
class WholeFileOnly : public http::IDownloadSink {
 public:
  explicit WholeFileOnly(http::IDownloadSink& file) : file_(file) {}
  bool Accept(const http::ResponseHead& head) override {
    status_ = head.status;
    return head.status == 200 && file_.Accept(head);
  }
  void Write(std::string_view block) override { file_.Write(block); }
  void Restart() override { file_.Restart(); }
  int status() const { return status_; }

 private:
  http::IDownloadSink& file_;
  int status_ = 200;
};

// One place a package may come from.
struct Source {
  std::string url;
  std::string name;  // for the trace: the mirror's address or kOriginName
  http::Freshness freshness;
  bool mirror;
};

void DownloadFrom(http::IFetcher& fetcher, const Source& source, StagingFile& file) {
  if (!source.mirror) {
    http::Download(fetcher, source.url, file, source.freshness);
    return;
  }
  WholeFileOnly whole(file);
  try {
    http::Download(fetcher, source.url, whole, source.freshness);
  } catch (const http::IncompleteDownloadError&) {
    if (whole.status() == 200) throw;
    throw NotAFileError("服务器应答状态 " + std::to_string(whole.status()) + "，不是文件。");
  }
}

std::shared_ptr<StagedPackage> StageFrom(http::IFetcher& fetcher, const Source& source, const std::string& path,
                                         const Published& published) {
  StagingFile file(path, published.size);
  DownloadFrom(fetcher, source, file);
  CheckSize(published, file.size());
  auto staged = std::make_shared<StagedPackage>(file.Commit());
  CheckDigest(published, *staged);
  return staged;
}

// A package with a digest may come from each mirror in turn and from any
// cache, and only after that from the server itself, fresh; one without
// comes from the server, fresh, as ever.
std::vector<Source> SourcesOf(const Published& published, const std::vector<std::string>& mirrors,
                              const std::string& originUrl, const std::string& fileName) {
  std::vector<Source> sources;
  if (!published.sha256.empty()) {
    for (const std::string& mirror : mirrors) {
      sources.push_back({ServerFileUrl(mirror, std::string(kPackageFolder) + fileName), mirror,
                         http::Freshness::Cacheable, true});
    }
    sources.push_back({originUrl, kOriginName, http::Freshness::Cacheable, false});
  }
  sources.push_back({originUrl, kOriginName, http::Freshness::Fresh, false});
  return sources;
}

// One line for the trace file.
std::string OneLine(std::string_view text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
  }
  return line;
}

// The package from the first source that serves the published bytes, and
// which one that was; the last source's error when none does. Why each
// source before failed is appended to passedOver.
std::shared_ptr<StagedPackage> StageFromFirst(http::IFetcher& fetcher, const std::vector<Source>& sources,
                                              const std::string& path, const Published& published,
                                              std::size_t& used, std::string& passedOver) {
  for (used = 0;; ++used) {
    try {
      return StageFrom(fetcher, sources[used], path, published);
    } catch (const std::exception& e) {
      if (used + 1 == sources.size()) throw;
      passedOver += (passedOver.empty() ? "" : "；") + sources[used].name + "：" + OneLine(e.what());
    }
  }
}

}  // namespace

// Every source but the last is passed over without a word to the user when
// it fails; the trace says why, and which source served the package.
std::shared_ptr<StagedPackage> UpdateEngine::FetchPackage(const ManifestEntry& entry, std::string& why) {
  const std::string& fileName = entry.fileName;
  const std::string url = ServerFileUrl(serverUrl_, std::string(kPackageFolder) + fileName);
  std::string passedOver;
  try {
    // The name comes from the manifest and the updater runs as
    // administrator: it must name a file inside the staging folder.
    if (!platform::IsPlainRelativePath(fileName)) {
      throw UnsafeNameError("文件名 \"" + fileName + "\" 不能用作本地文件名。");
    }
    if (IsIgnoredSize(entry)) services_.trace.Write(entry.name + ".Size", "已忽略：“" + entry.size + "”不是字节数");
    const Published published = PublishedOf(entry);
    const std::string path = JoinPath(folders_.staging, fileName);
    const std::vector<Source> sources = SourcesOf(published, mirrors_, url, fileName);
    std::size_t used = 0;
    auto staged = StageFromFirst(services_.fetcher, sources, path, published, used, passedOver);
    // Said only where there was a choice: a manifest that gives no digest
    // leaves the trace as it always was.
    if (sources.size() > 1) services_.trace.Write(entry.name + ".来源", sources[used].name);
    if (!passedOver.empty()) services_.trace.Write(entry.name + ".未采用", passedOver);
    return staged;
  } catch (const std::exception& e) {
    try {
      if (!passedOver.empty()) services_.trace.Write(entry.name + ".未采用", passedOver);
    } catch (const TraceWriteError&) {
      // Telling the user matters more than the note.
    }
    why = e.what();
    return nullptr;
  }
}

std::shared_ptr<StagedPackage> UpdateEngine::DownloadPackage(const ManifestEntry& entry) {
  std::string why;
  auto staged = FetchPackage(entry, why);
  if (!staged) {
    services_.notices.PackageNotDownloaded(ServerFileUrl(serverUrl_, std::string(kPackageFolder) + entry.fileName),
                                           why);
  }
  return staged;
}

}  // namespace engine
