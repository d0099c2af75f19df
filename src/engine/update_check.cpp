// The version check: which manifest entries of one application need updating.
#include <string_view>
#include <unordered_map>

#include "base/text.h"
#include "engine/presence.h"
#include "engine/rollout.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/version_rules.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "xml/xml_document.h"

namespace engine {
namespace {

// The entry attributes, matched by their upper-cased names.
enum class EntryField {
  SetupPath, Version, FileName, IsReplace, IsRegister, Script, AutoRun, Sha256, Size, Rollout,
  DeltaFileName, DeltaFrom, DeltaSha256, DeltaSize
};
struct FieldName {
  std::string_view upper;
  EntryField field;
};
constexpr FieldName kFields[] = {
    {"SETUPPATH", EntryField::SetupPath}, {"VERSION", EntryField::Version},
    {"FILENAME", EntryField::FileName},   {"ISREPLACE", EntryField::IsReplace},
    {"ISREGISTER", EntryField::IsRegister}, {"SCRIPT", EntryField::Script},
    {"AUTORUN", EntryField::AutoRun},     {"SHA256", EntryField::Sha256},
    {"SIZE", EntryField::Size},           {"ROLLOUT", EntryField::Rollout},
    {"DELTAFILENAME", EntryField::DeltaFileName}, {"DELTAFROM", EntryField::DeltaFrom},
    {"DELTASHA256", EntryField::DeltaSha256}, {"DELTASIZE", EntryField::DeltaSize},
};

void Store(ManifestEntry& entry, EntryField field, const std::string& value) {
  switch (field) {
    case EntryField::SetupPath: entry.setupPath = value; break;
    case EntryField::Version: entry.version = value; break;
    case EntryField::FileName: entry.fileName = value; break;
    case EntryField::IsReplace: entry.replace = value == "1"; break;
    case EntryField::IsRegister: entry.registerComponent = value == "1"; break;
    case EntryField::Script: entry.script = value; break;
    case EntryField::AutoRun: entry.autoRun = value; break;
    case EntryField::Sha256: entry.sha256 = value; break;
    case EntryField::Size: entry.size = value; break;
    case EntryField::Rollout: entry.rollout = value; break;
    case EntryField::DeltaFileName: entry.deltaFileName = value; break;
    case EntryField::DeltaFrom: entry.deltaFrom = value; break;
    case EntryField::DeltaSha256: entry.deltaSha256 = value; break;
    case EntryField::DeltaSize: entry.deltaSize = value; break;
  }
}

// One entry element: its name, and its attributes matched by upper-cased
// name, the last of several for one field winning.
std::shared_ptr<ManifestEntry> ReadEntry(const xml::XmlNode& element) {
  auto entry = std::make_shared<ManifestEntry>();
  entry->name = element.nodeName();
  const xml::XmlAttributes& attrs = element.attributes();
  for (size_t i = 0; i < attrs.length(); ++i) {
    const std::string upper = base::UpperAscii(attrs.item(i)->nodeName());
    for (const FieldName& f : kFields) {
      if (upper == f.upper) Store(*entry, f.field, attrs.item(i)->nodeValue());
    }
  }
  return entry;
}

RolloutMachine ReadRolloutMachine(platform::IRegistry& registry) {
  RolloutMachine machine;
  machine.guid = registry.ReadString64(platform::RegistryRoot::LocalMachine, kMachineGuidKey, kMachineGuidValue);
  if (machine.guid && machine.guid->empty()) machine.guid.reset();
  machine.ring = ParseRolloutRing(
      registry.ReadString(platform::RegistryRoot::LocalMachine, kRolloutRingKey, kRolloutRingValue));
  return machine;
}

}  // namespace

bool UpdateEngine::CheckForUpdates(const std::string& appName) {
  if (serverUrl_.empty()) return false;
  updates_.clear();
  recordedVersions_.clear();
  {
    ManifestEntries server, client;
    ReadEntries(server, manifest_.get(), appName);
    ReadEntries(client, config_.get(), appName);
    ChooseUpdates(server, client);
  }
  appName_ = appName;
  services_.trace.Write("等更新模块", std::to_string(updates_.size()));
  return !updates_.empty();
}

void UpdateEngine::ReadEntries(ManifestEntries& list, const xml::XmlDocument* doc, const std::string& appName) {
  if (!doc) return;
  const xml::XmlNode* group = nullptr;
  try {
    group = doc->SelectSingleNode("data/" + appName);
  } catch (const xml::XmlError&) {
    return;  // an application name that is no element name selects nothing
  }
  if (!group) return;
  for (const xml::XmlNode* child : group->childNodes()) {
    if (child->nodeType() == xml::NodeType::Element) list.push_back(ReadEntry(*child));
  }
}

void UpdateEngine::ChooseUpdates(const ManifestEntries& server, const ManifestEntries& client) {
  // The first client entry of each upper-cased name, found without a scan
  // per server entry.
  std::unordered_map<std::string, const ManifestEntry*> firstByName;
  firstByName.reserve(client.size());
  for (const auto& c : client) firstByName.emplace(base::UpperAscii(c->name), c.get());

  std::optional<RolloutMachine> machine;  // read when first needed
  for (const auto& s : server) {
    auto found = firstByName.find(base::UpperAscii(s->name));
    if (found == firstByName.end()) {
      updates_.push_back(s);
      continue;
    }
    recordedVersions_.emplace(base::UpperAscii(s->name), found->second->version);
    // Two rules, each on its own: an entry newer and missing goes in twice.
    // A newer version waits for this machine's turn in a staged rollout,
    // unless the entry is missing anyway.
    const bool newer = s->replace && IsVersionGreater(s->version, found->second->version);
    const bool missing = !IsPresentOnDisk(folders_, hasDatabaseEngine_, s->name, s->setupPath);
    if (newer && !missing && !machine) machine = ReadRolloutMachine(services_.registry);
    if (newer && (missing || TakesInRollout(*machine, *s))) updates_.push_back(s);
    if (missing) updates_.push_back(s);
  }
}

bool UpdateEngine::TakesInRollout(const RolloutMachine& machine, const ManifestEntry& entry) {
  const RolloutDecision decision = DecideRollout(machine, entry);
  if (!decision.note.empty()) services_.trace.Write(entry.name + ".Rollout", decision.note);
  return decision.takes;
}

std::int32_t UpdateEngine::IndexOfEntry(const ManifestEntries& list, const std::string& name) {
  const std::string upper = base::UpperAscii(name);
  for (size_t i = 0; i < list.size(); ++i) {
    if (base::UpperAscii(list[i]->name) == upper) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace engine
