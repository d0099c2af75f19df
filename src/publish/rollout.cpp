#include "publish/rollout.h"

#include <filesystem>

#include "base/text.h"
#include "engine/server_layout.h"
#include "engine/xml_routines.h"
#include "platform/files.h"
#include "publish/freshness.h"
#include "publish/history.h"
#include "publish/manifest.h"
#include "publish/release.h"
#include "publish/server_folder.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

// Every Rollout attribute of the entry, in any letter case, gets the value
// (clients take the last); an entry without one gets one.
void SetEntryRollout(xml::XmlDocument& doc, xml::XmlNode& entry, const std::string& value) {
  bool found = false;
  for (size_t i = 0; i < entry.attributes().length(); ++i) {
    xml::XmlNode& a = *entry.attributes().item(i);
    if (!base::SameTextAscii(a.nodeName(), "Rollout")) continue;
    a.SetNodeValue(value);
    found = true;
  }
  if (!found) engine::AddAttribute(doc, entry, "Rollout", value);
}

std::vector<std::string> SetInDocument(xml::XmlDocument& doc, const RolloutOptions& options) {
  std::vector<std::string> changed;
  for (xml::XmlNode* group : doc.documentElement()->childNodes()) {
    if (group->nodeType() != xml::NodeType::Element) continue;
    for (xml::XmlNode* entry : group->childNodes()) {
      if (entry->nodeType() != xml::NodeType::Element) continue;
      if (options.module && !base::SameTextAscii(entry->nodeName(), *options.module)) continue;
      SetEntryRollout(doc, *entry, std::to_string(options.percent));
      changed.push_back(group->nodeName() + "/" + entry->nodeName());
    }
  }
  return changed;
}

}  // namespace

std::vector<std::string> SetRollout(const RolloutOptions& options) {
  const fs::path server(options.serverDir);
  const fs::path path = server / std::string(engine::kManifestName);
  const std::optional<std::string> current = platform::ReadWholeFile(path.string());
  if (!current) throw PublishError("无法读取更新说明“" + path.string() + "”。");
  const auto doc = ParseManifest(*current);
  const xml::XmlNode* root = doc->documentElement();
  if (!root || root->nodeName() != "data") {
    throw PublishError("更新说明“" + path.string() + "”无法解析，或根元素不是 data。");
  }
  const std::optional<platform::SigningKey> key = ReadKey(options.keyPath);
  const std::vector<std::string> changed = SetInDocument(*doc, options);
  if (changed.empty()) {
    throw PublishError(options.module ? "更新说明中没有模块“" + *options.module + "”。" : "更新说明中没有模块。");
  }
  // A publication of its own: the next serial; the expiry stays unless a new
  // one is asked for.
  AttributeList freshness = NextFreshness(doc.get(), options.now, options.expiresDays);
  const std::string expires = engine::AttributeOr(root, "Expires", "");
  if (!options.expiresDays && !expires.empty()) freshness.emplace_back("Expires", expires);
  const std::string bytes = ManifestWithRoot(*doc, freshness);
  {
    StagingFolder staging(server / kStagingName);
    PublishSigned(server, staging, std::string(engine::kManifestName), bytes, key);
  }
  RecordManifest(server, current, bytes);
  return changed;
}

}  // namespace publish
