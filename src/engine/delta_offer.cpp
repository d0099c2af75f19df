#include "engine/delta_offer.h"

#include <unordered_map>

#include "base/text.h"
#include "engine/folder_tokens.h"
#include "engine/published_value.h"

namespace engine {

bool OffersDelta(const ManifestEntry& entry) { return !entry.deltaFileName.empty(); }

std::string WhyDeltaNotTried(const ManifestEntry& entry, const std::string* recorded) {
  if (entry.setupPath == kDatabaseEngineToken) return "数据库引擎的包不用差异包";
  if (!entry.replace) return "不替换已有文件的模块不用差异包";
  if (entry.deltaFrom.empty() || !IsSha256Hex(entry.deltaSha256) || !IsByteCount(entry.deltaSize)) {
    return "更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效";
  }
  if (!recorded) return "本机没有记录此模块的版本";
  if (*recorded != entry.deltaFrom) {
    return "本机记录的版本“" + *recorded + "”不是差异包的起始版本“" + entry.deltaFrom + "”";
  }
  return {};
}

ManifestEntry DeltaPackageEntry(const ManifestEntry& entry) {
  ManifestEntry package;
  package.name = entry.name + ".差异包";
  package.fileName = entry.deltaFileName;
  package.sha256 = entry.deltaSha256;
  package.size = entry.deltaSize;
  return package;
}

std::vector<bool> ListedTwice(const std::vector<std::shared_ptr<const ManifestEntry>>& entries) {
  std::unordered_map<std::string, int> names;
  std::unordered_map<std::string, int> packages;
  for (const auto& e : entries) {
    ++names[base::UpperAscii(e->name)];
    ++packages[base::UpperAscii(e->fileName)];
  }
  std::vector<bool> twice;
  twice.reserve(entries.size());
  for (const auto& e : entries) {
    twice.push_back(names[base::UpperAscii(e->name)] > 1 || packages[base::UpperAscii(e->fileName)] > 1);
  }
  return twice;
}

}  // namespace engine
