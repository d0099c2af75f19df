#include "engine/update_engine.h"

#include <exception>

#include "engine/database_engine.h"
#include "engine/paths.h"
#include "engine/server_address.h"
#include "engine/server_layout.h"
#include "engine/xml_routines.h"
#include "http/fetcher.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "xml/xml_document.h"

namespace engine {

UpdateEngine::UpdateEngine(const std::string& serverUrl, const Services& services)
    : services_(services), serverUrl_(serverUrl) {
  try {
    SetUp();
  } catch (const std::exception& e) {
    services_.messageBox.Show(e.what(), kEngineCaption, platform::MbOk);
  }
}

UpdateEngine::~UpdateEngine() = default;

void UpdateEngine::SetUp() {
  folders_.app = FolderOf(services_.programPath);
  hasDatabaseEngine_ = IsDatabaseEngineInstalled(services_.registry);
  folders_.system = platform::SystemDirectory() + "\\";
  folders_.windows = platform::WindowsDirectory() + "\\";
  configDir_ = Trim(folders_.app);

  configPath_ = JoinPath(configDir_, ConfigFileName(serverUrl_, services_.trace));
  if (platform::FileExists(configPath_)) {
    config_ = LoadXmlFile(configPath_);
  } else if (auto fetched = FetchServerDocument(std::string(kConfigTemplateName))) {
    // Only a real configuration becomes the local file: an error page of the
    // server must not stand in for it on every later run.
    const xml::XmlNode* root = fetched->documentElement();
    if (root && root->nodeName() == "data") {
      config_ = std::move(fetched);
      config_->Save(configPath_);
    }
  }
  if (serverUrl_.empty() && config_) TakeAddressFromConfig();
  manifest_ = FetchServerDocument(std::string(kManifestName));
}

// With no address given, the configuration's data/DataSource names the server.
void UpdateEngine::TakeAddressFromConfig() {
  const xml::XmlNode* source = config_->SelectSingleNode("data/DataSource");
  if (!source) return;
  const std::string address = AttributeOr(source, "ServerURL", "");
  // The same rule as for an address given at start: the installation looks
  // this one up too.
  if (!IsUsableServerAddress(address)) throw BadServerAddress(address);
  serverUrl_ = address;
}

std::unique_ptr<xml::XmlDocument> UpdateEngine::FetchServerDocument(const std::string& fileName) {
  if (serverUrl_.empty()) return nullptr;
  std::string body;
  http::StringSink sink(body);
  services_.fetcher.Fetch(ServerFileUrl(serverUrl_, fileName), sink);
  if (body.empty()) return nullptr;
  return LoadXmlFromBytes(body);
}

}  // namespace engine
