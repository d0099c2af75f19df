#include "publish/history.h"

#include <algorithm>
#include <set>

#include "base/text.h"
#include "delta/delta_attributes.h"
#include "engine/server_layout.h"
#include "platform/files.h"
#include "publish/manifest.h"
#include "publish/package.h"
#include "publish/release.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kPrefix = "AutoUpdateIniS.";
constexpr std::string_view kSuffix = ".xml";
constexpr size_t kSerialDigits = 6;

// The serial of a history file name; 0 for any other name.
unsigned long SerialOf(const std::string& name) {
  if (name.size() <= kPrefix.size() + kSuffix.size() || name.rfind(kPrefix, 0) != 0 ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return 0;
  }
  const std::string digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoul(digits);
}


void Keep(const fs::path& history, unsigned long serial, const std::string& bytes) {
  std::string digits = std::to_string(serial);
  if (digits.size() < kSerialDigits) digits.insert(0, kSerialDigits - digits.size(), '0');
  const fs::path file = history / (std::string(kPrefix) + digits + std::string(kSuffix));
  const fs::path partial = history / ".partial";
  platform::WriteWholeFile(partial.string(), bytes);
  fs::rename(partial, file);
}

// Package names as stored below clientfile/ ("/" between folders, ASCII
// letters upper-cased) of every FileName and DeltaFileName in the manifest.
void AddNamedPackages(const fs::path& path, std::set<std::string>& names) {
  const auto bytes = platform::ReadWholeFile(path.string());
  const auto doc = ParseManifest(bytes.value_or(""));
  const xml::XmlNode* root = doc->documentElement();
  if (!bytes || !root || root->nodeName() != "data") {
    throw PublishError("更新说明“" + path.string() + "”无法读取或解析，未删除任何文件。");
  }
  for (const xml::XmlNode* group : root->childNodes()) {
    for (const xml::XmlNode* entry : group->childNodes()) {
      for (size_t i = 0; i < entry->attributes().length(); ++i) {
        const xml::XmlNode& a = *entry->attributes().item(i);
        if (!base::SameTextAscii(a.nodeName(), "FileName") &&
            !base::SameTextAscii(a.nodeName(), delta::kDeltaFileNameAttribute)) {
          continue;
        }
        std::string name = a.nodeValue();
        std::replace(name.begin(), name.end(), '\\', '/');
        names.insert(base::UpperAscii(InClientCodePage(name)));
      }
    }
  }
}

void RemovePackagesNotNamed(const fs::path& server, const std::set<std::string>& named,
                            std::vector<std::string>& removed) {
  const fs::path packages = server / std::string(engine::kPackageFolder);
  std::vector<fs::path> unnamed;
  std::error_code error;
  for (fs::recursive_directory_iterator it(packages, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file() || it->is_symlink()) continue;
    const std::string relative = fs::relative(it->path(), packages).generic_string();
    if (!named.count(base::UpperAscii(relative))) unnamed.push_back(it->path());
  }
  for (const fs::path& path : unnamed) {
    fs::remove(path);
    removed.push_back(fs::relative(path, server).generic_string());
  }
}

}  // namespace

std::vector<fs::path> HistoryFiles(const fs::path& server) {
  std::vector<std::pair<unsigned long, fs::path>> found;
  std::error_code error;
  for (fs::directory_iterator it(server / kHistoryName, error), end; !error && it != end; it.increment(error)) {
    const unsigned long serial = SerialOf(it->path().filename().string());
    if (serial > 0 && it->is_regular_file()) found.emplace_back(serial, it->path());
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> files;
  for (const auto& [serial, path] : found) files.push_back(path);
  return files;
}

void RecordManifest(const fs::path& server, const std::optional<std::string>& replaced, const std::string& published) {
  const fs::path history = server / kHistoryName;
  fs::create_directories(history);
  const std::vector<fs::path> files = HistoryFiles(server);
  unsigned long next = files.empty() ? 1 : SerialOf(files.back().filename().string()) + 1;
  if (files.empty() && replaced) Keep(history, next++, *replaced);
  Keep(history, next, published);
}

std::vector<std::string> Prune(const std::string& serverDir, std::size_t keep) {
  const fs::path server(serverDir);
  const std::vector<fs::path> files = HistoryFiles(server);
  const size_t dropped = files.size() > keep ? files.size() - keep : 0;
  std::set<std::string> named;
  AddNamedPackages(server / std::string(engine::kManifestName), named);
  for (size_t i = dropped; i < files.size(); ++i) AddNamedPackages(files[i], named);

  std::vector<std::string> removed;
  for (size_t i = 0; i < dropped; ++i) {
    fs::remove(files[i]);
    removed.push_back(fs::relative(files[i], server).generic_string());
  }
  RemovePackagesNotNamed(server, named, removed);
  return removed;
}

}  // namespace publish
