#pragma once
// Whether the delta package a manifest entry offers is tried
// (docs/delta-format.md): only for an ordinary module that replaces its
// files, with all four attributes valid, on a machine whose configuration
// records the very version the delta starts from.
#include <memory>
#include <string>
#include <vector>

#include "engine/manifest_entry.h"

namespace engine {

// The entry names a delta package.
bool OffersDelta(const ManifestEntry& entry);
// Why the entry's delta is not tried, for the trace; empty when it is.
// `recorded` is the version the client configuration records, null when it
// records none.
std::string WhyDeltaNotTried(const ManifestEntry& entry, const std::string* recorded);
// The delta package as an entry of its own, to be fetched and checked as a
// package: its name, digest and size.
ManifestEntry DeltaPackageEntry(const ManifestEntry& entry);
// Per entry of the update list, whether another entry has its name or its
// package (in any ASCII letter case): its delta is not tried then.
std::vector<bool> ListedTwice(const std::vector<std::shared_ptr<const ManifestEntry>>& entries);

}  // namespace engine
