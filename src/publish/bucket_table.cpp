#include "publish/bucket_table.h"

#include <filesystem>

#include "engine/manifest_entry.h"
#include "engine/rollout.h"
#include "engine/server_layout.h"
#include "engine/update_engine.h"
#include "platform/files.h"
#include "publish/manifest.h"
#include "publish/release.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

std::string Line(const std::string& group, const engine::ManifestEntry& entry, const std::string& guid) {
  const engine::RolloutDecision decision = engine::DecideRollout({guid, engine::RolloutRing::Normal}, entry);
  const std::optional<int> given = entry.rollout ? engine::ParseRolloutPercent(*entry.rollout) : std::nullopt;
  const int percent = given.value_or(engine::kFullRollout);
  std::string line = group + "/" + entry.name + "  版本 " + entry.version + "  桶 " +
                     std::to_string(engine::RolloutBucket(guid, entry.name, entry.version)) + "  比例 " +
                     std::to_string(percent) + "%  " + (decision.takes ? "轮到" : "未轮到");
  if (entry.rollout && !given) line += "（" + decision.note + "）";
  return line + "\n";
}

}  // namespace

std::string BucketTable(const std::string& machineGuid, const std::string& serverDir) {
  const fs::path path = fs::path(serverDir) / std::string(engine::kManifestName);
  const auto bytes = platform::ReadWholeFile(path.string());
  const auto doc = ParseManifest(bytes.value_or(""));
  const xml::XmlNode* root = doc->documentElement();
  if (!bytes || !root || root->nodeName() != "data") {
    throw PublishError("更新说明“" + path.string() + "”无法读取或解析。");
  }
  std::string out;
  for (const xml::XmlNode* group : root->childNodes()) {
    if (group->nodeType() != xml::NodeType::Element) continue;
    engine::ManifestEntries entries;
    engine::UpdateEngine::ReadEntries(entries, doc.get(), group->nodeName());
    for (const auto& entry : entries) out += Line(group->nodeName(), *entry, machineGuid);
  }
  return out;
}

}  // namespace publish
