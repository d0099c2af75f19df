#include "engine/update_engine.h"

#include "engine/package_transaction.h"

#include <ctime>
#include <exception>
#include <optional>
#include <stdexcept>

#include "base/hex.h"
#include "base/text.h"
#include "engine/database_engine.h"
#include "engine/manifest_freshness.h"
#include "engine/manifest_signature.h"
#include "engine/mirror_list.h"
#include "engine/paths.h"
#include "engine/server_address.h"
#include "engine/server_layout.h"
#include "engine/trace_file.h"
#include "engine/user_notices.h"
#include "engine/xml_routines.h"
#include "http/capped_string_sink.h"
#include "http/fetcher.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "xml/xml_document.h"

namespace engine {
namespace {

constexpr const char* kSignatureTraceKey = "清单签名";
constexpr const char* kTemplateTraceKey = "配置模板签名";
constexpr const char* kFreshnessTraceKey = "清单时效";
// A client configuration that records nothing yet.
constexpr const char* kEmptyConfiguration = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<data/>\r\n";

// A manifest that must not be used: the problem found, as for the trace.
class UntrustedManifestError : public std::runtime_error {
 public:
  UntrustedManifestError(SetUpFailure::Kind kind, const std::string& problem)
      : std::runtime_error(problem), kind_(kind) {}
  SetUpFailure::Kind kind() const { return kind_; }

 private:
  SetUpFailure::Kind kind_;
};

}  // namespace

UpdateEngine::UpdateEngine(const std::string& serverUrl, const Services& services, NewServer newServer)
    : services_(services), newServer_(newServer), serverUrl_(serverUrl) {}

UpdateEngine::~UpdateEngine() = default;

std::optional<SetUpFailure> UpdateEngine::SetUp() {
  if (newServer_ == NewServer::AskFirst && !IsClearWebAddress(serverUrl_)) {
    throw ServerRefused(ServerRefused::Reason::UnclearAddress, serverUrl_);
  }
  std::optional<SetUpFailure> failure;
  try {
    Gather();
  } catch (const UntrustedManifestError& e) {
    failure = SetUpFailure{e.kind(), e.what(), std::string(kManifestName)};
  } catch (const BadServerAddress& e) {
    failure = SetUpFailure{SetUpFailure::Kind::UnusableAddress, e.address(), {}};
  } catch (const std::exception& e) {
    failure = SetUpFailure{SetUpFailure::Kind::Error, e.what(), {}};
  }
  if (declined_) throw ServerRefused(ServerRefused::Reason::Declined, serverUrl_);
  return failure;
}

void UpdateEngine::Gather() {
  TakeMirrors();
  folders_.app = FolderOf(services_.programPath);
  folders_.system = platform::SystemDirectory() + "\\";
  folders_.windows = platform::WindowsDirectory() + "\\";
  PreparePrivateFolders();
  // A run killed in the middle of a package left its journal: the package's
  // folders go back to how they were before anything else looks at them.
  // (Earlier versions kept the journal in the program's folder.)
  const std::vector<std::string> targets{folders_.app, folders_.system, folders_.windows, folders_.staging};
  RecoverFromJournal(JoinPath(folders_.app, kLegacyJournalName), targets);
  RecoverFromJournal(JournalPath(), targets);
  // And what it unpacked of a delta package goes too.
  platform::RemoveFolderTree(JoinPath(privateFolder_, kDeltaWorkFolderName));
  hasDatabaseEngine_ = IsDatabaseEngineInstalled(services_.registry);
  configDir_ = base::Trimmed(folders_.app);

  configPath_ = JoinPath(configDir_, ConfigFileNameTraced());
  if (platform::FileExists(configPath_)) {
    config_ = LoadXmlFile(configPath_);
  } else {
    if (!ApprovedFirstUse()) return;
    const std::string bytes = FetchServerBytes(std::string(kConfigTemplateName));
    if (!bytes.empty()) UseTemplate(bytes);
  }
  if (serverUrl_.empty() && config_) TakeAddressFromConfig();
  FetchManifest();
}

// The branch mirrors configured on this machine; the trace names those used
// and those ignored.
void UpdateEngine::TakeMirrors() {
  const std::optional<MirrorList> list = ConfiguredMirrors(services_.registry);
  if (!list) return;
  const TraceFile& trace = services_.trace;
  if (!list->ignored.empty()) trace.Write("镜像.已忽略", MirrorsShown(list->ignored));
  trace.Write("镜像", list->addresses.empty() ? "无可用地址" : MirrorsShown(list->addresses));
  mirrors_ = list->addresses;
}

// The address's host and port are traced before an address that names no
// plain file is refused.
std::string UpdateEngine::ConfigFileNameTraced() const {
  const TraceFile& trace = services_.trace;
  const std::string host = UrlHost(serverUrl_);
  const std::string port = UrlPort(serverUrl_);
  trace.Write("取IP-url", serverUrl_);
  trace.Write("取IP", host);
  trace.Write("取端口-url", serverUrl_);
  trace.Write("取端口", port);
  trace.Write("host", host);
  trace.Write("port", port);
  return ConfigFileName(serverUrl_);
}

// Every user of the machine may write to the usual temporary folders; what
// the updater stages, journals and starts as administrator lies where only
// administrators can write, each folder on the way checked.
void UpdateEngine::PreparePrivateFolders() {
  const std::string programData = services_.programData();
  privateFolder_ = platform::EnsurePrivateFolder(programData, kPrivateFolder);
  folders_.staging =
      platform::EnsurePrivateFolder(programData, std::string(kPrivateFolder) + "\\" + kStagingFolderName) + "\\";
}

std::string UpdateEngine::JournalPath() const { return JournalPathFor(privateFolder_, folders_.app); }

// Only a real configuration becomes the local file: an error page of the
// server must not stand in for it on every later run. Where publisher keys
// are configured it must be signed too: its main file becomes the desktop
// shortcut and its versions decide what is installed.
void UpdateEngine::UseTemplate(const std::string& bytes) {
  std::unique_ptr<xml::XmlDocument> fetched = LoadXmlFromBytes(bytes);
  const xml::XmlNode* root = fetched->documentElement();
  if (!root || root->nodeName() != "data") return;
  if (const std::optional<PublisherKeys> keys = ConfiguredPublisherKeys(services_.registry)) {
    const std::string signatureName = std::string(kConfigTemplateName) + std::string(kSignatureSuffix);
    const std::string problem = SignatureProblem(*keys, bytes, FetchServerBytes(signatureName));
    services_.trace.Write(kTemplateTraceKey, problem.empty() ? "已校验" : "未通过：" + problem + "；改用空白配置");
    if (!problem.empty()) fetched = LoadXmlFromBytes(kEmptyConfiguration);
  }
  config_ = std::move(fetched);
  config_->Save(configPath_);
}

// A server named by a web page and never used on this machine (it has no
// configuration file here yet) is used only when the user says so, unless
// publisher keys are configured: then only a manifest one of them signed is
// used, whichever server it comes from.
bool UpdateEngine::ApprovedFirstUse() {
  if (newServer_ != NewServer::AskFirst || serverUrl_.empty()) return true;
  if (ConfiguredPublisherKeys(services_.registry)) return true;
  if (services_.notices.ApprovesFirstUse(serverUrl_)) return true;
  declined_ = true;  // SetUp raises ServerRefused
  return false;
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

// The manifest, and where publisher keys are configured, the proof that one
// of them signed exactly these bytes: without it nothing is installed.
void UpdateEngine::FetchManifest() {
  std::string bytes = FetchServerBytes(std::string(kManifestName));
  if (bytes.empty()) return;
  // Without keys nothing is checked, and the trace says nothing about it.
  const std::optional<PublisherKeys> keys = ConfiguredPublisherKeys(services_.registry);
  if (keys) {
    const std::string signatureName = std::string(kManifestName) + std::string(kSignatureSuffix);
    std::string problem = SignatureProblem(*keys, bytes, FetchServerBytes(signatureName));
    // Publishing replaces the signature just before the manifest: a run that
    // read the old manifest and then the new signature reads both once more.
    if (problem == kSignatureMismatch) {
      bytes = FetchServerBytes(std::string(kManifestName));
      problem = SignatureProblem(*keys, bytes, FetchServerBytes(signatureName));
    }
    services_.trace.Write(kSignatureTraceKey, problem.empty() ? "已校验" : "未通过：" + problem);
    if (!problem.empty()) {
      throw UntrustedManifestError(SetUpFailure::Kind::UnsignedManifest, problem);
    }
  }
  std::unique_ptr<xml::XmlDocument> manifest = LoadXmlFromBytes(bytes);
  if (keys) CheckFreshness(*manifest, bytes);
  manifest_ = std::move(manifest);
}

// A signed manifest proves who wrote it, not when: one older than the last
// this machine accepted from the server, or past its expiry, is refused, so
// that nobody on the way can hold the machine at an old release.
void UpdateEngine::CheckFreshness(const xml::XmlDocument& manifest, const std::string& bytes) {
  const std::string server = ServerKey(serverUrl_);
  platform::Sha256 hash;
  hash.Update(bytes);
  const std::string digest = base::ToHex(hash.Finish());
  ManifestAge age;
  std::string problem;
  try {
    age = ReadManifestAge(manifest);
    problem = FreshnessProblem(age, ReadAccepted(services_.registry, server), digest, std::time(nullptr),
                               ClockMarginMinutes(services_.registry));
  } catch (const std::runtime_error& e) {
    problem = e.what();
  }
  services_.trace.Write(kFreshnessTraceKey, !problem.empty() ? "未通过：" + problem
                                            : age.serial   ? "已接受：序号 " + std::to_string(*age.serial)
                                                           : "无序号");
  if (!problem.empty()) {
    throw UntrustedManifestError(SetUpFailure::Kind::StaleManifest, problem);
  }
  if (age.serial) RememberAccepted(services_.registry, server, {*age.serial, digest});
}

std::string UpdateEngine::FetchServerBytes(const std::string& fileName) {
  std::string body;
  if (serverUrl_.empty()) return body;
  http::CappedStringSink sink(body, fileName);
  services_.fetcher.Fetch(ServerFileUrl(serverUrl_, fileName), sink);
  return body;
}

std::unique_ptr<xml::XmlDocument> UpdateEngine::FetchServerDocument(const std::string& fileName) {
  const std::string body = FetchServerBytes(fileName);
  if (body.empty()) return nullptr;
  return LoadXmlFromBytes(body);
}

}  // namespace engine
