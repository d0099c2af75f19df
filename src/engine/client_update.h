#pragma once
// The update engine of one run: finds the machine's folders, reads (or fetches
// once) the client configuration kept per update server, fetches the server
// manifest, decides what needs updating, downloads the packages and installs
// them.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/client_file_info.h"
#include "engine/environment.h"

namespace xml {
class XmlDocument;
class XmlNode;
}
namespace zip {
class TUnZipper;
}

namespace engine {

using TFileList = std::vector<std::shared_ptr<const TClientFileInfo>>;
// Steps done and steps in all.
using TProgressEvent = std::function<void(std::int32_t done, std::int32_t total)>;

class TClientUpdate {
 public:
  // Never fails towards the caller: a failure during set-up is shown in a
  // message box and the engine keeps what it had gathered by then.
  TClientUpdate(const std::string& serverUrl, const Environment& env);
  ~TClientUpdate();
  TClientUpdate(const TClientUpdate&) = delete;
  TClientUpdate& operator=(const TClientUpdate&) = delete;

  // The server file of that name, parsed; null when there is no server
  // address or the answer is empty. Fetch failures pass on to the caller.
  std::unique_ptr<xml::XmlDocument> GetServerXML(const std::string& fileName);

  // Builds the update list for the application; true when it is not empty.
  bool CheckUpdate(const std::string& appName);
  // Stores one package in the staging folder; false after a failure that
  // has been shown to the user.
  bool DownloadPackage(const std::string& fileName);

  // Appends one entry per element child of data/<appName> of the document.
  static void ReadFileList(TFileList& list, const xml::XmlDocument* doc, const std::string& appName);
  // Appends the server entries that are not in the client configuration,
  // newer and replaceable, or missing on disk.
  void BuildUpdateList(const TFileList& server, const TFileList& client, const std::string& appDir,
                       bool hasBDE, TFileList& updateList) const;
  bool IsFilePresent(const std::string& name, const std::string& setupPath) const;
  static std::int32_t IndexOfFile(const TFileList& list, const std::string& name);

  // Downloads and installs the update list and records the result in the
  // client configuration. Raises when a step fails that it does not handle
  // itself (trace file, configuration); returns true otherwise.
  bool InstallUpdate();
  // Unpacks one package into the target folder. True when every file of it
  // is in place (files kept by the overwrite rule count as in place); false
  // when the archive is missing or damaged or a file could not be written.
  bool ExtractPackage(zip::TUnZipper& zipper, const std::string& packagePath, bool replace,
                      const std::string& targetDir);
  void CreateAppShortcut(const std::string& appName);
  void CreateDesktopLink(const std::string& target, const std::string& title);

  // Fields, read by the installation and by tests.
  std::string FServerUrl;
  std::string FConfigDir;  // program folder, trimmed
  std::string FAppDir;     // program folder with its trailing backslash
  bool FHasBDE = false;
  TFileList FUpdateList;
  std::unique_ptr<xml::XmlDocument> FServerDoc;
  std::unique_ptr<xml::XmlDocument> FClientDoc;
  std::string FAppName;
  TProgressEvent FOnProgress;
  std::string FWinDir;  // with a trailing backslash
  std::string FSysDir;  // with a trailing backslash
  // The client configuration file set-up read or wrote; the installation
  // reloads and saves this same file.
  std::string FConfigPath;

 private:
  void SetUp();
  bool IsPresent(const std::string& name, const std::string& setupPath, const std::string& appDir,
                 bool hasBDE) const;
  void Progress(std::int32_t done, std::int32_t total);
  void SetEntryAttr(xml::XmlNode* app, const std::string& entryName, const std::string& attrName,
                    const std::string& value);
  void SyncEntryVersions(const std::unordered_set<std::string>& notInstalled);
  const Environment& env_;
};

// Caption of the engine's own message boxes.
inline constexpr const char* kEngineCaption = "AutoUpdate";
// Where packages are staged before they are unpacked.
inline constexpr const char* kStagingFolder = "C:\\temp";

}  // namespace engine
