#include "publish/delta_offer.h"

#include "delta/delta_attributes.h"
#include "publish/delta_package.h"
#include "publish/package_name.h"
#include "publish/unpacked_package.h"

namespace publish {
namespace fs = std::filesystem;

std::optional<DeltaOffer> MakeDeltaOffer(const ReleaseModule& module, const fs::path& previousPackage,
                                         const PackageDigest& full, const fs::path& work) {
  UnpackPackage(previousPackage.string(), (work / "previous").string());
  fs::create_directories(work / "patches");
  DeltaOffer offer;
  offer.package = work / "delta.zip";
  offer.digest = WriteDeltaPackage(FilesBelow((work / "previous").string()), module, offer.package.string(),
                                   (work / "patches").string());
  if (offer.digest.size * 2 >= full.size) return std::nullopt;
  offer.fileName = DeltaPackageName(module.name, HashFile(previousPackage.string()).sha256, offer.digest.sha256);
  return offer;
}

void AddDeltaAttributes(AttributeList& attributes, const DeltaOffer& offer, const std::string& fromVersion) {
  attributes.emplace_back(delta::kDeltaFileNameAttribute, offer.fileName);
  attributes.emplace_back(delta::kDeltaFromAttribute, fromVersion);
  attributes.emplace_back(delta::kDeltaSha256Attribute, offer.digest.sha256);
  attributes.emplace_back(delta::kDeltaSizeAttribute, std::to_string(offer.digest.size));
}

}  // namespace publish
