// Recording an installation in the client configuration: the installation
// folder, the application element, and the version, setup path and script of
// every entry that installed.
#include <unordered_map>

#include "base/text.h"
#include "engine/installation.h"
#include "engine/server_address.h"
#include "engine/update_engine.h"
#include "engine/xml_routines.h"
#include "xml/xml_document.h"
#include "xml/xml_writer.h"

namespace engine {
namespace {

class ConfigMissingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// data/setup: created with its path, or an existing path attribute updated.
void RecordSetup(xml::XmlDocument& doc, xml::XmlNode* root, const std::string& installRoot) {
  if (xml::XmlNode* setup = root->SelectSingleNode("setup")) {
    SetExistingAttribute(setup, "path", installRoot);
    return;
  }
  AddAttribute(doc, *root->AppendChild(doc.CreateElement("setup")), "path", installRoot);
}

}  // namespace

void UpdateEngine::Record(const Installation& run) {
  // The file is the one set-up read; the address look-up is traced all the
  // same, with the address the run used.
  ConfigFileNameTraced();
  config_ = LoadXmlFile(configPath_);
  xml::XmlNode* root = config_->documentElement();
  if (!root) throw ConfigMissingError("客户端配置文件“" + configPath_ + "”不存在或无法读取，无法记录更新结果。");
  RecordSetup(*config_, root, run.installRoot);
  xml::XmlNode* app = RecordApplication(root, run);
  for (const auto& e : updates_) {
    if (run.notInstalled.count(base::UpperAscii(e->name))) continue;
    SetEntryAttribute(app, e->name, "version", e->version);
    SetEntryAttribute(app, e->name, "setupPath", e->setupPath);
    SetEntryAttribute(app, e->name, "script", e->script);
  }
  SyncEntryVersions(run.notInstalled);
  // The journal knows what is about to be written: a run killed from here on
  // keeps the packages the configuration then records.
  const std::string bytes = xml::EncodeDocument(*config_);
  run.journal->Recording(configPath_, bytes);
  xml::SaveEncoded(configPath_, bytes);
}

// The application element: created with its title, main file and desktop
// flag, or an existing main-file attribute updated.
xml::XmlNode* UpdateEngine::RecordApplication(xml::XmlNode* root, const Installation& run) {
  xml::XmlNode* app = root->SelectSingleNode(appName_);
  if (app) {
    if (!run.mainFilePath.empty()) SetExistingAttribute(app, "mainfile", run.mainFilePath);
    return app;
  }
  app = root->AppendChild(config_->CreateElement(appName_));
  AddAttribute(*config_, *app, "name", run.appTitle);
  AddAttribute(*config_, *app, "mainfile", run.mainFilePath);
  AddAttribute(*config_, *app, "IsDesktop", run.desktopFlag);
  return app;
}

void UpdateEngine::SetEntryAttribute(xml::XmlNode* app, const std::string& entryName, const std::string& attrName,
                                     const std::string& value) {
  xml::XmlNode* entry = config_->SelectSingleNode("data/" + appName_ + "/" + entryName);
  if (!entry) entry = app->AppendChild(config_->CreateElement(entryName));
  if (xml::XmlNode* attr = entry->attributes().GetNamedItem(attrName)) {
    attr->SetNodeValue(value);
  } else {
    AddAttribute(*config_, *entry, attrName, value);
  }
}

// Every element of every application named like an installed entry gets its
// new version, where it has a "version" attribute.
void UpdateEngine::SyncEntryVersions(const std::unordered_set<std::string>& notInstalled) {
  const xml::XmlNode* data = config_->SelectSingleNode("data");
  if (!data) return;
  // First update-list entry per upper-cased name, as a linear search would find.
  std::unordered_map<std::string, const ManifestEntry*> firstByName;
  for (const auto& e : updates_) firstByName.emplace(base::UpperAscii(e->name), e.get());
  for (const xml::XmlNode* group : data->childNodes()) {
    if (!group->hasChildNodes()) continue;
    for (xml::XmlNode* child : group->childNodes()) {
      const std::string upper = base::UpperAscii(child->nodeName());
      auto found = firstByName.find(upper);
      if (found == firstByName.end() || notInstalled.count(upper)) continue;
      if (xml::XmlNode* version = child->attributes().GetNamedItem("version")) {
        version->SetNodeValue(found->second->version);
      }
    }
  }
}

}  // namespace engine
