// Installing the update list: download every package, unpack each into its
// folder, run AutoRun programs, record the new state in the client
// configuration, register components, run the database-engine setup, make the
// shortcut.
#include <exception>
#include <optional>
#include <unordered_set>

#include "base/text.h"
#include "engine/delta_offer.h"
#include "engine/folder_tokens.h"
#include "engine/installation.h"
#include "engine/package_transaction.h"
#include "engine/staged_package.h"
#include "engine/paths.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/user_notices.h"
#include "engine/xml_routines.h"
#include "platform/files.h"
#include "platform/os_error.h"
#include "platform/private_folder.h"
#include "platform/processes.h"
#include "xml/xml_document.h"
#include "zip/extract.h"
#include "zip/zip_errors.h"

namespace engine {
namespace {

// The updater lives in "<installation>\Update": the installation folder is
// its own folder less these 7 characters.
constexpr size_t kUpdateFolderLength = 7;
constexpr const char* kRegsvr32 = "regsvr32.exe";

// The text less its first ".zip", in any letter case.
std::string WithoutZipAnyCase(const std::string& text) {
  size_t p = base::FindTextAscii(text, ".zip");
  return p == std::string::npos ? text : text.substr(0, p) + text.substr(p + 4);
}

// The text less its first ".zip" written exactly so.
std::string WithoutZipLowerCase(const std::string& text) {
  size_t p = text.find(".zip");
  return p == std::string::npos ? text : text.substr(0, p) + text.substr(p + 4);
}

// The text with its first system-folder token (any letter case) replaced.
std::string ReplaceSystemToken(const std::string& text, const std::string& systemDir) {
  size_t p = base::FindTextAscii(text, kSystemFolderToken);
  return p == std::string::npos ? text : text.substr(0, p) + systemDir + text.substr(p + kSystemFolderToken.size());
}

std::string InstallRootOf(const std::string& programPath) {
  std::string folder = FolderOf(programPath);
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return WithoutLastAnsiBytes(folder, kUpdateFolderLength);
}

}  // namespace

void UpdateEngine::Progress(std::int32_t done, std::int32_t total) {
  if (onProgress_) onProgress_(done, total);
}

bool UpdateEngine::Install() {
  Installation run;
  run.count = static_cast<std::int32_t>(updates_.size());
  run.total = 2 * run.count;
  run.installRoot = InstallRootOf(services_.programPath);
  const xml::XmlNode* group = manifest_ ? manifest_->SelectSingleNode("data/" + appName_) : nullptr;
  run.mainFileName = AttributeOr(group, "mainfile", appName_ + ".exe");
  run.desktopFlag = AttributeOr(group, "IsDeskTop", "0");
  run.staged.resize(updates_.size());
  run.deltas.resize(updates_.size());
  run.deltaRefusals.resize(updates_.size());
  run.listedTwice = ListedTwice(updates_);  // once: a long list is not scanned per entry

  DownloadAll(run);
  UnpackAll(run);
  try {
    Record(run);
  } catch (...) {
    run.journal->Commit();  // nothing to record into: the files stay
    throw;
  }
  run.journal->Commit();
  RegisterComponents(run);
  // (The clean-up command "RD" names no program, so on a clean machine
  // starting it runs nothing; all it could ever start is a program planted
  // under that name, so it is not started at all.)
  RunDatabaseEngineSetup(run);
  if (run.desktopFlag == "1") CreateShortcut(appName_);
  Progress(run.total, run.total);
  return true;
}

// Every package first, one progress step each; a database-engine package only
// when the engine is missing.
void UpdateEngine::DownloadAll(Installation& run) {
  for (std::int32_t i = 0; i < run.count; ++i) {
    const ManifestEntry& e = *updates_[static_cast<size_t>(i)];
    const bool databaseEngine = e.setupPath == kDatabaseEngineToken;
    if (databaseEngine && hasDatabaseEngine_) continue;
    if (databaseEngine) run.databasePackage = e.fileName;
    if (DownloadDelta(run, i)) {
      Progress(i, run.total);
      continue;
    }
    // An entry listed twice comes twice: the earlier download lets go of
    // the file first, and both unpack the later one.
    const std::string path = JoinPath(folders_.staging, e.fileName);
    std::vector<size_t> earlier;
    for (size_t j = 0; j < static_cast<size_t>(i); ++j) {
      if (run.staged[j] && base::SameTextAscii(run.staged[j]->path(), path)) earlier.push_back(j);
    }
    for (size_t j : earlier) run.staged[j].reset();
    const std::shared_ptr<StagedPackage> staged = DownloadPackage(e);
    for (size_t j : earlier) run.staged[j] = staged;
    run.staged[static_cast<size_t>(i)] = staged;
    if (!staged) run.Failed(e);
    Progress(i, run.total);
  }
}

void UpdateEngine::UnpackAll(Installation& run) {
  run.journal = std::make_unique<InstallJournal>(JournalPath());
  for (std::int32_t i = 0; i < run.count; ++i) {
    UnpackEntry(run, i);
    Progress(run.count + i, run.total);
  }
}

void UpdateEngine::UnpackEntry(Installation& run, std::int32_t index) {
  const ManifestEntry& e = *updates_[static_cast<size_t>(index)];
  services_.trace.Write(e.fileName, e.version);
  std::string failure;
  const bool installed = InstalledFromDelta(run, index) ||
                         UnpackEntryPackage(run, e, run.staged[static_cast<size_t>(index)].get(), failure);
  if (OffersDelta(e)) {
    const std::string& why = run.deltaRefusals[static_cast<size_t>(index)];
    services_.trace.Write(e.name + ".安装方式", why.empty() ? "差异包" : "完整包：" + why);
  }
  run.staged[static_cast<size_t>(index)].reset();  // unpacked: no longer held
  if (!installed) run.Failed(e);
  // A package that came whole but could not be put in place says why; the
  // user would otherwise start the old modules believing them new.
  if (!failure.empty()) {
    services_.notices.ModuleNotInstalled(e.name, failure);
  }
  if (base::SameTextAscii(WithoutZipLowerCase(e.fileName), run.mainFileName)) {
    run.mainFilePath = JoinPath(folders_.app, run.mainFileName);
    run.appTitle = e.script;
  }
  if (installed && !e.autoRun.empty()) RunAutoRun(e);
}

// Unpacks a downloaded package into the folder its entry names; false when
// it did not install. Components to register are noted.
bool UpdateEngine::UnpackEntryPackage(Installation& run, const ManifestEntry& e, StagedPackage* staged,
                                      std::string& failure) {
  if (e.setupPath == kDatabaseEngineToken) {
    run.databaseEntrySeen = true;
    if (hasDatabaseEngine_) return true;
    if (!staged) return false;
    // A folder of its own that nobody else can write to, new for this run:
    // the setup runs from there as administrator, with whatever DLLs lie
    // beside it. No journal: nothing of the machine's is replaced there.
    try {
      run.databaseFolder = platform::CreateFreshPrivateFolder(privateFolder_, "bde");
    } catch (const platform::OsError& e) {
      failure = e.what();
      return false;
    }
    if (!UnpackPackage(nullptr, *staged, true, run.databaseFolder, failure, &run.databaseFiles)) return false;
    return HoldDatabaseEngineSetup(run);
  }
  const std::string& folder = TargetFolderOf(e);
  if (!staged || !UnpackPackage(run.journal.get(), *staged, e.replace, folder, failure)) return false;
  NoteRegistration(run, e);
  return true;
}

void UpdateEngine::NoteRegistration(Installation& run, const ManifestEntry& e) const {
  if (e.registerComponent) run.registrations.push_back(JoinPath(TargetFolderOf(e), WithoutZipAnyCase(e.fileName)));
}

const std::string& UpdateEngine::TargetFolderOf(const ManifestEntry& e) const {
  return e.setupPath == kSystemFolderToken    ? folders_.system
         : e.setupPath == kWindowsFolderToken ? folders_.windows
                                              : folders_.app;
}

namespace {

// The system's reason for the failure that just happened, after the text.
std::string WithSystemText(const std::string& text) {
  const std::string reason = platform::LastErrorText();
  return reason.empty() ? text : text + "（" + reason + "）";
}

// One package's extraction as the engine sees it: the files go to `files`
// (the package's transaction, or the record of what was written), the first
// file that could not be put in place is noted for the user with the
// system's reason, and data compressed by an unknown method is shown.
class Unpacking : public zip::IExtractionTarget {
 public:
  Unpacking(zip::IExtractionTarget& files, const Services& services, std::string& failure)
      : files_(files), services_(services), failure_(failure) {}

  void FolderCreated(const std::string& folder) override { files_.FolderCreated(folder); }
  void Decoding(const std::string& decodedPath) override { files_.Decoding(decodedPath); }
  void Decoded(const uint8_t* data, size_t count) override { files_.Decoded(data, count); }
  bool Replace(const std::string& decoded, const std::string& target) override {
    return files_.Replace(decoded, target);
  }
  void Written(const std::string& path) override { files_.Written(path); }
  void Failed(const std::string& path, zip::EntryFailure why) override {
    if (why == zip::EntryFailure::UnsupportedMethod) {
      services_.notices.UnsupportedCompression();
      return;
    }
    // A damaged entry fails the package without a reason of its own.
    if (why == zip::EntryFailure::Damaged || !failure_.empty()) return;
    failure_ = why == zip::EntryFailure::UnsafeName ? "软件包中的“" + path + "”不是可以安装的文件名"
                                                    : WithSystemText("无法写入文件“" + path + "”");
  }

 private:
  zip::IExtractionTarget& files_;
  const Services& services_;
  std::string& failure_;
};

}  // namespace

bool UpdateEngine::UnpackPackage(InstallJournal* journal, StagedPackage& package, bool replace,
                                 const std::string& targetDir, std::string& failure, zip::IExtractionTarget* record) {
  const zip::ExtractOptions options{replace ? zip::Overwrite::Always : zip::Overwrite::IfNewer, true};
  std::optional<PackageTransaction> transaction;
  if (journal) transaction.emplace(*journal);
  zip::IExtractionTarget justFiles;
  Unpacking target(transaction ? *transaction : record ? *record : justFiles, services_, failure);
  bool installed = false;
  try {
    // Files kept by the overwrite rule are fine; any other file that did not
    // come out means the package is not installed, and none of it stays.
    installed = zip::Extract(package.file(), targetDir, options, target).failed == 0;
  } catch (const zip::OutputWriteError&) {
    installed = false;  // the disk refused the bytes (full, or gone)
    if (failure.empty()) failure = WithSystemText("无法写入解压出的文件");
  } catch (const zip::ZipError& e) {
    installed = false;  // a damaged package, or none at all (an error page)
    if (failure.empty()) failure = std::string("软件包已损坏或不是 zip 文件（") + e.what() + "）";
  } catch (const std::exception& e) {
    installed = false;
    if (failure.empty()) failure = std::string("软件包无法解压：") + e.what();
  }
  // A package that installed stays open until the configuration records it.
  if (!installed && transaction) transaction->RollBack();
  return installed;
}

// The program the entry names, started from its full path and waited for.
void UpdateEngine::RunAutoRun(const ManifestEntry& e) {
  const std::string program = e.setupPath == kSystemFolderToken ? ReplaceSystemToken(e.autoRun, folders_.system)
                                                                : JoinPath(folders_.app, e.autoRun);
  if (platform::FileExists(program)) services_.processes.RunAndWait(program, program, platform::SwShowNormal);
}

// Regsvr32 of the system folder, started hidden; nobody waits.
void UpdateEngine::RegisterComponents(const Installation& run) {
  const std::string regsvr32 = JoinPath(folders_.system, kRegsvr32);
  for (const std::string& path : run.registrations) {
    services_.processes.Start(regsvr32, "Regsvr32 /s \"" + path + " \" ", platform::SwHide);
  }
}

// The files just unpacked into the shared staging folder are held until the
// setup program has run, and only when they still hold what the package did;
// false (the package failed) otherwise.
bool UpdateEngine::HoldDatabaseEngineSetup(Installation& run) {
  if (run.databaseFiles.HoldUnchanged()) return true;
  services_.notices.DatabaseEngineSetupNotRun();
  return false;
}

// The setup program of a database-engine package, when the engine was
// missing and its package came and unpacked.
void UpdateEngine::RunDatabaseEngineSetup(Installation& run) {
  if (!hasDatabaseEngine_ && run.databaseEntrySeen && !run.databaseFailed) {
    const std::string setupProgram = JoinPath(run.databaseFolder, WithoutZipAnyCase(run.databasePackage));
    // Only a program this run's package brought.
    if (run.databaseFiles.Contains(setupProgram)) {
      services_.processes.RunAndWait(setupProgram, setupProgram, platform::SwShowNormal, run.databaseFolder);
    }
  }
  run.databaseFiles.Release();
  if (!run.databaseFolder.empty()) platform::RemoveFolderTree(run.databaseFolder);
}

}  // namespace engine
