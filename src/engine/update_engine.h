#pragma once
// The update engine of one run: finds the machine's folders, reads (or fetches
// once) the client configuration kept per update server, fetches the server
// manifest, decides what needs updating, downloads the packages and installs
// them.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/manifest_entry.h"
#include "engine/presence.h"
#include "engine/services.h"
#include "engine/set_up_outcome.h"

namespace xml {
class XmlDocument;
class XmlNode;
}
namespace zip {
class IExtractionTarget;
}

namespace engine {

class StagedPackage;
class InstallJournal;
struct RolloutMachine;

// Whether a server that this machine has never used may be used without
// asking: the client program names its own server, a web page does not.
enum class NewServer { Trusted, AskFirst };

using ManifestEntries = std::vector<std::shared_ptr<const ManifestEntry>>;
// Steps done and steps in all.
using ProgressCallback = std::function<void(std::int32_t done, std::int32_t total)>;

class UpdateEngine {
 public:
  // Only keeps its inputs: nothing is read or fetched before SetUp.
  UpdateEngine(const std::string& serverUrl, const Services& services, NewServer newServer = NewServer::Trusted);
  ~UpdateEngine();
  UpdateEngine(const UpdateEngine&) = delete;
  UpdateEngine& operator=(const UpdateEngine&) = delete;

  // Finds the machine's folders, recovers an interrupted installation, reads
  // or fetches the client configuration and fetches the manifest. Throws
  // only ServerRefused; any other failure comes back, and the engine goes on
  // with what it had gathered by then.
  [[nodiscard]] std::optional<SetUpFailure> SetUp();
  // Builds the update list for the application; true when it is not empty.
  bool CheckForUpdates(const std::string& appName);
  // Downloads and installs the update list and records the result in the
  // client configuration. Raises when a step fails that it does not handle
  // itself (trace file, configuration); returns true otherwise.
  bool Install();
  // Called with steps done and steps in all while Install runs.
  void SetProgressCallback(ProgressCallback callback) { onProgress_ = std::move(callback); }

  // The steps, for tests of each.
  // The server file of that name, parsed; null when there is no server
  // address or the answer is empty. Fetch failures pass on to the caller.
  std::unique_ptr<xml::XmlDocument> FetchServerDocument(const std::string& fileName);
  // Stores the entry's package in the staging folder, checked against what
  // the manifest says was published, and held there until it is unpacked;
  // null after a failure the user has been told of.
  std::shared_ptr<StagedPackage> DownloadPackage(const ManifestEntry& entry);
  // Unpacks one package into the target folder. True when every file of it
  // is in place (files kept by the overwrite rule count as in place); false
  // when the archive is missing or damaged or a file could not be written.
  // With a journal the package is one transaction: undone when it fails;
  // without one, `record` (if any) is told of every file written.
  // `failure` says why, for the user, when a file of it could not be put in
  // place or the archive could not be read.
  bool UnpackPackage(InstallJournal* journal, StagedPackage& package, bool replace, const std::string& targetDir,
                     std::string& failure, zip::IExtractionTarget* record = nullptr);
  void CreateShortcut(const std::string& appName);
  void CreateDesktopLink(const std::string& target, const std::string& title);

  // Appends one entry per element child of data/<appName> of the document.
  static void ReadEntries(ManifestEntries& list, const xml::XmlDocument* doc, const std::string& appName);
  // Index of the first entry of that name, ASCII letter case ignored; -1.
  static std::int32_t IndexOfEntry(const ManifestEntries& list, const std::string& name);

  // What set-up found, and the last check's choice.
  const std::string& serverUrl() const { return serverUrl_; }
  const std::string& configDir() const { return configDir_; }  // program folder, trimmed
  const Folders& folders() const { return folders_; }
  // Only administrators can write there: the staging folder, this
  // installation's journal and the database-engine setup's folders.
  const std::string& privateFolder() const { return privateFolder_; }
  std::string JournalPath() const;
  bool hasDatabaseEngine() const { return hasDatabaseEngine_; }
  const xml::XmlDocument* manifest() const { return manifest_.get(); }
  const xml::XmlDocument* config() const { return config_.get(); }
  // The client configuration file set-up read or wrote; the installation
  // reloads and saves this same file.
  const std::string& configPath() const { return configPath_; }
  const ManifestEntries& updates() const { return updates_; }
  const std::string& appName() const { return appName_; }

 private:
  struct Installation;
  void Gather();
  void TakeMirrors();
  // The client configuration's name for the server, the look-up traced.
  std::string ConfigFileNameTraced() const;
  void PreparePrivateFolders();
  void UseTemplate(const std::string& bytes);
  bool ApprovedFirstUse();
  void TakeAddressFromConfig();
  void FetchManifest();
  void CheckFreshness(const xml::XmlDocument& manifest, const std::string& bytes);
  std::string FetchServerBytes(const std::string& fileName);
  // Appends the server entries that are not in the client configuration,
  // newer and replaceable (once this machine's turn in a staged rollout has
  // come), or missing on disk.
  void ChooseUpdates(const ManifestEntries& server, const ManifestEntries& client);
  // Whether a newer version of the entry reaches this machine yet (rollout.h).
  bool TakesInRollout(const RolloutMachine& machine, const ManifestEntry& entry);
  // DownloadPackage without a word to the user: null after a failure, and
  // why.
  std::shared_ptr<StagedPackage> FetchPackage(const ManifestEntry& entry, std::string& why);
  void Progress(std::int32_t done, std::int32_t total);
  void DownloadAll(Installation& run);
  void UnpackAll(Installation& run);
  void UnpackEntry(Installation& run, std::int32_t index);
  bool UnpackEntryPackage(Installation& run, const ManifestEntry& entry, StagedPackage* staged,
                          std::string& failure);
  bool HoldDatabaseEngineSetup(Installation& run);
  const std::string& TargetFolderOf(const ManifestEntry& entry) const;
  // A component to register once everything is recorded.
  void NoteRegistration(Installation& run, const ManifestEntry& entry) const;
  // Fetches the entry's delta package when one is to be tried; false when
  // the full package is needed.
  bool DownloadDelta(Installation& run, std::int32_t index);
  // Installs the entry from its delta package, if one came, as one package
  // transaction; false (nothing of it left) when the full package is needed,
  // which is then fetched if it was not.
  bool InstalledFromDelta(Installation& run, std::int32_t index);
  void RunAutoRun(const ManifestEntry& entry);
  void Record(const Installation& run);
  xml::XmlNode* RecordApplication(xml::XmlNode* root, const Installation& run);
  void RegisterComponents(const Installation& run);
  void RunDatabaseEngineSetup(Installation& run);
  void SetEntryAttribute(xml::XmlNode* app, const std::string& entryName, const std::string& attrName,
                         const std::string& value);
  void SyncEntryVersions(const std::unordered_set<std::string>& notInstalled);

  const Services& services_;
  NewServer newServer_;
  bool declined_ = false;  // the user said No to the first use of the server
  std::string serverUrl_;
  std::string configDir_;
  std::string privateFolder_;
  Folders folders_;
  bool hasDatabaseEngine_ = false;
  ManifestEntries updates_;
  std::unique_ptr<xml::XmlDocument> manifest_;
  std::unique_ptr<xml::XmlDocument> config_;
  std::string appName_;
  ProgressCallback onProgress_;
  std::string configPath_;
  std::vector<std::string> mirrors_;  // branch mirrors, in the order they are tried
  // The version the client configuration records for each entry of the
  // server manifest it names, by upper-cased name.
  std::unordered_map<std::string, std::string> recordedVersions_;
};

// Below the machine's program-data folder: the updater's private folder and
// the staging folder in it.
inline constexpr const char* kPrivateFolder = "ZEPRA\\AutoUpdate";
inline constexpr const char* kStagingFolderName = "staging";
// Below the private folder: where a delta package is unpacked while it is
// applied; gone again when it has been.
inline constexpr const char* kDeltaWorkFolderName = "delta";

}  // namespace engine
