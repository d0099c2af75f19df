#include "engine/client_update.h"

#include <exception>

#include "engine/paths.h"
#include "engine/server_address.h"
#include "engine/system_routines.h"
#include "engine/xml_routines.h"
#include "http/http_file.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "xml/xml_document.h"

namespace engine {

TClientUpdate::TClientUpdate(const std::string& serverUrl, const Environment& env) : env_(env) {
  FServerUrl = serverUrl;
  try {
    SetUp();
  } catch (const std::exception& e) {
    env_.messageBox.Show(e.what(), kEngineCaption, platform::MbOk);
  }
}

TClientUpdate::~TClientUpdate() = default;

void TClientUpdate::SetUp() {
  FAppDir = FolderOf(platform::ProgramPath());
  FHasBDE = IsBDEInstalled(env_.registry);
  FSysDir = platform::SystemDirectory() + "\\";
  FWinDir = platform::WindowsDirectory() + "\\";
  FConfigDir = Trim(FAppDir);

  const std::string localPath = JoinPath(FConfigDir, ClientConfigName(FServerUrl));
  FConfigPath = localPath;
  if (platform::FileExists(localPath)) {
    FClientDoc = LoadXmlFromFile(localPath);
  } else if (auto fetched = GetServerXML("AutoUpdateIniC.xml")) {
    // Only a real configuration becomes the local file: an error page of the
    // server must not stand in for it on every later run.
    const xml::XmlNode* root = fetched->documentElement();
    if (root && root->nodeName() == "data") {
      FClientDoc = std::move(fetched);
      FClientDoc->save(localPath);
    }
  }

  if (FServerUrl.empty() && FClientDoc) {
    if (const xml::XmlNode* source = FClientDoc->selectSingleNode("data/DataSource")) {
      const std::string address = GetAttrValue(source, "ServerURL", "");
      // The same rule as for an address given at start: the installation
      // looks this one up too.
      if (!IsUsableServerAddress(address)) throw EBadServerAddress(address);
      FServerUrl = address;
    }
  }

  FServerDoc = GetServerXML("AutoUpdateIniS.xml");
}

std::unique_ptr<xml::XmlDocument> TClientUpdate::GetServerXML(const std::string& fileName) {
  if (FServerUrl.empty()) return nullptr;
  const std::string url =
      FServerUrl.back() == '/' ? FServerUrl + fileName : FServerUrl + "/" + fileName;
  std::string body;
  {
    http::THTTPFile fetch(env_.internet);
    fetch.GetURLFile(url, body);
  }
  if (body.empty()) return nullptr;
  return LoadXmlFromStream(body);
}

}  // namespace engine
