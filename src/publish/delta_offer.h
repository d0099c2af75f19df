#pragma once
// The delta package a changed module's entry offers beside its full
// package: made from the package the previous manifest names, and offered
// only when it is smaller than half the full package.
#include <filesystem>
#include <optional>
#include <string>

#include "publish/manifest.h"
#include "publish/package.h"
#include "publish/release.h"

namespace publish {

struct DeltaOffer {
  std::string fileName;           // below clientfile/, UTF-8
  std::filesystem::path package;  // written in the work folder
  PackageDigest digest;
};

// The delta from `previousPackage` to the module, written below `work`
// (created); nullopt when it would not be smaller than half of `full`.
std::optional<DeltaOffer> MakeDeltaOffer(const ReleaseModule& module, const std::filesystem::path& previousPackage,
                                         const PackageDigest& full, const std::filesystem::path& work);

// The entry's attributes for it: DeltaFileName, DeltaFrom, DeltaSHA256, DeltaSize.
void AddDeltaAttributes(AttributeList& attributes, const DeltaOffer& offer, const std::string& fromVersion);

}  // namespace publish
