// Installing a module from the delta package its entry offers, and going
// back to the full package in the same run when the delta does not do.
#include <exception>

#include "base/text.h"
#include "engine/delta_install.h"
#include "engine/delta_offer.h"
#include "engine/installation.h"
#include "engine/package_transaction.h"
#include "engine/paths.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "platform/private_folder.h"

namespace engine {

bool UpdateEngine::DownloadDelta(Installation& run, std::int32_t index) {
  const size_t i = static_cast<size_t>(index);
  const ManifestEntry& e = *updates_[i];
  if (!OffersDelta(e)) return false;
  const auto recorded = recordedVersions_.find(base::UpperAscii(e.name));
  std::string& why = run.deltaRefusals[i];
  why = WhyDeltaNotTried(e, recorded == recordedVersions_.end() ? nullptr : &recorded->second);
  if (why.empty() && run.listedTwice[i]) why = "模块在更新列表中出现不止一次";
  if (!why.empty()) return false;
  run.deltas[i] = FetchPackage(DeltaPackageEntry(e), why);
  if (run.deltas[i]) return true;
  if (why.empty()) why = "差异包未能下载";  // never taken for a delta in use
  return false;
}

bool UpdateEngine::InstalledFromDelta(Installation& run, std::int32_t index) {
  const size_t i = static_cast<size_t>(index);
  const std::shared_ptr<StagedPackage> package = std::move(run.deltas[i]);
  if (!package) return false;
  const ManifestEntry& e = *updates_[i];
  const std::string work = JoinPath(privateFolder_, kDeltaWorkFolderName);
  PackageTransaction transaction(*run.journal);
  try {
    platform::RemoveFolderTree(work);
    InstallFromDelta(package->file(), platform::EnsurePrivateFolder(privateFolder_, kDeltaWorkFolderName),
                     TargetFolderOf(e), transaction);
  } catch (const std::exception& failure) {
    transaction.RollBack();
    run.deltaRefusals[i] = *failure.what() ? failure.what() : "差异包无法使用";
  }
  platform::RemoveFolderTree(work);
  if (!run.deltaRefusals[i].empty()) {
    package->Remove();  // of no use: nothing of the delta stays
    run.staged[i] = DownloadPackage(e);
    return false;
  }
  NoteRegistration(run, e);
  return true;
}

}  // namespace engine
