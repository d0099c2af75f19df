#include "publish/publisher.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "base/text.h"
#include "engine/manifest_signature.h"
#include "engine/server_layout.h"
#include "engine/update_engine.h"
#include "engine/version_rules.h"
#include "engine/xml_routines.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/signing_key.h"
#include "publish/delta_offer.h"
#include "publish/freshness.h"
#include "publish/history.h"
#include "publish/manifest.h"
#include "publish/package.h"
#include "publish/package_name.h"
#include "publish/release.h"
#include "publish/server_folder.h"
#include "publish/settings.h"
#include "publish/versions.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

constexpr const char* kBuiltName = "built";  // below the staging folder: packages before they are named
constexpr const char* kDeltaWorkName = "delta";  // below the staging folder: delta packages being made

// The manifest already in the server folder, if any.
struct Previous {
  std::unique_ptr<xml::XmlDocument> doc;
  engine::ManifestEntries entries;

  const engine::ManifestEntry* Entry(const std::string& name) const {
    const std::int32_t i = engine::UpdateEngine::IndexOfEntry(entries, name);
    return i < 0 ? nullptr : entries[static_cast<size_t>(i)].get();
  }
};

Previous ReadPrevious(const fs::path& manifest, const std::string& app) {
  Previous previous;
  if (!fs::exists(manifest)) return previous;
  const auto bytes = platform::ReadWholeFile(manifest.string());
  if (!bytes) throw PublishError("无法读取现有的更新说明“" + manifest.string() + "”。");
  previous.doc = ParseManifest(*bytes);
  const xml::XmlNode* root = previous.doc->documentElement();
  if (!root || root->nodeName() != "data") {
    throw PublishError("现有的更新说明“" + manifest.string() + "”无法解析，或根元素不是 data。");
  }
  engine::UpdateEngine::ReadEntries(previous.entries, previous.doc.get(), app);
  return previous;
}

std::string Flag(bool value) { return value ? "1" : "0"; }

// The entry's attributes other than version and hash: the settings file's,
// else the previous manifest's, else the defaults.
AttributeList EntryAttributes(const Attributes* settings, const engine::ManifestEntry* previous) {
  const std::map<std::string, std::string> fallback = {
      {"SetupPath", previous ? previous->setupPath : ""},
      {"IsReplace", previous ? Flag(previous->replace) : "1"},
      {"IsRegister", previous ? Flag(previous->registerComponent) : "0"},
      {"Script", previous ? previous->script : ""},
      {"AutoRun", previous ? previous->autoRun : ""}};
  AttributeList out;
  for (std::string_view name : kModuleAttributes) {
    const std::string key(name);
    const auto given = settings ? settings->find(key) : Attributes::const_iterator{};
    out.emplace_back(key, settings && given != settings->end() ? given->second : fallback.at(key));
  }
  return out;
}

AttributeList GroupAttributes(const Settings& settings, const Previous& previous, const std::string& app) {
  const xml::XmlNode* group = previous.doc ? previous.doc->SelectSingleNode("data/" + app) : nullptr;
  AttributeList out;
  for (std::string_view name : kGroupAttributes) {
    const std::string key(name);
    if (const auto given = settings.group.find(key); given != settings.group.end()) {
      out.emplace_back(key, given->second);
    } else if (const xml::XmlNode* old = group ? group->attributes().GetNamedItem(key) : nullptr) {
      out.emplace_back(key, old->nodeValue());
    }
  }
  return out;
}

// One module's outcome before anything is moved into place.
struct Planned {
  ModuleReport report;
  EntryElement entry;
  fs::path package;  // in the staging folder; empty when the published one stays
  fs::path deltaPackage;  // in the staging folder; empty when none is offered
};

std::string VersionFor(const BuildOptions& options, const std::string& name, const std::string& previous) {
  if (!options.version) return NextVersion(previous, options.now);
  if (!engine::IsVersionGreater(*options.version, previous)) {
    throw PublishError("版本“" + *options.version + "”不大于模块“" + name + "”已发布的版本“" + previous +
                       "”，客户端不会更新它。");
  }
  return *options.version;
}

// The package the entry names in the server folder; empty when its name
// cannot be one.
fs::path PublishedPath(const fs::path& packages, const engine::ManifestEntry& entry) {
  if (!platform::IsPlainRelativePath(entry.fileName)) return {};
  std::string relative = entry.fileName;
  for (char& c : relative) c = c == '\\' ? '/' : c;
  return packages / InClientCodePage(relative);
}

// Whether the package the entry names is in the server folder and holds
// exactly these bytes.
bool Published(const fs::path& packages, const engine::ManifestEntry& entry, const PackageDigest& digest) {
  const fs::path published = PublishedPath(packages, entry);
  return !published.empty() && fs::is_regular_file(published) && fs::file_size(published) == digest.size &&
         (entry.sha256.empty() || base::SameTextAscii(entry.sha256, digest.sha256)) &&
         HashFile(published.string()).sha256 == digest.sha256;
}

// The Rollout a published entry gets: an unchanged one keeps its own, a new
// version the one asked for (none: at once to every machine).
void AddRollout(AttributeList& attributes, const BuildOptions& options, const engine::ManifestEntry* kept) {
  if (kept && kept->rollout) attributes.emplace_back("Rollout", *kept->rollout);
  if (!kept && options.rollout) attributes.emplace_back("Rollout", std::to_string(*options.rollout));
}

// A delta from the previous package, when that is still on the server as
// the previous manifest recorded it and the delta is worth it.
void OfferDelta(Planned& plan, AttributeList& attributes, const ReleaseModule& module, const engine::ManifestEntry& old,
                const PackageDigest& full, const StagingFolder& staging, const fs::path& packages) {
  const fs::path previous = PublishedPath(packages, old);
  if (previous.empty() || !fs::is_regular_file(previous)) return;
  if (!old.sha256.empty() && !base::SameTextAscii(old.sha256, HashFile(previous.string()).sha256)) return;
  std::optional<DeltaOffer> offer;
  try {
    offer = MakeDeltaOffer(module, previous, full, staging / kDeltaWorkName / module.name);
  } catch (const PublishError&) {
    return;  // a previous package that does not unpack: clients get the full package, as without deltas
  }
  if (!offer) return;
  plan.report.deltaFileName = offer->fileName;
  plan.deltaPackage = staging / InClientCodePage(offer->fileName);
  fs::rename(offer->package, plan.deltaPackage);
  AddDeltaAttributes(attributes, *offer, old.version);
}

Planned Plan(const BuildOptions& options, const ReleaseModule& module, const Settings& settings,
             const Previous& previous, const std::string& mainFile, const StagingFolder& staging,
             const fs::path& packages) {
  const fs::path built = staging / kBuiltName / InClientCodePage(PlainPackageName(module.name));
  const PackageDigest digest = WritePackage(module, built.string());
  const engine::ManifestEntry* old = previous.Entry(module.name);
  const auto given = settings.modules.find(module.name);
  AttributeList attributes = EntryAttributes(given == settings.modules.end() ? nullptr : &given->second, old);
  const bool plain = NeedsPlainName(module.name, attributes, mainFile);
  // An unchanged package keeps its name, unless it may no longer have it.
  const bool same = old && (!plain || old->fileName == PlainPackageName(module.name)) &&
                    Published(packages, *old, digest);
  const std::string fileName = same    ? old->fileName
                               : plain ? PlainPackageName(module.name)
                                       : ContentPackageName(module.name, digest.sha256);

  Planned plan;
  plan.report.name = module.name;
  plan.report.oldVersion = old ? old->version : "";
  plan.report.change = same ? Change::Unchanged : old ? Change::Changed : Change::Added;
  plan.report.newVersion = same ? old->version : VersionFor(options, module.name, plan.report.oldVersion);
  if (!same) {
    plan.package = staging / InClientCodePage(fileName);
    fs::rename(built, plan.package);
  }
  attributes.insert(attributes.begin() + 1, {"Version", plan.report.newVersion});
  attributes.insert(attributes.begin() + 2, {"FileName", fileName});
  attributes.emplace_back("SHA256", digest.sha256);
  attributes.emplace_back("Size", std::to_string(digest.size));
  AddRollout(attributes, options, same ? old : nullptr);
  if (!same && old) OfferDelta(plan, attributes, module, *old, digest, staging, packages);
  plan.entry = {module.name, std::move(attributes)};
  return plan;
}

std::string MainFileOf(const AttributeList& group) {
  for (const auto& [name, value] : group) {
    if (name == "mainfile") return value;
  }
  return {};
}

void CheckSettingsName(const Settings& settings, const std::vector<ReleaseModule>& modules) {
  for (const auto& [name, attributes] : settings.modules) {
    bool found = false;
    for (const ReleaseModule& m : modules) found = found || m.name == name;
    if (!found) throw PublishError("设置文件中的模块“" + name + "”不在发布文件夹中。");
  }
}

// The template to publish: the one given, else the server folder's own (so
// that a key signs it too); nullopt when there is none.
std::optional<std::string> TemplateBytes(const BuildOptions& options, const fs::path& server) {
  const std::string path = options.templatePath ? *options.templatePath
                                                : (server / std::string(engine::kConfigTemplateName)).string();
  std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes && !options.templatePath) return std::nullopt;
  const auto doc = bytes ? engine::LoadXmlFromBytes(*bytes) : nullptr;
  const xml::XmlNode* root = doc ? doc->documentElement() : nullptr;
  if (!root || root->nodeName() != "data") {
    throw PublishError("配置模板“" + path + "”无法读取或不是客户端配置（根元素应为 data）。");
  }
  return bytes;
}

// Packages first, then the template, then the manifest, each document after
// its signature, each by rename.
void Commit(const std::vector<Planned>& plans, const fs::path& server, const StagingFolder& staging,
            const std::string& manifest, const std::optional<std::string>& configTemplate,
            const std::optional<platform::SigningKey>& key) {
  const fs::path packages = server / std::string(engine::kPackageFolder);
  fs::create_directories(packages);
  for (const Planned& plan : plans) {
    if (!plan.package.empty()) fs::rename(plan.package, packages / plan.package.filename());
    if (!plan.deltaPackage.empty()) fs::rename(plan.deltaPackage, packages / plan.deltaPackage.filename());
  }
  if (configTemplate) PublishSigned(server, staging, std::string(engine::kConfigTemplateName), *configTemplate, key);
  PublishSigned(server, staging, std::string(engine::kManifestName), manifest, key);
}

}  // namespace

std::vector<ModuleReport> Build(const BuildOptions& options) {
  const std::vector<ReleaseModule> modules = ScanRelease(options.releaseDir);
  const Settings settings = options.settingsPath ? ReadSettings(*options.settingsPath) : Settings{};
  CheckSettingsName(settings, modules);
  const std::optional<platform::SigningKey> key = ReadKey(options.keyPath);
  const fs::path server(options.serverDir);
  if (!fs::is_directory(server)) throw PublishError("服务器文件夹“" + options.serverDir + "”不存在。");
  const Previous previous = ReadPrevious(server / std::string(engine::kManifestName), options.app);
  const std::optional<std::string> configTemplate = TemplateBytes(options, server);

  const std::optional<std::string> replaced = platform::ReadWholeFile((server / std::string(engine::kManifestName)).string());

  StagingFolder staging(server / kStagingName);
  fs::create_directories(staging / kBuiltName);
  const AttributeList group = GroupAttributes(settings, previous, options.app);
  const fs::path packages = server / std::string(engine::kPackageFolder);
  std::vector<Planned> plans;
  std::vector<EntryElement> entries;
  for (const ReleaseModule& module : modules) {
    plans.push_back(Plan(options, module, settings, previous, MainFileOf(group), staging, packages));
    entries.push_back(plans.back().entry);
  }
  const std::string manifest = ManifestBytes(previous.doc.get(), options.app, group, entries,
                                             NextFreshness(previous.doc.get(), options.now, options.expiresDays));
  Commit(plans, server, staging, manifest, configTemplate, key);
  RecordManifest(server, replaced, manifest);

  std::vector<ModuleReport> reports;
  for (const Planned& plan : plans) reports.push_back(plan.report);
  for (const auto& old : previous.entries) {
    bool kept = false;
    for (const Planned& plan : plans) kept = kept || base::SameTextAscii(plan.report.name, old->name);
    if (!kept) reports.push_back({old->name, Change::Removed, old->version, "", ""});
  }
  return reports;
}

std::string Refresh(const RefreshOptions& options) {
  const fs::path server(options.serverDir);
  const fs::path manifestPath = server / std::string(engine::kManifestName);
  if (!fs::exists(manifestPath)) throw PublishError("服务器文件夹“" + options.serverDir + "”中没有更新说明。");
  const std::optional<platform::SigningKey> key = ReadKey(options.keyPath);
  const Previous previous = ReadPrevious(manifestPath, "");
  const std::optional<std::string> replaced = platform::ReadWholeFile(manifestPath.string());
  const AttributeList root = NextFreshness(previous.doc.get(), options.now, options.expiresDays);
  const std::string manifest = ManifestWithRoot(*previous.doc, root);
  {
    StagingFolder staging(server / kStagingName);
    PublishSigned(server, staging, std::string(engine::kManifestName), manifest, key);
  }
  RecordManifest(server, replaced, manifest);
  return root.front().second;
}

std::string ChangeTable(const std::vector<ModuleReport>& reports) {
  static const char* const kWords[] = {"新增", "更新", "未变", "移除"};
  std::string out;
  for (const ModuleReport& r : reports) {
    out += std::string(kWords[static_cast<int>(r.change)]) + "  " + r.name + "  " +
           (r.oldVersion.empty() ? "-" : r.oldVersion) + " -> " + (r.newVersion.empty() ? "-" : r.newVersion) +
           (r.deltaFileName.empty() ? "" : "  差异包 " + r.deltaFileName) + "\n";
  }
  return out;
}

}  // namespace publish
